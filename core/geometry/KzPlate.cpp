#include "KzPlate.h"

#include "Kz3mfReader.h"
#include "KPolygonAlgorithm.h"
#include "KzFootprintExtent.h"
#include "KzLoadReport.h"
#include "KzModel3D.h"
#include "KzModelWriter.h"
#include "KzPlateInstance.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

using Extent = KzFootprintExtent;

// QVector2D::length() as Qt 5 works it out (in doubles, rounded once to a
// float), inline: placement asks it for every spot it tries.
float Length(const QVector2D& v)
{
    return float(std::sqrt(double(v.x()) * v.x() + double(v.y()) * v.y()));
}

// Length(step) <= limit, without the square root where the squares tell:
// a square within limit's (exact in doubles) has its root within limit.
bool Within(const QVector2D& step, float limit)
{
    if (!std::isfinite(step.x()) || !std::isfinite(step.y()))
        return false;
    const double squared = double(step.x()) * step.x() + double(step.y()) * step.y();
    return squared <= double(limit) * limit || float(std::sqrt(squared)) <= limit;
}

// The footprints of the instances standing on the plate, and a grid of
// cells over their extents: a footprint with edges along both axes can only
// overlap those whose extents share a cell with its own (others are surely
// apart); footprints without such edges, or not finite, are always asked.
// The extents are the instances' own, kept from one placement to the next;
// their boxes and discs are copied side by side here (the others stand still
// meanwhile), and the grid is laid out flat, each cell a run of boxes. The
// one found in the way last time a spot was tried is asked first, then the
// cell round the middle of the footprint, where what it lands on mostly
// stands.
class Neighbourhood
{
public:
    static constexpr quint32 kNone = 0xFFFFFFFFu;

    explicit Neighbourhood(const QMap<int, KzPlateInstance*>& instances)
    {
        m_vecOthers.reserve(size_t(instances.size()));
        m_vecBoxes.reserve(size_t(instances.size()));
        m_vecDiscs.reserve(size_t(instances.size()));
        double largest = 1;
        for (const KzPlateInstance* q : instances) {
            const Extent& e = q->GetInscribedExtent();
            if (!Gridded(e))
                m_vecAlways.push_back(quint32(m_vecOthers.size()));
            m_vecOthers.push_back(q);
            m_vecBoxes.push_back(e.GetBox());
            m_vecDiscs.push_back(e.GetDisc());
            if (e.finite)
                largest = std::max({largest, double(e.maxX) - e.minX, double(e.maxY) - e.minY});
        }
        m_dCell = largest;
        Lay();
        m_vecSeen.assign(m_vecOthers.size(), 0);
    }

    // Whether p's footprint overlaps none of the others, as the polygon test
    // tells; it is asked only where neither shortcut knows. in the way gets
    // the one that overlaps it, and is asked first.
    bool IsFree(const KzPlateInstance& p, quint32& inTheWay)
    {
        const Extent& here = p.GetExtent();
        const Extent::Box box = here.GetBox();
        m_bDisc = false;
        if (inTheWay < m_vecOthers.size() && Collides(p, box, inTheWay))
            return false;
        ++m_nStamp;
        if (!here.finite || !here.HasAxisEdges() || here.reach > 1e6) {
            for (quint32 o = 0; o < m_vecOthers.size(); ++o) {
                if (Collides(p, box, o))
                    return Blocked(inTheWay, o);
            }
            return true;
        }
        for (quint32 o : m_vecAlways) {
            if (Collides(p, box, o))
                return Blocked(inTheWay, o);
        }
        const qint64 x0 = std::max(Cell(here.minX), m_nX0), x1 = std::min(Cell(here.maxX), m_nX0 + m_nWidth - 1);
        const qint64 y0 = std::max(Cell(here.minY), m_nY0), y1 = std::min(Cell(here.maxY), m_nY0 + m_nHeight - 1);
        if (x0 > x1 || y0 > y1)
            return true;
        const qint64 mx = std::min(std::max(Cell((here.minX + here.maxX) / 2), x0), x1);
        const qint64 my = std::min(std::max(Cell((here.minY + here.maxY) / 2), y0), y1);
        quint32 o = kNone;
        if (CellCollides(p, box, mx, my, o))
            return Blocked(inTheWay, o);
        for (qint64 x = x0; x <= x1; ++x) {
            for (qint64 y = y0; y <= y1; ++y) {
                if ((x != mx || y != my) && CellCollides(p, box, x, y, o))
                    return Blocked(inTheWay, o);
            }
        }
        return true;
    }

private:
    struct Entry
    {
        Extent::Box box;
        quint32 other;
    };

    static bool Blocked(quint32& inTheWay, quint32 o)
    {
        inTheWay = o;
        return false;
    }

    bool CellCollides(const KzPlateInstance& p, const Extent::Box& box, qint64 x, qint64 y, quint32& o)
    {
        const size_t cell = size_t((x - m_nX0) * m_nHeight + (y - m_nY0));
        for (size_t i = m_vecStart[cell]; i < m_vecStart[cell + 1]; ++i) {
            const Entry& entry = m_vecInCell[i];
            if (m_vecSeen[entry.other] == m_nStamp)
                continue;
            m_vecSeen[entry.other] = m_nStamp;
            if (!Extent::SurelyApart(box, entry.box) && Asked(p, entry.other)) {
                o = entry.other;
                return true;
            }
        }
        return false;
    }

    bool Collides(const KzPlateInstance& p, const Extent::Box& box, quint32 o)
    {
        return !Extent::SurelyApart(box, m_vecBoxes[o]) && Asked(p, o);
    }

    // Past SurelyApart: the discs, then the polygon test.
    bool Asked(const KzPlateInstance& p, quint32 o)
    {
        if (!m_bDisc) {
            m_disc = p.GetInscribedExtent().GetDisc();
            m_bDisc = true;
        }
        if (Extent::SurelyOverlapping(m_disc, m_vecDiscs[o]))
            return true;
        QVector2D push;
        return KPolygonAlgorithm::PolygonCollisionPushVector(p.GetHull(), m_vecOthers[o]->GetHull(), push);
    }

    static bool Gridded(const Extent& e) { return e.finite && e.reach <= 1e6; }

    // The cells the extents cover, counted, then filled in; cells twice as
    // large while there would be far more of them than instances.
    void Lay()
    {
        if (m_vecAlways.size() == m_vecOthers.size())
            return;   // no cells
        for (;; m_dCell *= 2) {
            m_dPerCell = 1 / m_dCell;
            qint64 x1 = std::numeric_limits<qint64>::min(), y1 = x1;
            m_nX0 = m_nY0 = std::numeric_limits<qint64>::max();
            for (const KzPlateInstance* q : m_vecOthers) {
                const Extent& e = q->GetExtent();
                if (!Gridded(e))
                    continue;
                m_nX0 = std::min(m_nX0, Cell(e.minX));
                m_nY0 = std::min(m_nY0, Cell(e.minY));
                x1 = std::max(x1, Cell(e.maxX));
                y1 = std::max(y1, Cell(e.maxY));
            }
            m_nWidth = x1 - m_nX0 + 1;
            m_nHeight = y1 - m_nY0 + 1;
            if (m_nWidth * m_nHeight <= 4 * qint64(m_vecOthers.size()) + 64)
                break;
        }
        m_vecStart.assign(size_t(m_nWidth * m_nHeight) + 1, 0);
        EachCell([this](size_t cell, size_t) { ++m_vecStart[cell + 1]; });
        for (size_t c = 1; c < m_vecStart.size(); ++c)
            m_vecStart[c] += m_vecStart[c - 1];
        m_vecInCell.resize(m_vecStart.back());
        std::vector<size_t> next(m_vecStart.begin(), m_vecStart.end() - 1);
        EachCell([this, &next](size_t cell, size_t o) {
            m_vecInCell[next[cell]++] = Entry{m_vecBoxes[o], quint32(o)};
        });
    }

    template <typename F>
    void EachCell(const F& f)
    {
        for (size_t o = 0; o < m_vecOthers.size(); ++o) {
            const Extent& e = m_vecOthers[o]->GetExtent();
            if (!Gridded(e))
                continue;
            for (qint64 x = Cell(e.minX); x <= Cell(e.maxX); ++x) {
                for (qint64 y = Cell(e.minY); y <= Cell(e.maxY); ++y)
                    f(size_t((x - m_nX0) * m_nHeight + (y - m_nY0)), o);
            }
        }
    }

    // About floor(v / cell), far inside 64 bits for the extents gridded.
    // Rounded or not, it keeps the order of v: extents that overlap share
    // a cell.
    qint64 Cell(float v) const
    {
        const double q = double(v) * m_dPerCell;
        const qint64 i = qint64(q);
        return i - qint64(double(i) > q);
    }

    std::vector<const KzPlateInstance*> m_vecOthers;
    std::vector<Extent::Box> m_vecBoxes;
    std::vector<Extent::Disc> m_vecDiscs;
    std::vector<quint32> m_vecAlways;
    std::vector<size_t> m_vecStart;    // cell c holds m_vecInCell[m_vecStart[c] .. m_vecStart[c + 1])
    std::vector<Entry> m_vecInCell;
    std::vector<quint32> m_vecSeen;
    quint32 m_nStamp = 0;
    Extent::Disc m_disc{};   // the one asked about, once needed
    bool m_bDisc = false;
    double m_dCell = 1;
    double m_dPerCell = 1;   // 1 / m_dCell
    qint64 m_nX0 = 0, m_nY0 = 0, m_nWidth = 0, m_nHeight = 0;
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
    return Within(step, GetMoveLimit());
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
    const float limit = GetMoveLimit();
    bool found = false;
    QVector2D best;
    float bestLength = 0;
    // The others stand still meanwhile.
    Neighbourhood others(m_mapInstances);
    if (m_vecInTheWay.size() < size_t(m_mapInstances.size())) {
        InTheWay none;
        none.fill(Neighbourhood::kNone);
        m_vecInTheWay.resize(size_t(m_mapInstances.size()), none);
    }
    auto inTheWay = m_vecInTheWay.begin();
    for (const KzPlateInstance* q : qAsConst(m_mapInstances)) {
        InTheWay& around = *inTheWay++;
        const QVector2D gap = ((q->GetMax() - q->GetMin()).toVector2D() + size) / 2 + QVector2D(4, 4);
        const QVector2D c = q->GetCenter().toVector2D();
        for (int i = 0; i < 8; ++i) {
            const auto& n = kNeighbour[i];
            const QVector2D k = c + QVector2D(n[0] * gap.x(), n[1] * gap.y());
            if (!Within(k - home, limit))
                continue;
            p->Translate(k - p->GetCenter().toVector2D());
            if (found && Length(k) >= bestLength)
                continue;
            if (others.IsFree(*p, around[size_t(i)])) {
                found = true;
                best = k;
                bestLength = Length(k);
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
