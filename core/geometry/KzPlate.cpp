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

double Squared(const QVector2D& v)
{
    return double(v.x()) * v.x() + double(v.y()) * v.y();
}

// Length(step) <= limit, without the square root where the squares tell:
// a square within limit's (exact in doubles) has its root within limit, and
// one past (limit + 2^-20 of it)'s has a root that rounds to more.
bool Within(const QVector2D& step, float limit)
{
    if (!std::isfinite(step.x()) || !std::isfinite(step.y()))
        return false;
    const double squared = Squared(step);
    const double wide = double(limit) * (1 + 1.0 / (1 << 20));
    if (squared <= double(limit) * limit)
        return true;
    return squared <= wide * wide && float(std::sqrt(squared)) <= limit;
}

// Length(k) >= Length(best), given best's square: a square no smaller has a
// root no smaller, rounded or not.
bool NoNearer(const QVector2D& k, double bestSquared, float bestLength)
{
    const double squared = Squared(k);
    return squared >= bestSquared || float(std::sqrt(squared)) >= bestLength;
}

// The new instance as it would stand moved by d straight from where it was
// made, without moving it: its extent and disc follow the move, and its
// footprint is moved only when the polygon test asks for it, each point by
// one float sum, the sums a move (Translate) by d makes.
class Spot
{
public:
    explicit Spot(const KzPlateInstance& p)
        : m_start(p.GetInscribedExtent())
        , m_vecStart(p.GetHull())
    {
    }

    void MoveBy(const QVector2D& d)
    {
        m_d = d;
        m_extent = m_start;
        m_bHull = false;
        if (!m_extent.Follow(d)) {
            // Not finite, or too far to trust the shortcuts' allowances.
            m_extent = Extent::Of(GetHull());
            m_extent.Inscribe(m_vecHull);
        }
    }
    const Extent& GetExtent() const { return m_extent; }
    const QVector<QVector2D>& GetHull()
    {
        if (!m_bHull) {
            m_vecHull.resize(m_vecStart.size());
            for (int i = 0; i < m_vecStart.size(); ++i)
                m_vecHull[i] = QVector2D(m_vecStart[i].x() + m_d.x(), m_vecStart[i].y() + m_d.y());
            m_bHull = true;
        }
        return m_vecHull;
    }

private:
    const Extent m_start;
    const QVector<QVector2D> m_vecStart;
    QVector2D m_d;
    Extent m_extent;
    QVector<QVector2D> m_vecHull;
    bool m_bHull = false;
};

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
    using Guesses = std::array<quint32, 8>;

    explicit Neighbourhood(const QMap<int, KzPlateInstance*>& instances)
    {
        const size_t n = size_t(instances.size());
        m_vecOthers.resize(n);
        m_vecBoxes.resize(n);
        m_vecDiscs.resize(n);
        m_vecCenters.resize(n);
        m_vecSizes.resize(n);
        m_vecGridded.resize(n);
        double largest = 1;
        bool anyGridded = false;
        size_t o = 0;
        for (const KzPlateInstance* q : instances) {
            const Extent& e = q->GetInscribedExtent();
            const bool gridded = e.finite && e.reach <= 1e6;
            if (!gridded)
                m_vecAlways.push_back(quint32(o));
            m_vecOthers[o] = q;
            m_vecBoxes[o] = e.GetBox();
            m_vecDiscs[o] = e.GetDisc();
            m_vecCenters[o] = q->GetCenter().toVector2D();
            m_vecSizes[o] = (q->GetMax() - q->GetMin()).toVector2D();
            m_vecGridded[o++] = gridded;
            if (gridded) {
                largest = std::max({largest, double(e.maxX) - e.minX, double(e.maxY) - e.minY});
                if (!anyGridded)
                    m_gridded = e.GetBox();
                m_gridded = Extent::Box{std::min(m_gridded.minX, e.minX), std::max(m_gridded.maxX, e.maxX),
                                        std::min(m_gridded.minY, e.minY), std::max(m_gridded.maxY, e.maxY),
                                        true, false, false};
                anyGridded = true;
            }
        }
        m_dCell = largest;
    }

    quint32 Count() const { return quint32(m_vecOthers.size()); }
    QVector2D Center(quint32 o) const { return m_vecCenters[o]; }
    QVector2D Size(quint32 o) const { return m_vecSizes[o]; }

    // Whether a footprint with this disc overlaps o for sure.
    bool SurelyBlocked(const Extent::Disc& disc, quint32 o) const
    {
        return o < m_vecDiscs.size() && Extent::SurelyOverlapping(disc, m_vecDiscs[o]);
    }

    // Whether p's footprint overlaps none of the others, as the polygon test
    // tells; it is asked only where neither shortcut knows. in the way gets
    // the one that overlaps it, and is asked first.
    bool IsFree(Spot& p, quint32& inTheWay)
    {
        const Extent& here = p.GetExtent();
        const Extent::Box box = here.GetBox();
        m_bDisc = false;
        if (inTheWay < m_vecOthers.size() && Collides(p, box, inTheWay))
            return false;
        // Most new instances ask few spots this far: the first few go
        // through every box, which costs less than laying out the cells.
        if (!m_bLaid && m_nAsked++ >= kAskedBeforeCells) {
            Lay();
            m_vecSeen.assign(m_vecOthers.size(), 0);
            m_bLaid = true;
        }
        ++m_nStamp;
        if (!m_bLaid || !here.finite || !here.HasAxisEdges() || here.reach > 1e6) {
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

    bool CellCollides(Spot& p, const Extent::Box& box, qint64 x, qint64 y, quint32& o)
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

    bool Collides(Spot& p, const Extent::Box& box, quint32 o)
    {
        return !Extent::SurelyApart(box, m_vecBoxes[o]) && Asked(p, o);
    }

    // Past SurelyApart: the discs, then the polygon test.
    bool Asked(Spot& p, quint32 o)
    {
        if (!m_bDisc) {
            m_disc = p.GetExtent().GetDisc();
            m_bDisc = true;
        }
        if (Extent::SurelyOverlapping(m_disc, m_vecDiscs[o]))
            return true;
        QVector2D push;
        return KPolygonAlgorithm::PolygonCollisionPushVector(p.GetHull(), m_vecOthers[o]->GetHull(), push);
    }

    // The cells the extents cover, counted, then filled in; cells twice as
    // large while there would be far more of them than instances. Cell keeps
    // the order, so the grid spans the cells of the extents' common box.
    void Lay()
    {
        if (m_vecAlways.size() == m_vecOthers.size())
            return;   // no cells
        for (;; m_dCell *= 2) {
            m_dPerCell = 1 / m_dCell;
            m_nX0 = Cell(m_gridded.minX);
            m_nY0 = Cell(m_gridded.minY);
            m_nWidth = Cell(m_gridded.maxX) - m_nX0 + 1;
            m_nHeight = Cell(m_gridded.maxY) - m_nY0 + 1;
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
            if (!m_vecGridded[o])
                continue;
            const Extent::Box& e = m_vecBoxes[o];
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
    std::vector<QVector2D> m_vecCenters;
    std::vector<QVector2D> m_vecSizes;   // of the boxes, in x and y
    std::vector<bool> m_vecGridded;      // finite and not too far out for cells
    Extent::Box m_gridded{};             // the common box of those
    std::vector<quint32> m_vecAlways;
    std::vector<size_t> m_vecStart;    // cell c holds m_vecInCell[m_vecStart[c] .. m_vecStart[c + 1])
    std::vector<Entry> m_vecInCell;
    std::vector<quint32> m_vecSeen;
    quint32 m_nStamp = 0;
    Extent::Disc m_disc{};   // the one asked about, once needed
    bool m_bDisc = false;
    static constexpr int kAskedBeforeCells = 4;
    int m_nAsked = 0;
    bool m_bLaid = false;
    double m_dCell = 1;
    double m_dPerCell = 1;   // 1 / m_dCell
    qint64 m_nX0 = 0, m_nY0 = 0, m_nWidth = 0, m_nHeight = 0;
};

const int kNeighbour[8][2] = {{1, 1}, {0, 1}, {-1, 1}, {1, 0}, {-1, 0}, {1, -1}, {0, -1}, {-1, -1}};

// How far the neighbours of the o-th instance stand from its centre, for a
// new instance of size across (in x and y), and neighbour i there.
QVector2D Gap(const Neighbourhood& others, quint32 o, const QVector2D& size)
{
    return (others.Size(o) + size) / 2 + QVector2D(4, 4);
}

QVector2D Neighbour(const QVector2D& centre, const QVector2D& gap, int i)
{
    return centre + QVector2D(kNeighbour[i][0] * gap.x(), kNeighbour[i][1] * gap.y());
}

// The spots in turn: target gets the free one nearest the origin, the first
// of equals. guesses holds, for each spot beside each instance, the one
// found in its way when it was last tried; it is asked first, by the discs
// alone, which answers most spots on a crowded plate without moving anything.
bool FindFree(const KzPlateInstance& p, Neighbourhood& others, std::vector<Neighbourhood::Guesses>& guesses,
              const Extent::Disc& disc, float limit, QVector2D& target)
{
    const QVector2D size = (p.GetMax() - p.GetMin()).toVector2D();
    const QVector2D home = p.GetCenter().toVector2D();
    bool found = false;
    float bestLength = 0;
    double bestSquared = 0;
    Spot spot(p);
    for (quint32 o = 0; o < others.Count(); ++o) {
        const QVector2D gap = Gap(others, o, size);
        for (int i = 0; i < 8; ++i) {
            const QVector2D k = Neighbour(others.Center(o), gap, i);
            const QVector2D d = k - home;
            if (!Within(d, limit) || (found && NoNearer(k, bestSquared, bestLength)))
                continue;
            Extent::Disc here = disc;
            here.cx += d.x();
            here.cy += d.y();
            quint32& guess = guesses[o][size_t(i)];
            if (others.SurelyBlocked(here, guess))
                continue;
            spot.MoveBy(d);
            if (others.IsFree(spot, guess)) {
                found = true;
                target = k;
                bestLength = Length(k);
                bestSquared = Squared(k);
            }
        }
    }
    return found;
}

// With none free: the last spot tried, if any.
bool LastTried(const KzPlateInstance& p, const Neighbourhood& others, float limit, QVector2D& target)
{
    const QVector2D size = (p.GetMax() - p.GetMin()).toVector2D();
    const QVector2D home = p.GetCenter().toVector2D();
    for (quint32 o = others.Count(); o-- > 0;) {
        for (int i = 8; i-- > 0;) {
            target = Neighbour(others.Center(o), Gap(others, o, size), i);
            if (Within(target - home, limit))
                return true;
        }
    }
    return false;
}

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

// Tries the eight neighbours (4 mm apart) of every instance, each as the new
// instance moved there straight from where it was made, and takes the free
// one nearest the plate's origin (the first tried of equals); with none free
// it goes to the last one tried. Neighbours further from where the new
// instance stands than the plate allows are not tried: with none left it
// stays where it was made.
void KzPlate::PlaceNew(KzPlateInstance* p)
{
    if (m_mapInstances.isEmpty())
        return;
    // The others stand still meanwhile, and the new one where it was made.
    Neighbourhood others(m_mapInstances);
    const QVector2D home = p->GetCenter().toVector2D();
    const float limit = GetMoveLimit();
    // No coordinate moves further than the limit (the drift of a move adds
    // far less than a millimetre).
    const Extent& start = p->GetInscribedExtent();
    const Extent::Disc disc = start.DiscForMove(start.reach + double(limit) * 1.001 + 1);
    if (m_vecGuesses.size() < size_t(others.Count())) {
        Neighbourhood::Guesses none;
        none.fill(Neighbourhood::kNone);
        m_vecGuesses.resize(size_t(others.Count()), none);
    }
    QVector2D target;
    if (FindFree(*p, others, m_vecGuesses, disc, limit, target) || LastTried(*p, others, limit, target))
        p->Translate(target - home);
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
