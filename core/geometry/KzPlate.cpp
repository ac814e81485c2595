#include "KzPlate.h"

#include "Kz3mfReader.h"
#include "KPolygonAlgorithm.h"
#include "KzLoadReport.h"
#include "KzModel3D.h"
#include "KzModelWriter.h"
#include "KzPlateInstance.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

namespace {

// A footprint's extent, whether one of its edges runs exactly along the x
// axis (horizontal) or the y axis (vertical), and (once asked for) a disc
// inside it.
struct Extent
{
    float minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool vertical = false;
    bool horizontal = false;
    bool finite = true;
    bool shortEdge = false;   // an edge the polygon test cannot take a direction from
    double reach = 0;         // the largest coordinate, by size
    bool inscribed = false;
    double cx = 0, cy = 0, radius = 0;
};

Extent ExtentOf(const QVector<QVector2D>& hull)
{
    Extent e;
    const int n = hull.size();
    if (n == 0) {
        e.finite = false;
        return e;
    }
    e.minX = e.maxX = hull[0].x();
    e.minY = e.maxY = hull[0].y();
    for (int i = 0; i < n; ++i) {
        const QVector2D& a = hull[i];
        const QVector2D& b = hull[(i + 1) % n];
        if (!std::isfinite(a.x()) || !std::isfinite(a.y()))
            e.finite = false;
        e.minX = std::min(e.minX, a.x());
        e.maxX = std::max(e.maxX, a.x());
        e.minY = std::min(e.minY, a.y());
        e.maxY = std::max(e.maxY, a.y());
        e.vertical = e.vertical || (a.x() == b.x() && a.y() != b.y());
        e.horizontal = e.horizontal || (a.y() == b.y() && a.x() != b.x());
        const double dx = double(b.x() - a.x()), dy = double(b.y() - a.y());
        e.shortEdge = e.shortEdge || dx * dx + dy * dy <= 1e-9;
    }
    e.reach = std::max({std::abs(double(e.minX)), std::abs(double(e.maxX)), std::abs(double(e.minY)),
                        std::abs(double(e.maxY))});
    return e;
}

// The largest disc about the mean of the corners that stays inside every
// edge; none when the mean is not strictly inside.
void Inscribe(Extent& e, const QVector<QVector2D>& hull)
{
    e.inscribed = true;
    const int n = hull.size();
    if (n < 3 || e.shortEdge || !e.finite)
        return;
    for (const QVector2D& a : hull) {
        e.cx += double(a.x()) / n;
        e.cy += double(a.y()) / n;
    }
    double least = -1;   // squared distance to the nearest edge line
    int side = 0;
    for (int i = 0; i < n; ++i) {
        const QVector2D& a = hull[i];
        const QVector2D& b = hull[(i + 1) % n];
        const double dx = double(b.x()) - a.x(), dy = double(b.y()) - a.y();
        const double cross = dx * (e.cy - a.y()) - dy * (e.cx - a.x());
        const int sign = cross > 0 ? 1 : (cross < 0 ? -1 : 0);
        if (sign == 0 || (side != 0 && sign != side))
            return;
        side = sign;
        const double squared = cross * cross / (dx * dx + dy * dy);
        least = least < 0 ? squared : std::min(least, squared);
    }
    e.radius = std::sqrt(least);
}

// True when PolygonCollisionPushVector is sure to find a and b apart, without
// asking it. It tries the normal of every edge of both: an edge exactly along
// the y axis has the x axis for its normal (unit, or within rounding of unit
// and then kept as it is), and along it every projection is the x coordinate
// times one factor, rounded, so in the coordinates' order. Extents apart in x
// (touching is apart, as there) are then apart in that test; likewise in y.
bool SurelyApart(const Extent& a, const Extent& b)
{
    if (!a.finite || !b.finite)
        return false;
    if ((a.vertical || b.vertical) && (b.maxX <= a.minX || b.minX >= a.maxX))
        return true;
    return (a.horizontal || b.horizontal) && (b.maxY <= a.minY || b.minY >= a.maxY);
}

// True when PolygonCollisionPushVector is sure to find a and b overlapping:
// discs inside each that overlap by more than the test's rounding (a few
// units in the last place of the largest coordinate, here taken a thousand
// times over) overlap along every direction the test tries. Not when an edge
// is too short to give it a direction: it finds the polygons apart then.
bool SurelyOverlapping(const Extent& a, const Extent& b)
{
    if (!a.finite || !b.finite || a.shortEdge || b.shortEdge || a.radius <= 0 || b.radius <= 0)
        return false;
    const double slack = 0.01 + 1e-4 * std::max(a.reach, b.reach);
    return std::hypot(a.cx - b.cx, a.cy - b.cy) < a.radius + b.radius - slack;
}

// The footprints of the instances standing on the plate, and a grid of
// cells over their extents: a footprint with edges along both axes can only
// overlap those whose extents share a cell with its own (others are surely
// apart); footprints without such edges, or not finite, are always asked.
class Neighbourhood
{
public:
    explicit Neighbourhood(const QMap<int, KzPlateInstance*>& instances)
    {
        for (const KzPlateInstance* q : instances) {
            m_vecOthers.push_back(q);
            m_vecExtents.push_back(ExtentOf(q->GetHull()));
        }
        double largest = 1;
        for (const Extent& e : m_vecExtents) {
            if (e.finite)
                largest = std::max({largest, double(e.maxX) - e.minX, double(e.maxY) - e.minY});
        }
        m_dCell = largest;
        for (size_t o = 0; o < m_vecExtents.size(); ++o) {
            const Extent& e = m_vecExtents[o];
            if (!e.finite || e.reach > 1e6) {
                m_vecAlways.push_back(o);
                continue;
            }
            for (qint64 x = Cell(e.minX); x <= Cell(e.maxX); ++x) {
                for (qint64 y = Cell(e.minY); y <= Cell(e.maxY); ++y)
                    m_mapCells[Key(x, y)].push_back(o);
            }
        }
        m_vecSeen.assign(m_vecOthers.size(), 0);
    }

    // Whether the footprint overlaps none of the others, as the polygon test
    // tells; it is asked only where neither of the shortcuts above knows.
    bool IsFree(const QVector<QVector2D>& hull)
    {
        Extent here = ExtentOf(hull);
        ++m_nStamp;
        if (!here.finite || !here.vertical || !here.horizontal || here.reach > 1e6) {
            for (size_t o = 0; o < m_vecOthers.size(); ++o) {
                if (Collides(here, hull, o))
                    return false;
            }
            return true;
        }
        for (size_t o : m_vecAlways) {
            if (Collides(here, hull, o))
                return false;
        }
        for (qint64 x = Cell(here.minX); x <= Cell(here.maxX); ++x) {
            for (qint64 y = Cell(here.minY); y <= Cell(here.maxY); ++y) {
                const auto cell = m_mapCells.find(Key(x, y));
                if (cell == m_mapCells.end())
                    continue;
                for (size_t o : cell->second) {
                    if (m_vecSeen[o] == m_nStamp)
                        continue;
                    m_vecSeen[o] = m_nStamp;
                    if (Collides(here, hull, o))
                        return false;
                }
            }
        }
        return true;
    }

private:
    bool Collides(Extent& here, const QVector<QVector2D>& hull, size_t o)
    {
        Extent& there = m_vecExtents[o];
        if (SurelyApart(here, there))
            return false;
        if (!here.inscribed)
            Inscribe(here, hull);
        if (!there.inscribed)
            Inscribe(there, m_vecOthers[o]->GetHull());
        if (SurelyOverlapping(here, there))
            return true;
        QVector2D push;
        return KPolygonAlgorithm::PolygonCollisionPushVector(hull, m_vecOthers[o]->GetHull(), push);
    }

    qint64 Cell(float v) const { return qint64(std::floor(double(v) / m_dCell)); }
    static quint64 Key(qint64 x, qint64 y) { return (quint64(x) << 32) ^ quint64(y & 0xFFFFFFFF); }

    std::vector<const KzPlateInstance*> m_vecOthers;
    std::vector<Extent> m_vecExtents;
    std::vector<size_t> m_vecAlways;
    std::unordered_map<quint64, std::vector<size_t>> m_mapCells;
    std::vector<quint32> m_vecSeen;
    quint32 m_nStamp = 0;
    double m_dCell = 1;
};

} // namespace

KzPlate::KzPlate()
    : m_vBoundMax(50, 50, 100)
    , m_vBoundMin(-50, -50, 0)
{
}

KzPlate::~KzPlate()
{
    // Instances first: they release their models' references.
    m_vecOwned.clear();
    qDeleteAll(m_mapModels);
}

void KzPlate::SetBound(const QVector3D& max, const QVector3D& min)
{
    m_vBoundMax = max;
    m_vBoundMin = min;
}

// ---- Models and instances ----

KzModel3D* KzPlate::LoadModel(const QString& path, KzLoadReport& report)
{
    for (KzModel3D* loaded : qAsConst(m_mapModels)) {
        if (loaded->FileName() == path) {
            report = loaded->GetLoadReport();   // the same file: the same facts
            return loaded;
        }
    }
    auto* model = new KzModel3D;
    model->LoadSTLFile(path);
    report = model->GetLoadReport();
    if (!report.IsUsable()) {
        delete model;   // nothing on the plate has changed
        return nullptr;
    }
    m_mapModels.insert(model->ID(), model);
    return model;
}

void KzPlate::AdoptModel(KzModel3D* model)
{
    m_mapModels.insert(model->ID(), model);
}

void KzPlate::ReleaseModel(KzModel3D* model)
{
    if (model->IsRefered())
        return;
    m_mapModels.remove(model->ID());
    delete model;
}

void KzPlate::ForgetModel(KzModel3D* model)
{
    if (m_mapModels.value(model->ID()) == model)
        m_mapModels.remove(model->ID());
}

KzPlateInstance* KzPlate::AddModelFile(const QString& path, KzLoadReport& report)
{
    if (Kz3mfReader::IsPackagePath(path)) {
        const auto make = [](KzModel3D* model, const QMatrix4x4& m) { return new KzPlateInstance(model, m); };
        const auto next = [this](int) { return m_mapInstances.isEmpty() ? 1 : m_mapInstances.lastKey() + 1; };
        const QVector<KzPlateInstance*> made = AddPackageFile(path, report, make, next);
        for (KzPlateInstance* instance : made)
            m_vecOwned.emplace_back(instance);
        return made.isEmpty() ? nullptr : made.first();
    }
    KzModel3D* model = LoadModel(path, report);
    if (model == nullptr)
        return nullptr;
    m_vecOwned.emplace_back(new KzPlateInstance(model));
    KzPlateInstance* instance = m_vecOwned.back().get();
    Add(m_mapInstances.isEmpty() ? 1 : m_mapInstances.lastKey() + 1, instance);
    return instance;
}

QVector<KzPlateInstance*> KzPlate::AddPackageFile(const QString& path, KzLoadReport& report,
                                                  const Kz3mfPlate::MakeInstance& make,
                                                  const std::function<int(int)>& key)
{
    bool kept = false;
    const QVector<KzPlateInstance*> made = m_packages.Open(*this, path, make, kept, report);
    for (int i = 0; i < made.size(); ++i) {
        if (kept)
            Insert(key(i), made[i]);
        else
            Add(key(i), made[i]);
    }
    return made;
}

void KzPlate::Insert(int key, KzPlateInstance* instance)
{
    m_mapInstances.insert(key, instance);
}

void KzPlate::Remove(int key)
{
    m_mapInstances.remove(key);
}

// ---- Bounds ----

bool KzPlate::IsInBound(const KzPlateInstance& p) const
{
    return p.GetMax().x() < m_vBoundMax.x() && p.GetMax().y() < m_vBoundMax.y()
           && p.GetMin().x() > m_vBoundMin.x() && p.GetMin().y() > m_vBoundMin.y();
}

bool KzPlate::AreAllInBound() const
{
    for (const KzPlateInstance* p : m_mapInstances) {
        if (!IsInBound(*p) || p->GetMax().z() > m_vBoundMax.z())
            return false;
    }
    return true;
}

// ---- Placement ----

bool KzPlate::Add(int key, KzPlateInstance* instance)
{
    PlaceNew(instance);
    m_mapInstances.insert(key, instance);
    return !IsInBound(*instance) && RecenterAll();
}

// The first instance stands at the plate's origin, each further one goes
// beside those placed before it.
void KzPlate::ArrangeAll()
{
    QList<int> order = m_mapInstances.keys();
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return m_mapInstances.value(a)->FootprintArea() > m_mapInstances.value(b)->FootprintArea();
    });
    const QMap<int, KzPlateInstance*> instances = m_mapInstances;
    m_mapInstances.clear();
    for (int key : qAsConst(order)) {
        KzPlateInstance* p = instances.value(key);
        const QVector2D home = -p->GetCenter().toVector2D();
        if (WithinMoveLimit(home))
            p->Translate(home);
        Add(key, p);
    }
    RecenterAll();
}

float KzPlate::GetMoveLimit() const
{
    return (m_vBoundMax - m_vBoundMin).toVector2D().length();
}

bool KzPlate::WithinMoveLimit(const QVector2D& step) const
{
    return std::isfinite(step.x()) && std::isfinite(step.y()) && step.length() <= GetMoveLimit();
}

// Tries the eight neighbours (4 mm apart) of every instance and takes the free
// one nearest the plate's origin; with none free it stays at the last one
// tried. Neighbours further from where the new instance stands than the plate
// allows are not tried: with none left it stays where it was made.
void KzPlate::PlaceNew(KzPlateInstance* p)
{
    if (m_mapInstances.isEmpty())
        return;
    static const int kNeighbour[8][2] = {{1, 1}, {0, 1}, {-1, 1}, {1, 0},
                                         {-1, 0}, {1, -1}, {0, -1}, {-1, -1}};
    const QVector2D size = (p->GetMax() - p->GetMin()).toVector2D();
    const QVector2D home = p->GetCenter().toVector2D();
    bool found = false;
    QVector2D best;
    // The others stand still meanwhile.
    Neighbourhood others(m_mapInstances);
    for (const KzPlateInstance* q : qAsConst(m_mapInstances)) {
        const QVector2D gap = ((q->GetMax() - q->GetMin()).toVector2D() + size) / 2 + QVector2D(4, 4);
        const QVector2D c = q->GetCenter().toVector2D();
        for (const auto& n : kNeighbour) {
            const QVector2D k = c + QVector2D(n[0] * gap.x(), n[1] * gap.y());
            if (!WithinMoveLimit(k - home))
                continue;
            p->Translate(k - p->GetCenter().toVector2D());
            if (found && k.length() >= best.length())
                continue;
            if (others.IsFree(p->GetHull())) {
                found = true;
                best = k;
            }
        }
    }
    if (found)
        p->Translate(best - p->GetCenter().toVector2D());
}

// Pushes in-bound instances that overlap p out of its way, then lets each pushed
// one push in turn, depth first. The chain runs on an explicit stack and is
// limited in pushes: on a crowded plate instances could push each other back and
// forth without end.
void KzPlate::PushAway(KzPlateInstance* first)
{
    const int budget = 32 * (m_mapInstances.size() + 1);
    int pushes = 0;
    QVector<KzPlateInstance*> stack{first};
    while (!stack.isEmpty()) {
        KzPlateInstance* p = stack.takeLast();
        if (!IsInBound(*p))
            continue;
        QVector<KzPlateInstance*> pushed;
        for (KzPlateInstance* q : qAsConst(m_mapInstances)) {
            if (q == p || !IsInBound(*q))
                continue;
            QVector2D push;
            if (!KPolygonAlgorithm::PolygonCollisionPushVector(q->GetHull(), p->GetHull(), push)
                || !WithinMoveLimit(push))
                continue;
            if (pushes++ >= budget)
                return;
            q->Translate(push);
            pushed.append(q);
        }
        for (int i = pushed.size() - 1; i >= 0; --i)
            stack.append(pushed[i]);
    }
}

bool KzPlate::RecenterAll()
{
    QVector2D min(10000, 10000);
    QVector2D max(-10000, -10000);
    for (const KzPlateInstance* p : qAsConst(m_mapInstances)) {
        min.setX(std::min(min.x(), p->GetMin().x()));
        min.setY(std::min(min.y(), p->GetMin().y()));
        max.setX(std::max(max.x(), p->GetMax().x()));
        max.setY(std::max(max.y(), p->GetMax().y()));
    }
    const QVector2D shift = -(min + max) / 2;
    if (!WithinMoveLimit(shift))
        return false;   // a group that far off is not the plate's to centre
    for (KzPlateInstance* p : qAsConst(m_mapInstances))
        p->Translate(shift);
    return true;
}

// ---- The plate as one file ----

bool KzPlate::SaveAll(const QString& path, QVector3D& centre) const
{
    if (m_mapInstances.isEmpty())
        return false;
    if (Kz3mfReader::IsPackagePath(path))
        return m_packages.Save(*this, path, centre);
    KzModelWriter writer;
    bool first = true;
    QVector3D min;
    QVector3D max;
    for (const KzPlateInstance* p : m_mapInstances) {
        const QVector<KzTriangle3D> triangles = p->TransformedTriangles();
        for (const KzTriangle3D& t : triangles) {
            for (int k = 0; k < 3; ++k) {
                if (first) {
                    min = max = t[k];
                    first = false;
                }
                for (int axis = 0; axis < 3; ++axis) {
                    min[axis] = std::min(min[axis], t[k][axis]);
                    max[axis] = std::max(max[axis], t[k][axis]);
                }
            }
        }
        writer.AddTriangles(triangles);
    }
    centre = (min + max) / 2;
    return writer.WriterBinary(path);
}
