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
    void missingFileGivesBuiltInMachines();
    void brokenFileGivesBuiltInMachines_data();
    void brokenFileGivesBuiltInMachines();
    void badEntriesAreSkipped();
    void birchExample();
    void selectedMachine_data();
    void selectedMachine();
    void missingDescriptionIsTidemark();
    void machineShapes_data();
    void machineShapes();
    void sizesBeforeAnyMachineDoNotTouchMachines();
    void materialTemperatures();
    void materialDensities();
    void machinesWithoutHeatedBedReportBedZero_data();
    void machinesWithoutHeatedBedReportBedZero();
    void unknownKeysAreIgnored();
    void saveAndRevokeMachine();
    void saveAndRevokeMaterial();
    void printPositionFollowsModelPosition();
    void sliceFileCheck();
    void sliceFileValues_data();
    void sliceFileValues();

    void storeIsReadFromTheDataFolderWhenFirstAsked();
    void temporaryFilesLiveInVellumFolder();
    void machineWithoutNameIsFatal_data();
    void machineWithoutNameIsFatal();

    void shippedMachineFile();

private:
    void WriteMachineFile(const QString &body);
    void ExpectBuiltInTables(KzConfigureData &data);
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

// The machines and materials a missing or broken machine file leaves: the
// shipped ones, so the title, the build volume and the temperatures are real.
void TestKzConfigureData::ExpectBuiltInTables(KzConfigureData &data)
{
    data.SetMachineType(data.selectedMachineType);
    QCOMPARE(data.GetCurrentMachineName(), QStringLiteral("Hazel 200"));
    Bound bound = PrintBound(data);
    QCOMPARE(bound.max, QVector3D(100, 100, 180));
    QCOMPARE(bound.min, QVector3D(-100, -100, 0));
    QCOMPARE(data.selectedMachineType, 1);
    QCOMPARE(data.GetReviseFactor(), 0.25);
    // All six printers, as the chooser offers them.
    data.SetMachineType(5);
    QCOMPARE(data.GetCurrentMachineName(), QStringLiteral("Spruce 120"));
    QCOMPARE(PrintBound(data).max, QVector3D(60, 60, 120));

    data.SetMachineType(1);
    const QList<QPair<int, int>> temperatures = {{205, 60}, {240, 100}, {200, 60}, {225, 50}};
    for (int id = 0; id < temperatures.size(); ++id) {
        data.SetMaterialID(id);
        int print = 0, bed = 0;
        data.GetMaterialTemperature(print, bed);
        QCOMPARE(print, temperatures.at(id).first);
        QCOMPARE(bed, temperatures.at(id).second);
    }
}

void TestKzConfigureData::missingFileGivesBuiltInMachines()
{
    KzConfigureData data;
    ExpectBuiltInTables(data);
    const QString path = QFileInfo(QStringLiteral("Configure/basic.xml")).absoluteFilePath();
    QCOMPARE(data.GetMachineFileErrors().size(), 1);
    QVERIFY2(data.GetMachineFileErrors().first().startsWith(path + QStringLiteral(": ")),
             qPrintable(data.GetMachineFileErrors().first()));
}

void TestKzConfigureData::brokenFileGivesBuiltInMachines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");
    const QByteArray good = "<Basic>\n<Machine Name=\"Alder\" Description=\"Mine\" Selected=\"True\">\n"
                            "<Length>90</Length><Width>80</Width><Height>70</Height></Machine>\n";
    QTest::newRow("empty") << QByteArray() << 1 << QStringLiteral("Premature end of document");
    QTest::newRow("truncated") << good + "<Material Name=\"PLA\"><PrintTemp" << 4
                               << QStringLiteral("Premature end of document");
    QTest::newRow("not XML") << QByteArray("Alder 150 150 150\n") << 1 << QStringLiteral("Start tag expected");
    QTest::newRow("error after good entries") << good + "<Broken></Basic>\n" << 4 << QStringLiteral("Opening and ending tag mismatch");
    // Each entity ten times the one before: a billion characters if expanded.
    QByteArray entities = "<?xml version=\"1.0\"?>\n<!DOCTYPE Basic [\n<!ENTITY a0 \"0123456789\">\n";
    for (int i = 1; i < 9; ++i) {
        entities += QStringLiteral("<!ENTITY a%1 \"").arg(i).toLatin1();
        for (int j = 0; j < 10; ++j)
            entities += QStringLiteral("&a%1;").arg(i - 1).toLatin1();
        entities += "\">\n";
    }
    QTest::newRow("entity expansion") << entities + "]>\n<Basic><Machine Name=\"Alder\"><Length>&a8;</Length>"
                                      << 13 << QStringLiteral("entity expansion limit");
}

// Nothing of a file that is not well-formed is taken: the built-in tables
// stand, and the one problem names the file, the line and the reason.
void TestKzConfigureData::brokenFileGivesBuiltInMachines()
{
    QFETCH(QByteArray, content);
    QFETCH(int, line);
    QFETCH(QString, reason);
    ScratchFolder::WriteFile(QStringLiteral("Configure/basic.xml"), content);
    KzConfigureData data;
    ExpectBuiltInTables(data);
    const QStringList errors = data.GetMachineFileErrors();
    QCOMPARE(errors.size(), 1);
    const QString path = QFileInfo(QStringLiteral("Configure/basic.xml")).absoluteFilePath();
    QVERIFY2(errors.first().startsWith(QStringLiteral("%1:%2: ").arg(path).arg(line)), qPrintable(errors.first()));
    QVERIFY2(errors.first().contains(reason), qPrintable(errors.first()));
}

// Entries with an unknown name, a missing field or a value that is not a size
// or a temperature are left out, each with a line naming the file, the line,
// the entry and the field; the good entries load and the built-in ones fill
// the gaps.
void TestKzConfigureData::badEntriesAreSkipped()
{
    WriteMachineFile(QStringLiteral("<Basic>\n") // line 1
                     + Machine(QStringLiteral("Name=\"Alder\" Description=\"Alder mine\""), 151, 141, 131) + "\n"
                     + Machine(QStringLiteral("Name=\"Hazel\" Selected=\"True\""), -200, -200, 180) + "\n"
                     + QStringLiteral("<Machine Name=\"Cedar\">\n<Length>two hundred</Length>\n"
                                      "<Width>220</Width><Height>220</Height></Machine>\n") // lines 4-6
                     + QStringLiteral("<Machine Name=\"Birch\"><Length>2e2</Length><Width>150</Width>"
                                      "<Height>150</Height></Machine>\n") // line 7
                     + QStringLiteral("<Machine Name=\"Rowan\"><Length>99999999999</Length><Width>100</Width>"
                                      "</Machine>\n") // line 8
                     + Machine(QStringLiteral("Name=\"alder\" Description=\"Oak\" Selected=\"True\""), 90, 80, 70) + "\n"
                     + Machine(QStringLiteral("Name=\"Spruce\" Description=\"Spruce mine\""), 125, 124, 123) + "\n"
                     + Material(QStringLiteral("PLA"), 210, 55) + "\n" // line 11
                     + QStringLiteral("<Material Name=\"ABS\"><PrintTemperature>hot</PrintTemperature>"
                                      "<BedTemperature>100</BedTemperature></Material>\n")
                     + QStringLiteral("<Material><PrintTemperature>199</PrintTemperature>"
                                      "<BedTemperature>0</BedTemperature></Material>\n")
                     + Material(QStringLiteral("PETG"), 235, 80) + "\n"
                     + QStringLiteral("<Material Name=\"WOOD\"><PrintTemperature>195</PrintTemperature></Material>\n")
                     + Material(QStringLiteral("TPU"), 5000, 45) + "\n" // line 16
                     + QStringLiteral("</Basic>\n"));
    KzConfigureData data;
    // No good machine is selected: the first one.
    QCOMPARE(data.selectedMachineType, 0);

    const QList<QPair<QString, QVector3D>> machines = {
        {QStringLiteral("Alder mine"), QVector3D(75.5f, 70.5f, 131)}, // from the file
        {QStringLiteral("Hazel 200"), QVector3D(100, 100, 180)},       // built in from here on
        {QStringLiteral("Cedar 220"), QVector3D(110, 110, 220)},
        {QStringLiteral("Birch 200"), QVector3D(100, 75, 150)},
        {QStringLiteral("Rowan 100"), QVector3D(50, 50, 100)},
        {QStringLiteral("Spruce mine"), QVector3D(62.5f, 62, 123)}};  // from the file
    for (int type = 0; type < machines.size(); ++type) {
        data.SetMachineType(type);
        QCOMPARE(data.GetCurrentMachineType(), type);
        QCOMPARE(data.GetCurrentMachineName(), machines.at(type).first);
        QCOMPARE(PrintBound(data).max, machines.at(type).second);
    }

    data.SetMachineType(0);
    const QList<QPair<int, int>> temperatures = {{210, 55}, {240, 100}, {200, 60}, {225, 50}};
    for (int id = 0; id < temperatures.size(); ++id) {
        data.SetMaterialID(id);
        int print = 0, bed = 0;
        data.GetMaterialTemperature(print, bed);
        QCOMPARE(print, temperatures.at(id).first);
        QCOMPARE(bed, temperatures.at(id).second);
    }

    const QString at = QFileInfo(QStringLiteral("Configure/basic.xml")).absoluteFilePath() + QLatin1Char(':');
    const QStringList expected = {
        at + "3: Machine \"Hazel\" skipped: Length \"-200\" is not a whole number from 1 to 10000",
        at + "3: Machine \"Hazel\" skipped: Width \"-200\" is not a whole number from 1 to 10000",
        at + "5: Machine \"Cedar\" skipped: Length \"two hundred\" is not a whole number from 1 to 10000",
        at + "7: Machine \"Birch\" skipped: Length \"2e2\" is not a whole number from 1 to 10000",
        at + "8: Machine \"Rowan\" skipped: Length \"99999999999\" is not a whole number from 1 to 10000",
        at + "8: Machine \"Rowan\" skipped: no Height",
        at + "9: Machine \"alder\" skipped: no printer of that name (Alder, Hazel, Cedar, Birch, Rowan, Spruce)",
        at + "12: Material \"ABS\" skipped: PrintTemperature \"hot\" is not a whole number from 100 to 400",
        at + "13: Material skipped: no Name",
        at + "14: Material \"PETG\" skipped: no material of that name (PLA, ABS, WOOD, TPU)",
        at + "15: Material \"WOOD\" skipped: no BedTemperature",
        at + "16: Material \"TPU\" skipped: PrintTemperature \"5000\" is not a whole number from 100 to 400"};
    QCOMPARE(data.GetMachineFileErrors(), expected);
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
    QTest::newRow("an unknown name selects nothing")
        << Machine(QStringLiteral("Name=\"Birch\" Selected=\"True\""), 200, 150, 100)
               + Machine(QStringLiteral("Name=\"Oak\" Selected=\"True\""), 100, 100, 100)
        << 3;
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
    const QStringList errors = data.GetMachineFileErrors();
    QCOMPARE(errors.size(), 2);
    QVERIFY2(errors.at(0).endsWith(QStringLiteral(":1: Length outside a Machine is ignored")), qPrintable(errors.at(0)));
    QVERIFY2(errors.at(1).endsWith(QStringLiteral(":1: PrintTemperature outside a Material is ignored")),
             qPrintable(errors.at(1)));
}

void TestKzConfigureData::materialTemperatures()
{
    WriteMachineFile(QStringLiteral("<Basic>") + Machine(QStringLiteral("Name=\"Hazel\""), 200, 200, 180)
                     + Material(QStringLiteral("PLA"), 207, 61) + Material(QStringLiteral("ABS"), 241, 99)
                     + Material(QStringLiteral("TPU"), 226, 51) + QStringLiteral("</Basic>"));
    KzConfigureData data;
    QCOMPARE(data.GetMachineFileErrors(), QStringList());
    data.SetMachineType(1);
    // WOOD is not in this file: the built-in one stands in.
    const QList<QPair<int, int>> temperatures = {{207, 61}, {241, 99}, {200, 60}, {226, 51}};
    for (int id = 0; id < temperatures.size(); ++id) {
        data.SetMaterialID(id);
        int print = 0, bed = 0;
        data.GetMaterialTemperature(print, bed);
        QCOMPARE(print, temperatures.at(id).first);
        QCOMPARE(bed, temperatures.at(id).second);
    }
}

// A density of the file replaces the material's usual one; a missing one
// leaves it; one that is no density is reported and leaves it too, and the
// material with its temperatures stays.
void TestKzConfigureData::materialDensities()
{
    auto withDensity = [](const char *name, int print, const char *density) {
        return QStringLiteral("<Material Name=\"%1\"><PrintTemperature>%2</PrintTemperature>"
                              "<BedTemperature>50</BedTemperature><Density>%3</Density></Material>\n")
            .arg(QLatin1String(name)).arg(print).arg(QLatin1String(density));
    };
    WriteMachineFile(QStringLiteral("<Basic>\n") + Machine(QStringLiteral("Name=\"Hazel\""), 200, 200, 180) + "\n"
                     + withDensity("PLA", 207, " 1.30 ") + withDensity("ABS", 241, "heavy")  // line 3
                     + withDensity("WOOD", 199, "9.5") + Material(QStringLiteral("TPU"), 226, 51)
                     + QStringLiteral("</Basic>"));
    KzConfigureData data;
    const QString at = QFileInfo(QStringLiteral("Configure/basic.xml")).absoluteFilePath() + QLatin1Char(':');
    QCOMPARE(data.GetMachineFileErrors(),
             QStringList({at + QStringLiteral("4: Material \"ABS\": Density \"heavy\" is not a number from 0.5 to 5 "
                                              "(g/cm³); 1.04 is used"),
                          at + QStringLiteral("5: Material \"WOOD\": Density \"9.5\" is not a number from 0.5 to 5 "
                                              "(g/cm³); 1.28 is used")}));
    const QList<double> densities = {1.30, 1.04, 1.28, 1.21};
    const QList<int> prints = {207, 241, 199, 226};
    for (int id = 0; id < densities.size(); ++id) {
        data.SetMaterialID(id);
        QCOMPARE(data.GetMaterialDensity(), densities.at(id));
        int print = 0, bed = 0;
        data.GetMaterialTemperature(print, bed);
        QCOMPARE(print, prints.at(id));
    }
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

void TestKzConfigureData::sliceFileValues_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QString>("problem");   // after "<path>:3: "
    const auto row = [](const char *name, const char *column, const char *value) {
        return QByteArray("<SliceParam Name=\"") + name + "\"><" + column + ">" + value + "</" + column + ">"
               + "</SliceParam>";
    };
    QTest::newRow("a word for a layer height")
        << row("layer_height", "Fast", "abc") << QStringLiteral("setting \"layer_height\", Fast: \"abc\" is not a number of 0 or more");
    QTest::newRow("a word for a speed")
        << row("print_speed", "Standard", "fast") << QStringLiteral("setting \"print_speed\", Standard: \"fast\" is not a whole number of 0 or more");
    QTest::newRow("a fraction for a whole number")
        << row("travel_speed", "Custom", "150.0") << QStringLiteral("setting \"travel_speed\", Custom: \"150.0\" is not a whole number of 0 or more");
    QTest::newRow("a negative length")
        << row("wall_thickness", "Optimal", "-1.2") << QStringLiteral("setting \"wall_thickness\", Optimal: \"-1.2\" is not a number of 0 or more");
    QTest::newRow("not a switch")
        << row("retraction_enable", "Fast", "yes") << QStringLiteral("setting \"retraction_enable\", Fast: \"yes\" is neither True nor False");
    QTest::newRow("an unknown support")
        << row("support", "Fast", "Sometimes")
        << QStringLiteral("setting \"support\", Fast: \"Sometimes\" is not one of None, Touching buildplate, Everywhere");
    QTest::newRow("no name") << QByteArray("<SliceParam><Fast>0.3</Fast></SliceParam>")
                             << QStringLiteral("SliceParam without a Name");
    QTest::newRow("an unknown setting") << row("layer_heigth", "Fast", "0.3")
                                        << QStringLiteral("unknown setting \"layer_heigth\"");
}

// A well-formed preset file with a value its setting cannot take is as bad as
// a broken one: it would slice with 0 (or 1 mm layers) instead of what it says.
void TestKzConfigureData::sliceFileValues()
{
    QFETCH(QByteArray, setting);
    QFETCH(QString, problem);
    KzConfigureData data;
    ScratchFolder::WriteFile(QStringLiteral("Configure/slice.xml"),
                             "<SliceProfile>\n<SliceParam Name=\"layer_height\"><Fast> 0.3 </Fast><Custom>0.2</Custom>"
                             "</SliceParam>\n" + setting + "\n</SliceProfile>\n");
    const QString path = QFileInfo(QStringLiteral("Configure/slice.xml")).absoluteFilePath();
    QVERIFY(!data.IsSliceFileReadable());
    QCOMPARE(data.GetSliceFileError(), QStringLiteral("%1:3: %2").arg(path, problem));
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
    // data folder is the probe's own, which holds none, so the built-in
    // printers stand in.
    probe = RunProbe(m_pFolder->Path(), QProcessEnvironment::systemEnvironment());
    QCOMPARE(probe->exitCode(), 0);
    out = QString::fromUtf8(probe->readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("data=%1\n").arg(QFileInfo(QStringLiteral(KZ_PROBE_PATH)).path())),
             qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("selected=1\ninitial=d\nmachine=Hazel 200\n")), qPrintable(out));

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
    QCOMPARE(data.GetMachineFileErrors(), QStringList());
    // The built-in tables, used when the file is broken, are a copy of it.
    ExpectBuiltInTables(data);
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
