// The footprint and bounds of a mesh, found the fast way, against every
// corner put through the matrix and FormConvexPolygon: equal to the bit.
#include "KPolygonAlgorithm.h"
#include "KzFootprint.h"
#include "KzMeshFixtures.h"
#include "KzModel3D.h"
#include "KzPlateInstance.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

const QVector<QVector2D> kSquare = {QVector2D(-1, -1), QVector2D(1, -1), QVector2D(1, 1), QVector2D(-1, 1)};

bool SameBits(const QVector<QVector2D>& a, const QVector<QVector2D>& b)
{
    return a.size() == b.size()
           && std::memcmp(a.constData(), b.constData(), size_t(a.size()) * sizeof(QVector2D)) == 0;
}

bool SameBits(const QVector3D& a, const QVector3D& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

QVector<QVector2D> FullHull(const QVector<KzTriangle3D>& mesh, const QMatrix4x4& m)
{
    QVector<QVector2D> points;
    for (const KzTriangle3D& t : mesh) {
        for (int k = 0; k < 3; ++k)
            points.append(m.map(t[k]).toVector2D());
    }
    QVector<QVector2D> hull;
    KPolygonAlgorithm::FormConvexPolygon(hull, points);
    return hull;
}

// Facets whose corners come from a pool, as a mesh's corners are shared by
// its facets: some on a coarse grid (whole columns of corners then share a
// key), some anywhere, some negative zeros, a few far away.
QVector<KzTriangle3D> Cloud(QRandomGenerator& random, int facets, int pool)
{
    std::vector<QVector3D> corners;
    for (int i = 0; i < pool; ++i) {
        const int kind = random.bounded(10);
        float x = float(random.generateDouble() * 80 - 40);
        float y = float(random.generateDouble() * 60 - 30);
        const float z = float(random.generateDouble() * 20);
        if (kind < 4) {
            x = std::round(x * 2) / 2;
            y = std::round(y * 4) / 4;
        } else if (kind == 4) {
            x = -0.0f;
        } else if (kind == 5 && random.bounded(20) == 0) {
            x *= 5000;
        }
        corners.emplace_back(x, y, z);
    }
    QVector<KzTriangle3D> mesh;
    int at = 0;
    for (int f = 0; f < facets; ++f) {
        KzTriangle3D t;
        for (int k = 0; k < 3; ++k) {
            // Mostly near the previous facet's corners, as in a real file.
            at = random.bounded(4) == 0 ? random.bounded(pool) : (at + random.bounded(7)) % pool;
            t[k] = corners[size_t(at)];
        }
        mesh.append(t);
    }
    return mesh;
}

QList<QMatrix4x4> Matrices()
{
    QList<QMatrix4x4> list;
    list << QMatrix4x4();
    QMatrix4x4 m;
    m.translate(-13.37f, 0.1f, -2.5f);
    list << m;
    m.rotate(33.0f, 0, 0, 1);
    list << m;
    m.rotate(71.0f, QVector3D(1, 0.2f, -0.4f));
    list << m;
    m.scale(1.7f, 0.3f, 2.0f);
    list << m;
    QMatrix4x4 projective(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.001f, 0, 0.002f, 1);
    list << projective;
    return list;
}

} // namespace

class tst_KzFootprint : public QObject
{
    Q_OBJECT

private slots:
    void hullAndBoxEqualTheFullPass();
    void modelsPlaceAsAFullPassDoes();
};

// Clouds from a handful of corners to more than the table of recent keys
// holds, under translations, turns, scales and a projection.
void tst_KzFootprint::hullAndBoxEqualTheFullPass()
{
    QRandomGenerator random(22);
    const QList<QMatrix4x4> matrices = Matrices();
    const int sizes[][2] = {{1, 3}, {2, 3}, {5, 4}, {40, 30}, {500, 200}, {3000, 2500}, {60000, 40000}};
    for (const auto& size : sizes) {
        const QVector<KzTriangle3D> mesh = Cloud(random, size[0], size[1]);
        for (int i = 0; i < matrices.size(); ++i) {
            const QMatrix4x4& m = matrices[i];
            const QVector<QVector2D> full = FullHull(mesh, m);
            QVERIFY2(SameBits(KzFootprint::Hull(mesh, m), full),
                     qPrintable(QStringLiteral("%1 facets, matrix %2").arg(size[0]).arg(i)));
            QVERIFY(SameBits(KzFootprint::Outline(mesh, m), KPolygonAlgorithm::MinkowskHull(full, kSquare)));

            QVector3D min, max;
            QVERIFY(KzFootprint::Box(mesh, m, min, max));
            QVector3D fullMin = m.map(mesh[0][0]), fullMax = fullMin;
            for (const KzTriangle3D& t : mesh) {
                for (int k = 0; k < 3; ++k) {
                    const QVector3D p = m.map(t[k]);
                    for (int axis = 0; axis < 3; ++axis) {
                        fullMin[axis] = std::min(fullMin[axis], p[axis]);
                        fullMax[axis] = std::max(fullMax[axis], p[axis]);
                    }
                }
            }
            QVERIFY(SameBits(min, fullMin) && SameBits(max, fullMax));
        }
    }
    QVERIFY(KzFootprint::Hull({}, QMatrix4x4()).isEmpty());
    QVERIFY(KzFootprint::Outline({}, QMatrix4x4()).isEmpty());
}

// A model works out where its instances first stand while it is read; that
// must be what an instance gets from every corner with its final matrix,
// also for a model whose facets were changed after the load (it forgets the
// placement) and for one read twice.
void tst_KzFootprint::modelsPlaceAsAFullPassDoes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QRandomGenerator random(7);
    std::vector<KzMeshFixtures::Facet> facets;
    for (const KzTriangle3D& t : Cloud(random, 30000, 20000))
        facets.push_back({QVector3D(), {t[0] + QVector3D(0, 101.3f, 7.77f), t[1] + QVector3D(0, 101.3f, 7.77f),
                                        t[2] + QVector3D(0, 101.3f, 7.77f)}});
    const QString path = dir.filePath("cloud.stl");
    QVERIFY(KzMeshFixtures::WriteBytes(path, KzMeshFixtures::BinaryStl(facets)));

    auto check = [](const KzPlateInstance& p) {
        const QMatrix4x4& m = p.GetModelMatrix();
        const QVector<KzTriangle3D> mesh = p.GetModel()->Triangls();
        QVector3D min = m.map(mesh[0][0]), max = min;
        for (const KzTriangle3D& t : mesh) {
            for (int k = 0; k < 3; ++k) {
                const QVector3D c = m.map(t[k]);
                for (int axis = 0; axis < 3; ++axis) {
                    max[axis] = std::max(max[axis], c[axis]);
                    min[axis] = std::min(min[axis], c[axis]);
                }
            }
        }
        return SameBits(p.GetMin(), min) && SameBits(p.GetMax(), max)
               && SameBits(p.GetCenter(), m.map(p.GetModel()->GetCenter()))
               && SameBits(p.GetHull(), KPolygonAlgorithm::MinkowskHull(FullHull(mesh, m), kSquare))
               && std::abs(p.GetMin().z()) < 0.01f;
    };

    KzModel3D model;
    QVERIFY(model.LoadSTLFile(path));
    QVERIFY(model.GetPlacement().valid);
    KzPlateInstance first(&model);
    QVERIFY(check(first));
    KzPlateInstance second(&model);
    QVERIFY(second.GetState() == first.GetState());

    // Turned, then back: the turn recomputes from the corners, the reset
    // takes the model's placement again.
    QMatrix4x4 turn;
    turn.rotate(40.0f, QVector3D(0.3f, 1, 0));
    first.ApplyTransform(turn, true);
    QVERIFY(check(first));
    first.ResetTransform();
    QVERIFY(first.GetState() == second.GetState());

    model.ItemPtr(5)->operator[](1) = QVector3D(60, -70, 3);
    QVERIFY(!model.GetPlacement().valid);
    KzPlateInstance changed(&model);
    QVERIFY(check(changed));
    QVERIFY(changed.GetState() != second.GetState());

    KzModel3D twice;
    QVERIFY(twice.LoadSTLFile(path));
    QVERIFY(twice.LoadSTLFile(path));
    QCOMPARE(twice.Count(), 2 * int(facets.size()));
    QVERIFY(!twice.GetPlacement().valid);
    KzPlateInstance again(&twice);
    QVERIFY(check(again));
}

QTEST_GUILESS_MAIN(tst_KzFootprint)
#include "tst_KzFootprint.moc"
