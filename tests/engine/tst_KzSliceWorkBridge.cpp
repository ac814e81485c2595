// The slicing job running the bridge and Debian's engine, as the program does.
#include "KLayerModel.h"
#include "KzDataFolder.h"
#include "KzLayerEstimate.h"
#include "KzSliceProfile.h"
#include "KzSliceWork.h"
#include "KzTestMesh.h"

#include <QtTest>

Q_DECLARE_METATYPE(emSliceMode)

namespace {

struct KzRun
{
    int nResult = -1;
    QList<QPair<int, int>> listRanges;
    QList<int> listValues;
    QStringList listInfo;
    QByteArray strGCode;
};

int ExpectedLayers(KzSliceProfile &profile)
{
    const QMap<QString, QVariant> map = profile.GetProfileMap();
    const int layer = int(map.value("layer_height").toDouble() * 1000 + 0.5);
    const double bottom = map.value("bottom_thickness").toDouble();
    const int initial = bottom > 0 ? int(bottom * 1000 + 0.5) : layer;
    return KzLayerEstimate::LayerCount(20000, initial, layer);
}

} // namespace

class tst_KzSliceWorkBridge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void defaultProfile();
    void presets_data();
    void presets();

private:
    KzRun Slice(KzSliceProfile &profile);

    QTemporaryDir m_dir;
};

void tst_KzSliceWorkBridge::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(KzTestMesh::Cube(20).WriteBinary(m_dir.filePath("tmpSTL.stl")));
    // The build's data folder: the bridge and the presets.
    KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
    QVERIFY(QFileInfo(KzDataFolder::GetEngineProgram()).isExecutable());
    QVERIFY(QFileInfo::exists(KzDataFolder::GetConfigureFile(QStringLiteral("slice.xml"))));
}

KzRun tst_KzSliceWorkBridge::Slice(KzSliceProfile &profile)
{
    KzRun run;
    KzSliceWork job;
    const QString gcode = m_dir.filePath("tmpGCode.gcode");
    QFile::remove(gcode);
    job.SetGCodeFilePath(gcode);
    job.SetSTLFilePath(m_dir.filePath("tmpSTL.stl"));
    job.SetParamString(profile.GetCommandStrings());
    connect(&job, &KzSliceWork::signal_SliceOver, this, [&](int code) { run.nResult = code; });
    connect(&job, &KzSliceWork::signal_UpdateProgressRange, this,
            [&](int min, int max) { run.listRanges << qMakePair(min, max); });
    connect(&job, &KzSliceWork::signal_UpdateProgressValue, this, [&](int value) { run.listValues << value; });
    connect(&job, &KzSliceWork::signal_SendPrintInfo, this, [&](const QString &info) { run.listInfo << info; });
    job.slot_StartSlice();
    QFile file(gcode);
    if (file.open(QIODevice::ReadOnly))
        run.strGCode = file.readAll();
    return run;
}

void tst_KzSliceWorkBridge::defaultProfile()
{
    // As the main program builds it: the mode, the material's temperatures, the print position.
    KzSliceProfile profile(SliceMode_Custom);
    profile.SetPrintTemperature(205);
    profile.SetBedTemperature(55);
    profile.SetPrintPos(60, 70);
    const int layers = ExpectedLayers(profile);
    const KzRun run = Slice(profile);
    QCOMPARE(run.nResult, 0);
    QCOMPARE(run.listRanges, (QList<QPair<int, int>>{{0, 3 * layers}}));
    QVERIFY(run.listValues.size() > 30);
    QVERIFY(std::is_sorted(run.listValues.begin(), run.listValues.end()));
    QCOMPARE(run.listValues.last(), 3 * layers);

    // "N minutes" (or "H hour(s) M minutes") and the filament in metres.
    QCOMPARE(run.listInfo.size(), 1);
    const QRegularExpression info(QStringLiteral("^(\\d+ hours? )?(\\d+) minutes\\n(\\d+\\.\\d\\d) Metre\\(s\\)$"));
    const QRegularExpressionMatch match = info.match(run.listInfo.first());
    QVERIFY2(match.hasMatch(), qPrintable(run.listInfo.first()));
    QVERIFY(match.captured(1).length() + match.captured(2).toInt() > 0);
    QVERIFY(match.captured(3).toDouble() > 0.5); // a 20 mm cube takes metres of filament

    // The job dropped our first line and filled in the print time.
    QVERIFY2(run.strGCode.startsWith(";Print time: " + run.listInfo.first().section('\n', 0, 0).toLatin1() + '\n'),
             run.strGCode.left(80).constData());
    QVERIFY(!run.strGCode.contains("{print_time}"));
    QVERIFY(run.strGCode.contains("\nM140 S55\r\nM190 S55\r\nM104 S205\r\nM109 S205\r\n"));
    QCOMPARE(run.strGCode.count("\n;LAYER:") - run.strGCode.count("\n;LAYER:-"), layers);
    for (const char *type : {";TYPE:WALL-OUTER", ";TYPE:WALL-INNER", ";TYPE:SKIN", ";TYPE:FILL", ";TYPE:SKIRT"})
        QVERIFY2(run.strGCode.contains(type), type);

    // The preview reads every layer, with its moves where the print was placed.
    KLayerModel model;
    model.LoadGcode(m_dir.filePath("tmpGCode.gcode"));
    QTRY_VERIFY_WITH_TIMEOUT(model.ReadyToRender(), 20000);
    QCOMPARE(model.GetLayerSize(), layers);
    const QList<LayerPath> layer = model.GetLayers().at(layers / 2);
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    QSet<int> types;
    for (const LayerPath &path : layer) {
        types << path.type;
        if (path.type != PathWallOuter)
            continue;
        for (const QVector3D &point : path.points) {
            minX = qMin(minX, point.x());
            maxX = qMax(maxX, point.x());
            minY = qMin(minY, point.y());
            maxY = qMax(maxY, point.y());
        }
    }
    QVERIFY(types.contains(PathWallOuter) && types.contains(PathWallInner) && types.contains(PathFill));
    QVERIFY2(qAbs((minX + maxX) / 2 - 60.0f) <= 0.5f && qAbs((minY + maxY) / 2 - 70.0f) <= 0.5f,
             qPrintable(QStringLiteral("%1..%2, %3..%4").arg(minX).arg(maxX).arg(minY).arg(maxY)));
    QVERIFY(qAbs(maxX - minX - 19.6f) <= 0.2f);
}

void tst_KzSliceWorkBridge::presets_data()
{
    QTest::addColumn<emSliceMode>("mode");
    QTest::newRow("fast") << SliceMode_Fast;
    QTest::newRow("standard") << SliceMode_Standard;
    QTest::newRow("optimal") << SliceMode_Optimal;
}

void tst_KzSliceWorkBridge::presets()
{
    QFETCH(emSliceMode, mode);
    KzSliceProfile profile(mode);
    profile.SetPrintTemperature(210);
    profile.SetBedTemperature(0);
    profile.SetPrintPos(50, 50);
    const int layers = ExpectedLayers(profile);
    const KzRun run = Slice(profile);
    QCOMPARE(run.nResult, 0);
    QCOMPARE(run.listRanges, (QList<QPair<int, int>>{{0, 3 * layers}}));
    QCOMPARE(run.listValues.last(), 3 * layers);
    QCOMPARE(run.strGCode.count("\n;LAYER:") - run.strGCode.count("\n;LAYER:-"), layers);
    QVERIFY(run.strGCode.startsWith(";Print time: "));
}

QTEST_GUILESS_MAIN(tst_KzSliceWorkBridge)
#include "tst_KzSliceWorkBridge.moc"
