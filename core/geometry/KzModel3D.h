#ifndef KZMODEL3D_H
#define KZMODEL3D_H

#include "KzFacetQueue.h"
#include "KzFootprint.h"
#include "KzFunctionGlobal.h"
#include "KzLoadReport.h"
#include "KzTriangle3D.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QVector>
#include <QVector3D>

#include <atomic>
#include <thread>
#include <vector>

class KzModelLoader;
class QOpenGLContext;

// One mesh file in memory: its triangles, bounds and centre, the buffer
// objects that draw it, a unique id and the number of placed copies that
// share it.
//
// LoadSTLFile reads the file on the model's own thread and fills the buffers,
// chunk by chunk as the facets arrive, with the OpenGL context current on the
// calling thread (none current: no buffers); it returns when both are done.
// The destructor deletes the buffers only when that context, or one sharing
// with it, is current; so whoever owns the context makes it current before
// deleting models.
class KZFUNCTION_EXPORT KzModel3D : public QObject
{
    Q_OBJECT

public:
    KzModel3D();
    ~KzModel3D() override;

    // True when the file's type was recognised and it was read; whether what
    // it held is fit for the plate is the report's verdict.
    bool LoadSTLFile(QString path);
    // One mesh of a 3MF package read before (Kz3mfReader): its facets take
    // the same way as a file's. The model is known by the package's path and
    // the mesh's index in it.
    bool LoadPackageMesh(const QString& path, int part, const QVector<KzTriangle3D>& facets);
    const KzLoadReport& GetLoadReport() const { return m_report; }
    // The mesh's index in its package; -1 for a model that is a whole file.
    int GetPackagePart() const { return m_nPackagePart; }

    int Count() const { return m_vecTriangles.size(); }
    KzTriangle3D Item(int i) const { return m_vecTriangles.at(i); }
    // Detaches first; the facets may change, so the placement is forgotten.
    KzTriangle3D* ItemPtr(int i);
    QVector<KzTriangle3D> Triangls() const { return m_vecTriangles; }
    QString FileName() const { return m_strFileName; }
    int ID() const { return m_nID; }
    QVector3D MinBound() const { return m_vMinBound; }
    QVector3D MaxBound() const { return m_vMaxBound; }
    QVector3D GetCenter() const { return m_vCenter; }
    // The buffer objects, one to every 10000 facets in file order, each
    // holding a normal and a corner per vertex (six floats), and how many
    // facets each holds.
    QVector<unsigned int> GetBuffers() const { return m_full.names; }
    QVector<int> GetBufferFacets() const { return m_full.facets; }
    // Draws every facet, lit by the current lights, when the buffers' context
    // (or one sharing with it) is current. The current normal is left as the
    // last facet's, as drawing the facets one by one leaves it.
    void DrawFacets() const;
    // What to draw while the camera moves. A mesh of more facets than
    // ReducedAbove() gets a coarser stand-in, built on a thread of its own
    // from the first call on and put in a buffer here once it is there (the
    // buffers' context current); until then, and for smaller meshes, the
    // full mesh.
    void DrawReducedFacets();
    bool HasReducedForm() const { return !m_coarse.names.isEmpty(); }
    static int ReducedAbove() { return ms_nReducedAbove; }
    static void SetReducedAbove(int facets) { ms_nReducedAbove = facets; }
    bool ReadyToRender() const { return m_bReady; }
    // Where an instance of the mesh stands when first put on the plate, worked
    // out on the reading thread once the last facet is in; not valid when the
    // facets changed after the load or came from more than one.
    const KzFootprint::Placement& GetPlacement() const { return m_placement; }

    void IncreaseReference() { ++m_nReference; }
    void DecreaseReference() { --m_nReference; }
    bool IsRefered() const { return m_nReference > 0; }

signals:
    void signal_StartLoad();

private slots:
    // Called on the reading thread, while LoadSTLFile waits for the facets.
    void slot_FacetsExpected(int count);
    void slot_TriangleReady(KzTriangle3D tri);
    void slot_LoadComplete();

private:
    bool RunLoad(const QString& path);
    void ReceiveFacets(bool fresh);
    void UpdateBounds();
    void UpdateCenter();
    // Buffers and what each holds; the normal the last facet leaves current.
    struct Buffers
    {
        QVector<unsigned int> names;
        QVector<int> facets;
        QVector3D lastNormal;
    };

    void FillBuffers();
    void FillBuffer(Buffers& into, const KzTriangle3D* tri, int count);
    bool BuffersReachable() const;
    void DrawBuffers(const Buffers& buffers) const;
    static int PieceFacets();
    static void DrawPieces(int facets, int piece);
    void DeleteBuffers();
    void StartCoarse();
    void StopCoarse();

    QThread m_loadThread;
    KzModelLoader* m_pLoader;
    KzFacetQueue m_facetQueue;
    // Written by the reading thread during a load only (m_vecTriangles too).
    int m_nReadFacets = 0;
    QVector3D m_vReadMin;
    QVector3D m_vReadMax;
    QVector3D m_vPlaceMin;   // the same bounds as an instance's box takes them
    QVector3D m_vPlaceMax;
    KzFootprint::Placement m_placement;
    QVector<KzTriangle3D> m_vecTriangles;
    QString m_strFileName;
    qint32 m_nReference;
    qint32 m_nID;
    bool m_bReady;
    Buffers m_full;
    std::vector<float> m_vecStaging;   // one buffer's floats on their way in
    QVector3D m_vCenter;
    QVector3D m_vMaxBound;
    QVector3D m_vMinBound;
    QPointer<QOpenGLContext> m_pBufferContext;   // the context that owns the buffers
    KzLoadReport m_report;
    int m_nPackagePart = -1;

    std::thread m_coarseThread;
    std::atomic<bool> m_bCoarseReady{false};
    QVector<KzTriangle3D> m_vecCoarse;   // written by m_coarseThread until m_bCoarseReady
    Buffers m_coarse;

    static qint32 ms_nModelCount;
    static int ms_nReducedAbove;
};

#endif // KZMODEL3D_H
