// Runs of the bridge program against Debian's CuraEngine on meshes made here.
#include "KzBridgeRun.h"
#include "KzLayerEstimate.h"
#include "KzTestMesh.h"

#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

bool WriteFile(const QString &path, const QByteArray &data, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return false;
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Children of a process, from /proc.
QList<qint64> ChildrenOf(qint64 parent)
{
    QList<qint64> children;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        const QByteArray stat = ReadFile(QStringLiteral("/proc/%1/stat").arg(pid));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == parent)
            children << pid;
    }
    return children;
}

// Gone, or a zombie nobody has reaped yet: either way no longer running.
bool IsRunning(qint64 pid)
{
    const QByteArray stat = ReadFile(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.isEmpty())
        return false;
    const char state = stat.mid(stat.lastIndexOf(')') + 2, 1).at(0);
    return state != 'Z' && state != 'X';
}

QString ExeOf(qint64 pid)
{
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath();
}

// The one child of parent running program, or 0 while there is none (yet).
qint64 ChildRunning(qint64 parent, const QString &program)
{
    const QString wanted = QFileInfo(program).canonicalFilePath();
    for (qint64 child : ChildrenOf(parent))
        if (ExeOf(child) == wanted)
            return child;
    return 0;
}

QProcessEnvironment WithPath(const QString &path)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), path);
    return env;
}

} // namespace

class tst_KzEngineBridgeRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void layerCount_data();
    void layerCount();
    void progressAndFigures();
    void startCodeOnceAndNoSecondHeating();
    void codeLinesAreNoConsoleLines();
    void centredOnPosition_data();
    void centredOnPosition();
    void support_data();
    void support();
    void raft();
    void brimAgainstSkirt();
    void infill_data();
    void infill();
    void nothingDependsOnTheBedSize();
    void findsTheEngineBesideItself();
    void warnsOfUnknownKeys();
    void failures_data();
    void failures();
    void killedBridgeTakesTheEngineAlong_data();
    void killedBridgeTakesTheEngineAlong();
    void killedCallerTakesBridgeAndEngineAlong();
    void callerGoneBeforeStartNoSlice();

private:
    QString Mesh(const QString &name) const { return m_dir.filePath(name + ".stl"); }
    QString Output(const char *name) const { return m_dir.filePath(QString::fromLatin1(name) + ".gcode"); }
    // Slices and checks what every good result must hold; returns the G-code.
    QByteArray Slice(const QString &mesh, const QByteArrayList &overrides, KzBridgeRun *pRun = nullptr);
    QString FakeEngine(const char *name, const QByteArray &script);

    QTemporaryDir m_dir;
};

void tst_KzEngineBridgeRun::initTestCase()
{
    QVERIFY2(QFileInfo(KzBridgeRun::BridgePath()).isExecutable(), "the bridge is not built");
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("CuraEngine")).isEmpty(),
             "Debian's cura-engine is not installed");
    QVERIFY(m_dir.isValid());
    QVERIFY(KzTestMesh::Cube(20).WriteBinary(Mesh("cube")));
    QVERIFY(KzTestMesh::Overhang().WriteBinary(Mesh("overhang")));
    QVERIFY(KzTestMesh::ThinTall().WriteBinary(Mesh("thin")));
    QVERIFY(KzTestMesh::Overhang().WriteAscii(Mesh("overhang-ascii")));
}

QByteArray tst_KzEngineBridgeRun::Slice(const QString &mesh, const QByteArrayList &overrides, KzBridgeRun *pRun)
{
    KzBridgeRun local;
    KzBridgeRun &run = pRun ? *pRun : local;
    const QString output = m_dir.filePath(QStringLiteral("slice.gcode"));
    if (!run.Run(KzBridgeRun::Line(KzBridgeRun::Settings(overrides), output, mesh))) {
        QTest::qFail("the bridge did not finish", __FILE__, __LINE__);
        return QByteArray();
    }
    if (run.GetExitCode() != 0) {
        QTest::qFail(run.GetErrors().right(400).constData(), __FILE__, __LINE__);
        return QByteArray();
    }
    const QByteArray gcode = ReadFile(output);
    struct stat info;
    const mode_t mask = umask(0);
    umask(mask);
    if (stat(QFile::encodeName(output).constData(), &info) != 0 || (info.st_mode & 0777) != (0666 & ~mask))
        QTest::qFail("the G-code does not have the permissions of a new file", __FILE__, __LINE__);
    const KzGCodeFacts facts = KzBridgeRun::Analyse(gcode);
    if (!facts.listWholeCoordinates.isEmpty())
        QTest::qFail(qPrintable("a coordinate without a decimal point: " + facts.listWholeCoordinates.first()),
                     __FILE__, __LINE__);
    // Nothing of ours is left beside the output.
    const QStringList leftovers = QDir(m_dir.path()).entryList({QStringLiteral(".slice.gcode.*")}, QDir::Files | QDir::Hidden);
    if (!leftovers.isEmpty())
        QTest::qFail(qPrintable("temporary files left: " + leftovers.join(' ')), __FILE__, __LINE__);
    return gcode;
}

QString tst_KzEngineBridgeRun::FakeEngine(const char *name, const QByteArray &script)
{
    const QString dir = m_dir.filePath(QString::fromLatin1(name));
    QDir().mkpath(dir);
    WriteFile(dir + "/CuraEngine", "#!/bin/sh\n" + script, true);
    return dir;
}

void tst_KzEngineBridgeRun::layerCount_data()
{
    QTest::addColumn<QString>("mesh");
    QTest::addColumn<double>("height");
    QTest::addColumn<int>("layer");
    QTest::addColumn<int>("initial");
    QTest::addColumn<int>("layers"); // floor((H - h0) / h + 1/2) + 1
    QTest::newRow("cube, 0.2 mm") << "cube" << 20.0 << 200 << 300 << 100;
    QTest::newRow("cube, 0.1 mm") << "cube" << 20.0 << 100 << 300 << 198;
    QTest::newRow("overhang, 0.15 mm") << "overhang" << 13.0 << 150 << 250 << 86;
    QTest::newRow("overhang from ASCII STL") << "overhang-ascii" << 13.0 << 200 << 300 << 65;
    QTest::newRow("thin tall part, 0.3 mm") << "thin" << 30.0 << 300 << 300 << 100;
    QTest::newRow("thin tall part, first layer 0.2") << "thin" << 30.0 << 250 << 200 << 120;
}

void tst_KzEngineBridgeRun::layerCount()
{
    QFETCH(QString, mesh);
    QFETCH(double, height);
    QFETCH(int, layer);
    QFETCH(int, initial);
    QFETCH(int, layers);
    QCOMPARE(KzLayerEstimate::LayerCount(qint64(height * 1000), initial, layer), layers);
    qint64 read = 0;
    QVERIFY(KzLayerEstimate::ReadHeight(Mesh(mesh), read));
    QCOMPARE(read, qint64(height * 1000));

    KzBridgeRun run;
    const QByteArray gcode = Slice(Mesh(mesh), {"layerThickness=" + QByteArray::number(layer),
                                                "initialLayerThickness=" + QByteArray::number(initial)},
                                   &run);
    QByteArrayList lines;
    QVERIFY(run.GetConsoleLines(lines));
    QCOMPARE(lines.first(), "Layer count: " + QByteArray::number(layers));
    QCOMPARE(KzBridgeRun::Analyse(gcode).nModelLayers, layers);
    QVERIFY(gcode.contains(";LAYER:" + QByteArray::number(layers - 1) + '\n'));
}

void tst_KzEngineBridgeRun::progressAndFigures()
{
    KzBridgeRun run;
    const QByteArray gcode = Slice(Mesh("overhang"), {"supportAngle=60"}, &run);
    QByteArrayList lines;
    QVERIFY2(run.GetConsoleLines(lines), "every console line ends with CR LF");
    QVERIFY(lines.size() > 10);

    // "Layer count: N" first and once; then inset, skin, export, each up to N, never back.
    QCOMPARE(lines.first(), QByteArray("Layer count: 65"));
    const int n = 65;
    static const QByteArrayList phases{"inset", "skin", "export"};
    int last = -1;
    QList<int> ends;
    int i = 1;
    for (; i < lines.size() && lines.at(i).startsWith("Progress:"); ++i) {
        const QByteArrayList f = lines.at(i).split(':');
        QCOMPARE(f.size(), 4);
        QCOMPARE(f.at(3).toInt(), n);
        const int phase = phases.indexOf(f.at(1));
        QVERIFY2(phase >= 0, lines.at(i).constData());
        const int value = phase * n + f.at(2).toInt();
        QVERIFY2(value > last, lines.at(i).constData());
        last = value;
        if (f.at(2).toInt() == n)
            ends << phase;
    }
    QCOMPARE(ends, QList<int>({0, 1, 2}));
    QCOMPARE(last, 3 * n);
    QVERIFY(i > 20); // the bar moves in steps, not in one jump
    QCOMPARE(lines.mid(i).size(), 2);
    QVERIFY(lines.at(i).startsWith("Print time: "));
    QVERIFY(lines.at(i + 1).startsWith("Filament: "));
    int counts = 0;
    for (const QByteArray &line : lines)
        counts += line.startsWith("Layer count") ? 1 : 0;
    QCOMPARE(counts, 1);

    // The figures are positive and agree with the file.
    const int time = lines.at(i).mid(12).toInt();
    const int filament = lines.at(i + 1).mid(10).toInt();
    QVERIFY(time > 0);
    QVERIFY(filament > 0);
    const KzGCodeFacts facts = KzBridgeRun::Analyse(gcode);
    QCOMPARE(facts.nHeaderTime, time);
    QVERIFY2(qAbs(facts.dLastElapsed - time) <= 1.0, qPrintable(QString::number(facts.dLastElapsed)));
    QVERIFY2(qAbs(facts.dHeaderFilament * 1000.0 - filament) <= 1.0, qPrintable(QString::number(facts.dHeaderFilament)));
    QVERIFY2(qAbs(facts.dExtruded - filament) <= 0.01 * filament,
             qPrintable(QStringLiteral("E moves %1 mm, console %2 mm").arg(facts.dExtruded).arg(filament)));
}

void tst_KzEngineBridgeRun::startCodeOnceAndNoSecondHeating()
{
    const QByteArray gcode = Slice(Mesh("cube"), {"startCode=" + KzBridgeRun::StartCode(205, 55)});
    const QByteArray start = KzBridgeRun::StartCode(205, 55);
    const int firstLineEnd = gcode.indexOf('\n');
    QVERIFY(gcode.startsWith(';'));
    QVERIFY(gcode.indexOf('\n', 0) < 100); // the first line is one short comment
    QCOMPARE(gcode.mid(firstLineEnd + 1, start.size()), start);
    QCOMPARE(gcode.count(start), 1);
    QVERIFY(gcode.mid(firstLineEnd + 1, 2048).contains(";Print time: {print_time}"));
    QVERIFY(gcode.endsWith(KzBridgeRun::EndCode() + "M82 ;absolute extrusion mode\n;End of Gcode\n"));
    // Heating happens in the start code only, with the material's temperatures.
    const QByteArray rest = gcode.mid(firstLineEnd + 1 + start.size());
    for (const char *heat : {"M104 S2", "M109", "M190", "M140 S5"})
        QVERIFY2(!rest.contains(heat), heat);
    QVERIFY(start.contains("M104 S205\r\nM109 S205") && start.contains("M140 S55\r\nM190 S55"));
    // Real, printable G-code: walls, skin, infill and skirt.
    const KzGCodeFacts facts = KzBridgeRun::Analyse(gcode);
    for (const char *type : {"WALL-OUTER", "WALL-INNER", "SKIN", "FILL", "SKIRT"})
        QVERIFY2(facts.mapMoves.value(type) > 0, type);
    QVERIFY(gcode.contains(";TIME:") && gcode.contains(";Filament used:"));
    QVERIFY(!gcode.contains(";TIME:6666"));
}

void tst_KzEngineBridgeRun::codeLinesAreNoConsoleLines()
{
    // Lines of the start and end code that look like the engine's own log must
    // not reach the console: the job would take them for progress.
    const QByteArray start = KzBridgeRun::StartCode(200, 0) + "\r\nM117 Layer count: 7\r\nProgress:export:50:100\n";
    const QByteArray end = KzBridgeRun::EndCode() + "Print time (s): 5\nFilament (mm^3): 1\n";
    KzBridgeRun run;
    const QByteArray gcode = Slice(Mesh("cube"), {"startCode=" + start, "endCode=" + end}, &run);
    QByteArrayList lines;
    QVERIFY(run.GetConsoleLines(lines));
    QCOMPARE(lines.first(), QByteArray("Layer count: 100"));
    QCOMPARE(lines.count("Progress:export:50:100"), 1); // the engine's own, at the halfway mark
    QVERIFY(lines.indexOf("Progress:export:50:100") > lines.indexOf("Progress:skin:100:100"));
    QVERIFY(lines.at(lines.size() - 2).startsWith("Print time: ") && lines.at(lines.size() - 2) != "Print time: 5");
    QVERIFY(gcode.contains(start) && gcode.contains(end));
}

void tst_KzEngineBridgeRun::centredOnPosition_data()
{
    QTest::addColumn<QString>("mesh");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("cube at 50, 50") << "cube" << 50 << 50;
    QTest::newRow("cube at 100, 75") << "cube" << 100 << 75;
    QTest::newRow("overhang at 30, 120") << "overhang" << 30 << 120;
    QTest::newRow("thin part at 12.5, 7") << "thin" << 12 << 7;
}

void tst_KzEngineBridgeRun::centredOnPosition()
{
    QFETCH(QString, mesh);
    QFETCH(int, x);
    QFETCH(int, y);
    const QByteArray gcode = Slice(Mesh(mesh), {"posx=" + QByteArray::number(x * 1000 + (mesh == "thin" ? 500 : 0)),
                                                "posy=" + QByteArray::number(y * 1000)});
    const KzGCodeFacts facts = KzBridgeRun::Analyse(gcode);
    const double cx = x + (mesh == "thin" ? 0.5 : 0.0);
    QVERIFY2(qAbs((facts.dMinX + facts.dMaxX) / 2 - cx) <= 0.5, qPrintable(QString::number(facts.dMinX)));
    QVERIFY2(qAbs((facts.dMinY + facts.dMaxY) / 2 - y) <= 0.5, qPrintable(QString::number(facts.dMinY)));
    // And the print has the size of the mesh (the outer wall's centre line is half a line inside).
    const double size = mesh == "thin" ? 2.0 : 20.0;
    QVERIFY(qAbs(facts.dMaxX - facts.dMinX - (size - 0.4)) <= 0.2);
}

void tst_KzEngineBridgeRun::support_data()
{
    QTest::addColumn<QString>("mesh");
    QTest::addColumn<QByteArrayList>("settings");
    QTest::addColumn<bool>("supported");
    QTest::newRow("overhang, support off") << "overhang" << QByteArrayList{"supportAngle=-1"} << false;
    QTest::newRow("overhang, 60 degrees") << "overhang" << QByteArrayList{"supportAngle=60"} << true;
    QTest::newRow("overhang, from the plate only, lines")
        << "overhang" << QByteArrayList{"supportAngle=60", "supportEverywhere=0", "supportType=1"} << true;
    QTest::newRow("overhang, no support lines")
        << "overhang" << QByteArrayList{"supportAngle=60", "supportLineDistance=-1"} << false;
    QTest::newRow("cube has no overhang") << "cube" << QByteArrayList{"supportAngle=60"} << false;
}

void tst_KzEngineBridgeRun::support()
{
    QFETCH(QString, mesh);
    QFETCH(QByteArrayList, settings);
    QFETCH(bool, supported);
    const QByteArray gcode = Slice(Mesh(mesh), settings);
    QCOMPARE(gcode.contains(";TYPE:SUPPORT"), supported);
    if (supported)
        QVERIFY(KzBridgeRun::Analyse(gcode).mapMoves.value("SUPPORT") > 10);
}

void tst_KzEngineBridgeRun::raft()
{
    const QByteArrayList raft{"skirtDistance=0", "skirtLineCount=0", "raftMargin=5000", "raftLineSpacing=3000",
                              "raftBaseThickness=300", "raftBaseLinewidth=1000", "raftInterfaceThickness=270",
                              "raftInterfaceLinewidth=400", "raftInterfaceLineSpacing=800", "raftAirGapLayer0=220",
                              "raftAirGap=0", "raftBaseSpeed=20", "raftFanSpeed=0", "raftSurfaceThickness=270",
                              "raftSurfaceLinewidth=400", "raftSurfaceLineSpacing=400", "raftSurfaceLayers=2",
                              "raftSurfaceSpeed=20"};
    KzBridgeRun run;
    const KzGCodeFacts facts = KzBridgeRun::Analyse(Slice(Mesh("cube"), raft, &run));
    QVERIFY(facts.nRaftLayers >= 4); // base, interface, two surface layers
    QCOMPARE(facts.nModelLayers, 100);
    QVERIFY(run.GetOutput().contains("Layer count: 100\r\n"));
    // The model starts above the raft: base 0.3 + interface 0.27 + 2 x 0.27 + air gap 0.22 + its own 0.3.
    QVERIFY2(facts.dFirstModelZ > 1.5, qPrintable(QString::number(facts.dFirstModelZ)));
    const KzGCodeFacts plain = KzBridgeRun::Analyse(Slice(Mesh("cube"), {}));
    QCOMPARE(plain.nRaftLayers, 0);
    QCOMPARE(plain.dFirstModelZ, 0.3);
}

void tst_KzEngineBridgeRun::brimAgainstSkirt()
{
    const KzGCodeFacts skirt = KzBridgeRun::Analyse(Slice(Mesh("cube"), {"skirtDistance=3000", "skirtLineCount=1"}));
    const KzGCodeFacts brim = KzBridgeRun::Analyse(Slice(Mesh("cube"), {"skirtDistance=0", "skirtLineCount=20"}));
    const KzGCodeFacts none = KzBridgeRun::Analyse(Slice(Mesh("cube"), {"skirtLineCount=0"}));
    QVERIFY(skirt.mapMoves.value("SKIRT") > 0);
    QVERIFY2(brim.mapMoves.value("SKIRT") > 5 * skirt.mapMoves.value("SKIRT"),
             qPrintable(QStringLiteral("%1 against %2").arg(brim.mapMoves.value("SKIRT")).arg(skirt.mapMoves.value("SKIRT"))));
    QCOMPARE(none.mapMoves.value("SKIRT"), 0);
}

void tst_KzEngineBridgeRun::infill_data()
{
    QTest::addColumn<QByteArrayList>("settings");
    QTest::addColumn<bool>("fill");
    QTest::newRow("no infill") << QByteArrayList{"sparseInfillLineDistance=-1"} << false;
    QTest::newRow("20 %") << QByteArrayList{"sparseInfillLineDistance=2000"} << true;
    QTest::newRow("solid") << QByteArrayList{"sparseInfillLineDistance=400", "downSkinCount=10000", "upSkinCount=10000"}
                           << false; // all skin
}

void tst_KzEngineBridgeRun::infill()
{
    QFETCH(QByteArrayList, settings);
    QFETCH(bool, fill);
    const KzGCodeFacts facts = KzBridgeRun::Analyse(Slice(Mesh("cube"), settings));
    QCOMPARE(facts.mapMoves.value("FILL") > 0, fill);
    QVERIFY(facts.mapMoves.value("WALL-OUTER") > 0);
}

void tst_KzEngineBridgeRun::nothingDependsOnTheBedSize()
{
    // A copy of the bridge whose base claims a very different bed slices alike.
    const QString dir = m_dir.filePath(QStringLiteral("otherbed"));
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(QFile::copy(KzBridgeRun::BridgePath(), dir + "/CuraEngine"));
    QByteArray base = ReadFile(QStringLiteral(KZ_OUTPUT_DIR "/Engine/engine-base.json"));
    for (const char *key : {"machine_width", "machine_depth", "machine_height"}) {
        const QByteArray from = QByteArray("\"") + key + "\": {\n     \"default_value\": 150";
        QVERIFY2(base.contains(from), key);
        base.replace(from, QByteArray("\"") + key + "\": {\n     \"default_value\": " + (key[8] == 'w' ? "1000" : "40"));
    }
    QVERIFY(WriteFile(dir + "/engine-base.json", base));
    const QString output = m_dir.filePath(QStringLiteral("otherbed.gcode"));
    KzBridgeRun other;
    QVERIFY(other.Run(KzBridgeRun::Line(KzBridgeRun::Settings({"posx=80000", "posy=30000"}), output, Mesh("overhang")),
                      QProcessEnvironment::systemEnvironment(), dir + "/CuraEngine"));
    QCOMPARE(other.GetExitCode(), 0);
    QCOMPARE(ReadFile(output), Slice(Mesh("overhang"), {"posx=80000", "posy=30000"}));
}

void tst_KzEngineBridgeRun::findsTheEngineBesideItself()
{
    // The bridge has the engine's name; with its own folder first on PATH it
    // must still run the real engine, not itself.
    KzBridgeRun run;
    const QString path = QFileInfo(KzBridgeRun::BridgePath()).absolutePath() + ':' + qgetenv("PATH");
    QVERIFY(run.Run(KzBridgeRun::Line(KzBridgeRun::Settings(), Output("beside"), Mesh("cube")), WithPath(path)));
    QCOMPARE(run.GetExitCode(), 0);
    QVERIFY(QFileInfo::exists(Output("beside")));
}

void tst_KzEngineBridgeRun::warnsOfUnknownKeys()
{
    KzBridgeRun run;
    Slice(Mesh("cube"), {"fooBar=12"}, &run);
    QVERIFY(run.GetErrors().contains("Warning: unknown setting \"fooBar\" ignored\r\n"));
    QVERIFY(!run.GetOutput().contains("fooBar"));
}

void tst_KzEngineBridgeRun::failures_data()
{
    QTest::addColumn<QString>("mesh");
    QTest::addColumn<QByteArrayList>("settings");
    QTest::addColumn<QString>("path"); // PATH for the bridge; empty: the usual
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    const QByteArray nowhere = m_dir.filePath(QStringLiteral("no-such-dir")).toLocal8Bit();
    WriteFile(m_dir.filePath(QStringLiteral("empty.stl")), QByteArray());
    WriteFile(m_dir.filePath(QStringLiteral("garbage.stl")), QByteArray(4000, '\x17'));
    QVERIFY(KzTestMesh().AddBox(0, 0, 0, 10, 10, 0.1f).WriteBinary(m_dir.filePath(QStringLiteral("sheet.stl"))));
    QVERIFY(KzTestMesh().WriteBinary(m_dir.filePath(QStringLiteral("nofacets.stl"))));
    const QString crash = FakeEngine("crash", "kill -SEGV $$\n");
    const QString errorNoLayers = FakeEngine("nolayers",
        "out=\nwhile [ $# -gt 0 ]; do [ \"$1\" = -o ] && out=$2; shift; done\n"
        "echo '[ERROR] Layer height 0 is disallowed.' >&2\nprintf ';FLAVOR:Marlin\\n' > \"$out\"\nexit 0\n");
    const QString cannotRun = m_dir.filePath(QStringLiteral("cannotrun"));
    QDir().mkpath(cannotRun);
    WriteFile(cannotRun + "/CuraEngine", "\x7f" "ELF garbage", true);

    QTest::newRow("engine not installed") << "cube" << QByteArrayList{} << QString(nowhere) << 1 << "not installed";
    QTest::newRow("engine cannot be run") << "cube" << QByteArrayList{} << cannotRun << 1 << "cannot run";
    QTest::newRow("engine crashes") << "cube" << QByteArrayList{} << crash << 1 << "crashed (signal 11";
    QTest::newRow("engine error, exit 0, no layers") << "cube" << QByteArrayList{} << errorNoLayers << 1
                                                    << "no layers: Layer height 0 is disallowed.";
    QTest::newRow("engine cannot load the mesh") << "empty" << QByteArrayList{} << QString() << 1
                                                 << "the engine stopped with exit status 1";
    QTest::newRow("mesh missing") << "missing" << QByteArrayList{} << QString() << 1 << "cannot read the mesh file";
    QTest::newRow("garbage mesh") << "garbage" << QByteArrayList{} << QString() << 1 << "no layers";
    QTest::newRow("mesh without facets") << "nofacets" << QByteArrayList{} << QString() << 1 << "no layers";
    QTest::newRow("thinner than one layer") << "sheet" << QByteArrayList{} << QString() << 1 << "no layers";
    QTest::newRow("layer height 0") << "cube" << QByteArrayList{"layerThickness=0"} << QString() << 2
                                    << "layerThickness=0 is out of range";
    QTest::newRow("filament diameter 0") << "cube" << QByteArrayList{"filamentDiameter=0"} << QString() << 2
                                         << "filamentDiameter=0";
    QTest::newRow("not a number") << "cube" << QByteArrayList{"posx=left"} << QString() << 2 << "whole number";
}

void tst_KzEngineBridgeRun::failures()
{
    QFETCH(QString, mesh);
    QFETCH(QByteArrayList, settings);
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(QString, message);
    // A result of an earlier run sits at the output path; it must not pass for this one.
    const QString output = Output("failed");
    QVERIFY(WriteFile(output, ";LAYER:0\nG1 X1.0 Y1.0 E1\n"));
    KzBridgeRun run;
    QVERIFY(run.Run(KzBridgeRun::Line(KzBridgeRun::Settings(settings), output, Mesh(mesh)),
                    path.isEmpty() ? QProcessEnvironment::systemEnvironment() : WithPath(path)));
    QCOMPARE(run.GetExitCode(), status);
    QByteArrayList errors;
    for (const QByteArray &line : run.GetErrors().split('\n')) {
        if (line.startsWith("Error:"))
            errors << line;
    }
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(message.toLocal8Bit()), errors.first().constData());
    QVERIFY(errors.first().endsWith('\r'));
    QVERIFY(!QFileInfo::exists(output));
    QVERIFY(QDir(m_dir.path()).entryList({QStringLiteral(".failed.gcode.*")}, QDir::Files | QDir::Hidden).isEmpty());
    QVERIFY(!run.GetOutput().contains("Print time:"));
}

void tst_KzEngineBridgeRun::killedBridgeTakesTheEngineAlong_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("status"); // -1: killed outright
    QTest::newRow("SIGKILL") << int(SIGKILL) << -1;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 128 + SIGTERM;
    QTest::newRow("SIGINT") << int(SIGINT) << 128 + SIGINT;
}

void tst_KzEngineBridgeRun::killedBridgeTakesTheEngineAlong()
{
    QFETCH(int, signal);
    QFETCH(int, status);
    // An engine that takes its time; exec keeps the child the engine process itself.
    const QString slow = FakeEngine("slow", "echo 'Progress:inset+skin:1:100' >&2\nexec /bin/sleep 60\n");
    const QString output = Output("killed");
    QProcess bridge;
    QProcessEnvironment env = WithPath(slow);
    bridge.setProcessEnvironment(env);
    QStringList args;
    for (const QByteArray &arg : KzBridgeRun::Line(KzBridgeRun::Settings(), output, Mesh("cube")))
        args << QString::fromLocal8Bit(arg);
    bridge.start(KzBridgeRun::BridgePath(), args);
    QVERIFY(bridge.waitForStarted());
    QByteArray console;
    QTRY_VERIFY_WITH_TIMEOUT((console += bridge.readAllStandardOutput()).contains("Progress:inset:"), 10000);
    QList<qint64> children = ChildrenOf(bridge.processId());
    QCOMPARE(children.size(), 1);
    const qint64 engine = children.first();
    QVERIFY(IsRunning(engine));
    // The engine writes into a file without a name: nothing to leave behind.
    QVERIFY(QDir(m_dir.path()).entryList({QStringLiteral(".killed.gcode*")}, QDir::Files | QDir::Hidden).isEmpty());

    QCOMPARE(::kill(pid_t(bridge.processId()), signal), 0);
    QVERIFY(bridge.waitForFinished(10000));
    if (status < 0)
        QCOMPARE(bridge.exitStatus(), QProcess::CrashExit);
    else
        QCOMPARE(bridge.exitCode(), status);
    QTRY_VERIFY_WITH_TIMEOUT(!IsRunning(engine), 5000);
    QVERIFY(!QFileInfo::exists(output));
    QVERIFY(QDir(m_dir.path()).entryList({QStringLiteral(".killed.gcode*")}, QDir::Files | QDir::Hidden).isEmpty());
}

void tst_KzEngineBridgeRun::killedCallerTakesBridgeAndEngineAlong()
{
    // A mesh fine enough for the real engine to take a while on it.
    QVERIFY(KzTestMesh().AddSphere(QVector3D(0, 0, 30), 30, 240).WriteBinary(Mesh("sphere")));
    const QString output = Output("orphan");
    const QString console = m_dir.filePath(QStringLiteral("orphan.console"));
    // The caller: a shell that starts the bridge and waits for it, as the
    // program does. Killing it outright leaves the bridge no chance to be told.
    QStringList args{QStringLiteral("-c"), QStringLiteral("\"$0\" \"$@\" >'%1' 2>&1 & wait").arg(console),
                     KzBridgeRun::BridgePath()};
    for (const QByteArray &arg : KzBridgeRun::Line(KzBridgeRun::Settings({"layerThickness=50"}), output, Mesh("sphere")))
        args << QString::fromLocal8Bit(arg);
    QProcess caller;
    caller.start(QStringLiteral("/bin/sh"), args);
    QVERIFY(caller.waitForStarted());
    qint64 bridge = 0, engine = 0;
    QTRY_VERIFY_WITH_TIMEOUT((bridge = ChildRunning(caller.processId(), KzBridgeRun::BridgePath())) != 0, 10000);
    const QString realEngine = QStandardPaths::findExecutable(QStringLiteral("CuraEngine"));
    QTRY_VERIFY_WITH_TIMEOUT((engine = ChildRunning(bridge, realEngine)) != 0, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(ReadFile(console).contains("Progress:"), 30000);
    QVERIFY2(IsRunning(engine), "the slice ended before the test could kill its caller");

    QCOMPARE(::kill(pid_t(caller.processId()), SIGKILL), 0);
    QVERIFY(caller.waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT(!IsRunning(bridge) && !IsRunning(engine), 10000);
    QVERIFY(!QFileInfo::exists(output));
    QVERIFY(QDir(m_dir.path()).entryList({QStringLiteral(".orphan.gcode*")}, QDir::Files | QDir::Hidden).isEmpty());
}

void tst_KzEngineBridgeRun::callerGoneBeforeStartNoSlice()
{
    // The caller's end of the output pipe is closed before the bridge runs:
    // the program that wanted the slice is gone, so the engine is never started.
    const QString marker = m_dir.filePath(QStringLiteral("engine-started"));
    const QString fake = FakeEngine("marking", "touch '" + QFile::encodeName(marker) + "'\nexit 0\n");
    const QByteArray path = QFile::encodeName(fake) + ':' + qgetenv("PATH");
    const QByteArray errors = QFile::encodeName(m_dir.filePath(QStringLiteral("gone.errors")));
    int fds[2];
    QCOMPARE(pipe2(fds, O_CLOEXEC), 0);
    close(fds[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QList<QByteArray> storage{QFile::encodeName(KzBridgeRun::BridgePath())};
    storage << KzBridgeRun::Line(KzBridgeRun::Settings(), Output("gone"), Mesh("cube"));
    std::vector<char *> argv;
    for (QByteArray &arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const QByteArray pathEntry = "PATH=" + path;
    std::vector<char *> env;
    for (char **e = environ; *e; ++e)
        if (strncmp(*e, "PATH=", 5) != 0)
            env.push_back(*e);
    env.push_back(const_cast<char *>(pathEntry.constData()));
    env.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv.front(), &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    QCOMPARE(spawned, 0);
    int status = 0;
    QCOMPARE(waitpid(pid, &status, 0), pid);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 1);
    QVERIFY(ReadFile(QFile::decodeName(errors)).contains("Error: the program that started the engine has ended"));
    QVERIFY(!QFileInfo::exists(marker));
    QVERIFY(!QFileInfo::exists(Output("gone")));
}

QTEST_GUILESS_MAIN(tst_KzEngineBridgeRun)
#include "tst_KzEngineBridgeRun.moc"
