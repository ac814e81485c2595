#include "KPolygonAlgorithm.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cstring>

using namespace KPolygonAlgorithm;
using Poly = QVector<QVector2D>;

class TestKPolygonAlgorithm : public QObject
{
    Q_OBJECT

private:
    static Poly Square(float x0, float y0, float x1, float y1)
    {
        return {QVector2D(x0, y0), QVector2D(x1, y0), QVector2D(x1, y1), QVector2D(x0, y1)};
    }

    static Poly Hull(const Poly& points)
    {
        Poly out{QVector2D(99, 99)};   // must be emptied first
        FormConvexPolygon(out, points);
        return out;
    }

    static double Cross(const QVector2D& a, const QVector2D& b, const QVector2D& c)
    {
        return (double(b.x()) - a.x()) * (double(c.y()) - a.y()) - (double(b.y()) - a.y()) * (double(c.x()) - a.x());
    }

    static quint64 Bits(double d)
    {
        quint64 b;
        std::memcpy(&b, &d, 8);
        return b;
    }

private slots:
    void hullOfSquareAndCentre_data()
    {
        QTest::addColumn<Poly>("points");
        QTest::newRow("corners then centre") << Poly{{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.5f, 0.5f}};
        QTest::newRow("centre first, shuffled") << Poly{{0.5f, 0.5f}, {1, 1}, {0, 0}, {0, 1}, {1, 0}};
        QTest::newRow("with duplicates and a collinear midpoint")
            << Poly{{1, 0}, {0, 1}, {0.5f, 0}, {1, 1}, {0, 0}, {0, 0}, {1, 1}};
    }

    void hullOfSquareAndCentre()
    {
        QFETCH(Poly, points);
        QCOMPARE(Hull(points), (Poly{{1, 1}, {1, 0}, {0, 0}, {0, 1}}));
    }

    void hullSmallCases_data()
    {
        QTest::addColumn<Poly>("points");
        QTest::addColumn<Poly>("hull");
        QTest::newRow("empty") << Poly{} << Poly{};
        QTest::newRow("one point") << Poly{{3, 4}} << Poly{{3, 4}};
        QTest::newRow("two points, right-most first") << Poly{{0, 0}, {2, 1}} << Poly{{2, 1}, {0, 0}};
        QTest::newRow("same key: the later point wins") << Poly{{0, 100}, {0.01f, 0}} << Poly{{0.01f, 0}};
        QTest::newRow("same x, y within one unit: merged")
            << Poly{{0, 0}, {1, 0}, {1, 0.5f}, {0, 1}} << Poly{{1, 0.5f}, {0, 0}, {0, 1}};
        QTest::newRow("identical points") << Poly{{1, 1}, {1, 1}, {1, 1}} << Poly{{1, 1}};
        QTest::newRow("collinear") << Poly{{0, 0}, {1, 0}, {2, 0}} << Poly{{2, 0}, {0, 0}};
        QTest::newRow("collinear diagonal") << Poly{{1, 1}, {3, 3}, {0, 0}, {2, 2}} << Poly{{3, 3}, {0, 0}};
        QTest::newRow("negative keys come first")
            << Poly{{-2, 0}, {2, 0}, {0, -1}, {0, 1}} << Poly{{2, 0}, {0, -1}, {-2, 0}, {0, 1}};
    }

    void hullSmallCases()
    {
        QFETCH(Poly, points);
        QFETCH(Poly, hull);
        QCOMPARE(Hull(points), hull);
    }

    // Random clouds: the hull is convex, clockwise, without collinear middle
    // points, made of input points, and holds every input point.
    void hullOfRandomClouds()
    {
        QRandomGenerator rng(4242);
        for (int round = 0; round < 200; ++round) {
            Poly points;
            const int n = 3 + int(rng.bounded(60));
            for (int i = 0; i < n; ++i)   // 0.01 mm grid over a 200 mm plate, like real outlines
                points.append(QVector2D(float(rng.bounded(20000)) / 100 - 100, float(rng.bounded(20000)) / 100 - 100));
            const Poly hull = Hull(points);
            QVERIFY(hull.size() >= 2);
            for (const QVector2D& h : hull)
                QVERIFY(points.contains(h));
            if (hull.size() < 3)
                continue;
            for (int i = 0; i < hull.size(); ++i) {
                const QVector2D& a = hull[i];
                const QVector2D& b = hull[(i + 1) % hull.size()];
                const QVector2D& c = hull[(i + 2) % hull.size()];
                QVERIFY2(Cross(a, b, c) < 0, "not a strict clockwise turn");
                for (const QVector2D& p : points)
                    QVERIFY2(Cross(a, b, p) <= 1e-6, "a point lies outside the hull");
            }
        }
    }

    void minkowskiOfSquares()
    {
        const Poly sum = MinkowskHull(Square(0, 0, 1, 1), Square(-1, -1, 1, 1));
        QCOMPARE(sum, (Poly{{2, 2}, {2, -1}, {-1, -1}, {-1, 2}}));
        QVERIFY(MinkowskHull(Poly{}, Square(0, 0, 1, 1)).isEmpty());
        QVERIFY(MinkowskHull(Square(0, 0, 1, 1), Poly{}).isEmpty());
        // A point shifts the polygon.
        QCOMPARE(MinkowskHull(Poly{{5, 0}}, Square(0, 0, 1, 1)), (Poly{{6, 1}, {6, 0}, {5, 0}, {5, 1}}));
    }

    void projectPolyGivesMaximumFirst()
    {
        double maxValue = 0, minValue = 0;
        ProjectPoly(QVector2D(2, 0), Poly{{1, 0}, {3, 0}}, maxValue, minValue);
        QCOMPARE(maxValue, 3.0);
        QCOMPARE(minValue, 1.0);
        ProjectPoly(QVector2D(0, -5), Square(0, 2, 1, 7), maxValue, minValue);
        QCOMPARE(maxValue, -2.0);
        QCOMPARE(minValue, -7.0);
        ProjectPoly(QVector2D(0, 0), Square(0, 2, 1, 7), maxValue, minValue);
        QCOMPARE(maxValue, 0.0);
        QCOMPARE(minValue, 0.0);
    }

    void pushVectorOfOverlappingSquares()
    {
        QVector2D push(7, 7);
        QVERIFY(PolygonCollisionPushVector(Square(0, 0, 2, 2), Square(1, 0, 3, 2), push));
        QCOMPARE(push, QVector2D(-2, 0));
        // The other way round: a moves right.
        QVERIFY(PolygonCollisionPushVector(Square(1, 0, 3, 2), Square(0, 0, 2, 2), push));
        QCOMPARE(push, QVector2D(2, 0));
        // Shallow overlap from above: a moves up by the overlap plus one.
        QVERIFY(PolygonCollisionPushVector(Square(0, 1.5f, 2, 3), Square(-5, 0, 5, 2), push));
        QCOMPARE(push, QVector2D(0, 1.5f));
    }

    void pushVectorSeparates()
    {
        QRandomGenerator rng(7);
        for (int round = 0; round < 300; ++round) {
            Poly pa, pb;
            for (int i = 0; i < 8; ++i) {
                pa.append(QVector2D(float(rng.bounded(100)), float(rng.bounded(100))));
                pb.append(QVector2D(float(rng.bounded(100)) + 40, float(rng.bounded(100))));
            }
            const Poly a = Hull(pa), b = Hull(pb);
            if (a.size() < 3 || b.size() < 3)
                continue;
            QVector2D push;
            if (!PolygonCollisionPushVector(a, b, push))
                continue;
            Poly moved = a;
            for (QVector2D& p : moved)
                p += push;
            QVector2D again(9, 9);
            QVERIFY2(!PolygonCollisionPushVector(moved, b, again), "still overlapping after the push");
            QCOMPARE(again, QVector2D(9, 9));
        }
    }

    void apartOrTouchingIsNoCollision_data()
    {
        QTest::addColumn<Poly>("a");
        QTest::addColumn<Poly>("b");
        QTest::newRow("sharing an edge") << Square(0, 0, 2, 2) << Square(2, 0, 4, 2);
        QTest::newRow("sharing a corner") << Square(0, 0, 2, 2) << Square(2, 2, 4, 4);
        QTest::newRow("far apart") << Square(0, 0, 1, 1) << Square(10, 10, 11, 11);
        QTest::newRow("diagonal gap") << Poly{{0, 0}, {2, 0}, {0, 2}} << Square(1.1f, 1.1f, 3, 3);
        // Two equal consecutive points make a zero axis that counts as separating.
        QTest::newRow("zero-length edge") << Poly{{0, 0}, {2, 0}, {2, 0}, {2, 2}, {0, 2}} << Square(1, 1, 3, 3);
        QTest::newRow("empty") << Poly{} << Square(0, 0, 1, 1);
    }

    void apartOrTouchingIsNoCollision()
    {
        QFETCH(Poly, a);
        QFETCH(Poly, b);
        QVector2D push(5, 6);
        QVERIFY(!PolygonCollisionPushVector(a, b, push));
        QCOMPARE(push, QVector2D(5, 6));
    }

    void anglesUseTheSystemsPi()
    {
        // With pi one unit above the nearest double, 180 degrees come out one more above.
        QCOMPARE(Bits(DegreeToRadian(180)), Q_UINT64_C(0x400921FB54442D1A));
        QCOMPARE(DegreeToRadian(90), 1.570796326794897);
        QVERIFY(DegreeToRadian(90) != 1.5707963267948966);
        QCOMPARE(DegreeToRadian(180), 3.141592653589794);
        QCOMPARE(RadianToDegree(3.141592653589794), 180.00000000000003);
        QCOMPARE(RadianToDegree(DegreeToRadian(45)), 45.0);
        QCOMPARE(DegreeToRadian(-360), -2 * 3.141592653589794);
    }
};

QTEST_APPLESS_MAIN(TestKPolygonAlgorithm)
#include "tst_KPolygonAlgorithm.moc"
