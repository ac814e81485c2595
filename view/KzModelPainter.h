#ifndef KZMODELPAINTER_H
#define KZMODELPAINTER_H

#include "Kz3DPainter.h"

#include "KzPlateInstance.h"

class KzModel3D;

// One placed instance of a loaded mesh as the view draws it: the placed copy
// (bounds, centre, footprint and matrix, KzPlateInstance) with its display,
// its pick colour and whether it is selected. Its matrix is the instance's,
// not the painter base's, which stays the identity.
class KZGLVIEW_EXPORT KzModelPainter : public Kz3DPainter, public KzPlateInstance
{
public:
    // Stands the new instance on the plate, centred on x = y = 0.
    explicit KzModelPainter(KzModel3D* model);
    // Stands it where m puts the mesh (KzPlateInstance::SetModelMatrix, not centred).
    KzModelPainter(KzModel3D* model, const QMatrix4x4& m);
    ~KzModelPainter() override;

    void Draw() override;
    // The same while the camera moves: a large mesh's coarser stand-in.
    void DrawReduced();
    // The mesh in the current colour, unlit (pick passes).
    void DrawFlat() const;
    // The footprint as a translucent shadow on the plate.
    void DrawHull() const;

    using KzPlateInstance::GetModelMatrix;

    int GetPickCode() const { return m_nID * 10; }
    bool IsSelected() const { return m_bSelected; }
    void SetSelected(bool selected) { m_bSelected = selected; }

private:
    // The mesh under the instance's matrix, or its coarse stand-in.
    void DrawModel(bool reduced) const;

    bool m_bSelected;
};

#endif // KZMODELPAINTER_H
