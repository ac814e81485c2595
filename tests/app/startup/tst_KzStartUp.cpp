// Start-up: the program works in its own folder wherever it is started from
// (it finds the machine file that the core library reads before main()), and
// an unusable slicing presets file is reported in an information box.
#include "KzConfigureData.h"
#include "KzMachineFileCheck.h"
#include "KzSliceFileCheck.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
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

// Runs the program until it has logged the line that starts with marker (or
// ended, or the time is up), then ends it; returns what it wrote to stderr.
QString RunUntilLogged(const QString& program, const QString& folder, const QProcessEnvironment& environment,
                       const QString& marker)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(program, QStringList());
    if (!process.waitForStarted(10000))
        return QString();
    QByteArray err;
    QElapsedTimer clock;
    clock.start();
    while (!err.contains(marker.toUtf8()) && process.state() == QProcess::Running && clock.elapsed() < 90000) {
        process.waitForReadyRead(500);
        err += process.readAllStandardError();
    }
    // One more moment for the rest of the line.
    process.waitForReadyRead(300);
    err += process.readAllStandardError();
    process.kill();
    process.waitForFinished(10000);
    return QString::fromUtf8(err);
}

QString LoggedValue(const QString& log, const QString& key)
{
    const QRegularExpression line(QStringLiteral("KzVellum: working folder (.*), machine (.*)\\n"));
    const QRegularExpressionMatch m = line.match(log);
    if (!m.hasMatch())
        return QString();
    return key == QLatin1String("folder") ? m.captured(1) : m.captured(2);
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
    void startedFromAnotherFolderFindsItsFiles();
    void missingPresetsAreLoggedAtStart();
    void missingPresetsShowAnInformationBox();
    void brokenMachineFileIsReportedAtStart();
    void machineFileProblemsShowAWarningBox();
};

void tst_KzStartUp::startedFromAnotherFolderFindsItsFiles()
{
    const QString programFolder = QFileInfo(kProgram).canonicalPath();
    const QString expected = SelectedMachineDescription(programFolder + "/Configure/basic.xml");
    QVERIFY2(!expected.isEmpty(), "the build put the machine file beside the program");
    // Somewhere without a Configure folder, as a desktop launcher or a shell elsewhere.
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString log = RunUntilLogged(kProgram, elsewhere.path(), QProcessEnvironment::systemEnvironment(),
                                       "KzVellum: working folder");
    QCOMPARE(LoggedValue(log, "folder"), programFolder);
    QCOMPARE(LoggedValue(log, "machine"), expected);
    QVERIFY2(!log.contains("slicing presets"), qPrintable(log));
}

void tst_KzStartUp::missingPresetsAreLoggedAtStart()
{
    // A copy of the program beside a machine file but no presets; it loads its
    // libraries from the build folder.
    QTemporaryDir installed;
    QVERIFY(installed.isValid());
    QVERIFY(QDir(installed.path()).mkpath("Configure"));
    const QString copy = installed.filePath("KzVellum");
    QVERIFY(QFile::copy(kProgram, copy));
    QVERIFY(QFile::copy(QFileInfo(kProgram).path() + "/Configure/basic.xml", installed.filePath("Configure/basic.xml")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_LIBRARY_PATH", QFileInfo(kProgram).path());

    QTemporaryDir elsewhere;
    const QString log = RunUntilLogged(copy, elsewhere.path(), environment, "slice.xml");
    QCOMPARE(LoggedValue(log, "folder"), QDir(installed.path()).canonicalPath());
    QVERIFY2(log.contains("the slicing presets cannot be used: " + QDir(installed.path()).canonicalPath()
                          + "/Configure/slice.xml"),
             qPrintable(log));
}

void tst_KzStartUp::missingPresetsShowAnInformationBox()
{
    // This test program works in its scratch folder, where no presets lie.
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
