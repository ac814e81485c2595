// The layer model on its worker thread: layers as the preview gets them after
// trimming, real engine files, and the model's life (one load, destruction
// while reading). Input that is no G-code: tst_KLayerBadInput.

#include "GcodeTestData.h"
#include "KLayerLoadWork.h"
#include "KLayerModel.h"
#include "emPathType.h"

#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const int kWaitMs = 20000;

// Loads text through a model and waits until it is ready.
std::unique_ptr<KLayerModel> Load(const QTemporaryDir& dir, const QByteArray& gcode)
{
    auto model = std::make_unique<KLayerModel>();
    model->LoadGcode(GcodeTestData::WriteFile(dir, QStringLiteral("in.gcode"), gcode));
    if (!QTest::qWaitFor([&] { return model->ReadyToRender(); }, kWaitMs))
        qWarning("the model did not become ready");
    return model;
}

QList<int> Types(const SingleLayer& layer)
{
    QList<int> types;
    for (const LayerPath& path : layer)
        types << path.type;
    return types;
}

QByteArray TenLayers()
{
    QByteArray gcode = ";FLAVOR:Marlin\nG28\nG1 Z15.0 F6000\n";
    for (int i = 0; i < 10; ++i)
        gcode += ";LAYER:" + QByteArray::number(i) + "\n;TYPE:WALL-OUTER\nG0 X1.0 Y1.0 Z" + QByteArray::number(i + 1)
                 + ".0\nG1 X2.0 Y1.0 E1.0\n";
    return gcode + "G1 X3.0 Y1.0 E2.0\n;End of Gcode\n";
}

// A regular file that never ends as far as a reader goes: a few layers, then
// 4 TiB of zero bytes without a line break that take no disk space. Reading it
// through takes far longer than any test may run.
QString WriteEndlessGcode(const QTemporaryDir& dir)
{
    QByteArray text = ";TYPE:FILL\n";
    for (int layer = 0; layer < 5; ++layer) {
        text += ";LAYER:" + QByteArray::number(layer) + "\n;TYPE:FILL\nG0 X1.0 Y1.0 Z0.2\n";
        for (int i = 0; i < 200; ++i)
            text += "G1 X2.0 Y2.0 E1.0\n";
    }
    const QString path = GcodeTestData::WriteFile(dir, QStringLiteral("endless.gcode"), text);
    QFile file(path);
    return !path.isEmpty() && file.resize(qint64(4) << 40) ? path : QString();
}

// Per layer and type, the extrusion points a file holds, read line by line
// with the expressions.
QList<QMap<int, QVector<QVector3D>>> ExtrusionsByType(const QByteArray& gcode)
{
    static const QMap<QString, int> types = {{"WALL-OUTER", PathWallOuter}, {"WALL-INNER", PathWallInner},
                                             {"SKIN", PathSkin}, {"SKIRT", PathSkirt}, {"FILL", PathFill},
                                             {"SUPPORT", PathSupport}};
    QList<QMap<int, QVector<QVector3D>>> layers;
    int type = PathLayerStart;
    float z = 0;
    for (const QByteArray& line : gcode.split('\n')) {
        const KLayerLoadWork::LineMatch m = KLayerLoadWork::MatchLineByExpressions(QString::fromUtf8(line));
        if (m.rule == KLayerLoadWork::LineMatch::Layer) {
            layers.append(QMap<int, QVector<QVector3D>>());
            type = PathLayerStart;
        } else if (m.rule == KLayerLoadWork::LineMatch::Type) {
            type = types.value(m.typeName, PathWallOuter);
        } else if (m.rule == KLayerLoadWork::LineMatch::Travel && m.hasZ) {
            z = m.z;
        } else if (m.rule == KLayerLoadWork::LineMatch::Extrude && !layers.isEmpty()) {
            layers.last()[type].append(QVector3D(m.x, m.y, z));
        }
    }
    return layers;
}

bool IsSubsequence(const QVector<QVector3D>& part, const QVector<QVector3D>& whole)
{
    int i = 0;
    for (const QVector3D& point : whole) {
        if (i < part.size() && part[i] == point)
            ++i;
    }
    return i == part.size();
}

} // namespace

class tst_KLayerModel : public QObject
{
    Q_OBJECT

private slots:
    void tenLayerLinesGiveTenLayers();
    void noLayerLineGivesNoLayer();
    void negativeLayerNumbersCountByOrder();
    void engineLayerTimes();
    void trimming_data();
    void trimming();
    void engineFiles_data();
    void engineFiles();
    void decimalPointsKeepEveryMove();

    void aModelServesOneLoad();
    void destroyedWhileReadingStopsTheReader();
    void destroyedBeforeTheReadBegins();
    void destroyedWithoutLoadingOrAfterLoading();
};

void tst_KLayerModel::tenLayerLinesGiveTenLayers()
{
    QTemporaryDir dir;
    const auto model = Load(dir, TenLayers());
    QVERIFY(model->ReadyToRender());
    QCOMPARE(model->GetLayerSize(), 10);
    const QVector<SingleLayer> layers = model->GetLayers();
    QCOMPARE(layers.size(), 10);
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(layers[i].size(), 1);
        QCOMPARE(layers[i][0].type, int(PathWallOuter));
        QCOMPARE(layers[i][0].points.first(), QVector3D(1, 1, i + 1));
    }
    // The last layer holds everything after the line numbered 9.
    QCOMPARE(layers[9][0].points, QVector<QVector3D>({QVector3D(1, 1, 10), QVector3D(2, 1, 10), QVector3D(3, 1, 10)}));
}

void tst_KLayerModel::noLayerLineGivesNoLayer()
{
    QTemporaryDir dir;
    const auto model = Load(dir, ";TYPE:FILL\nG0 X1.0 Y1.0 Z0.2\nG1 X2.0 Y2.0\nG1 X3.0 Y3.0\n");
    QVERIFY(model->ReadyToRender());
    QCOMPARE(model->GetLayerSize(), 0);
}

void tst_KLayerModel::negativeLayerNumbersCountByOrder()
{
    QTemporaryDir dir;
    const auto model = Load(dir, ";LAYER:-2\nG0 X1.0 Y0.0 Z0.3\nG1 X1.0 Y1.0\n;LAYER:-1\nG0 X2.0 Y0.0 Z0.6\nG1 X2.0 Y1.0\n"
                                 ";LAYER:0\nG0 X3.0 Y0.0 Z0.9\nG1 X3.0 Y1.0\n;LAYER:-1\nG0 X4.0 Y0.0 Z1.2\nG1 X4.0 Y1.0\n");
    QVERIFY(model->ReadyToRender());
    const QVector<SingleLayer> layers = model->GetLayers();
    QCOMPARE(layers.size(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(layers[i][0].points.first().x(), float(i + 1));
}

// The engine ends each layer with the print time so far; a layer without
// one (or with a broken one) has none, and the part before the first layer
// goes with the trim, its time with it.
void tst_KLayerModel::engineLayerTimes()
{
    QTemporaryDir dir;
    const auto model = Load(dir, ";TIME_ELAPSED:1.0\n;LAYER:0\n;TYPE:FILL\nG0 X1.0 Y1.0 Z0.2\nG1 X2.0 Y1.0\n"
                                 ";TIME_ELAPSED:12.5\n;LAYER:1\nG1 X3.0 Y1.0\n;TIME_ELAPSED:abc\n"
                                 ";LAYER:2\nG1 X4.0 Y1.0\n;TIME_ELAPSED:30\n;TIME_ELAPSED:31.75\n"
                                 ";LAYER:3\nG1 X5.0 Y1.0\n ;TIME_ELAPSED:40\n");
    QVERIFY(model->ReadyToRender());
    QCOMPARE(model->GetLayerSize(), 4);
    QCOMPARE(model->GetLayerElapsed(0), 12.5);
    QCOMPARE(model->GetLayerElapsed(1), -1.0);
    QCOMPARE(model->GetLayerElapsed(2), 31.75);   // the last one of the layer
    QCOMPARE(model->GetLayerElapsed(3), -1.0);    // a comment only where a line starts
    QCOMPARE(model->GetLayerElapsed(4), -1.0);
    QCOMPARE(model->GetLayerElapsed(-1), -1.0);
}

void tst_KLayerModel::trimming_data()
{
    // One layer's moves, then the types and first points of the paths kept.
    QTest::addColumn<QByteArray>("moves");
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<QVector<QVector3D>>("firstPoints");
    QTest::addColumn<QList<int>>("sizes");

    QTest::newRow("travel right after the layer line")
        << QByteArray("G0 X10.0 Y10.0 Z0.3\nG1 X20.0 Y10.0\nG1 X20.0 Y20.0\n") << QList<int>{PathLayerStart}
        << QVector<QVector3D>{QVector3D(10, 10, 0.3f)} << QList<int>{3};
    QTest::newRow("fill after a travel") << QByteArray(";TYPE:FILL\nG0 X5.0 Y5.0 Z0.2\nG1 X6.0 Y5.0\nG1 X6.0 Y6.0\n")
                                         << QList<int>{PathFill} << QVector<QVector3D>{QVector3D(5, 5, 0.2f)} << QList<int>{3};
    QTest::newRow("travel onto a new type") << QByteArray(";TYPE:SKIN\nG0 X5.0 Y5.0 Z0.2\n;TYPE:FILL\nG1 X6.0 Y5.0\n")
                                            << QList<int>{PathFill} << QVector<QVector3D>{QVector3D(5, 5, 0.2f)} << QList<int>{2};
    QTest::newRow("travel after travel, same type")
        << QByteArray(";TYPE:SKIN\nG0 X1.0 Y1.0 Z0.2\nG0 X5.0 Y5.0\nG1 X6.0 Y5.0\n") << QList<int>{PathSkin}
        << QVector<QVector3D>{QVector3D(5, 5, 0.2f)} << QList<int>{2};
    QTest::newRow("travel point carried over two type lines")
        << QByteArray(";TYPE:SKIN\nG0 X5.0 Y5.0 Z0.2\n;TYPE:WALL-INNER\n;TYPE:FILL\nG1 X6.0 Y5.0\n") << QList<int>{PathFill}
        << QVector<QVector3D>{QVector3D(5, 5, 0.2f)} << QList<int>{2};
    QTest::newRow("lone travel at the end stays")
        << QByteArray(";TYPE:FILL\nG0 X5.0 Y5.0 Z0.2\nG1 X6.0 Y5.0\nG0 X9.0 Y9.0\n") << QList<int>{PathFill, PathFill}
        << QVector<QVector3D>{QVector3D(5, 5, 0.2f), QVector3D(9, 9, 0.2f)} << QList<int>{2, 1};
    QTest::newRow("empty paths go, also at the end")
        << QByteArray(";TYPE:SKIRT\n;TYPE:SKIN\nG0 X1.0 Y1.0 Z0.2\nG1 X2.0 Y1.0\n;TYPE:FILL\n;TYPE:SUPPORT\n")
        << QList<int>{PathSkin} << QVector<QVector3D>{QVector3D(1, 1, 0.2f)} << QList<int>{2};
    QTest::newRow("paths of two types stay apart")
        << QByteArray(";TYPE:WALL-OUTER\nG0 X1.0 Y1.0 Z0.2\nG1 X2.0 Y1.0\nG0 X3.0 Y3.0\nG1 X4.0 Y3.0\n"
                      ";TYPE:SUPPORT\nG0 X7.0 Y7.0\nG1 X8.0 Y7.0\nG1 X8.0 Y8.0\n")
        << QList<int>{PathWallOuter, PathWallOuter, PathSupport}
        << QVector<QVector3D>{QVector3D(1, 1, 0.2f), QVector3D(3, 3, 0.2f), QVector3D(7, 7, 0.2f)} << QList<int>{2, 2, 3};
    QTest::newRow("unknown type draws as outer wall")
        << QByteArray(";TYPE:SUPPORT-INTERFACE\nG0 X1.0 Y1.0 Z0.2\nG1 X2.0 Y1.0\n") << QList<int>{PathWallOuter}
        << QVector<QVector3D>{QVector3D(1, 1, 0.2f)} << QList<int>{2};
    QTest::newRow("whole-number moves are skipped")
        << QByteArray(";TYPE:FILL\nG0 X1.0 Y1.0 Z0.2\nG1 X2 Y1.0\nG1 X3.0 Y1.0\n") << QList<int>{PathFill}
        << QVector<QVector3D>{QVector3D(1, 1, 0.2f)} << QList<int>{2};
}

void tst_KLayerModel::trimming()
{
    QFETCH(QByteArray, moves);
    QFETCH(QList<int>, types);
    QFETCH(QVector<QVector3D>, firstPoints);
    QFETCH(QList<int>, sizes);
    QTemporaryDir dir;
    const auto model = Load(dir, ";LAYER:0\n" + moves + ";LAYER:1\n");
    QVERIFY(model->ReadyToRender());
    const QVector<SingleLayer> layers = model->GetLayers();
    QCOMPARE(layers.size(), 2);
    QCOMPARE(Types(layers[0]), types);
    for (int i = 0; i < types.size(); ++i) {
        QCOMPARE(layers[0][i].points.first(), firstPoints[i]);
        QCOMPARE(layers[0][i].points.size(), sizes[i]);
    }
    QVERIFY(layers[1].isEmpty());   // its only path, the empty layer start, is gone
}

void tst_KLayerModel::engineFiles_data()
{
    GcodeTestData::AddRealGcodeRows();
}

void tst_KLayerModel::engineFiles()
{
    QFETCH(QByteArray, gcode);
    QTemporaryDir dir;
    const auto model = Load(dir, gcode);
    QVERIFY(model->ReadyToRender());
    const QVector<SingleLayer> layers = model->GetLayers();
    // As many layers as layer lines.
    QCOMPARE(layers.size(), gcode.count(";LAYER:"));
    // Each extrusion lies, in order, in the paths of the type its type line names.
    const QList<QMap<int, QVector<QVector3D>>> expected = ExtrusionsByType(gcode);
    QCOMPARE(expected.size(), layers.size());
    int nTyped = 0;
    for (int i = 0; i < layers.size(); ++i) {
        QMap<int, QVector<QVector3D>> actual;
        for (const LayerPath& path : layers[i]) {
            QVERIFY(!path.points.isEmpty());
            QVERIFY2(expected[i].contains(path.type), qPrintable(QStringLiteral("layer %1 type %2").arg(i).arg(path.type)));
            actual[path.type] += path.points;
        }
        QCOMPARE(actual.keys(), expected[i].keys());
        for (auto it = expected[i].cbegin(); it != expected[i].cend(); ++it) {
            QVERIFY2(IsSubsequence(it.value(), actual[it.key()]), qPrintable(QStringLiteral("layer %1 type %2").arg(i).arg(it.key())));
            if (it.key() != PathLayerStart)
                ++nTyped;
        }
    }
    QVERIFY(nTyped >= layers.size());
}

void tst_KLayerModel::decimalPointsKeepEveryMove()
{
    // The engine drops the decimal point of whole numbers and those moves are
    // skipped; written with decimal points, every move is drawn.
    const QByteArray engine = GcodeTestData::ReadGcode("engine-raft-support.gcode");
    const QByteArray bridge = GcodeTestData::WithDecimalPoints(engine);
    int nMoves = 0;
    for (const QByteArray& line : engine.split('\n')) {
        if ((line.startsWith("G0 ") || line.startsWith("G1 ")) && line.contains(" X") && line.contains(" Y"))
            ++nMoves;
    }
    QTemporaryDir dir;
    const auto fromEngine = Load(dir, engine);
    const auto fromBridge = Load(dir, bridge);
    auto countPoints = [](const QVector<SingleLayer>& layers) {
        int n = 0;
        for (const SingleLayer& layer : layers)
            for (const LayerPath& path : layer)
                n += path.points.size();
        return n;
    };
    const int nEngine = countPoints(fromEngine->GetLayers());
    const int nBridge = countPoints(fromBridge->GetLayers());
    QVERIFY2(nEngine < nBridge, qPrintable(QStringLiteral("%1 vs %2").arg(nEngine).arg(nBridge)));
    // Only single travels between paths of one type leave no point behind.
    QVERIFY2(nBridge <= nMoves && nBridge > nMoves * 9 / 10, qPrintable(QStringLiteral("%1 of %2").arg(nBridge).arg(nMoves)));
}

void tst_KLayerModel::aModelServesOneLoad()
{
    QTemporaryDir dir;
    const QString first = GcodeTestData::WriteFile(dir, "first.gcode", TenLayers());
    const QString second = GcodeTestData::WriteFile(dir, "second.gcode", ";LAYER:0\nG0 X1.0 Y1.0 Z0.2\nG1 X2.0 Y2.0\n");
    KLayerModel model;
    model.LoadGcode(first);
    model.LoadGcode(second);
    QVERIFY(QTest::qWaitFor([&] { return model.ReadyToRender(); }, kWaitMs));
    QTest::qWait(100);
    QCOMPARE(model.GetLayerSize(), 10);
    model.LoadGcode(second);
    QTest::qWait(100);
    QCOMPARE(model.GetLayerSize(), 10);
}

void tst_KLayerModel::destroyedWhileReadingStopsTheReader()
{
    // The file does not end in any time a test may take, so the destructor
    // can only return if the reader stops.
    QTemporaryDir dir;
    const QString path = WriteEndlessGcode(dir);
    QVERIFY(!path.isEmpty());
    auto model = std::make_unique<KLayerModel>();
    model->LoadGcode(path);
    QVERIFY(QTest::qWaitFor([&] { return model->GetLayerSize() >= 3; }, kWaitMs));
    // While reading, the layers come untrimmed: first the part before the first layer line.
    const QVector<SingleLayer> layers = model->GetLayers();
    QVERIFY(!model->ReadyToRender());
    QCOMPARE(Types(layers[0]), QList<int>({PathFill}));
    QCOMPARE(Types(layers[1]), QList<int>({PathLayerStart, PathFill, PathFill}));
    QCOMPARE(layers[1][2].points.size(), 201);
    model.reset();
}

void tst_KLayerModel::destroyedBeforeTheReadBegins()
{
    // Destruction at every moment of the reader's start, on a file without an
    // end in sight: the destructor returns only if each stop reaches the reader.
    QTemporaryDir dir;
    const QString path = WriteEndlessGcode(dir);
    QVERIFY(!path.isEmpty());
    for (int i = 0; i < 50; ++i) {
        KLayerModel model;
        model.LoadGcode(path);
        QThread::usleep((i % 25) * 8);
    }
}

void tst_KLayerModel::destroyedWithoutLoadingOrAfterLoading()
{
    // The sanitizer build finds a worker that is never freed or freed twice.
    { KLayerModel unused; }
    QTemporaryDir dir;
    auto model = Load(dir, TenLayers());
    QVERIFY(model->ReadyToRender());
    model.reset();
}

QTEST_GUILESS_MAIN(tst_KLayerModel)
#include "tst_KLayerModel.moc"
