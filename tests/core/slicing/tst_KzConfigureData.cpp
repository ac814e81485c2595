#include "KzConfigureData.h"
#include "ScratchFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

namespace {

const char kFatalText[] = "Configuration error, need name in Machine section！";

struct Bound
{
    QVector3D max;
    QVector3D min;
};

Bound PrintBound(KzConfigureData &data)
{
    Bound bound;
    data.GetPrintBound(bound.max, bound.min);
    return bound;
}

QString Machine(const QString &attributes, int length, int width, int height)
{
    return QStringLiteral("<Machine %1><Length>%2</Length><Width>%3</Width><Height>%4</Height></Machine>")
        .arg(attributes).arg(length).arg(width).arg(height);
}

QString Material(const QString &name, int print, int bed)
{
    return QStringLiteral("<Material Name=\"%1\"><PrintTemperature>%2</PrintTemperature>"
                          "<BedTemperature>%3</BedTemperature></Material>")
        .arg(name).arg(print).arg(bed);
}

} // namespace

class TestKzConfigureData : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void initialMachineBeforeAnySelection();
    void missingFileGivesFallbackTables();
    void birchExample();
    void selectedMachine_data();
    void selectedMachine();
    void missingDescriptionIsTidemark();
    void machineShapes_data();
    void machineShapes();
    void unknownMachineNameOverwritesEntryZero();
    void sizesBeforeAnyMachineDoNotTouchMachines();
    void xmlErrorKeepsWhatWasRead();
    void materialTemperatures();
    void machinesWithoutHeatedBedReportBedZero_data();
    void machinesWithoutHeatedBedReportBedZero();
    void unknownKeysAreIgnored();
    void saveAndRevokeMachine();
    void saveAndRevokeMaterial();
    void printPositionFollowsModelPosition();
    void machineWithoutSizesKeepsTheDefaultScale();
    void sliceFileCheck();

    void storeIsReadFromTheDataFolderWhenFirstAsked();
    void temporaryFilesLiveInVellumFolder();
    void machineWithoutNameIsFatal_data();
    void machineWithoutNameIsFatal();

    void shippedMachineFile();

private:
    void WriteMachineFile(const QString &body);
    QProcess *RunProbe(const QString &folder, const QProcessEnvironment &environment,
                       const QStringList &arguments = QStringList());

    std::unique_ptr<ScratchFolder> m_pFolder;
};

void TestKzConfigureData::init()
{
    m_pFolder.reset(new ScratchFolder);
    QVERIFY(m_pFolder->IsValid());
}

void TestKzConfigureData::cleanup()
{
    m_pFolder.reset();
}

void TestKzConfigureData::WriteMachineFile(const QString &body)
{
    ScratchFolder::WriteFile(QStringLiteral("Configure/basic.xml"), body.toUtf8());
}

void TestKzConfigureData::initialMachineBeforeAnySelection()
{
    WriteMachineFile(QStringLiteral("<Basic>") + Machine(QStringLiteral("Name=\"Alder\""), 150, 150, 150)
                     + QStringLiteral("</Basic>"));
    KzConfigureData data;
    // Until the program applies a machine, the store holds a placeholder of type 3.
    QCOMPARE(data.GetCurrentMachineType(), 3);
    QCOMPARE(data.GetCurrentMachineName(), QStringLiteral("d"));
    QCOMPARE(data.GetLastMachineType(), 3);
    const Bound bound = PrintBound(data);
    QCOMPARE(bound.max, QVector3D(50, 0, 0));
    QCOMPARE(bound.min, QVector3D(-50, 0, 0));
    int print = 0, bed = -1;
    data.GetMaterialTemperature(print, bed);
    QCOMPARE(print, 190);
    QCOMPARE(bed, 0);
}

void TestKzConfigureData::missingFileGivesFallbackTables()
{
    KzConfigureData data;
    QCOMPARE(data.selectedMachineType, 0);

    data.SetMachineType(0);
    QCOMPARE(data.GetCurrentMachineType(), 0);
    QCOMPARE(data.GetCurrentMachineName(), QStringLiteral("d"));
    const Bound bound = PrintBound(data);
    QCOMPARE(bound.max, QVector3D(50, 0, 0));
    QCOMPARE(bound.min, QVector3D(-50, 0, 0));
    QCOMPARE(data.GetReviseFactor(), 0.5);

    // The fallback has machines 0 to 3 only.
    data.SetMachineType(3);
    QCOMPARE(data.GetCurrentMachineType(), 3);
    data.SetMachineType(4);
    QCOMPARE(data.GetCurrentMachineType(), 3);

    data.SetMaterialID(3);
    int print = 0, bed = -1;
    data.GetMaterialTemperature(print, bed);
    QCOMPARE(print, 190);
    QCOMPARE(bed, 0);
}

void TestKzConfigureData::birchExample()
{
    WriteMachineFile(QStringLiteral("<Basic>")
                     + Machine(QStringLiteral("Name=\"Birch\" Description=\"Birch 200\" Selected=\"True\""),
                               200, 150, 100)
                     + QStringLiteral("</Basic>"));
    KzConfigureData data;
    QCOMPARE(data.selectedMachineType, 3);
    data.SetMachineType(3);
    QCOMPARE(data.GetCurrentMachineName(), QStringLiteral("Birch 200"));
    QCOMPARE(data.GetReviseFactor(), 0.25);

    double x = 0, y = 0;
    data.GetLayerModelOffset(x, y);
    QCOMPARE(x, -100.0);
    QCOMPARE(y, -75.0);

    data.SetModelPos(5, -2);
    data.GetPrintPos(x, y);
    QCOMPARE(x, 105.0);
    QCOMPARE(y, 73.0);

    const Bound bound = PrintBound(data);
    QCOMPARE(bound.max, QVector3D(100, 75, 100));
    QCOMPARE(bound.min, QVector3D(-100, -75, 0));
}

void TestKzConfigureData::selectedMachine_data()
{
    QTest::addColumn<QString>("machines");
    QTest::addColumn<int>("selected");
    QTest::newRow("later selected wins")
        << Machine(QStringLiteral("Name=\"Hazel\" Selected=\"True\""), 200, 200, 180)
               + Machine(QStringLiteral("Name=\"Spruce\" Selected=\"True\""), 120, 120, 120)
               + Machine(QStringLiteral("Name=\"Cedar\" Selected=\"False\""), 220, 220, 220)
        << 5;
    QTest::newRow("only the exact text True selects")
        << Machine(QStringLiteral("Name=\"Cedar\" Selected=\"true\""), 220, 220, 220)
               + Machine(QStringLiteral("Name=\"Rowan\" Selected=\"TRUE\""), 100, 100, 100)
        << 0;
    QTest::newRow("none selected") << Machine(QStringLiteral("Name=\"Birch\""), 200, 150, 100) << 0;
    QTest::newRow("unknown name selects machine 0")
        << Machine(QStringLiteral("Name=\"Birch\" Selected=\"True\""), 200, 150, 100)
               + Machine(QStringLiteral("Name=\"Oak\" Selected=\"True\""), 100, 100, 100)
        << 0;
}

void TestKzConfigureData::selectedMachine()
{
    QFETCH(QString, machines);
    QFETCH(int, selected);
    WriteMachineFile(QStringLiteral("<Basic>") + machines + QStringLiteral("</Basic>"));
    KzConfigureData data;
    QCOMPARE(data.selectedMachineType, selected);
}

void TestKzConfigureData::missingDescriptionIsTidemark()
{
    WriteMachineFile(QStringLiteral("<Basic>") + Machine(QStringLiteral("Name=\"Hazel\""), 200, 200, 180)
                     + Machine(QStringLiteral("Name=\"Cedar\" Description=\"\""), 220, 220, 220)
                     + QStringLiteral("</Basic>"));
    KzConfigureData data;
    data.SetMachineType(1);
    QCOMPARE(data.GetCurrentMachineName(), QStringLiteral("Tidemark"));
    // An empty attribute is present: it is taken as written.
    data.SetMachineType(2);
    QCOMPARE(data.GetCurrentMachineName(), QString());
}

void TestKzConfigureData::machineShapes_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QVector3D>("max");

    QTest::newRow("sizes enclosed")
        << QStringLiteral("<M><Machine Name=\"Alder\"><Length>150</Length><Width>140</Width>"
                          "<Height>130</Height></Machine></M>")
        << QVector3D(75, 70, 130);
    QTest::newRow("sizes following, deeper")
        << QStringLiteral("<M><Machine Name=\"Alder\"/><Size><Length>150</Length></Size>"
                          "<Width>140</Width><Height>130</Height></M>")
        << QVector3D(75, 70, 130);
    QTest::newRow("length not a number")
        << QStringLiteral("<M><Machine Name=\"Alder\"><Length>abc</Length><Width>140</Width>"
                          "<Height>130</Height></Machine></M>")
        << QVector3D(0, 70, 130);
    QTest::newRow("decimal length")
        << QStringLiteral("<M><Machine Name=\"Alder\"><Length>150.5</Length><Width>140</Width>"
                          "<Height>130</Height></Machine></M>")
        << QVector3D(0, 70, 130);
    QTest::newRow("size missing")
        << QStringLiteral("<M><Machine Name=\"Alder\"><Length>150</Length></Machine></M>")
        << QVector3D(75, 0, 0);
    QTest::newRow("odd length keeps its half")
        << QStringLiteral("<M><Machine Name=\"Alder\"><Length>151</Length><Width>99</Width>"
                          "<Height>1</Height></Machine></M>")
        << QVector3D(75.5f, 49.5f, 1);
}

void TestKzConfigureData::machineShapes()
{
    QFETCH(QString, body);
    QFETCH(QVector3D, max);
    WriteMachineFile(body);
    KzConfigureData data;
    data.SetMachineType(0);
    QCOMPARE(data.GetCurrentMachineType(), 0);
    const Bound bound = PrintBound(data);
    QCOMPARE(bound.max, max);
    QCOMPARE(bound.min, QVector3D(-max.x(), -max.y(), 0));
}

void TestKzConfigureData::unknownMachineNameOverwritesEntryZero()
{
    WriteMachineFile(QStringLiteral("<Basic>")
                     + Machine(QStringLiteral("Name=\"Alder\" Description=\"Alder 150\""), 150, 150, 150)
                     + Machine(QStringLiteral("Name=\"alder\" Description=\"Oak\""), 90, 80, 70)
                     + QStringLiteral("</Basic>"));
    KzConfigureData data;
    data.SetMachineType(0);
    QCOMPARE(data.GetCurrentMachineName(), QStringLiteral("Oak"));
    QCOMPARE(PrintBound(data).max, QVector3D(45, 40, 70));
}

void TestKzConfigureData::sizesBeforeAnyMachineDoNotTouchMachines()
{
    WriteMachineFile(QStringLiteral("<Basic><Length>77</Length>")
                     + Machine(QStringLiteral("Name=\"Alder\""), 150, 150, 150)
                     + QStringLiteral("<PrintTemperature>123</PrintTemperature>")
                     + Material(QStringLiteral("PLA"), 205, 60) + QStringLiteral("</Basic>"));
    KzConfigureData data;
    data.SetMachineType(0);
    QCOMPARE(PrintBound(data).max, QVector3D(75, 75, 150));
    data.SetMaterialID(0);
    int print = 0, bed = 0;
    data.GetMaterialTemperature(print, bed);
    QCOMPARE(print, 205);
    QCOMPARE(bed, 60);
}

void TestKzConfigureData::xmlErrorKeepsWhatWasRead()
{
    WriteMachineFile(QStringLiteral("<Basic>")
                     + Machine(QStringLiteral("Name=\"Alder\" Description=\"Alder 150\""), 150, 150, 150)
                     + QStringLiteral("<Broken></Basic>")
                     + Machine(QStringLiteral("Name=\"Hazel\""), 200, 200, 180));
    KzConfigureData data;
    data.SetMachineType(0);
    QCOMPARE(data.GetCurrentMachineName(), QStringLiteral("Alder 150"));
    // Nothing after the error, and no fallback tables either (they would hold 0 to 3).
    data.SetMachineType(1);
    QCOMPARE(data.GetCurrentMachineType(), 0);
    data.SetMachineType(2);
    QCOMPARE(data.GetCurrentMachineType(), 0);
}

void TestKzConfigureData::materialTemperatures()
{
    WriteMachineFile(QStringLiteral("<Basic>") + Machine(QStringLiteral("Name=\"Hazel\""), 200, 200, 180)
                     + Material(QStringLiteral("PLA"), 205, 60) + Material(QStringLiteral("ABS"), 240, 100)
                     + Material(QStringLiteral("TPU"), 225, 50)
                     + QStringLiteral("<Material><PrintTemperature>199</PrintTemperature></Material>")
                     + QStringLiteral("</Basic>"));
    KzConfigureData data;
    data.SetMachineType(1);
    int print = 0, bed = 0;

    data.SetMaterialID(1);
    data.GetMaterialTemperature(print, bed);
    QCOMPARE(print, 240);
    QCOMPARE(bed, 100);

    data.SetMaterialID(3);
    data.GetMaterialTemperature(print, bed);
    QCOMPARE(print, 225);
    QCOMPARE(bed, 50);

    // WOOD is not in this file: the current material stays TPU.
    data.SetMaterialID(2);
    data.GetMaterialTemperature(print, bed);
    QCOMPARE(print, 225);

    // A material without a name overwrote entry 0's print temperature only.
    data.SetMaterialID(0);
    data.GetMaterialTemperature(print, bed);
    QCOMPARE(print, 199);
    QCOMPARE(bed, 60);
}

void TestKzConfigureData::machinesWithoutHeatedBedReportBedZero_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("bed");
    QTest::newRow("Alder") << QStringLiteral("Alder") << 0 << 100;
    QTest::newRow("Birch") << QStringLiteral("Birch") << 3 << 100;
    QTest::newRow("Rowan") << QStringLiteral("Rowan") << 4 << 0;
    QTest::newRow("Spruce") << QStringLiteral("Spruce") << 5 << 0;
}

void TestKzConfigureData::machinesWithoutHeatedBedReportBedZero()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(int, bed);
    WriteMachineFile(QStringLiteral("<Basic>")
                     + Machine(QStringLiteral("Name=\"%1\"").arg(name), 120, 120, 120)
                     + Material(QStringLiteral("ABS"), 240, 100) + QStringLiteral("</Basic>"));
    KzConfigureData data;
    data.SetMachineType(type);
    QCOMPARE(data.GetCurrentMachineType(), type);
    data.SetMaterialID(1);
    int print = 0, reportedBed = -1;
    data.GetMaterialTemperature(print, reportedBed);
    QCOMPARE(print, 240);
    QCOMPARE(reportedBed, bed);
}

void TestKzConfigureData::unknownKeysAreIgnored()
{
    WriteMachineFile(QStringLiteral("<Basic>")
                     + Machine(QStringLiteral("Name=\"Cedar\" Description=\"Cedar 220\""), 220, 220, 220)
                     + Material(QStringLiteral("WOOD"), 200, 60) + QStringLiteral("</Basic>"));
    KzConfigureData data;
    data.SetMachineType(2);
    data.SetMaterialID(2);
    data.SetMachineType(9);
    data.SetMachineType(-1);
    data.SetMaterialID(7);
    QCOMPARE(data.GetCurrentMachineName(), QStringLiteral("Cedar 220"));
    QCOMPARE(PrintBound(data).max, QVector3D(110, 110, 220));
    int print = 0, bed = 0;
    data.GetMaterialTemperature(print, bed);
    QCOMPARE(print, 200);
}

void TestKzConfigureData::saveAndRevokeMachine()
{
    WriteMachineFile(QStringLiteral("<Basic>")
                     + Machine(QStringLiteral("Name=\"Birch\" Description=\"Birch 200\""), 200, 150, 100)
                     + Machine(QStringLiteral("Name=\"Rowan\" Description=\"Rowan 100\""), 100, 100, 100)
                     + Material(QStringLiteral("PLA"), 205, 60) + QStringLiteral("</Basic>"));
    KzConfigureData data;
    data.SetMachineType(3);
    data.SaveMachine();
    data.SetMachineType(4);
    QCOMPARE(data.GetCurrentMachineName(), QStringLiteral("Rowan 100"));
    QCOMPARE(data.GetLastMachineType(), 3);

    data.RevokeMachine();
    QCOMPARE(data.GetCurrentMachineType(), 3);
    QCOMPARE(data.GetCurrentMachineName(), QStringLiteral("Birch 200"));
    QCOMPARE(PrintBound(data).max, QVector3D(100, 75, 100));
    // The restored type brings the heated bed back.
    data.SetMaterialID(0);
    int print = 0, bed = 0;
    data.GetMaterialTemperature(print, bed);
    QCOMPARE(bed, 60);
}

void TestKzConfigureData::saveAndRevokeMaterial()
{
    WriteMachineFile(QStringLiteral("<Basic>") + Machine(QStringLiteral("Name=\"Alder\""), 150, 150, 150)
                     + Material(QStringLiteral("PLA"), 205, 60) + Material(QStringLiteral("ABS"), 240, 100)
                     + QStringLiteral("</Basic>"));
    KzConfigureData data;
    data.SetMachineType(0);
    data.SetMaterialID(1);
    data.SaveMaterial();
    data.SetMaterialID(0);
    int print = 0, bed = 0;
    data.GetMaterialTemperature(print, bed);
    QCOMPARE(print, 205);

    data.RevokeMaterial();
    data.GetMaterialTemperature(print, bed);
    QCOMPARE(print, 240);
    QCOMPARE(bed, 100);
}

void TestKzConfigureData::printPositionFollowsModelPosition()
{
    WriteMachineFile(QStringLiteral("<Basic>") + Machine(QStringLiteral("Name=\"Spruce\""), 121, 120, 120)
                     + QStringLiteral("</Basic>"));
    KzConfigureData data;
    data.SetMachineType(5);
    double x = -1, y = -1;
    data.GetPrintPos(x, y);
    QCOMPARE(x, 60.5);
    QCOMPARE(y, 60.0);
    data.SetModelPos(-10.25, 3.5);
    data.GetPrintPos(x, y);
    QCOMPARE(x, 50.25);
    QCOMPARE(y, 63.5);
}

void TestKzConfigureData::machineWithoutSizesKeepsTheDefaultScale()
{
    // Sizes missing, not numbers, or negative: never a division by zero or a
    // mirrored view, the scale of the placeholder volume instead.
    WriteMachineFile(QStringLiteral("<Basic><Machine Name=\"Alder\"/>")
                     + QStringLiteral("<Machine Name=\"Hazel\"><Length>wide</Length><Width/><Height>0</Height></Machine>")
                     + Machine(QStringLiteral("Name=\"Cedar\""), -200, -100, 0)
                     + Machine(QStringLiteral("Name=\"Birch\""), 0, 0, 80) + QStringLiteral("</Basic>"));
    KzConfigureData data;
    for (int type = 0; type < 3; ++type) {
        data.SetMachineType(type);
        QCOMPARE(data.GetCurrentMachineType(), type);
        QCOMPARE(data.GetReviseFactor(), KzConfigureData::ms_dDefaultReviseFactor);
    }
    QCOMPARE(KzConfigureData::ms_dDefaultReviseFactor, 0.5);
    // One size is enough for the real scale.
    data.SetMachineType(3);
    QCOMPARE(data.GetReviseFactor(), 50.0 / 80);
}

void TestKzConfigureData::sliceFileCheck()
{
    KzConfigureData data;
    const QString path = QFileInfo(QStringLiteral("Configure/slice.xml")).absoluteFilePath();
    // Both files by their whole path in the data folder.
    QCOMPARE(KzConfigureData::GetSliceFilePath(), m_pFolder->FilePath(QStringLiteral("Configure/slice.xml")));
    QCOMPARE(KzConfigureData::GetMachineFilePath(), m_pFolder->FilePath(QStringLiteral("Configure/basic.xml")));
    // Missing.
    QVERIFY(!data.IsSliceFileReadable());
    QVERIFY2(data.GetSliceFileError().startsWith(path + QStringLiteral(": ")), qPrintable(data.GetSliceFileError()));

    // Broken XML, and well-formed without a single setting.
    ScratchFolder::WriteFile(QStringLiteral("Configure/slice.xml"),
                             "<SliceProfile>\n<SliceParam Name=\"layer_height\"><Fast>0.3</Fast>\n</SliceProfile>");
    QVERIFY(!data.IsSliceFileReadable());
    QVERIFY2(data.GetSliceFileError().startsWith(path + QStringLiteral(":3: ")), qPrintable(data.GetSliceFileError()));
    ScratchFolder::WriteFile(QStringLiteral("Configure/slice.xml"), "<SliceProfile/>");
    QVERIFY(!data.IsSliceFileReadable());

    // The shipped presets are fine; checked each time, so a file that goes
    // away later is noticed.
    QFile::remove(QStringLiteral("Configure/slice.xml"));
    QVERIFY(QFile::copy(QStringLiteral(KZ_OUTPUT_DIR "/Configure/slice.xml"), QStringLiteral("Configure/slice.xml")));
    QVERIFY2(data.IsSliceFileReadable(), qPrintable(data.GetSliceFileError()));
    QCOMPARE(data.GetSliceFileError(), QString());

    // A folder in the file's place cannot be read (a permission test would not
    // hold when the tests run as root).
    QVERIFY(QFile::remove(QStringLiteral("Configure/slice.xml")));
    QVERIFY(QDir().mkpath(QStringLiteral("Configure/slice.xml")));
    QVERIFY(!data.IsSliceFileReadable());
    QVERIFY(!data.GetSliceFileError().isEmpty());
}

QProcess *TestKzConfigureData::RunProbe(const QString &folder, const QProcessEnvironment &environment,
                                        const QStringList &arguments)
{
    QProcess *probe = new QProcess(this);
    probe->setProcessEnvironment(environment);
    probe->setWorkingDirectory(folder);
    probe->start(QStringLiteral(KZ_PROBE_PATH), arguments);
    if (!probe->waitForFinished(30000))
        probe->kill();
    return probe;
}

void TestKzConfigureData::storeIsReadFromTheDataFolderWhenFirstAsked()
{
    WriteMachineFile(QStringLiteral("<Basic>")
                     + Machine(QStringLiteral("Name=\"Cedar\" Description=\"Cedar 220\" Selected=\"True\""),
                               220, 220, 220)
                     + QStringLiteral("</Basic>"));
    // The data folder given before the first question is the one read, from
    // whatever working folder: the file was not read while the library loaded.
    QProcess *probe = RunProbe(QDir::rootPath(), QProcessEnvironment::systemEnvironment(), {m_pFolder->Path()});
    QCOMPARE(probe->exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe->exitCode(), 0);
    QString out = QString::fromUtf8(probe->readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("data=%1\n").arg(m_pFolder->Path())), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("selected=2\n")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("initial=d\n")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("machine=Cedar 220\n")), qPrintable(out));

    // Without one, the working folder's machine file is not looked at: the
    // data folder is the probe's own, which holds none.
    probe = RunProbe(m_pFolder->Path(), QProcessEnvironment::systemEnvironment());
    QCOMPARE(probe->exitCode(), 0);
    out = QString::fromUtf8(probe->readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("data=%1\n").arg(QFileInfo(QStringLiteral(KZ_PROBE_PATH)).path())),
             qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("selected=0\ninitial=d\nmachine=d\n")), qPrintable(out));

    QCOMPARE(KzConfigureData::GetInstance().get(), KzConfigureData::GetInstance().get());
    QVERIFY(KzConfigureData::GetInstance());
}

void TestKzConfigureData::temporaryFilesLiveInVellumFolder()
{
    // The store is made once the application object exists: its name is part
    // of the folder, below the user's XDG data folder.
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    QVERIFY2(!dataHome.isEmpty(), "the test runs with its own XDG_DATA_HOME");
    std::shared_ptr<KzConfigureData> data = KzConfigureData::GetInstance();
    const QString folder = dataHome + QStringLiteral("/tst_KzConfigureData/Vellum");
    QCOMPARE(data->GetTmpSTLFilePath(), folder + QStringLiteral("/tmpSTL.stl"));
    QCOMPARE(data->GetTmpGcodeFilePath(), folder + QStringLiteral("/tmpGCode.gcode"));
    QVERIFY(QFileInfo(folder).isDir());
}

void TestKzConfigureData::machineWithoutNameIsFatal_data()
{
    QTest::addColumn<QString>("display");
    QTest::newRow("no display") << QString();
    // A display that cannot be reached must not turn the error into a crash.
    QTest::newRow("unreachable display") << QStringLiteral(":9173");
}

void TestKzConfigureData::machineWithoutNameIsFatal()
{
    QFETCH(QString, display);
    WriteMachineFile(QStringLiteral("<Basic>") + Machine(QStringLiteral("Name=\"Alder\""), 150, 150, 150)
                     + Machine(QStringLiteral("Description=\"Nameless\""), 100, 100, 100)
                     + QStringLiteral("</Basic>"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (!display.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display);

    QProcess *probe = RunProbe(m_pFolder->Path(), environment, {m_pFolder->Path()});
    const QString err = QString::fromUtf8(probe->readAllStandardError());
    QCOMPARE(probe->exitStatus(), QProcess::NormalExit);
    QVERIFY2(probe->exitCode() != 0, qPrintable(err));
    QVERIFY2(err.contains(QString::fromUtf8(kFatalText)), qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("Critical error")), qPrintable(err));
    // The process ended while the store read the file.
    QCOMPARE(probe->readAllStandardOutput(), QByteArray());
}

void TestKzConfigureData::shippedMachineFile()
{
    QVERIFY(QDir().mkpath(QStringLiteral("Configure")));
    QVERIFY(QFile::copy(QStringLiteral(KZ_OUTPUT_DIR "/Configure/basic.xml"),
                        QStringLiteral("Configure/basic.xml")));

    // Exactly one machine is selected, each named once.
    QFile file(QStringLiteral("Configure/basic.xml"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader reader(&file);
    int selectedCount = 0;
    QSet<QString> names;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("Machine")) {
            names.insert(reader.attributes().value(QLatin1String("Name")).toString());
            selectedCount += reader.attributes().value(QLatin1String("Selected")) == QLatin1String("True");
        }
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    QCOMPARE(selectedCount, 1);
    QCOMPARE(names, (QSet<QString>{QStringLiteral("Alder"), QStringLiteral("Hazel"), QStringLiteral("Cedar"),
                                   QStringLiteral("Birch"), QStringLiteral("Rowan"), QStringLiteral("Spruce")}));

    KzConfigureData data;
    QSet<QString> descriptions;
    for (int type = 0; type < 6; ++type) {
        data.SetMachineType(type);
        QCOMPARE(data.GetCurrentMachineType(), type);
        const QString description = data.GetCurrentMachineName();
        QVERIFY2(description != QLatin1String("Tidemark") && description.size() > 1, qPrintable(description));
        descriptions.insert(description);
        const Bound bound = PrintBound(data);
        for (float edge : {bound.max.x() * 2, bound.max.y() * 2, bound.max.z()})
            QVERIFY2(edge >= 100 && edge <= 220, qPrintable(QStringLiteral("%1: %2").arg(description).arg(edge)));
    }
    QCOMPARE(descriptions.size(), 6);

    data.SetMachineType(data.selectedMachineType);
    QSet<int> printTemperatures;
    for (int id = 0; id < 4; ++id) {
        data.SetMaterialID(id);
        int print = 0, bed = 0;
        data.GetMaterialTemperature(print, bed);
        QVERIFY2(print >= 180 && print <= 260, qPrintable(QString::number(print)));
        QVERIFY2(bed >= 40 && bed <= 110, qPrintable(QString::number(bed)));
        printTemperatures.insert(print);
    }
    // Distinct nozzle temperatures: a material missing from the file would repeat
    // the one before it.
    QCOMPARE(printTemperatures.size(), 4);
    // ABS needs a hot nozzle and bed.
    data.SetMaterialID(1);
    int absPrint = 0, absBed = 0;
    data.GetMaterialTemperature(absPrint, absBed);
    QVERIFY(absPrint >= 230 && absBed >= 80);
}

QTEST_GUILESS_MAIN(TestKzConfigureData)
#include "tst_KzConfigureData.moc"
