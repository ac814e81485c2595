// Placing instances on the plate: where a plate of mixed models ends up must
// not change when placement gets faster.
#include "KPolygonAlgorithm.h"
#include "KzLoadReport.h"
#include "KzMeshFixtures.h"
#include "KzModel3D.h"
#include "KzPlate.h"
#include "KzPlateInstance.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

using KzMeshFixtures::Facet;

namespace {

void Quad(std::vector<Facet>& out, const QVector3D& a, const QVector3D& b, const QVector3D& c, const QVector3D& d)
{
    out.push_back({QVector3D(), {a, b, c}});
    out.push_back({QVector3D(), {a, c, d}});
}

std::vector<Facet> Box(const QVector3D& lo, const QVector3D& hi)
{
    std::vector<Facet> f;
    const float x0 = lo.x(), y0 = lo.y(), z0 = lo.z(), x1 = hi.x(), y1 = hi.y(), z1 = hi.z();
    Quad(f, {x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0});
    Quad(f, {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1});
    Quad(f, {x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1});
    Quad(f, {x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1});
    Quad(f, {x1, y1, z0}, {x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1});
    Quad(f, {x0, y1, z0}, {x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1});
    return f;
}

// An extruded outline of `steps` points whose radius alternates between r and
// r2 every `run` points (a gear when r2 < r), off the origin by `at`.
std::vector<Facet> Prism(int steps, int run, float r, float r2, float height, const QVector3D& at)
{
    std::vector<QVector3D> rim;
    for (int s = 0; s < steps; ++s) {
        const double a = 2 * 3.14159265358979323846 * s / steps;
        const float radius = (s / run) % 2 == 0 ? r : r2;
        rim.emplace_back(at + QVector3D(float(radius * std::cos(a)), float(radius * std::sin(a)), 0));
    }
    std::vector<Facet> f;
    const QVector3D up(0, 0, height);
    for (int s = 0; s < steps; ++s) {
        const QVector3D a = rim[size_t(s)], b = rim[size_t((s + 1) % steps)];
        f.push_back({QVector3D(), {at, b, a}});
        f.push_back({QVector3D(), {at + up, a + up, b + up}});
        Quad(f, a, b, b + up, a + up);
    }
    return f;
}

// Placement by its rule, on public calls only: every spot beside every
// instance tried, each against every instance with the polygon test, the
// instance moved by whole transforms. Each spot is tried with the instance
// moved there straight from where it was made (the plate must place as this
// does, to the bit), or, as placement was first written, moved on from the
// spot tried before (the same spots but where rounding decides).
void MoveBy(KzPlateInstance* p, const QVector2D& d)
{
    QMatrix4x4 t;
    t.translate(d.x(), d.y(), 0);
    p->ApplyTransform(t, false);
}

bool Within(const QVector2D& step, float limit)
{
    return std::isfinite(step.x()) && std::isfinite(step.y()) && step.length() <= limit;
}

void ReferenceRecenter(const std::vector<KzPlateInstance*>& all, const KzPlate& plate)
{
    QVector2D min(10000, 10000), max(-10000, -10000);
    for (const KzPlateInstance* q : all) {
        min = QVector2D(std::min(min.x(), q->GetMin().x()), std::min(min.y(), q->GetMin().y()));
        max = QVector2D(std::max(max.x(), q->GetMax().x()), std::max(max.y(), q->GetMax().y()));
    }
    const QVector2D shift = -(min + max) / 2;
    if (Within(shift, plate.GetMoveLimit())) {
        for (KzPlateInstance* q : all)
            MoveBy(q, shift);
    }
}

enum class Moves { Straight, OnFromTheLast };

bool FreeAmong(const std::vector<KzPlateInstance*>& placed, const KzPlateInstance* p)
{
    for (const KzPlateInstance* other : placed) {
        QVector2D push;
        if (KPolygonAlgorithm::PolygonCollisionPushVector(p->GetHull(), other->GetHull(), push))
            return false;
    }
    return true;
}

// Moves p to the spot the rule picks among placed and returns that spot.
QVector2D ReferenceSpot(const std::vector<KzPlateInstance*>& placed, KzPlateInstance* p, const KzPlate& plate,
                        Moves moves)
{
    const float limit = plate.GetMoveLimit();
    const KzPlateInstance::State start = p->GetState();
    const QVector2D home = p->GetCenter().toVector2D();
    auto moveTo = [&](const QVector2D& k) {
        if (moves == Moves::Straight) {
            p->SetState(start);
            MoveBy(p, k - home);
        } else {
            MoveBy(p, k - p->GetCenter().toVector2D());
        }
    };
    static const int kNeighbour[8][2] = {{1, 1}, {0, 1}, {-1, 1}, {1, 0}, {-1, 0}, {1, -1}, {0, -1}, {-1, -1}};
    const QVector2D size = (p->GetMax() - p->GetMin()).toVector2D();
    bool found = false, tried = false;
    QVector2D best, last = home;
    for (const KzPlateInstance* q : placed) {
        const QVector2D gap = ((q->GetMax() - q->GetMin()).toVector2D() + size) / 2 + QVector2D(4, 4);
        const QVector2D c = q->GetCenter().toVector2D();
        for (const auto& n : kNeighbour) {
            const QVector2D k = c + QVector2D(n[0] * gap.x(), n[1] * gap.y());
            if (!Within(k - home, limit))
                continue;
            tried = true;
            last = k;
            moveTo(k);
            if (found && k.length() >= best.length())
                continue;
            if (FreeAmong(placed, p)) {
                found = true;
                best = k;
            }
        }
    }
    if (found)
        moveTo(best);
    else if (tried && moves == Moves::Straight)
        moveTo(last);
    return found ? best : last;
}

// The rule, then the group recentred when the new one is off the plate.
QVector2D ReferencePlace(const std::vector<KzPlateInstance*>& placed, KzPlateInstance* p, const KzPlate& plate)
{
    const QVector2D spot = ReferenceSpot(placed, p, plate, Moves::Straight);
    std::vector<KzPlateInstance*> all = placed;
    all.push_back(p);
    if (!plate.IsInBound(*p))
        ReferenceRecenter(all, plate);
    return spot;
}

// Whether the spot k is free for p (from start, moved straight there) on
// one side of a hair's breadth and taken on another: there rounding
// decides, and the two ways of moving may decide differently.
bool OnTheEdge(const std::vector<KzPlateInstance*>& placed, KzPlateInstance* p, const KzPlateInstance::State& start,
               const QVector2D& k)
{
    const QVector2D home = start.center.toVector2D();
    auto freeAt = [&](const QVector2D& at) {
        p->SetState(start);
        MoveBy(p, at - home);
        return FreeAmong(placed, p);
    };
    const bool free = freeAt(k);
    const float hair = 1e-3f;
    for (const QVector2D& nudge : {QVector2D(hair, 0), QVector2D(-hair, 0), QVector2D(0, hair), QVector2D(0, -hair)}) {
        if (freeAt(k + nudge) != free)
            return true;
    }
    return false;
}

// The bits a matrix maps a point to: they tell the matrix's kind too (an
// identity hands back -0 where a translation by 0 gives +0).
QByteArray Mapped(const QMatrix4x4& m)
{
    QByteArray bytes;
    for (const QVector3D& v : {QVector3D(-0.0f, -0.0f, -0.0f), QVector3D(1.5f, -2.25f, 3)}) {
        const QVector3D w = m.map(v);
        bytes.append(reinterpret_cast<const char*>(&w), sizeof w);
    }
    return bytes;
}

// Where the instances of a plate stand, "key:(x,y)" in key order.
QString Where(const KzPlate& plate)
{
    QStringList text;
    for (auto it = plate.GetInstances().constBegin(); it != plate.GetInstances().constEnd(); ++it) {
        const QVector3D c = it.value()->GetCenter();
        text << QStringLiteral("%1:(%2,%3)").arg(it.key()).arg(double(c.x()), 0, 'g', 9).arg(double(c.y()), 0, 'g', 9);
    }
    return text.join(QLatin1Char(' '));
}

// What differs between two Where()s beyond a thousandth of a millimetre.
QString Differs(const QString& got, const QString& want)
{
    const QRegularExpression entry(QStringLiteral("^(\\d+):\\(([^,]+),([^)]+)\\)$"));
    const QStringList a = got.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QStringList b = want.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (a.size() != b.size())
        return QStringLiteral("%1 instances, not %2").arg(a.size()).arg(b.size());
    for (int i = 0; i < a.size(); ++i) {
        const QRegularExpressionMatch x = entry.match(a[i]), y = entry.match(b[i]);
        if (!x.hasMatch() || !y.hasMatch() || x.captured(1) != y.captured(1)
            || std::abs(x.captured(2).toDouble() - y.captured(2).toDouble()) > 1e-3
            || std::abs(x.captured(3).toDouble() - y.captured(3).toDouble()) > 1e-3)
            return QStringLiteral("%1, not %2").arg(a[i], b[i]);
    }
    return QString();
}

} // namespace

class tst_KzPlate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mixedPlateKeepsItsPositions();
    void crowdedPlatesPlaceByTheRule();
    void movesMatchWholeTransforms();
    void placementFollowsEveryOtherChange();

private:
    QString Write(const QString& name, const std::vector<Facet>& facets);

    QTemporaryDir m_dir;
};

void tst_KzPlate::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString tst_KzPlate::Write(const QString& name, const std::vector<Facet>& facets)
{
    const QString path = m_dir.filePath(name);
    KzMeshFixtures::WriteBytes(path, KzMeshFixtures::BinaryStl(facets));
    return path;
}

// Models of several shapes and sizes, some turned, opened one after another
// onto a plate they overflow, then arranged: every instance's centre after
// each stage, to within float rounding. The first three are where placement
// put them before it was made faster (taken from that code). Arranged, they
// stand where they do since copies of one shape keep one footprint area
// through their moves and undos, so that they are placed in key order as
// equals: the same arrangement however the instances were moved about before.
void tst_KzPlate::mixedPlateKeepsItsPositions()
{
    const QString gear = Write("gear.stl", Prism(80, 2, 12, 10.5f, 6, {3.3f, -7.1f, 0.4f}));
    const QString brick = Write("brick.stl", Box({-3, 1, 0}, {17, 11, 8}));
    const QString cube = Write("cube.stl", Box({0, 0, 0}, {5, 5, 5}));
    const QString slab = Write("slab.stl", Box({10, 10, 2}, {40.5f, 31.25f, 3}));
    const QString disc = Write("disc.stl", Prism(37, 1, 9.7f, 9.7f, 2.5f, {-20, 4, 0}));
    const QString star = Write("star.stl", Prism(10, 1, 15, 6, 3, {0, 0, 0}));
    const QStringList order = {gear, brick, cube, gear, slab, disc, star, gear, cube, cube,
                               brick, gear, disc, star, slab, gear, cube, gear, gear, brick,
                               star, disc, gear, cube, gear, brick, gear, gear, slab, cube};
    KzPlate plate, wandered;
    // After the plates: these go first, while their models are still there.
    std::vector<std::unique_ptr<KzPlateInstance>> turned;
    QStringList stages;
    KzLoadReport report;
    for (KzPlate* p : {&plate, &wandered}) {
        int opened = 0;
        for (const QString& path : order) {
            ++opened;
            if (opened % 7 == 0) {
                // Every seventh one turned about z before it is placed.
                KzModel3D* model = p->LoadModel(path, report);
                QVERIFY(model != nullptr);
                turned.emplace_back(new KzPlateInstance(model));
                QMatrix4x4 turn;
                turn.rotate(25.0f * opened, 0, 0, 1);
                turned.back()->ApplyTransform(turn, true);
                p->Add(p->GetInstances().lastKey() + 1, turned.back().get());
            } else {
                QVERIFY(p->AddModelFile(path, report) != nullptr);
            }
            if (opened % 10 == 0 && p == &plate)
                stages << Where(plate);
        }
    }
    plate.ArrangeAll();
    stages << Where(plate);
    // Every instance of the other plate moved about first, by moves and by
    // whole transforms, each its own way (not so far that arranging leaves
    // it where it is).
    int n = 0;
    for (KzPlateInstance* p : wandered.GetInstances()) {
        ++n;
        p->Translate(QVector2D(3.7f * (n % 5), -4.1f));
        MoveBy(p, QVector2D(-11.3f, 1.9f * (n % 7)));
        // A move undone.
        const KzPlateInstance::State before = p->GetState();
        p->Translate(QVector2D(0.1f, -0.3f * (n % 3)));
        p->SetState(before);
    }
    wandered.ArrangeAll();

    const QStringList expected = {
        "1:(-7.5923233,3.27936935) 2:(-7.5923233,24.2793694) 3:(10.9076767,3.27936935) 4:(-33.5923233,3.27936935) "
        "5:(-7.5923233,-23.3456306) 6:(16.0902042,24.2793694) 7:(31.3078918,3.27936935) 8:(31.3078918,-26.9321918) "
        "9:(10.9076767,-5.72063065) 10:(14.1576767,-23.3456306)",
        "1:(9.0326767,14.9522038) 2:(9.0326767,35.9522018) 3:(27.5326767,14.9522038) 4:(-16.9673233,14.9522038) "
        "5:(9.0326767,-11.6727962) 6:(32.7152023,35.9522018) 7:(47.9328918,14.9522038) 8:(47.9328918,-15.2593575) "
        "9:(27.5326767,5.95220375) 10:(30.7826767,-11.6727962) 11:(9.0326767,49.9522057) 12:(-22.2173233,-11.6727962) "
        "13:(-16.6498508,40.6434669) 14:(9.0326767,-40.3469124) 15:(42.4096909,-40.3469124) 16:(-22.2173233,-38.2977982) "
        "17:(30.7826767,-2.67279434) 18:(-44.9673233,14.9522057) 19:(-50.2173233,-11.6727962) 20:(-42.9673233,35.9522018)",
        "1:(-5.39929771,0.952205658) 2:(-5.39929771,21.9522038) 3:(13.1007023,0.952205658) 4:(-31.3992977,0.952205658) "
        "5:(-5.39929771,-25.6727943) 6:(18.2832279,21.9522038) 7:(33.5009193,0.952205658) 8:(33.5009193,-29.2593555) "
        "9:(13.1007023,-8.04779434) 10:(16.3507023,-25.6727943) 11:(-5.39929771,35.9522057) 12:(-36.6492996,-25.6727943) "
        "13:(-31.0818253,26.6434689) 14:(-5.39929771,-54.3469124) 15:(27.9777184,-54.3469124) 16:(-36.6492996,-52.2977943) "
        "17:(16.3507023,-16.6727924) 18:(-59.3992958,0.952207565) 19:(-64.649292,-25.6727943) 20:(-57.3992958,21.9522038) "
        "21:(-66.8955994,-55.4525414) 22:(-31.0818272,50.0259895) 23:(-5.39929771,56.9522057) 24:(11.1007023,35.9522057) "
        "25:(-57.3992958,42.9522018) 26:(18.6006985,49.9522057) 27:(44.6006966,28.9522114) 28:(61.4936066,-1.26666451) "
        "29:(64.7509155,-29.2593555) 30:(15.2277164,-33.7977905)",
        "1:(-36.6051445,5.86554909) 2:(-29.4476166,55.5216751) 3:(18.2950745,18.0289841) 4:(-36.6051445,-54.557579) "
        "5:(-3.45492554,-24.346014) 6:(30.0413723,59.5297508) 7:(-36.6051445,-24.346014) 8:(29.9220867,-54.395134) "
        "9:(13.8588467,43.3384895) 10:(13.8588467,52.3384895) 11:(-62.2876701,-12.8257122) 12:(-3.45492554,27.5289841) "
        "13:(53.4064293,59.5297508) 14:(29.9220867,-24.346014) 15:(-3.45492554,0.903985977) 16:(30.0413723,33.8384933) "
        "17:(13.8588467,59.5297508) 18:(-36.6051445,33.8655472) 19:(57.9220848,-26.395134) 20:(-62.2876701,24.5568104) "
        "21:(30.0413723,4.05874062) 22:(-62.2876701,5.86554909) 23:(60.2876701,4.05874062) 24:(-3.45492554,-66.7210159) "
        "25:(57.9220848,-54.395134) 26:(-62.2876701,-26.8257122) 27:(58.0413704,33.8384933) 28:(-3.45492554,55.5216751) "
        "29:(-3.45492554,-49.5960159) 30:(5.54507446,-66.7210159)"};
    QCOMPARE(stages.size(), expected.size());
    for (int stage = 0; stage < expected.size(); ++stage) {
        const QString differs = Differs(stages[stage], expected[stage]);
        QVERIFY2(differs.isEmpty(), qPrintable(QStringLiteral("stage %1: %2").arg(stage).arg(differs)));
    }
    const QString differs = Differs(Where(wandered), stages.last());
    QVERIFY2(differs.isEmpty(), qPrintable(QStringLiteral("moved about, then arranged: %1").arg(differs)));
}

// Many copies of a few models, some turned, on plates of two sizes: where
// each one lands, to the bit, against the rule; and the spot it takes the
// one placement as first written (moving on from spot to spot) takes among
// the same instances, but where rounding decides (OnTheEdge).
void tst_KzPlate::crowdedPlatesPlaceByTheRule()
{
    const QStringList paths = {Write("g.stl", Prism(80, 2, 12, 10.5f, 6, {0, 0, 0})),
                               Write("b.stl", Box({0, 0, 0}, {9, 4, 3})),
                               Write("d.stl", Prism(23, 1, 5.2f, 5.2f, 2, {1, 1, 0}))};
    int edges = 0;
    for (float half : {12.0f, 50.0f, 150.0f}) {
        KzPlate plate;
        plate.SetBound(QVector3D(half, half, 100), QVector3D(-half, -half, 0));
        KzPlate models;   // holds the meshes of the reference instances
        // After the plates: these go first, while their models are still there.
        std::vector<std::unique_ptr<KzPlateInstance>> reference, turned;
        std::vector<KzPlateInstance*> placed;
        KzLoadReport report;
        for (int i = 0; i < 90; ++i) {
            const QString& path = paths[(i * 7) % 5 % 3];
            KzModel3D* model = models.LoadModel(path, report);
            QVERIFY(model != nullptr);
            reference.emplace_back(new KzPlateInstance(model));
            KzPlateInstance first(model);
            QMatrix4x4 turn;
            turn.rotate(37.0f, 0, 0, 1);
            if (i % 11 == 5) {
                // A turned one, placed by the plate's rule.
                turned.emplace_back(new KzPlateInstance(plate.LoadModel(path, report)));
                for (KzPlateInstance* p : {reference.back().get(), &first, turned.back().get()})
                    p->ApplyTransform(turn, true);
                plate.Add(plate.GetInstances().lastKey() + 1, turned.back().get());
            } else {
                QVERIFY(plate.AddModelFile(path, report) != nullptr);
            }
            const KzPlateInstance::State start = first.GetState();
            const QVector2D firstSpot = ReferenceSpot(placed, &first, plate, Moves::OnFromTheLast);
            const QVector2D spot = ReferencePlace(placed, reference.back().get(), plate);
            const QString where = QStringLiteral("plate %1, copy %2").arg(half).arg(i + 1);
            if ((spot - firstSpot).length() > 1e-3f) {
                const QVector2D nearer = spot.length() < firstSpot.length() ? spot : firstSpot;
                QVERIFY2(OnTheEdge(placed, &first, start, nearer), qPrintable(where + QStringLiteral(" moved")));
                ++edges;
            }
            placed.push_back(reference.back().get());
            int at = 0;
            for (const KzPlateInstance* p : plate.GetInstances()) {
                if (p->GetState() != placed[size_t(at)]->GetState())
                    QFAIL(qPrintable(where + QStringLiteral(": instance %1 differs from the rule").arg(at)));
                ++at;
            }
        }
    }
    qInfo("%d of 270 copies took another spot than placement as first written, each on the edge", edges);
}

// Moves go a short way once an instance's matrix is plain; whatever the
// matrix, each must leave the instance as the whole transform does, to the
// bit, down to signed zeros and the matrix's kind. Steps of 0 and -0, moves
// back to the origin, a step into a subnormal, one off to infinity and back.
void tst_KzPlate::movesMatchWholeTransforms()
{
    const QString cube = Write("c.stl", Box({0, 0, 0}, {4, 4, 2}));
    KzPlate models;
    KzLoadReport report;
    KzModel3D* model = models.LoadModel(cube, report);
    QVERIFY(model != nullptr);
    QMatrix4x4 scale, mirror, turn, none;
    scale.scale(2, 0.5f, 1);
    mirror.scale(-1, 1, 1);
    turn.rotate(30, 0, 0, 1);
    const std::vector<QVector2D> steps = {{0, 0}, {-0.0f, -0.0f}, {0, -0.0f}, {3, -1}, {-3, 1}, {-0.0f, 0}, {1e-40f, -1e-40f},
                                          {0.1f, 0.2f}, {-3.1f, 0.8f}, {-0.0f, -0.0f}, {1e38f, 0},
                                          {1e38f, 0}, {-1e38f, 0}, {7, 7}};
    int kind = 0;
    for (const QMatrix4x4* m : {&none, &scale, &mirror, &turn}) {
        KzPlateInstance moved(model), whole(model);
        if (m != &none) {
            moved.ApplyTransform(*m, m == &turn);
            whole.ApplyTransform(*m, m == &turn);
        }
        // To the origin first: the column is then exactly zero.
        const QVector2D home = -QVector2D(moved.GetModelMatrix()(0, 3), moved.GetModelMatrix()(1, 3));
        moved.Translate(home);
        MoveBy(&whole, home);
        int at = 0;
        for (const QVector2D& d : steps) {
            moved.Translate(d);
            MoveBy(&whole, d);
            // Three moves gathered before the first look, then a look at each.
            if (++at < 3)
                continue;
            if (moved.GetState() != whole.GetState())
                QFAIL(qPrintable(QStringLiteral("kind %1, step %2: states differ").arg(kind).arg(at)));
            QCOMPARE(Mapped(moved.GetModelMatrix()), Mapped(whole.GetModelMatrix()));
        }
        ++kind;
    }
}

// Placement keeps what it knows of each footprint from one new copy to the
// next; every other change must make it look again. Instances turned, moved
// and scaled by whole transforms, set back to an earlier state, reset, given
// a new matrix, taken off the plate, the group recentred, each followed by a
// new copy: placed by the rule, every instance to the bit.
void tst_KzPlate::placementFollowsEveryOtherChange()
{
    const QStringList paths = {Write("g2.stl", Prism(80, 2, 12, 10.5f, 6, {0, 0, 0})),
                               Write("b2.stl", Box({0, 0, 0}, {9, 4, 3})),
                               Write("d2.stl", Prism(23, 1, 5.2f, 5.2f, 2, {1, 1, 0}))};
    KzPlate plate;
    plate.SetBound(QVector3D(60, 60, 100), QVector3D(-60, -60, 0));
    KzPlate models;
    KzLoadReport report;
    // Before the plates: these go first, while their models are still there.
    std::vector<std::unique_ptr<KzPlateInstance>> mine, reference;
    std::vector<KzPlateInstance*> onPlate, placed;
    std::vector<int> keys, kinds;
    int nextKey = 1;
    auto add = [&](int i) {
        const QString& path = paths[i];
        mine.emplace_back(new KzPlateInstance(plate.LoadModel(path, report)));
        reference.emplace_back(new KzPlateInstance(models.LoadModel(path, report)));
        plate.Add(nextKey, mine.back().get());
        ReferencePlace(placed, reference.back().get(), plate);
        onPlate.push_back(mine.back().get());
        placed.push_back(reference.back().get());
        keys.push_back(nextKey++);
        kinds.push_back(i);
    };
    auto same = [&](const char* stage) {
        if (int(onPlate.size()) != plate.GetInstances().size())
            return QStringLiteral("after %1: %2 instances on the plate").arg(stage).arg(plate.GetInstances().size());
        for (size_t i = 0; i < onPlate.size(); ++i) {
            if (onPlate[i]->GetState() != placed[i]->GetState())
                return QStringLiteral("after %1: instance %2 of %3 differs").arg(stage).arg(i).arg(onPlate.size());
        }
        return QString();
    };
    // Both sides get the same change; moves on the reference side go by
    // whole transforms.
    using Change = std::function<void(KzPlateInstance*, bool)>;
    auto each = [&](size_t i, const Change& change) {
        change(onPlate[i], false);
        change(placed[i], true);
    };
    auto move = [](KzPlateInstance* p, bool whole, const QVector2D& d) {
        if (whole)
            MoveBy(p, d);
        else
            p->Translate(d);
    };
    for (int i = 0; i < 14; ++i)
        add(i % 3);
    QString differs = same("opening");
    QVERIFY2(differs.isEmpty(), qPrintable(differs));

    // Each change to the copy opened last: it stands in the spot nearest the
    // origin that was free, the next copy's best spot should that be free.
    // A move first, not looked at: moves gather until the instance is asked.
    auto last = [&](const Change& change) {
        each(onPlate.size() - 1, [&](KzPlateInstance* p, bool whole) {
            move(p, whole, QVector2D(2.5f, -1.25f));
            change(p, whole);
        });
    };
    QMatrix4x4 turn, away, wide, put;
    turn.rotate(50, 0, 0, 1);
    away.translate(-31.5f, 17.25f, 0);
    wide.scale(1.6f, 1.3f, 1);
    put.translate(300, 5, 0);
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"a turn", [&] { last([&](KzPlateInstance* p, bool) { p->ApplyTransform(turn, true); }); }},
        {"a move by a whole transform",
         [&] { last([&](KzPlateInstance* p, bool) { p->ApplyTransform(away, false); }); }},
        {"a scale", [&] { last([&](KzPlateInstance* p, bool) { p->ApplyTransform(wide, false); }); }},
        {"moves then an undo", [&] {
             last([&](KzPlateInstance* p, bool whole) {
                 const KzPlateInstance::State before = p->GetState();
                 move(p, whole, QVector2D(40, 40));
                 (void)p->GetExtent();
                 move(p, whole, QVector2D(-3, 9));
                 p->SetState(before);
             });
         }},
        {"moves then an undo of the moves", [&] {
             last([&](KzPlateInstance* p, bool whole) {
                 const KzPlateInstance::State before = p->GetState();
                 move(p, whole, QVector2D(-25, 30));
                 p->SetState(before);
                 move(p, whole, QVector2D(-0.0f, 0));
             });
         }},
        {"a reset", [&] { last([&](KzPlateInstance* p, bool) { p->ResetTransform(); }); }},
        {"a new matrix", [&] { last([&](KzPlateInstance* p, bool) { p->SetModelMatrix(put, false); }); }},
        {"a removal", [&] {
             plate.Remove(keys.back());
             onPlate.pop_back();
             placed.pop_back();
             keys.pop_back();
             kinds.pop_back();
         }},
        {"a recentring", [&] {
             last([&](KzPlateInstance* p, bool) { p->ApplyTransform(away, false); });
             plate.RecenterAll();
             ReferenceRecenter(placed, plate);
         }},
    };
    for (const auto& change : changes) {
        // The next copy is of the same model: the spot left fits it.
        const int kind = kinds.back();
        change.second();
        differs = same(change.first);
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
        add(kind);
        differs = same(change.first);
        QVERIFY2(differs.isEmpty(), qPrintable(QStringLiteral("%1, then a new copy").arg(differs)));
    }
}

QTEST_GUILESS_MAIN(tst_KzPlate)
#include "tst_KzPlate.moc"
