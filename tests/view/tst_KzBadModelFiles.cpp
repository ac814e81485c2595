// Bad model files opened in a real view after a real model: files that are
// refused change nothing on the plate, files read in part say what was left
// out, and no placement sweeps the models already there off the plate.
#include "KzModel3D.h"
#include "KzModelPainter.h"
#include "KzViewTestSupport.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

using namespace KzViewTest;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Where every instance stands, to the bit.
QByteArray Plate(Kz3DScene& scene)
{
    QByteArray state;
    for (const KzModelPainter* p : scene.GetPainters()) {
        const QMatrix4x4 m = p->GetModelMatrix();
        state.append(reinterpret_cast<const char*>(m.constData()), 16 * sizeof(float));
    }
    return state;
}

bool FiniteAndNear(const QVector3D& v, float reach)
{
    for (int axis = 0; axis < 3; ++axis)
        if (!std::isfinite(v[axis]) || std::abs(v[axis]) > reach)
            return false;
    return true;
}

} // namespace

class tst_KzBadModelFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void refusedFilesLeaveThePlateAlone_data();
    void refusedFilesLeaveThePlateAlone();
    void partlyReadFilesTellWhatWasLeftOut();
    void hugeModelsDoNotSweepThePlate();
    void sharedMeshIsNotReadAgain();

private:
    QString Box(const QString& name, const QVector3D& min, const QVector3D& max);
    // A 20 mm cube on the plate, the real model the bad files come after.
    void OpenRealModel();

    KzTestView* m_pView = nullptr;
    QTemporaryDir m_dir;
};

void tst_KzBadModelFiles::init()
{
    QVERIFY(m_dir.isValid());
    m_pView = new KzTestView(nullptr);
    m_pView->resize(640, 480);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView));
}

void tst_KzBadModelFiles::cleanup()
{
    delete m_pView;
    m_pView = nullptr;
}

QString tst_KzBadModelFiles::Box(const QString& name, const QVector3D& min, const QVector3D& max)
{
    const QString path = m_dir.filePath(name);
    return WriteBinaryStl(path, BoxTriangles(min, max)) ? path : QString();
}

void tst_KzBadModelFiles::OpenRealModel()
{
    QVERIFY(m_pView->OpenSTLFile(Box("real.stl", QVector3D(0, 0, 0), QVector3D(20, 20, 20))));
}

void tst_KzBadModelFiles::refusedFilesLeaveThePlateAlone_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("verdict");
    // Random bytes, as `head -c 3000 /dev/urandom` gives them, from fixed seeds.
    for (quint32 seed = 1; seed <= 12; ++seed) {
        QRandomGenerator random(seed);
        QByteArray bytes(3000, '\0');
        random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        QTest::addRow("random bytes %u", seed) << "corrupt.stl" << bytes << -1;
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const QString nanPath = m_dir.filePath("nan-only.stl");
    QVector<KzTriangle3D> nanOnly = BoxTriangles(QVector3D(0, 0, 0), QVector3D(10, 10, 10));
    for (KzTriangle3D& t : nanOnly)
        t[1].setY(nan);
    QVERIFY(WriteBinaryStl(nanPath, nanOnly));
    QTest::newRow("every facet has a NaN corner") << "nan-only.stl" << ReadAll(nanPath)
                                                  << int(KzLoadReport::Verdict_NoFacets);
    const QString longPath = Box("bridge.stl", QVector3D(0, 0, 0), QVector3D(120000, 10, 10));
    QTest::newRow("120 m long") << "bridge.stl" << ReadAll(longPath) << int(KzLoadReport::Verdict_TooLarge);
    QTest::newRow("obj of words") << "words.obj" << QByteArray("v a b c\nv 1 2 3\nv 4 5 6\nf 1 2 3\n")
                                  << int(KzLoadReport::Verdict_NoFacets);
    QTest::newRow("no facets") << "empty.stl" << QByteArray(84, '\0') << int(KzLoadReport::Verdict_NoFacets);
}

// Refused: false, no new instance or model, not a bit of the real model moved,
// and the report names the file and the reason.
void tst_KzBadModelFiles::refusedFilesLeaveThePlateAlone()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, verdict);
    OpenRealModel();
    Kz3DScene& scene = m_pView->GetScene();
    const QByteArray before = Plate(scene);
    const QString path = m_dir.filePath(name);
    QVERIFY(WriteAll(path, bytes));
    QSignalSpy reports(m_pView, &KzGLView::signal_LoadReported);

    QVERIFY(!m_pView->OpenSTLFile(path));
    QCOMPARE(scene.GetPainters().size(), 1);
    QCOMPARE(scene.GetModels().size(), 1);
    QVERIFY(Plate(scene) == before);
    QCOMPARE(reports.size(), 1);
    const KzLoadReport report = reports.first().first().value<KzLoadReport>();
    QCOMPARE(report.GetFileName(), path);
    QVERIFY(!report.IsUsable());
    if (verdict >= 0)
        QCOMPARE(int(report.GetVerdict()), verdict);
    else   // random floats span far more than any printer, or none is a number
        QVERIFY2(report.GetVerdict() == KzLoadReport::Verdict_TooLarge
                     || report.GetVerdict() == KzLoadReport::Verdict_NoFacets,
                 qPrintable(QString::number(report.GetVerdict())));
    QCOMPARE(m_pView->GetLoadReport().GetFileName(), path);
}

// A binary STL cut short and one with NaN corners load what is whole; the
// report counts what was left out, and the real model stays where it stood.
void tst_KzBadModelFiles::partlyReadFilesTellWhatWasLeftOut()
{
    OpenRealModel();
    Kz3DScene& scene = m_pView->GetScene();
    const KzModelPainter* real = scene.GetPainters().first();
    const QMatrix4x4 realMatrix = real->GetModelMatrix();

    // The header promises 20 facets; 12 whole records and half of one follow.
    QByteArray cut = ReadAll(Box("cut.stl", QVector3D(0, 0, 0), QVector3D(10, 10, 10)));
    cut.replace(80, 4, QByteArray("\x14\0\0\0", 4));
    cut.append(25, '\x7f');
    QVERIFY(WriteAll(m_dir.filePath("cut.stl"), cut));
    QVERIFY(m_pView->OpenSTLFile(m_dir.filePath("cut.stl")));
    KzLoadReport report = m_pView->GetLoadReport();
    QVERIFY(report.IsUsable());
    QCOMPARE(report.GetRecords(), qint64(12));
    QCOMPARE(report.GetPromised(), qint64(20));
    QCOMPARE(report.GetFacets(), qint64(12));
    QCOMPARE(report.GetDropped(), qint64(0));

    QVector<KzTriangle3D> holed = BoxTriangles(QVector3D(0, 0, 0), QVector3D(10, 10, 10));
    holed[3][2].setX(std::numeric_limits<float>::infinity());
    holed[7][0].setZ(std::numeric_limits<float>::quiet_NaN());
    QVERIFY(WriteBinaryStl(m_dir.filePath("holed.stl"), holed));
    QVERIFY(m_pView->OpenSTLFile(m_dir.filePath("holed.stl")));
    report = m_pView->GetLoadReport();
    QVERIFY(report.IsUsable());
    QVERIFY(!report.IsShort());
    QCOMPARE(report.GetDropped(), qint64(2));
    QCOMPARE(scene.GetCurrentPainter()->GetModel()->Count(), 10);
    QVERIFY(FiniteAndNear(scene.GetCurrentPainter()->GetMax(), 100));

    QCOMPARE(scene.GetPainters().size(), 3);
    QVERIFY(real->GetModelMatrix() == realMatrix);
}

// Models far larger than the plate, but not beyond belief, are opened; yet
// neither their placement nor the recentring after it moves the model that
// was there, and every instance keeps finite coordinates.
void tst_KzBadModelFiles::hugeModelsDoNotSweepThePlate()
{
    OpenRealModel();
    Kz3DScene& scene = m_pView->GetScene();
    KzModelPainter* real = scene.GetPainters().first();
    const QVector3D centre = real->GetCenter();
    QVERIFY(m_pView->OpenSTLFile(Box("hall.stl", QVector3D(0, 0, 0), QVector3D(5000, 3000, 10))));
    QVERIFY(m_pView->OpenSTLFile(Box("runway.stl", QVector3D(0, 0, 0), QVector3D(99000, 60, 10))));
    QCOMPARE(scene.GetPainters().size(), 3);
    QCOMPARE(real->GetCenter(), centre);
    for (const KzModelPainter* p : scene.GetPainters()) {
        QVERIFY(FiniteAndNear(p->GetMin(), 50000));
        QVERIFY(FiniteAndNear(p->GetMax(), 50000));
    }

}

// The same path opened again shares the mesh read the first time, and its
// report: the file is not read again, even when it has changed since.
void tst_KzBadModelFiles::sharedMeshIsNotReadAgain()
{
    QVector<KzTriangle3D> holed = BoxTriangles(QVector3D(0, 0, 0), QVector3D(10, 10, 10));
    holed[0][0].setX(std::numeric_limits<float>::quiet_NaN());
    const QString path = m_dir.filePath("part.stl");
    QVERIFY(WriteBinaryStl(path, holed));
    QVERIFY(m_pView->OpenSTLFile(path));
    QVERIFY(WriteAll(path, QByteArray(3000, '\x7f')));   // would be refused now
    QSignalSpy reports(m_pView, &KzGLView::signal_LoadReported);
    QVERIFY(m_pView->OpenSTLFile(path));
    Kz3DScene& scene = m_pView->GetScene();
    QCOMPARE(scene.GetPainters().size(), 2);
    QCOMPARE(scene.GetModels().size(), 1);
    QCOMPARE(scene.GetModels().first()->Count(), 11);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first().first().value<KzLoadReport>().GetDropped(), qint64(1));
}

QTEST_MAIN(tst_KzBadModelFiles)
#include "tst_KzBadModelFiles.moc"
