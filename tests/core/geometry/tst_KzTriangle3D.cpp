#include "KzTriangle3D.h"

#include <QtTest>

class TestKzTriangle3D : public QObject
{
    Q_OBJECT

private:
    static KzTriangle3D Make(const QVector3D& p, const QVector3D& q, const QVector3D& r)
    {
        KzTriangle3D t;
        t[0] = p;
        t[1] = q;
        t[2] = r;
        return t;
    }

private slots:
    void defaultIsAllZero()
    {
        const KzTriangle3D t;
        for (int i = 0; i < 3; ++i)
            QCOMPARE(t[i], QVector3D(0, 0, 0));
        QCOMPARE(t.GetNormal(), QVector3D(0, 0, 0));
        QCOMPARE(sizeof(KzTriangle3D), size_t(48));   // twelve floats, nothing else
    }

    void normalFollowsCornerOrder_data()
    {
        QTest::addColumn<QVector3D>("p");
        QTest::addColumn<QVector3D>("q");
        QTest::addColumn<QVector3D>("r");
        QTest::addColumn<QVector3D>("normal");
        QTest::newRow("counter-clockwise") << QVector3D(0, 0, 0) << QVector3D(1, 0, 0) << QVector3D(0, 1, 0)
                                           << QVector3D(0, 0, 1);
        QTest::newRow("clockwise") << QVector3D(0, 0, 0) << QVector3D(0, 1, 0) << QVector3D(1, 0, 0)
                                   << QVector3D(0, 0, -1);
        QTest::newRow("collinear") << QVector3D(0, 0, 0) << QVector3D(1, 0, 0) << QVector3D(2, 0, 0)
                                   << QVector3D(0, 0, 0);
        QTest::newRow("repeated corner") << QVector3D(1, 1, 1) << QVector3D(1, 1, 1) << QVector3D(0, 1, 0)
                                         << QVector3D(0, 0, 0);
        QTest::newRow("large, made unit") << QVector3D(0, 0, 0) << QVector3D(0, 50, 0) << QVector3D(0, 0, 50)
                                          << QVector3D(1, 0, 0);
        QTest::newRow("tilted") << QVector3D(0, 0, 0) << QVector3D(1, 0, 0) << QVector3D(1, 1, 1)
                                << QVector3D(0, -1, 1).normalized();
    }

    void normalFollowsCornerOrder()
    {
        QFETCH(QVector3D, p);
        QFETCH(QVector3D, q);
        QFETCH(QVector3D, r);
        QFETCH(QVector3D, normal);
        KzTriangle3D t = Make(p, q, r);
        t.SetNormal(QVector3D(7, 7, 7));   // whatever was stored is replaced
        t.UpdateNormal();
        QVERIFY2(qFuzzyCompare(t.GetNormal() + QVector3D(2, 2, 2), normal + QVector3D(2, 2, 2)),
                 qPrintable(QString("got %1 %2 %3").arg(t.GetNormal().x()).arg(t.GetNormal().y()).arg(t.GetNormal().z())));
    }

    void setNormalStoresUnchanged()
    {
        KzTriangle3D t;
        t.SetNormal(QVector3D(0, 0, 3));
        QCOMPARE(t.GetNormal(), QVector3D(0, 0, 3));
    }

    void convertTranslationMovesCornersOnly()
    {
        KzTriangle3D t = Make(QVector3D(0, 0, 0), QVector3D(1, 0, 0), QVector3D(0, 1, 0));
        t.UpdateNormal();
        QMatrix4x4 m;
        m.translate(5, 0, 0);
        KzTriangle3D& same = t.Convert(m);
        QCOMPARE(&same, &t);
        QCOMPARE(t[0], QVector3D(5, 0, 0));
        QCOMPARE(t[1], QVector3D(6, 0, 0));
        QCOMPARE(t[2], QVector3D(5, 1, 0));
        QCOMPARE(t.GetNormal(), QVector3D(0, 0, 1));
    }

    void convertScaleDoublesNormalLength()
    {
        KzTriangle3D t = Make(QVector3D(1, 0, 0), QVector3D(0, 1, 0), QVector3D(0, 0, 1));
        t.UpdateNormal();
        const QVector3D before = t.GetNormal();
        QMatrix4x4 m;
        m.scale(2);
        t.Convert(m).Convert(QMatrix4x4());   // chained
        QCOMPARE(t[0], QVector3D(2, 0, 0));
        QCOMPARE(t[2], QVector3D(0, 0, 2));
        QVERIFY(qFuzzyCompare(t.GetNormal().length(), 2.0f));
        QVERIFY(qFuzzyCompare(t.GetNormal(), before * 2));
    }

    void convertDividesCornersByW()
    {
        KzTriangle3D t = Make(QVector3D(2, 4, 6), QVector3D(2, 0, 0), QVector3D(0, 2, 0));
        t.SetNormal(QVector3D(0, 0, 1));
        QMatrix4x4 m;
        m.translate(0, 0, 0);
        m(3, 3) = 2;   // every point gets w = 2
        t.Convert(m);
        QCOMPARE(t[0], QVector3D(1, 2, 3));
        QCOMPARE(t.GetNormal(), QVector3D(0, 0, 1));   // directions ignore w
    }

    void copiesAreIndependent()
    {
        KzTriangle3D a = Make(QVector3D(1, 2, 3), QVector3D(4, 5, 6), QVector3D(7, 8, 9));
        a.SetNormal(QVector3D(0, 1, 0));
        KzTriangle3D b(a);
        KzTriangle3D c;
        c = a;
        a[1] = QVector3D(0, 0, 0);
        QCOMPARE(b[1], QVector3D(4, 5, 6));
        QCOMPARE(c[2], QVector3D(7, 8, 9));
        QCOMPARE(c.GetNormal(), QVector3D(0, 1, 0));
    }
};

QTEST_APPLESS_MAIN(TestKzTriangle3D)
#include "tst_KzTriangle3D.moc"
