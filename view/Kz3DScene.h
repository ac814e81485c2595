#ifndef KZ3DSCENE_H
#define KZ3DSCENE_H

#include "KzGLViewGlobal.h"
#include "KLayerFeature.h"
#include "KzGridding.h"
#include "KzPlate.h"
#include "KzPrinterBox.h"
#include "KzRotateCoord.h"
#include "KzScaleCoord.h"

#include <QByteArray>
#include <QMap>
#include <QMatrix4x4>
#include <QObject>
#include <QString>
#include <QVector3D>

class KzLoadReport;
class KzModel3D;
class KzModelPainter;

// What one view shows: the build volume, the plate grid, the placed model
// instances and the edit handles around the selected one, or instead of the
// models the layers of a sliced G-code file. The scene owns every instance
// (its painters); its plate (KzPlate) owns every loaded model and holds the
// rules by which instances are placed, kept apart and judged in bound.
class KZGLVIEW_EXPORT Kz3DScene : public QObject
{
    Q_OBJECT

public:
    explicit Kz3DScene(QObject* parent = nullptr);
    ~Kz3DScene() override;

    // GL state, lights and the painters' display lists; the context is current.
    void InitGL();
    // One frame of the plate in model mode.
    void DrawModelScene();
    // Frames while the camera moves are reduced (large meshes drawn coarser);
    // the layer preview may read the flag to draw less meanwhile.
    void SetReducedFrame(bool reduced) { m_bReducedFrame = reduced; }
    bool IsReducedFrame() const { return m_bReducedFrame; }

    // The machine's print bound; the box and grid take its size (truncated to
    // whole millimetres) and stay centred on the plate's origin.
    void SetPrintBound(const QVector3D& max, const QVector3D& min);
    void GetPrintBound(QVector3D& max, QVector3D& min) const;

    // Offset from the engine's coordinates (origin at a bed corner) to the plate's.
    void SetLayerOffset(double x, double y);
    void GetLayerOffset(double& x, double& y) const;

    // Takes ownership of a loaded model, keyed by its id.
    void AdoptModel(KzModel3D* model);
    // Takes ownership of an instance as it stands, keyed by its id; placing it
    // beside the others is up to the caller.
    void AdoptPainter(KzModelPainter* painter);
    const QMap<int, KzModel3D*>& GetModels() const { return m_plate.GetModels(); }
    const QMap<int, KzModelPainter*>& GetPainters() const { return m_mapPainters; }

    // Selects the instance of a pick code (painter id x 10); any other code
    // selects nothing. Puts the handles around the selected instance.
    void SelectPainter(int code);
    void UpdateHandles();
    KzModelPainter* GetCurrentPainter() const { return m_pCurPainter; }

    // Strictly inside the print bound in x and y; height is not tested.
    bool IsInBound(const KzModelPainter* painter) const;
    // Every instance inside the print bound in x, y and height (true with none).
    bool AreAllModelsInBound() const;

    // Model files. AddModel loads a file once per exact path (later instances
    // share the mesh) and returns the new instance's pick code, 0 when the
    // file is refused; report gets what the load came to. The view's context
    // must be current. A 3MF package (".3mf") puts all its build items on
    // the plate (KzPlate::AddPackageFile); the first one's code is returned.
    int AddModel(QString path, KzLoadReport& report);
    bool RemoveCurrentPainter();
    // An instance taken off the plate stays whole, with its mesh, for whoever
    // may put it back; its model leaves the loaded ones when no instance on
    // the plate uses it any more. Attaching puts both back. Discarding
    // deletes a detached instance, and its model when no other instance
    // refers to it (the view's context must be current).
    void DetachPainter(KzModelPainter* painter);
    void AttachPainter(KzModelPainter* painter);
    void DiscardPainter(KzModelPainter* painter);
    // A copy of the selected instance that shares its mesh and transform,
    // placed as a new instance is; null without a selection.
    KzModelPainter* DuplicateCurrent();
    // Every instance's triangles in plate coordinates as one binary STL, or a
    // 3MF package for a name ending in ".3mf" (KzPlate::SaveAll); centre gets
    // the middle of their common bounding box.
    bool SaveAll(QString path, QVector3D& centre) const;
    QString GetFirstModelName() const;

    // Placement: beside the others, then the group recentred when it overflows.
    // None of them moves an instance further than GetMoveLimit(), nor by a
    // step that is not a finite number: a model far larger than the plate
    // stays where it stands instead of sweeping the others off it.
    void AddModelPainter(KzModelPainter* painter);
    void PlaceNewPainter(KzModelPainter* painter);
    void PushAway(KzModelPainter* painter);
    void RecenterAll();
    // Every instance placed again by the rule for new ones, the largest
    // footprint first, then the group centred on the plate.
    void ArrangeAll();
    // The plate's diagonal: the furthest a placement step may move an instance.
    float GetMoveLimit() const;

    // Editing: the pending matrix is previewed on the selected instance and
    // applied (then pushed apart from the others) by ApplyPending.
    void SetPending(const QMatrix4x4& m) { m_matPending = m; }
    const QMatrix4x4& GetPending() const { return m_matPending; }
    void ApplyPending();
    void ResetCurrent();
    // (centre x, centre y, lowest z) of the selected instance.
    QVector3D GetCurrentPosition() const;
    void SetRotatePress(const QVector3D& p) { m_vRotatePress = p; }
    void SetRotateAngle(double a) { m_dRotateAngle = a; }

    // A digest of everything the model scene draws; equal digests draw equal
    // frames (the layers announce their own changes).
    QByteArray GetDrawState() const;

    // Pick passes: flat colours that encode pick codes.
    void DrawPickModels();
    void DrawPickHandles();
    void DrawPickFaces();
    static void PickColor(int code);

    // 0 move, 1 rotate, 2 scale, 3 lay flat.
    void SetEditMode(int mode) { m_nEditMode = mode; }
    int GetEditMode() const { return m_nEditMode; }
    void SetKeepScale(bool keep) { m_bKeepScale = keep; }
    bool GetKeepScale() const { return m_bKeepScale; }

    // Layer preview: the sliced layers, the grid and the box; no model, handle
    // or feedback. Layers arriving from the reading thread are announced by
    // signal_LayersChanged.
    void DrawLayerScene();
    void LoadLayerModel(QString path);
    void ClearLayerModel();
    void SetCurrentLayer(int layer);
    void SetMultiLayer(bool multi);
    int GetMaxLayer() const;
    KLayerFeature& GetLayerFeature() { return m_layerFeature; }
    const KLayerFeature& GetLayerFeature() const { return m_layerFeature; }

    const KzPrinterBox& GetPrinterBox() const { return m_printerBox; }
    const KzGridding& GetGridding() const { return m_gridding; }
    KzRotateCoord& GetRotateCoord() { return m_rotateCoord; }
    KzScaleCoord& GetScaleCoord() { return m_scaleCoord; }

signals:
    void signal_RenderText(QString text, const QVector3D& pos);
    void signal_LayersChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    int AddPackage(const QString& path, KzLoadReport& report);
    void DrawInstance(KzModelPainter* painter);
    void DrawMoveFeedback();
    void DrawRotateFeedback();
    void DrawAxisArrow(const QVector3D& a, const QVector3D& b, int axis);
    bool ExceedsBound(const QVector3D& corner) const;
    static bool IsAxisAligned(const QMatrix4x4& m);

    KzPrinterBox m_printerBox;
    KzRotateCoord m_rotateCoord;
    KzScaleCoord m_scaleCoord;
    KzGridding m_gridding;
    KLayerFeature m_layerFeature;
    KzPlate m_plate;
    QMap<int, KzModelPainter*> m_mapPainters;
    KzModelPainter* m_pCurPainter;
    QMatrix4x4 m_matPending;  // previewed on the selected instance during an edit
    QVector3D m_vRotatePress;
    double m_dRotateAngle;
    int m_nEditMode;
    bool m_bKeepScale;
    bool m_bReducedFrame = false;
};

#endif // KZ3DSCENE_H
