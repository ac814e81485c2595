#include "KzPlateInstance.h"

#include "KzFootprint.h"
#include "KzModel3D.h"

#include <cmath>
#include <cstring>

namespace {
// Instances closer to the plate than this are left where they are.
const float kFloorTolerance = 0.01f;
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
    if (!KzFootprint::Box(triangles, m_matModel, m_vMin, m_vMax))
        return;
    m_vCenter = m_matModel.map(m_pModel->GetCenter());
}

void KzPlateInstance::ComputeHull()
{
    const QVector<KzTriangle3D> triangles = m_pModel->Triangls();
    if (triangles.isEmpty())
        return;
    m_vecSteps.clear();
    m_vecHull = KzFootprint::Outline(triangles, m_matModel);
    m_bExtent = false;
}

const QVector<QVector2D>& KzPlateInstance::GetHull() const
{
    FollowSteps();
    return m_vecHull;
}

const KzFootprintExtent& KzPlateInstance::GetExtent() const
{
    if (!m_bExtent) {
        m_extent = KzFootprintExtent::Of(GetHull());
        m_bExtent = true;
    }
    return m_extent;
}

const KzFootprintExtent& KzPlateInstance::GetInscribedExtent() const
{
    if (!m_bExtent || !m_extent.inscribed) {
        m_extent = KzFootprintExtent::Of(GetHull());
        m_extent.Inscribe(m_vecHull);
        m_bExtent = true;
    }
    return m_extent;
}

// A translation maps a point (x, y) to (x + dx, y + dy), one float sum each,
// step after step; a step is taken by all the coordinates at once, which
// gives the same sums in the same order.
void KzPlateInstance::FollowSteps() const
{
    if (m_vecSteps.empty())
        return;
    static_assert(sizeof(QVector2D) == 2 * sizeof(float), "QVector2D holds its two floats only");
    float* v = reinterpret_cast<float*>(m_vecHull.data());
    const int n = 2 * m_vecHull.size();
    for (const QVector2D& d : m_vecSteps) {
        const float dx = d.x(), dy = d.y();
        for (int i = 0; i < n; i += 2) {
            v[i] += dx;
            v[i + 1] += dy;
        }
    }
    m_vecSteps.clear();
}

// From the file's orientation: centred on x = y = 0, on the plate. Where the
// mesh stands then is the same for every instance of it: the model works it
// out once, while it is read, and each instance takes it from there. A model
// without it (changed after its load, or loaded twice) has it worked out here
// the same way.
void KzPlateInstance::Place()
{
    const KzFootprint::Placement& placed = m_pModel->GetPlacement();
    m_bExtent = false;
    if (placed.valid) {
        m_vecSteps.clear();
        m_matModel = placed.matrix;
        m_vMin = placed.min;
        m_vMax = placed.max;
        m_vecHull = placed.outline;
    } else {
        m_matModel.setToIdentity();
        ComputeBox();
        const QVector3D fileMin = m_vMin;
        const QVector3D fileMax = m_vMax;
        KzFootprint::PlaceBox(fileMin, fileMax, m_matModel, m_vMin, m_vMax);
        ComputeHull();
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
    FollowSteps();
    m_bExtent = false;
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

// As ApplyTransform(t, false), with the footprint following later.
void KzPlateInstance::Translate(const QVector2D& d)
{
    QMatrix4x4 t;
    t.translate(d.x(), d.y(), 0);
    m_matModel = t * m_matModel;
    m_matModel.optimize();
    m_vMax = t.map(m_vMax);
    m_vMin = t.map(m_vMin);
    m_vCenter = t.map(m_vCenter);
    const QVector2D step(t(0, 3), t(1, 3));
    m_vecSteps.push_back(step);
    if (m_bExtent && !m_extent.Follow(step))
        m_bExtent = false;
    if (m_vecSteps.size() >= 256)
        FollowSteps();
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
    return State{m_matModel, m_vMax, m_vMin, m_vCenter, GetHull()};
}

void KzPlateInstance::SetState(const State& state)
{
    m_matModel = state.matrix;
    m_vMax = state.max;
    m_vMin = state.min;
    m_vCenter = state.center;
    m_vecHull = state.hull;
    m_vecSteps.clear();
    m_bExtent = false;
}

// The shoelace formula over the convex outline.
float KzPlateInstance::FootprintArea() const
{
    FollowSteps();
    double twice = 0;
    const int n = m_vecHull.size();
    for (int i = 0; i < n; ++i) {
        const QVector2D& a = m_vecHull[i];
        const QVector2D& b = m_vecHull[(i + 1) % n];
        twice += double(a.x()) * b.y() - double(b.x()) * a.y();
    }
    return float(std::abs(twice) / 2);
}
