#ifndef KZMODELLOADER_H
#define KZMODELLOADER_H

#include "KzFunctionGlobal.h"
#include "KzLoadReport.h"
#include "KzTriangle3D.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>

class QFile;

// Reads one mesh file (binary STL, ASCII STL or OBJ), or takes one mesh of a
// 3MF package read before, and hands every facet to its model, in order, by
// signal_TriangleReady; signal_LoadComplete ends every load. Normals are always computed from the corner order. A facet with
// a corner that is not a finite number is not delivered; the report counts it.
class KZFUNCTION_EXPORT KzModelLoader : public QObject
{
    Q_OBJECT
    friend class KzModel3D;

public:
    KzModelLoader();
    ~KzModelLoader() override;

signals:
    // Before the facets, when the reader knows how many the file holds at
    // most, so the model can size its list once.
    void signal_FacetsExpected(int count);
    void signal_TriangleReady(KzTriangle3D tri);
    void signal_LoadComplete();

public slots:
    void slot_StartLoad();

private:
    void CheckFileType();
    void ReadBinarySTL(QString path);
    void ReadAsciiSTL(QString path);
    void ReadObjFile(QString path);
    void ReadGivenFacets();

    bool ProbeAscii(QFile& file);
    void Deliver(KzTriangle3D& tri);
    void Expect(qint64 count);

    QString m_strFileName;
    qint32 m_nFileType;      // 0 binary STL, 1 ASCII STL, 2 OBJ, 3 facets given
    QVector<KzTriangle3D> m_vecGiven;   // the facets of type 3, dropped once delivered
    qint32 m_nProbeLines;    // lines the ASCII check looks at
    bool m_bValid;
    std::atomic<bool> m_bStop;   // set by the model's thread to end a read early
    qint64 m_nDelivered = 0;
    KzLoadReport m_report;   // of the last load; read by the model once it is drained
};

#endif // KZMODELLOADER_H
