#include "KzPlateInstance.h"

#include "KPolygonAlgorithm.h"
#include "KzModel3D.h"

#include <QVector4D>

#include <cmath>
#include <cstring>

namespace {
// Instances closer to the plate than this are left where they are.
const float kFloorTolerance = 0.01f;

// Grows an outline by 1 mm on every side: models keep that gap between them.
const QVector<QVector2D>& Margin()
{
    static const QVector<QVector2D> square = {
        QVector2D(-1, -1), QVector2D(1, -1), QVector2D(1, 1), QVector2D(-1, 1)};
    return square;
}
} // namespace

KzPlateInstance::KzPlateInstance(KzModel3D* model)
    : m_pModel(model)
{
    m_pModel->IncreaseReference();
    Place();
}

KzPlateInstance::KzPlateInstance(KzModel3D* model, const QMatrix4x4& m)
    : m_pModel(model)
{
    m_pModel->IncreaseReference();
    SetModelMatrix(m, false);
}

KzPlateInstance::~KzPlateInstance()
{
    m_pModel->DecreaseReference();
}

// The footprint (a convex hull of every corner) costs most; it is computed
// once per change, from the final matrix, after the box.
void KzPlateInstance::ComputeBox()
{
    const QVector<KzTriangle3D> triangles = m_pModel->Triangls();
    const KzTriangle3D* t = triangles.constData();
    const int n = triangles.size();
    if (n == 0)
        return;
    m_vMax = m_vMin = m_matModel.map(t[0][0]);
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 3; ++k) {
            const QVector3D p = m_matModel.map(t[i][k]);
            for (int axis = 0; axis < 3; ++axis) {
                m_vMax[axis] = std::max(m_vMax[axis], p[axis]);
                m_vMin[axis] = std::min(m_vMin[axis], p[axis]);
            }
        }
    }
    m_vCenter = m_matModel.map(m_pModel->GetCenter());
}

void KzPlateInstance::ComputeHull()
{
    const QVector<KzTriangle3D> triangles = m_pModel->Triangls();
    if (triangles.isEmpty())
        return;
    QVector<QVector2D> points;
    points.reserve(triangles.size() * 3);
    for (const KzTriangle3D& t : triangles) {
        for (int k = 0; k < 3; ++k)
            points.append(m_matModel.map(t[k]).toVector2D());
    }
    QVector<QVector2D> hull;
    KPolygonAlgorithm::FormConvexPolygon(hull, points);
    m_vecHull = KPolygonAlgorithm::MinkowskHull(hull, Margin());
}

// From the file's orientation: centred on x = y = 0, on the plate. The matrix
// stays a translation, which maps every corner to itself plus the offset, in
// one float sum per axis; the smallest and largest sums are those of the
// file's own bounds. So the corners are gone through once for the box and
// once for the footprint, with the results of a pass after every step.
void KzPlateInstance::Place()
{
    m_matModel.setToIdentity();
    ComputeBox();
    const QVector3D fileMin = m_vMin;
    const QVector3D fileMax = m_vMax;
    MoveBy(QVector3D(-(m_vMin.x() + m_vMax.x()) / 2, -(m_vMin.y() + m_vMax.y()) / 2, 0), fileMin, fileMax);
    if (std::abs(m_vMin.z()) > kFloorTolerance)
        MoveBy(QVector3D(0, 0, -m_vMin.z()), fileMin, fileMax);
    ComputeHull();
}

void KzPlateInstance::MoveBy(const QVector3D& d, const QVector3D& fileMin, const QVector3D& fileMax)
{
    QMatrix4x4 t;
    t.translate(d);
    m_matModel = t * m_matModel;
    const QVector4D offset = m_matModel.column(3);
    for (int axis = 0; axis < 3; ++axis) {
        m_vMin[axis] = fileMin[axis] + offset[axis];
        m_vMax[axis] = fileMax[axis] + offset[axis];
    }
    m_vCenter = m_matModel.map(m_pModel->GetCenter());
}

void KzPlateInstance::DropToFloor()
{
    if (std::abs(m_vMin.z()) <= kFloorTolerance)
        return;
    QMatrix4x4 t;
    t.translate(0, 0, -m_vMin.z());
    m_matModel = t * m_matModel;
    ComputeBox();
}

void KzPlateInstance::ApplyTransform(const QMatrix4x4& m, bool recompute)
{
    m_matModel = m * m_matModel;
    m_matModel.optimize();
    if (recompute) {
        ComputeBox();
        DropToFloor();
        ComputeHull();
        return;
    }
    m_vMax = m.map(m_vMax);
    m_vMin = m.map(m_vMin);
    m_vCenter = m.map(m_vCenter);
    for (QVector2D& p : m_vecHull)
        p = m.map(QVector3D(p, 0)).toVector2D();
}

void KzPlateInstance::Translate(const QVector2D& d)
{
    QMatrix4x4 t;
    t.translate(d.x(), d.y(), 0);
    ApplyTransform(t, false);
}

void KzPlateInstance::ResetTransform()
{
    Place();
}

void KzPlateInstance::SetModelMatrix(const QMatrix4x4& m, bool centre)
{
    m_matModel = m;
    m_matModel.optimize();
    ComputeBox();
    if (centre) {
        QMatrix4x4 t;
        t.translate(-(m_vMin.x() + m_vMax.x()) / 2, -(m_vMin.y() + m_vMax.y()) / 2, 0);
        m_matModel = t * m_matModel;
        m_matModel.optimize();
        ComputeBox();
    }
    DropToFloor();
    ComputeHull();
}

QVector<KzTriangle3D> KzPlateInstance::TransformedTriangles() const
{
    QVector<KzTriangle3D> triangles = m_pModel->Triangls();
    for (KzTriangle3D& t : triangles)
        t.Convert(m_matModel);
    return triangles;
}

QVector3D KzPlateInstance::FaceNormal(int i) const
{
    if (i < 0 || i >= m_pModel->Count())
        return QVector3D();
    return m_matModel.mapVector(m_pModel->Item(i).GetNormal());
}

bool KzPlateInstance::State::operator==(const State& other) const
{
    auto same = [](const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; };
    return same(matrix.constData(), other.matrix.constData(), 16 * sizeof(float))
           && same(&max, &other.max, sizeof max) && same(&min, &other.min, sizeof min)
           && same(&center, &other.center, sizeof center) && hull.size() == other.hull.size()
           && same(hull.constData(), other.hull.constData(), size_t(hull.size()) * sizeof(QVector2D));
}

KzPlateInstance::State KzPlateInstance::GetState() const
{
    return State{m_matModel, m_vMax, m_vMin, m_vCenter, m_vecHull};
}

void KzPlateInstance::SetState(const State& state)
{
    m_matModel = state.matrix;
    m_vMax = state.max;
    m_vMin = state.min;
    m_vCenter = state.center;
    m_vecHull = state.hull;
}

// The shoelace formula over the convex outline.
float KzPlateInstance::FootprintArea() const
{
    double twice = 0;
    const int n = m_vecHull.size();
    for (int i = 0; i < n; ++i) {
        const QVector2D& a = m_vecHull[i];
        const QVector2D& b = m_vecHull[(i + 1) % n];
        twice += double(a.x()) * b.y() - double(b.x()) * a.y();
    }
    return float(std::abs(twice) / 2);
}
