// Placing instances on the plate: where a plate of mixed models ends up, bit
// for bit, must not change when placement gets faster.
#include "KPolygonAlgorithm.h"
#include "KzLoadReport.h"
#include "KzMeshFixtures.h"
#include "KzModel3D.h"
#include "KzPlate.h"
#include "KzPlateInstance.h"

#include <QCryptographicHash>
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

// Placement as it was first written, on public calls only: every spot beside
// every instance tried, each against every instance with the polygon test,
// the instance moved by whole transforms. The plate must place as this does.
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

void ReferencePlace(const std::vector<KzPlateInstance*>& placed, KzPlateInstance* p, const KzPlate& plate)
{
    const float limit = plate.GetMoveLimit();
    if (!placed.empty()) {
        static const int kNeighbour[8][2] = {{1, 1}, {0, 1}, {-1, 1}, {1, 0}, {-1, 0}, {1, -1}, {0, -1}, {-1, -1}};
        const QVector2D size = (p->GetMax() - p->GetMin()).toVector2D();
        const QVector2D home = p->GetCenter().toVector2D();
        bool found = false;
        QVector2D best;
        for (const KzPlateInstance* q : placed) {
            const QVector2D gap = ((q->GetMax() - q->GetMin()).toVector2D() + size) / 2 + QVector2D(4, 4);
            const QVector2D c = q->GetCenter().toVector2D();
            for (const auto& n : kNeighbour) {
                const QVector2D k = c + QVector2D(n[0] * gap.x(), n[1] * gap.y());
                if (!Within(k - home, limit))
                    continue;
                MoveBy(p, k - p->GetCenter().toVector2D());
                if (found && k.length() >= best.length())
                    continue;
                bool free = true;
                for (const KzPlateInstance* other : placed) {
                    QVector2D push;
                    if (KPolygonAlgorithm::PolygonCollisionPushVector(p->GetHull(), other->GetHull(), push)) {
                        free = false;
                        break;
                    }
                }
                if (free) {
                    found = true;
                    best = k;
                }
            }
        }
        if (found)
            MoveBy(p, best - p->GetCenter().toVector2D());
    }
    std::vector<KzPlateInstance*> all = placed;
    all.push_back(p);
    if (!plate.IsInBound(*p))
        ReferenceRecenter(all, plate);
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

} // namespace

class tst_KzPlate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mixedPlateKeepsItsPositions();
    void crowdedPlatesPlaceAsFirstWritten();
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
// onto a plate they overflow, then arranged: every instance's matrix and
// footprint after each stage, to the bit, as placement gave them before it
// was made faster (the digests were taken from that code).
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

    KzPlate plate;
    // After the plate: these go first, while their models are still there.
    std::vector<std::unique_ptr<KzPlateInstance>> turned;
    auto digest = [&plate]() {
        QCryptographicHash hash(QCryptographicHash::Sha1);
        for (const KzPlateInstance* p : plate.GetInstances()) {
            hash.addData(reinterpret_cast<const char*>(p->GetModelMatrix().constData()), 16 * sizeof(float));
            hash.addData(reinterpret_cast<const char*>(p->GetHull().constData()),
                         p->GetHull().size() * int(sizeof(QVector2D)));
        }
        return QString::fromLatin1(hash.result().toHex().left(16));
    };
    auto dump = [&plate]() {
        QString text;
        for (auto it = plate.GetInstances().constBegin(); it != plate.GetInstances().constEnd(); ++it) {
            const QVector3D c = it.value()->GetCenter();
            text += QStringLiteral("%1:(%2,%3) ").arg(it.key()).arg(double(c.x()), 0, 'g', 9).arg(double(c.y()), 0, 'g', 9);
        }
        return text;
    };

    QStringList digests;
    KzLoadReport report;
    int opened = 0;
    for (const QString& path : order) {
        ++opened;
        if (opened % 7 == 0) {
            // Every seventh one turned about z before it is placed.
            KzModel3D* model = plate.LoadModel(path, report);
            QVERIFY(model != nullptr);
            turned.emplace_back(new KzPlateInstance(model));
            QMatrix4x4 turn;
            turn.rotate(25.0f * opened, 0, 0, 1);
            turned.back()->ApplyTransform(turn, true);
            plate.Add(plate.GetInstances().lastKey() + 1, turned.back().get());
        } else {
            QVERIFY(plate.AddModelFile(path, report) != nullptr);
        }
        if (opened % 10 == 0)
            digests << digest();
    }
    plate.ArrangeAll();
    digests << digest();

    const QStringList expected = {"c1326083cf1a7324", "ac244ee4e2d61402", "99f34392d7b6061b", "29090158c419db5b"};
    if (digests != expected)
        qWarning().noquote() << "positions:" << dump() << "digests:" << digests.join(QLatin1Char(' '));
    QCOMPARE(digests, expected);
}

// Many copies of a few models, some turned, on plates of two sizes: where
// each one lands, to the bit, against the placement as first written.
void tst_KzPlate::crowdedPlatesPlaceAsFirstWritten()
{
    const QStringList paths = {Write("g.stl", Prism(80, 2, 12, 10.5f, 6, {0, 0, 0})),
                               Write("b.stl", Box({0, 0, 0}, {9, 4, 3})),
                               Write("d.stl", Prism(23, 1, 5.2f, 5.2f, 2, {1, 1, 0}))};
    for (float half : {50.0f, 150.0f}) {
        KzPlate plate;
        plate.SetBound(QVector3D(half, half, 100), QVector3D(-half, -half, 0));
        KzPlate models;   // holds the meshes of the reference instances
        // After the plates: these go first, while their models are still there.
        std::vector<std::unique_ptr<KzPlateInstance>> reference;
        std::vector<std::unique_ptr<KzPlateInstance>> turned;
        std::vector<KzPlateInstance*> placed;
        KzLoadReport report;
        for (int i = 0; i < 90; ++i) {
            const QString& path = paths[(i * 7) % 5 % 3];
            KzModel3D* model = models.LoadModel(path, report);
            QVERIFY(model != nullptr);
            reference.emplace_back(new KzPlateInstance(model));
            if (i % 11 == 5) {
                // A turned one, placed by the plate's rule.
                QMatrix4x4 turn;
                turn.rotate(37.0f, 0, 0, 1);
                turned.emplace_back(new KzPlateInstance(plate.LoadModel(path, report)));
                for (KzPlateInstance* p : {reference.back().get(), turned.back().get()})
                    p->ApplyTransform(turn, true);
                plate.Add(plate.GetInstances().lastKey() + 1, turned.back().get());
            } else {
                QVERIFY(plate.AddModelFile(path, report) != nullptr);
            }
            ReferencePlace(placed, reference.back().get(), plate);
            placed.push_back(reference.back().get());
            int at = 0;
            for (const KzPlateInstance* p : plate.GetInstances()) {
                if (p->GetState() != placed[size_t(at)]->GetState())
                    QFAIL(qPrintable(QStringLiteral("plate %1: instance %2 of %3 differs").arg(half).arg(at).arg(i + 1)));
                ++at;
            }
        }
    }
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
// new copy: placed as first written, every instance to the bit.
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
