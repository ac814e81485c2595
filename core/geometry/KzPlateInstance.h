#ifndef KZPLATEINSTANCE_H
#define KZPLATEINSTANCE_H

#include "KzFootprintExtent.h"
#include "KzFunctionGlobal.h"
#include "KzTriangle3D.h"

#include <QMatrix4x4>
#include <QVector>
#include <QVector2D>
#include <QVector3D>

#include <vector>

class KzModel3D;

// One placed copy of a loaded mesh on the build plate: the mesh (shared with
// the other copies, counted by the model's reference count) and the matrix
// that puts it where it stands. The instance keeps its bounds, centre and
// footprint (the convex outline on the plate, grown by 1 mm on every side) in
// plate coordinates; KzPlate places instances by them. Needs no OpenGL.
class KZFUNCTION_EXPORT KzPlateInstance
{
public:
    // Everything that places the instance: its matrix and what was derived
    // from it. Set back, it puts the instance exactly where it stood.
    struct State
    {
        QMatrix4x4 matrix;
        QVector3D max;
        QVector3D min;
        QVector3D center;
        QVector<QVector2D> hull;
        float area = 0;   // FootprintArea()

        // Bit for bit: a value that differs only in its last bit differs.
        bool operator==(const State& other) const;
        bool operator!=(const State& other) const { return !(*this == other); }
    };

    // Stands the new instance on the plate, centred on x = y = 0.
    explicit KzPlateInstance(KzModel3D* model);
    // Stands it where m puts the mesh (SetModelMatrix, not centred).
    KzPlateInstance(KzModel3D* model, const QMatrix4x4& m);
    virtual ~KzPlateInstance();

    KzPlateInstance(const KzPlateInstance&) = delete;
    KzPlateInstance& operator=(const KzPlateInstance&) = delete;

    // m is applied after the current transform. With recompute (rotations), the
    // bounds and footprint are rebuilt from the triangles and the instance is put
    // back on the plate; otherwise (moves, scales) they are mapped by m.
    void ApplyTransform(const QMatrix4x4& m, bool recompute);
    // As ApplyTransform(t, false), with the footprint following later.
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
    KzModel3D* GetModel() const { return m_pModel; }
    const QMatrix4x4& GetModelMatrix() const
    {
        Settle();
        return m_matModel;
    }
    QVector3D GetMax() const { return m_vMax; }
    QVector3D GetMin() const { return m_vMin; }
    QVector3D GetCenter() const { return m_vCenter; }
    const QVector<QVector2D>& GetHull() const;
    State GetState() const;
    void SetState(const State& state);
    // The area of the footprint, in square millimetres, as it was worked
    // out: moves leave it as it is (rounding would make copies of one shape
    // differ in it by where they have been).
    float FootprintArea() const { return m_fArea; }
    // What placement knows of the footprint before its polygon test: kept
    // through moves (Translate) without following the footprint, worked out
    // anew after any other change. The second has the disc inside it too.
    const KzFootprintExtent& GetExtent() const { return m_bExtent ? m_extent : RenewExtent(false); }
    const KzFootprintExtent& GetInscribedExtent() const
    {
        return m_bExtent && m_extent.inscribed ? m_extent : RenewExtent(true);
    }

private:
    void ComputeBox();
    void ComputeHull();
    void Place();
    void DropToFloor();
    // Moves the footprint by the translations made since it was last asked for.
    void FollowSteps() const;
    const KzFootprintExtent& RenewExtent(bool inscribed) const;
    // Writes the moves gathered in m_fColumnX/Y into the matrix.
    void Settle() const
    {
        if (m_bPending)
            SettleMatrix();
    }
    void SettleMatrix() const;
    void TranslateFully(float dx, float dy);
    void FollowMove(float dx, float dy);
    // QMatrix4x4::map of a translation by (dx, dy, 0), as Qt writes it.
    static QVector3D Moved(const QVector3D& v, float dx, float dy)
    {
        return QVector3D(v.x() * 1.0f + dx, v.y() * 1.0f + dy, v.z() * 1.0f + 0.0f);
    }
    // Any change of the matrix but a move: the next move goes the full way.
    void Unsettle();

    KzModel3D* m_pModel;
    mutable QMatrix4x4 m_matModel;
    // A move multiplies the matrix by a translation. Once that has left it a
    // plain scale and translation (nothing off the diagonal but the
    // translation column, finite), every further move only adds to the
    // column's x and y, and those sums are kept here until the matrix is asked
    // for: placement moves an instance to many spots before anyone looks.
    bool m_bPlain = false;
    mutable bool m_bPending = false;
    float m_fColumnX = 0;
    float m_fColumnY = 0;
    QVector3D m_vMax;
    QVector3D m_vMin;
    QVector3D m_vCenter;
    // The footprint follows moves (Translate) when it is next asked for, each
    // move's sum as the move itself would have made it: placing an instance
    // tries many spots and looks at its footprint at few of them.
    mutable QVector<QVector2D> m_vecHull;
    float m_fArea = 0;
    mutable std::vector<QVector2D> m_vecSteps;
    mutable KzFootprintExtent m_extent;
    mutable bool m_bExtent = false;
};

// Inline: placement moves an instance to every spot it tries. Once the
// matrix is plain and its moves kept aside, a move adds to the translation
// column's x and y as t * m does (t's then 1 times m's).
inline void KzPlateInstance::Translate(const QVector2D& d)
{
    const float dx = d.x(), dy = d.y();
    if (!m_bPlain || !m_bPending) {
        TranslateFully(dx, dy);
        return;
    }
    m_fColumnX = dx + m_fColumnX;
    m_fColumnY = dy + m_fColumnY;
    FollowMove(dx, dy);
}

// The box and centre as t maps them; the footprint's extent at once, its
// points later.
inline void KzPlateInstance::FollowMove(float dx, float dy)
{
    m_vMax = Moved(m_vMax, dx, dy);
    m_vMin = Moved(m_vMin, dx, dy);
    m_vCenter = Moved(m_vCenter, dx, dy);
    const QVector2D step(dx, dy);
    m_vecSteps.push_back(step);
    if (m_bExtent && !m_extent.Follow(step))
        m_bExtent = false;
    if (m_vecSteps.size() >= 256)
        FollowSteps();
}

#endif // KZPLATEINSTANCE_H
