// Start-up of the real program: its data found from its own place whatever
// folder it is started in, which stays its working folder; the model files of
// its command line opened from there; the printer and material remembered by
// an earlier run; the options that need no display; and the report of an
// unusable slicing presets file.
#include "KzConfigureData.h"
#include "KzDataFolder.h"
#include "KzMachineFileCheck.h"
#include "KzSliceFileCheck.h"
#include "KzProgramRun.h"
#include "KzTestMesh.h"
#include "KzUserSettings.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kProgram = QStringLiteral(KZ_PROGRAM);

// The description of the machine the shipped file marks as selected.
QString SelectedMachineDescription(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("Machine")
            && xml.attributes().value("Selected") == QLatin1String("True"))
            return xml.attributes().value("Description").toString();
    }
    return QString();
}

// A value of the start line: "folder", "data", "machine" or "material".
QString LoggedValue(const QString& log, const QString& key)
{
    const QRegularExpression line(
        QStringLiteral("KzVellum: working folder (.*), data folder (.*), machine (.*), material (\\d+)\\n"));
    const QRegularExpressionMatch m = line.match(log);
    const QStringList keys = { "folder", "data", "machine", "material" };
    return m.hasMatch() ? m.captured(keys.indexOf(key) + 1) : QString();
}

bool WriteFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

const char kTetraObj[] = "v 0 0 0\nv 30 0 0\nv 0 30 0\nv 0 0 25\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n";

// The start log of the program run in folder until its log holds marker.
QString RunUntilLogged(const QString& program, const QString& folder, const QProcessEnvironment& environment,
                       const QString& marker, const QStringList& arguments = QStringList())
{
    KzProgramRun run;
    run.RunUntilLogged(program, arguments, folder, environment, marker);
    return run.GetErrors();
}

// Closes the next modal message box with its OK button and keeps its texts.
class BoxCloser : public QObject
{
public:
    QString m_strTitle;
    QString m_strText;
    bool m_bSeen = false;
    int m_nShown = 0;

    void Arm() { QTimer::singleShot(50, this, [this] { Close(); }); }

private:
    void Close()
    {
        QMessageBox* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            Arm();
            return;
        }
        m_bSeen = true;
        m_strTitle = box->windowTitle();
        m_strText = box->text();
        // For review: the box as the user sees it.
        box->grab().save(QString("presets-box-%1.png").arg(++m_nShown));
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        QVERIFY(ok);
        QTest::mouseClick(ok, Qt::LeftButton);
    }
};

} // namespace

class tst_KzStartUp : public QObject
{
    Q_OBJECT

private slots:
    void startedFromAnotherFolderOpensItsModelsThere();
    void remembersThePrinterAndMaterial_data();
    void remembersThePrinterAndMaterial();
    void optionsNeedNoDisplay();
    void missingPresetsAreLoggedAtStart();
    void missingPresetsShowAnInformationBox();
    void brokenMachineFileIsReportedAtStart();
    void machineFileProblemsShowAWarningBox();
};

// Started from a folder of the user's with relative model paths, as a shell
// or a file manager starts it: the data is the program's own, the working
// folder stays, the models open from it, and one that cannot be read is
// reported without keeping the others out.
void tst_KzStartUp::startedFromAnotherFolderOpensItsModelsThere()
{
    const QString programFolder = QFileInfo(kProgram).canonicalPath();
    const QString expected = SelectedMachineDescription(programFolder + "/Configure/basic.xml");
    QVERIFY2(!expected.isEmpty(), "the build put the machine file beside the program");
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString folder = QDir(elsewhere.path()).canonicalPath();
    QVERIFY(KzTestMesh::Cube(15).WriteBinary(folder + "/a.stl"));
    QVERIFY(WriteFile(folder + "/models/b.obj", kTetraObj));
    // A machine file here must not be taken for the program's.
    QVERIFY(WriteFile(folder + "/Configure/basic.xml", "<Basic><Machine Name=\"Alder\" Description=\"Wrong\" Selected=\"True\"/></Basic>"));

    const QString log = RunUntilLogged(kProgram, folder, QProcessEnvironment::systemEnvironment(),
                                       "cannot open the model", { "a.stl", "missing.stl", "models/b.obj" });
    QCOMPARE(LoggedValue(log, "folder"), folder);
    QCOMPARE(LoggedValue(log, "data"), programFolder);
    QCOMPARE(LoggedValue(log, "machine"), expected);
    QCOMPARE(LoggedValue(log, "material"), QString("0"));
    QVERIFY2(log.contains("opened the model " + folder + "/a.stl\n"), qPrintable(log));
    QVERIFY2(log.contains("opened the model " + folder + "/models/b.obj\n"), qPrintable(log));
    QVERIFY2(log.contains("cannot open the model " + folder + "/missing.stl\n"), qPrintable(log));
    // In the order given.
    QVERIFY(log.indexOf("/a.stl") < log.indexOf("/missing.stl") && log.indexOf("/missing.stl") < log.indexOf("/b.obj"));
    QVERIFY2(!log.contains("slicing presets"), qPrintable(log));
    // The slices go to the user's data folder, not beside the program or here.
    QVERIFY(QFileInfo(qEnvironmentVariable("XDG_DATA_HOME") + "/kzvellum/Vellum").isDir());
    QVERIFY(!QFileInfo::exists(folder + "/tmpSTL.stl"));
}

void tst_KzStartUp::remembersThePrinterAndMaterial_data()
{
    QTest::addColumn<int>("machine");
    QTest::addColumn<int>("material");
    QTest::addColumn<QString>("expectedMachine");
    QTest::addColumn<QString>("expectedMaterial");
    const QString selected = SelectedMachineDescription(QFileInfo(kProgram).path() + "/Configure/basic.xml");
    QTest::newRow("first run") << KzUserSettings::ms_nNoChoice << KzUserSettings::ms_nNoChoice << selected << "0";
    QTest::newRow("Cedar with ABS") << 2 << 1 << "Cedar 220" << "1";
    // A choice the machine file no longer lists falls back to its defaults.
    QTest::newRow("gone from the file") << 42 << 9 << selected << "0";
}

// What an earlier run remembered in the user's configuration folder is what
// the program starts on.
void tst_KzStartUp::remembersThePrinterAndMaterial()
{
    QFETCH(int, machine);
    QFETCH(int, material);
    QTemporaryDir config;
    QVERIFY(config.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", config.path());
    if (machine != KzUserSettings::ms_nNoChoice) {
        KzUserSettings settings(config.filePath("kzvellum/kzvellum.conf"));
        settings.SetChoice(machine, material);
    }
    const QString log = RunUntilLogged(kProgram, config.path(), environment, "KzVellum: working folder");
    QTEST(LoggedValue(log, "machine"), "expectedMachine");
    QTEST(LoggedValue(log, "material"), "expectedMaterial");
}

// --help and --version print and end without a display; a bad option ends
// with status 2; the window without a display says so.
void tst_KzStartUp::optionsNeedNoDisplay()
{
    KzProgramRun run;
    const auto runWithoutDisplay = [&run](const QStringList& arguments) {
        run.Run(kProgram, arguments, QString(), KzProgramRun::WithoutDisplay(), 30000);
        return run.GetOutput();
    };
    const QString version = runWithoutDisplay({ "--version" });
    QCOMPARE(run.GetStatus(), 0);
    QCOMPARE(version, QString("kzvellum %1\n").arg(KZ_VERSION));
    QCOMPARE(run.GetErrors(), QString());
    QCOMPARE(runWithoutDisplay({ "-v" }), version);

    const QString help = runWithoutDisplay({ "--help" });
    QCOMPARE(run.GetStatus(), 0);
    for (const char* text : { "[options] [FILE…]", "-h, --help", "-v, --version", "Shows the version and exits.",
                              "relative paths", "kzvellum --slice -o OUT.gcode [--machine NAME]", "--preset <PRESET>" })
        QVERIFY2(help.contains(QString::fromUtf8(text)), qPrintable(help));
    QCOMPARE(runWithoutDisplay({ "model.stl", "-h" }), help);

    QCOMPARE(runWithoutDisplay({ "--bogus", "a.stl" }), QString());
    QCOMPARE(run.GetStatus(), 2);
    QVERIFY2(run.GetErrors().startsWith("kzvellum: Unknown option 'bogus'.\n"), qPrintable(run.Describe()));
    QVERIFY2(run.GetErrors().contains("--help"), qPrintable(run.Describe()));

    runWithoutDisplay({ "a.stl" });
    QCOMPARE(run.GetStatus(), 1);
    QVERIFY2(run.GetErrors().contains("no display"), qPrintable(run.Describe()));
}

void tst_KzStartUp::missingPresetsAreLoggedAtStart()
{
    // A copy of the program beside a machine file but no presets; it loads its
    // libraries from the build folder.
    QTemporaryDir installed;
    QVERIFY(installed.isValid());
    QVERIFY(QDir(installed.path()).mkpath("Configure"));
    const QString copy = installed.filePath("kzvellum");
    QVERIFY(QFile::copy(kProgram, copy));
    QVERIFY(QFile::copy(QFileInfo(kProgram).path() + "/Configure/basic.xml", installed.filePath("Configure/basic.xml")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_LIBRARY_PATH", QFileInfo(kProgram).path());

    QTemporaryDir elsewhere;
    const QString log = RunUntilLogged(copy, elsewhere.path(), environment, "slice.xml");
    QCOMPARE(LoggedValue(log, "data"), QDir(installed.path()).canonicalPath());
    QCOMPARE(LoggedValue(log, "folder"), QDir(elsewhere.path()).canonicalPath());
    QVERIFY2(log.contains("the slicing presets cannot be used: " + QDir(installed.path()).canonicalPath()
                          + "/Configure/slice.xml"),
             qPrintable(log));
}

void tst_KzStartUp::missingPresetsShowAnInformationBox()
{
    // This test program's scratch folder is its data folder, with no presets.
    KzDataFolder::Use(QDir::currentPath());
    QVERIFY(!QFile::exists("Configure/slice.xml"));
    const QString error = KzConfigureData::GetInstance()->GetSliceFileError();
    QVERIFY(!error.isEmpty());

    BoxCloser closer;
    closer.Arm();
    QTest::ignoreMessage(QtWarningMsg, qPrintable("KzVellum: the slicing presets cannot be used: " + error));
    QVERIFY(!KzSliceFileCheck::CheckAndReport(nullptr));
    QVERIFY(closer.m_bSeen);
    QCOMPARE(closer.m_strTitle, QString("切片参数文件"));
    QVERIFY2(closer.m_strText.startsWith("无法读取切片参数文件"), qPrintable(closer.m_strText));
    QVERIFY(closer.m_strText.endsWith(error));

    // In English once the translation is applied, as the program starts.
    QTranslator english;
    QVERIFY(english.load(":/kzvellum_en.qm"));
    QApplication::installTranslator(&english);
    closer.Arm();
    QTest::ignoreMessage(QtWarningMsg, qPrintable("KzVellum: the slicing presets cannot be used: " + error));
    QVERIFY(!KzSliceFileCheck::CheckAndReport(nullptr));
    QApplication::removeTranslator(&english);
    QCOMPARE(closer.m_strTitle, QString("Slicing presets"));
    QVERIFY2(closer.m_strText.startsWith("Cannot read the slicing presets file"), qPrintable(closer.m_strText));
    QVERIFY(closer.m_strText.endsWith(error));

    // With the shipped presets in place, nothing is shown.
    QVERIFY(QDir().mkpath("Configure"));
    QVERIFY(QFile::copy(QStringLiteral(KZ_OUTPUT_DIR "/Configure/slice.xml"), "Configure/slice.xml"));
    closer.m_bSeen = false;
    QVERIFY(KzSliceFileCheck::CheckAndReport(nullptr));
    QVERIFY(!closer.m_bSeen);
    QVERIFY(QFile::remove("Configure/slice.xml"));
}

// A machine file cut short: the program says so at start, naming the file,
// the line and the reason, and runs with the built-in printers (it ran with
// what it had read: the first printer, without a build volume).
void tst_KzStartUp::brokenMachineFileIsReportedAtStart()
{
    QTemporaryDir installed;
    QVERIFY(installed.isValid());
    QVERIFY(QDir(installed.path()).mkpath("Configure"));
    const QString copy = installed.filePath("KzVellum");
    QVERIFY(QFile::copy(kProgram, copy));
    QVERIFY(QFile::copy(QFileInfo(kProgram).path() + "/Configure/slice.xml", installed.filePath("Configure/slice.xml")));
    QFile shipped(QFileInfo(kProgram).path() + "/Configure/basic.xml");
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    const QByteArray whole = shipped.readAll();
    QFile cut(installed.filePath("Configure/basic.xml"));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    // Cut inside the first machine, before the one the file selects.
    const QByteArray half = whole.left(whole.indexOf("<Width>150</Width>") + 9);
    QCOMPARE(cut.write(half), qint64(half.size()));
    cut.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_LIBRARY_PATH", QFileInfo(kProgram).path());

    QTemporaryDir elsewhere;
    const QString log = RunUntilLogged(copy, elsewhere.path(), environment, "the machine file:");
    QCOMPARE(LoggedValue(log, "machine"), QStringLiteral("Hazel 200"));
    const QString expected = QStringLiteral("KzVellum: the machine file: %1/Configure/basic.xml:%2: Premature end of document.")
                                 .arg(QDir(installed.path()).canonicalPath())
                                 .arg(half.count('\n') + 1);
    QVERIFY2(log.contains(expected), qPrintable(log));
    QVERIFY2(!log.contains("slicing presets"), qPrintable(log));
}

void tst_KzStartUp::machineFileProblemsShowAWarningBox()
{
    // This test program read its scratch folder, where no machine file lies.
    const QStringList errors = KzConfigureData::GetInstance()->GetMachineFileErrors();
    QCOMPARE(errors.size(), 1);
    BoxCloser closer;
    closer.Arm();
    QTest::ignoreMessage(QtWarningMsg, qPrintable("KzVellum: the machine file: " + errors.first()));
    QVERIFY(!KzMachineFileCheck::ReportAtStart(nullptr));
    QVERIFY(closer.m_bSeen);
    QCOMPARE(closer.m_strTitle, QString("打印机配置文件"));
    QVERIFY2(closer.m_strText.startsWith("打印机配置文件有误"), qPrintable(closer.m_strText));
    QVERIFY(closer.m_strText.endsWith(errors.first()));

    // In English, and a long list cut short.
    QTranslator english;
    QVERIFY(english.load(":/kzvellum_en.qm"));
    QApplication::installTranslator(&english);
    QStringList many;
    for (int i = 0; i < 20; ++i)
        many << QStringLiteral("basic.xml:%1: Machine \"Oak%1\" skipped").arg(i + 1);
    const QString text = KzMachineFileCheck::Text(many);
    QApplication::removeTranslator(&english);
    QVERIFY2(text.startsWith("The printer settings file has errors."), qPrintable(text));
    QVERIFY(text.contains(many.at(KzMachineFileCheck::ms_nShownErrors - 1)));
    QVERIFY(!text.contains(many.at(KzMachineFileCheck::ms_nShownErrors)));
    QVERIFY2(text.endsWith("12 more problems, see the program's log."), qPrintable(text));
}

QTEST_MAIN(tst_KzStartUp)
#include "tst_KzStartUp.moc"
