#include "KzPlateInstance.h"

#include "KzFootprint.h"
#include "KzModel3D.h"

#include <cmath>
#include <cstring>

namespace {
// Instances closer to the plate than this are left where they are.
const float kFloorTolerance = 0.01f;

// Nothing but a move: the identity with a translation column.
bool IsMove(const QMatrix4x4& m)
{
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            if (m(row, column) != (row == column ? 1.0f : 0.0f))
                return false;
        }
    }
    return m(3, 3) == 1.0f;
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
    Settle();
    const QVector<KzTriangle3D> triangles = m_pModel->Triangls();
    if (!KzFootprint::Box(triangles, m_matModel, m_vMin, m_vMax))
        return;
    m_vCenter = m_matModel.map(m_pModel->GetCenter());
}

void KzPlateInstance::ComputeHull()
{
    Settle();
    const QVector<KzTriangle3D> triangles = m_pModel->Triangls();
    if (triangles.isEmpty())
        return;
    m_vecSteps.clear();
    m_vecHull = KzFootprint::Outline(triangles, m_matModel);
    m_fArea = KzFootprint::Area(m_vecHull);
    m_bExtent = false;
}

const QVector<QVector2D>& KzPlateInstance::GetHull() const
{
    FollowSteps();
    return m_vecHull;
}

// From the footprint as it stands, with the disc when asked for.
const KzFootprintExtent& KzPlateInstance::RenewExtent(bool inscribed) const
{
    m_extent = KzFootprintExtent::Of(GetHull());
    if (inscribed)
        m_extent.Inscribe(m_vecHull);
    m_bExtent = true;
    return m_extent;
}

namespace {

// Points (x, y, x, y, ...) through every step, up to 8 * Vectors floats at
// a time held in registers (the last ones padded).
template <int Vectors>
inline __attribute__((always_inline)) void StepBlock(float* v, int n, const QVector2D* steps, size_t count)
{
    typedef float Eight __attribute__((vector_size(32)));
    Eight b[Vectors] = {};
    const size_t bytes = sizeof(float) * size_t(std::min(n, 8 * Vectors));
    std::memcpy(b, v, bytes);
    typedef double Four __attribute__((vector_size(32)));
    for (size_t s = 0; s < count; ++s) {
        // The step's two floats, as one 8-byte value repeated (moved, not
        // computed with).
        double pair;
        std::memcpy(&pair, &steps[s], sizeof pair);
        const Eight d = (Eight)Four{pair, pair, pair, pair};
        for (int i = 0; i < Vectors; ++i)
            b[i] += d;
    }
    std::memcpy(v, b, bytes);
}

// Wider registers where the processor has them (the sums are the same).
__attribute__((target_clones("avx2", "default"))) void StepAll(float* v, int n, const QVector2D* steps,
                                                                size_t count)
{
    for (; n > 0; v += 96, n -= 96) {
        if (n > 32)
            StepBlock<12>(v, n, steps, count);
        else if (n > 8)
            StepBlock<4>(v, n, steps, count);
        else
            StepBlock<1>(v, n, steps, count);
    }
}

} // namespace

// A translation maps a point (x, y) to (x + dx, y + dy), one float sum each,
// step after step: each coordinate gets the same sums in the same order
// however the points are grouped.
void KzPlateInstance::FollowSteps() const
{
    if (m_vecSteps.empty())
        return;
    static_assert(sizeof(QVector2D) == 2 * sizeof(float), "QVector2D holds its two floats only");
    StepAll(reinterpret_cast<float*>(m_vecHull.data()), 2 * m_vecHull.size(), m_vecSteps.data(), m_vecSteps.size());
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
    Unsettle();
    m_bExtent = false;
    if (placed.valid) {
        m_vecSteps.clear();
        m_matModel = placed.matrix;
        m_vMin = placed.min;
        m_vMax = placed.max;
        m_vecHull = placed.outline;
        m_fArea = placed.area;
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
    Unsettle();
    QMatrix4x4 t;
    t.translate(0, 0, -m_vMin.z());
    m_matModel = t * m_matModel;
    ComputeBox();
}

void KzPlateInstance::ApplyTransform(const QMatrix4x4& m, bool recompute)
{
    FollowSteps();
    Unsettle();
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
    if (!IsMove(m))
        m_fArea = KzFootprint::Area(m_vecHull);
}

void KzPlateInstance::SettleMatrix() const
{
    float* m = m_matModel.data();
    m[12] = m_fColumnX;
    m[13] = m_fColumnY;
    m_matModel.optimize();
    m_bPending = false;
}

void KzPlateInstance::Unsettle()
{
    Settle();
    m_bPlain = false;
}

namespace {

// Nothing off the diagonal but the translation column, the last row
// (0, 0, 0, 1), to the bit, and every value finite. Multiplied by a
// translation after optimize(), such a matrix takes QMatrix4x4's short way
// (scale and translation only), which adds the translation's x and y to the
// column's and leaves every other bit as it is: the column's z is 0 + z,
// and a product by a translation never leaves it -0.
bool IsPlain(const QMatrix4x4& matrix)
{
    const float* m = matrix.constData();
    const auto bits = [m](int i) {
        quint32 b;
        std::memcpy(&b, &m[i], sizeof b);
        return b;
    };
    for (int i : {0, 5, 10, 12, 13, 14}) {
        if (!std::isfinite(m[i]))
            return false;
    }
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 11}) {
        if (bits(i) != 0)
            return false;
    }
    return m[15] == 1.0f;
}

} // namespace

// Translate when the matrix is not plain (IsPlain) or its moves are not yet
// kept aside: as t * m followed by optimize().
void KzPlateInstance::TranslateFully(float dx, float dy)
{
    if (m_bPlain) {
        m_fColumnX = dx + m_matModel.constData()[12];
        m_fColumnY = dy + m_matModel.constData()[13];
        m_bPending = true;
    } else {
        QMatrix4x4 t;
        t.translate(dx, dy, 0);
        m_matModel = t * m_matModel;
        m_matModel.optimize();
        m_bPlain = IsPlain(m_matModel);
    }
    FollowMove(dx, dy);
}

void KzPlateInstance::ResetTransform()
{
    Place();
}

void KzPlateInstance::SetModelMatrix(const QMatrix4x4& m, bool centre)
{
    Unsettle();
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
    Settle();
    QVector<KzTriangle3D> triangles = m_pModel->Triangls();
    for (KzTriangle3D& t : triangles)
        t.Convert(m_matModel);
    return triangles;
}

QVector3D KzPlateInstance::FaceNormal(int i) const
{
    if (i < 0 || i >= m_pModel->Count())
        return QVector3D();
    Settle();
    return m_matModel.mapVector(m_pModel->Item(i).GetNormal());
}

bool KzPlateInstance::State::operator==(const State& other) const
{
    auto same = [](const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; };
    return same(matrix.constData(), other.matrix.constData(), 16 * sizeof(float))
           && same(&max, &other.max, sizeof max) && same(&min, &other.min, sizeof min)
           && same(&center, &other.center, sizeof center) && hull.size() == other.hull.size()
           && same(hull.constData(), other.hull.constData(), size_t(hull.size()) * sizeof(QVector2D))
           && same(&area, &other.area, sizeof area);
}

KzPlateInstance::State KzPlateInstance::GetState() const
{
    Settle();
    return State{m_matModel, m_vMax, m_vMin, m_vCenter, GetHull(), m_fArea};
}

void KzPlateInstance::SetState(const State& state)
{
    Unsettle();
    m_matModel = state.matrix;
    m_vMax = state.max;
    m_vMin = state.min;
    m_vCenter = state.center;
    m_vecHull = state.hull;
    m_fArea = state.area;
    m_vecSteps.clear();
    m_bExtent = false;
}
