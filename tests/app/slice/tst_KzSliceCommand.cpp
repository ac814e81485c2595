// kzvellum --slice, run as a user runs it: the real program, without a
// display, on models written here. Its G-code against the one the real window
// saves through the slice panel and "Save data" for the same models, printer,
// material and preset; each kind of failure with its exit status and message;
// a stop by SIGTERM that ends the engine too.
#include "KzDataFolder.h"
#include "KzGLView.h"
#include "KzProgramRun.h"
#include "KzTestMesh.h"
#include "KzUserSettings.h"
#include "KzVellum.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>

#include <cmath>
#include <csignal>

namespace {

const QString kProgram = QStringLiteral(KZ_PROGRAM);

// A pyramid on a 24 x 16 mm base, 18 mm high, as an OBJ file.
const char kPyramidObj[] = "v 0 0 0\nv 24 0 0\nv 24 16 0\nv 0 16 0\nv 12 8 18\n"
                           "f 1 3 2\nf 1 4 3\nf 1 2 5\nf 2 3 5\nf 3 4 5\nf 4 1 5\n";

bool WriteFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The engine names the model file it sliced in its ";MESH:" comments: the
// window's temporary file or the run's own. Every other line must be equal.
QByteArray WithoutMeshLines(const QByteArray& gcode, int& meshLines)
{
    QByteArray rest;
    meshLines = 0;
    for (const QByteArray& line : gcode.split('\n')) {
        if (line.startsWith(";MESH:"))
            ++meshLines;
        else
            rest += line + '\n';
    }
    return rest;
}

// Types a path into the next file dialog and accepts the message box after it.
class KzSaveAnswer : public QObject
{
public:
    explicit KzSaveAnswer(const QString& path) : m_strPath(path)
    {
        connect(&m_timer, &QTimer::timeout, this, &KzSaveAnswer::Poll);
        m_timer.start(30);
    }
    int m_nAnswered = 0;

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->property("kzAnswered").toBool())
            return;
        modal->setProperty("kzAnswered", true);
        ++m_nAnswered;
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            name->setText(m_strPath);
            QTimer::singleShot(0, name, [name] { QTest::keyClick(name, Qt::Key_Return); });
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            QTimer::singleShot(0, box, [box] { box->accept(); });
        }
    }
    QString m_strPath;
    QTimer m_timer;
};

} // namespace

class tst_KzSliceCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sliceGivesTheWindowsBytes();
    void failuresEndWithTheirStatus_data();
    void failuresEndWithTheirStatus();
    void missingPresetsFailTheRun();
    void stopSignalEndsTheEngineToo();
    void killedRunsAreClearedAway();

private:
    // Starts a run on sphere.stl (several seconds of slicing) and returns once
    // it reports the slicing under way.
    void StartLongRun(QProcess& process, QByteArray& errors);
    // The engines still working in a run's folder (zombies aside); ended when kill.
    int RunEngines(bool kill);
    // The program in m_dir, without a display, with the test's own folders.
    void RunProgram(KzProgramRun& run, const QStringList& arguments, const QString& program = kProgram);
    void ClickDial(QWidget* window, int id);
    QString VellumFolder() const { return qEnvironmentVariable("XDG_DATA_HOME") + "/kzvellum/Vellum"; }

    QTemporaryDir m_dir;
    QString m_strFolder;
    QString m_strConfig;   // the remembered choice lives here
};

void tst_KzSliceCommand::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The engine the window starts must not inherit the sanitizer build's preloads.
    qunsetenv("LD_PRELOAD");
    KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
    m_strFolder = QDir(m_dir.path()).canonicalPath();
    m_strConfig = m_strFolder + "/config";
    // The runs' temporary files, here and in the programs, in a folder of this run.
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_strFolder + "/data"));
    QVERIFY(KzTestMesh().AddBox(0, 0, 0, 30, 12, 8).AddBox(0, 0, 8, 8, 12, 20).WriteBinary(m_strFolder + "/bracket.stl"));
    QVERIFY(WriteFile(m_strFolder + "/parts/pyramid.obj", kPyramidObj));
    QVERIFY(KzTestMesh().AddSphere(QVector3D(0, 0, 40), 40, 200).WriteBinary(m_strFolder + "/sphere.stl"));
}

void tst_KzSliceCommand::RunProgram(KzProgramRun& run, const QStringList& arguments, const QString& program)
{
    QProcessEnvironment environment = KzProgramRun::WithoutDisplay();
    environment.insert("XDG_CONFIG_HOME", m_strConfig);
    run.Run(program, arguments, m_strFolder, environment);
}

// A click in the middle of a dial sector, as tst_KzPrintRoad clicks it.
void tst_KzSliceCommand::ClickDial(QWidget* window, int id)
{
    QWidget* button = window->findChild<QWidget*>(QString("dialButton%1").arg(id));
    QVERIFY(button && button->isVisible());
    static const double angles[] = { 0, 90, 180, 270, 0, -27, 27 };
    const QPointF centre = QRectF(button->rect()).center();
    const double radius = id == 4 ? 0 : button->width() / 2.0 * (id >= 5 ? 0.9 : 0.7);
    const double a = angles[id] * M_PI / 180.0;
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier,
                      (centre + QPointF(std::cos(a) * radius, -std::sin(a) * radius)).toPoint());
}

// The window started on a remembered Cedar 220 with ABS opens an STL and an
// OBJ model in that order, slices them with the Standard preset and saves the
// G-code with "Save data". The program, started on the same remembered
// choice, gives the same bytes (but the ";MESH:" comments, which name the
// temporary model file sliced); so does naming that printer and material, and
// so does the window's plate saved as a 3MF package and sliced from it.
void tst_KzSliceCommand::sliceGivesTheWindowsBytes()
{
    KzUserSettings settings(m_strConfig + "/kzvellum/kzvellum.conf");
    settings.SetChoice(2, 1);
    const QStringList models = { m_strFolder + "/bracket.stl", m_strFolder + "/parts/pyramid.obj" };
    const QString saved = m_strFolder + "/window.gcode";
    {
        KzVellum window(nullptr, &settings);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.OpenModels(models);
        QTRY_VERIFY(!window.IsOpeningModels());
        auto* view = window.findChild<KzGLView*>("openGLWidget");
        QVERIFY(view->SaveAllModel(m_strFolder + "/plate.3mf"));
        ClickDial(&window, 0);
        ClickDial(&window, 6);
        QTest::mouseClick(window.findChild<QPushButton*>("pushButton_Standard"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(view->IsLayerMode(), 180000);
        KzSaveAnswer answer(saved);
        QTest::mouseClick(window.findChild<QPushButton*>("pushButton_SaveData"), Qt::LeftButton);
        QCOMPARE(answer.m_nAnswered, 2);
    }
    const QByteArray windowGCode = ReadAll(saved);
    QVERIFY2(windowGCode.contains(";LAYER:0\n"), "the window saved a sliced plate");
    const QByteArray windowTemporary = ReadAll(VellumFolder() + "/tmpGCode.gcode");

    int windowMesh = 0;
    const QByteArray expected = WithoutMeshLines(windowGCode, windowMesh);
    QVERIFY(windowMesh > 0);
    const QList<QPair<QStringList, QStringList>> runs = {
        { { "--slice", "-o", "cli.gcode", "bracket.stl", "parts/pyramid.obj" }, models },
        { { "--slice", "--machine", "CEDAR 220", "--material", "abs", "--preset", "Standard", "-o", "cli.gcode",
            "bracket.stl", "parts/pyramid.obj" }, models },
        { { "--slice", "-o", "cli.gcode", "plate.3mf" }, { m_strFolder + "/plate.3mf" } },
    };
    for (const auto& [arguments, opened] : runs) {
        QFile::remove(m_strFolder + "/cli.gcode");
        KzProgramRun run;
        RunProgram(run, arguments);
        QVERIFY2(run.GetStatus() == 0, qPrintable(run.Describe()));
        const QString log = run.GetErrors();
        QStringList lines = { "kzvellum: Printer Cedar 220, material ABS, preset standard\n", "kzvellum: Slicing 100%\n",
                              "kzvellum: Wrote " + m_strFolder + "/cli.gcode (" };
        for (const QString& model : opened)
            lines << "kzvellum: Opened the model " + model + "\n";
        for (const QString& line : qAsConst(lines))
            QVERIFY2(log.contains(line), qPrintable(run.Describe()));
        int mesh = 0;
        const QByteArray gcode = ReadAll(m_strFolder + "/cli.gcode");
        QVERIFY2(WithoutMeshLines(gcode, mesh) == expected, qPrintable(arguments.join(' ')));
        QCOMPARE(mesh, windowMesh);
        // Its temporary files were its own and are gone; the window's are untouched.
        QCOMPARE(QDir(VellumFolder()).entryList({ "slice-*" }, QDir::Dirs), QStringList());
        QCOMPARE(ReadAll(VellumFolder() + "/tmpGCode.gcode"), windowTemporary);
    }
    // A printer named without a material: the remembered ABS, which Rowan
    // does not print, gives way to PLA.
    KzProgramRun rowan;
    RunProgram(rowan, { "--slice", "--machine", "rowan", "-o", "rowan.gcode", "bracket.stl" });
    QVERIFY2(rowan.GetStatus() == 0, qPrintable(rowan.Describe()));
    QVERIFY2(rowan.GetErrors().startsWith("kzvellum: Printer Rowan 100, material PLA, preset standard\n"),
             qPrintable(rowan.Describe()));
    // Read, never written: the remembered choice stays.
    QCOMPARE(KzUserSettings(settings.GetFile()).GetMachineType(), 2);
    QCOMPARE(KzUserSettings(settings.GetFile()).GetMaterialID(), 1);
}

void tst_KzSliceCommand::failuresEndWithTheirStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QStringList slice = { "--slice", "-o", "x.gcode" };
    QTest::newRow("no output") << QStringList{ "--slice", "bracket.stl" } << 2
                               << "kzvellum: --slice needs the G-code file to write: -o OUT.gcode.\n";
    QTest::newRow("no model") << slice << 2 << "kzvellum: --slice needs at least one model file.\n";
    QTest::newRow("option without --slice") << QStringList{ "--machine", "Hazel", "bracket.stl" } << 2
                                            << "kzvellum: The option --machine is used only with --slice.\n";
    QTest::newRow("unknown preset") << slice + QStringList{ "--preset", "turbo", "bracket.stl" } << 2
                                    << "Unknown preset \"turbo\": use fast, standard or optimal.";
    QTest::newRow("unknown printer")
        << slice + QStringList{ "--machine", "Oak", "bracket.stl" } << 2
        << "Unknown printer \"Oak\". The printers: Alder 150 (Alder), Hazel 200 (Hazel), Cedar 220 (Cedar), "
           "Birch 200 (Birch), Rowan 100 (Rowan), Spruce 120 (Spruce)\n";
    QTest::newRow("material the printer does not print")
        << slice + QStringList{ "--machine", "rowan", "--material", "ABS", "bracket.stl" } << 2
        << "The printer Rowan 100 does not print the material \"ABS\". Its materials: PLA\n";
    QTest::newRow("missing model") << slice + QStringList{ "bracket.stl", "missing.stl" } << 2
                                   << "/missing.stl: No such file or directory\n";
    QTest::newRow("model without facets") << slice + QStringList{ "empty.stl" } << 2
                                          << "Cannot read the model file empty.stl: it holds no usable facets\n";
    QTest::newRow("package that is no zip") << slice + QStringList{ "bracket.stl", "noise.3mf" } << 2
                                            << "noise.3mf was not opened: it is not a 3MF package (not a zip archive)\n";
    QTest::newRow("no folder for the G-code") << QStringList{ "--slice", "-o", "nowhere/x.gcode", "bracket.stl" } << 2
                                              << "/nowhere does not exist.\n";
    QTest::newRow("larger than the printer") << slice + QStringList{ "--machine", "Hazel", "big.stl" } << 1
                                             << "kzvellum: Slice: Models exceed the build volume.";
    // The real engine slices a model with no height into no layers.
    QTest::newRow("engine fails") << slice + QStringList{ "flat.stl" } << 1
                                  << "kzvellum: Slice failed: the engine produced no layers";
}

// Each kind of failure, run from a folder of the user's without a display:
// its status, its reason on standard error, and no G-code file.
void tst_KzSliceCommand::failuresEndWithTheirStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    QVERIFY(WriteFile(m_strFolder + "/empty.stl", "solid none\nendsolid none\n"));
    QVERIFY(WriteFile(m_strFolder + "/noise.3mf", "solid noise\n"));
    QVERIFY(KzTestMesh::Cube(210).WriteBinary(m_strFolder + "/big.stl"));
    KzTestMesh flat;
    flat.AddBox(0, 0, 0, 20, 20, 0);
    QVERIFY(flat.WriteBinary(m_strFolder + "/flat.stl"));

    KzProgramRun run;
    RunProgram(run, arguments);
    QVERIFY2(run.GetStatus() == status, qPrintable(run.Describe()));
    QVERIFY2(run.GetErrors().contains(message), qPrintable(run.Describe()));
    QVERIFY(!QFile::exists(m_strFolder + "/x.gcode"));
    QCOMPARE(run.GetOutput(), QString());
}

// A copy of the program beside a machine file but no presets: the run is
// refused as the window refuses to slice, naming the file.
void tst_KzSliceCommand::missingPresetsFailTheRun()
{
    QTemporaryDir installed;
    QVERIFY(installed.isValid() && QDir(installed.path()).mkpath("Configure"));
    const QString copy = installed.filePath("kzvellum");
    QVERIFY(QFile::copy(kProgram, copy));
    QVERIFY(QFile::copy(QStringLiteral(KZ_OUTPUT_DIR "/Configure/basic.xml"), installed.filePath("Configure/basic.xml")));
    qputenv("LD_LIBRARY_PATH", QFile::encodeName(QFileInfo(kProgram).path()));
    KzProgramRun run;
    RunProgram(run, { "--slice", "-o", "x.gcode", "bracket.stl" }, copy);
    qunsetenv("LD_LIBRARY_PATH");
    QVERIFY2(run.GetStatus() == 1, qPrintable(run.Describe()));
    QVERIFY2(run.GetErrors().contains("kzvellum: Slicing presets: Cannot read the slicing presets file"),
             qPrintable(run.Describe()));
    QVERIFY2(run.GetErrors().contains(QDir(installed.path()).canonicalPath() + "/Configure/slice.xml"),
             qPrintable(run.Describe()));
    QVERIFY(!QFile::exists(m_strFolder + "/x.gcode"));
}

void tst_KzSliceCommand::StartLongRun(QProcess& process, QByteArray& errors)
{
    QProcessEnvironment environment = KzProgramRun::WithoutDisplay();
    environment.insert("XDG_CONFIG_HOME", m_strConfig);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_strFolder);
    process.start(kProgram, { "--slice", "-o", "x.gcode", "sphere.stl" });
    QVERIFY(process.waitForStarted(10000));
    QElapsedTimer clock;
    clock.start();
    while (!errors.contains("Slicing 0%") && process.state() == QProcess::Running && clock.elapsed() < 120000) {
        process.waitForReadyRead(200);
        errors += process.readAllStandardError();
    }
    QVERIFY2(errors.contains("Slicing 0%"), errors.constData());
}

int tst_KzSliceCommand::RunEngines(bool kill)
{
    const QByteArray runFiles = QFile::encodeName(VellumFolder() + "/slice-");
    int count = 0;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        if (ReadAll("/proc/" + pid + "/cmdline").contains(runFiles) && !ReadAll("/proc/" + pid + "/stat").contains(") Z ")) {
            ++count;
            if (kill)
                ::kill(pid.toInt(), SIGKILL);
        }
    }
    return count;
}

// SIGTERM while the engine works: the program stops the engine (its own
// process group, which the signal does not reach) and its temporary files go.
void tst_KzSliceCommand::stopSignalEndsTheEngineToo()
{
    QProcess process;
    QByteArray errors;
    StartLongRun(process, errors);
    process.terminate();
    QVERIFY(process.waitForFinished(20000));
    errors += process.readAllStandardError();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 128 + SIGTERM, errors.constData());
    QVERIFY2(errors.endsWith("kzvellum: Stopped\n"), errors.constData());
    QVERIFY(!QFile::exists(m_strFolder + "/x.gcode"));
    QCOMPARE(QDir(VellumFolder()).entryList({ "slice-*" }, QDir::Dirs), QStringList());
    QCOMPARE(RunEngines(false), 0);
}

// A run killed outright leaves its folder; once that has stood a minute with
// its lock free, the next run clears it away. A run in progress keeps its own.
void tst_KzSliceCommand::killedRunsAreClearedAway()
{
    QProcess killed;
    QByteArray errors;
    StartLongRun(killed, errors);
    killed.kill();
    QVERIFY(killed.waitForFinished(20000));
    // Nothing stops its engine (but the broken pipe once it writes): this test does.
    RunEngines(true);
    const QStringList left = QDir(VellumFolder()).entryList({ "slice-*" }, QDir::Dirs);
    QCOMPARE(left.size(), 1);
    QProcess running;
    errors.clear();
    StartLongRun(running, errors);
    const auto end = qScopeGuard([this, &running] {
        running.kill();
        running.waitForFinished(10000);
        RunEngines(true);
    });
    const QStringList both = QDir(VellumFolder()).entryList({ "slice-*" }, QDir::Dirs);
    QCOMPARE(both.size(), 2);
    // Both an hour old: only the killed one's lock is free.
    for (const QString& run : both) {
        KzProgramRun touch;
        QVERIFY(touch.Run("touch", { "-d", "1 hour ago", VellumFolder() + "/" + run }) && touch.GetStatus() == 0);
    }
    KzProgramRun quick;
    RunProgram(quick, { "--slice", "-o", "quick.gcode", "bracket.stl" });
    QVERIFY2(quick.GetStatus() == 0, qPrintable(quick.Describe()));
    QStringList kept = both;
    kept.removeAll(left.first());
    QCOMPARE(QDir(VellumFolder()).entryList({ "slice-*" }, QDir::Dirs), kept);
}

QTEST_MAIN(tst_KzSliceCommand)
#include "tst_KzSliceCommand.moc"
