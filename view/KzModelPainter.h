#ifndef KZMODELPAINTER_H
#define KZMODELPAINTER_H

#include "Kz3DPainter.h"

#include "KzTriangle3D.h"

#include <QVector>
#include <QVector2D>
#include <QVector3D>

class KzModel3D;

// One placed instance of a loaded mesh. Instances share the mesh (counted by the
// model's reference count) and differ by their model matrix. The instance keeps
// its bounds, centre and footprint (the convex outline on the plate, grown by
// 1 mm on every side) in plate coordinates.
class KZGLVIEW_EXPORT KzModelPainter : public Kz3DPainter
{
public:
    // Stands the new instance on the plate, centred on x = y = 0.
    explicit KzModelPainter(KzModel3D* model);
    // Stands it where m puts the mesh (see SetModelMatrix, without centre).
    KzModelPainter(KzModel3D* model, const QMatrix4x4& m);
    ~KzModelPainter() override;

    void Draw() override;
    // The mesh in the current colour, unlit (pick passes).
    void DrawFlat() const;
    // The footprint as a translucent shadow on the plate.
    void DrawHull() const;

    // m is applied after the current transform. With recompute (rotations), the
    // bounds and footprint are rebuilt from the triangles and the instance is put
    // back on the plate; otherwise (moves, scales) they are mapped by m.
    void ApplyTransform(const QMatrix4x4& m, bool recompute);
    void Translate(const QVector2D& d);
    // Back to the file's orientation and size, centred and on the plate.
    void ResetTransform();
    // Puts the instance where m puts the mesh, then on the plate (when more
    // than a hundredth of a millimetre off it); with centre, also centred on
    // x = y = 0 first. m is kept bit for bit otherwise.
    void SetModelMatrix(const QMatrix4x4& m, bool centre);

    // The model's triangles in plate coordinates.
    QVector<KzTriangle3D> TransformedTriangles() const;
    // Triangle i's normal as a plate direction; zero for an invalid index.
    QVector3D FaceNormal(int i) const;

    float Diagonal() const { return (m_vMax - m_vMin).length(); }
    int GetPickCode() const { return m_nID * 10; }
    KzModel3D* GetModel() const { return m_pModel; }
    bool IsSelected() const { return m_bSelected; }
    void SetSelected(bool selected) { m_bSelected = selected; }
    QVector3D GetMax() const { return m_vMax; }
    QVector3D GetMin() const { return m_vMin; }
    QVector3D GetCenter() const { return m_vCenter; }
    const QVector<QVector2D>& GetHull() const { return m_vecHull; }

private:
    void ComputeBox();
    void ComputeHull();
    void Place();
    void MoveBy(const QVector3D& d, const QVector3D& fileMin, const QVector3D& fileMax);
    void DropToFloor();

    KzModel3D* m_pModel;
    bool m_bSelected;
    QVector3D m_vMax;
    QVector3D m_vMin;
    QVector3D m_vCenter;
    QVector<QVector2D> m_vecHull;
};

#endif // KZMODELPAINTER_H
