#include "KzSliceProfile.h"
#include "ScratchFolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

using Settings = QList<QPair<QString, QString>>;
using EngineValues = QMap<QString, int>;
Q_DECLARE_METATYPE(Settings)
Q_DECLARE_METATYPE(EngineValues)

namespace {

struct EnginePair
{
    QString key;
    QString value;
};

// Splits the argument text back into its key=value pairs, in order.
QList<EnginePair> Pairs(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral(" -s \"([^=\"]*)=([^\"]*)\""));
    QList<EnginePair> pairs;
    int consumed = 0;
    auto it = pattern.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (match.capturedStart() != consumed)
            return {}; // something between the pairs
        consumed = match.capturedEnd();
        pairs.append({match.captured(1), match.captured(2)});
    }
    return consumed == text.size() ? pairs : QList<EnginePair>();
}

QMap<QString, QString> PairMap(const QString &text)
{
    QMap<QString, QString> map;
    for (const EnginePair &pair : Pairs(text))
        map.insert(pair.key, pair.value);
    return map;
}

// One SliceParam per setting, the value in the given column.
QString PresetFile(const QString &column, const Settings &settings)
{
    QString body = QStringLiteral("<SliceProfile>");
    for (const auto &setting : settings)
        body += QStringLiteral("<SliceParam Name=\"%1\"><%2>%3</%2></SliceParam>")
                    .arg(setting.first, column, setting.second.toHtmlEscaped());
    return body + QStringLiteral("</SliceProfile>");
}

const char kDefaultStartCode[] =
    ";Print time: {print_time}\nM140 S0\r\nM190 S0\r\nM104 S210\r\nM109 S210\r\nG21\r\nG90\r\nM82\r\n"
    "M106 S0\r\nG28 X0 Y0\r\nG28 Z0\r\nG92 Z0\r\nG1 Z15.0 F900\r\nG92 E0\r\nG1 F200 E10\r\nG92 E0\r\n"
    "M117 Printing";
const char kEndCode[] = "M140 S0\r\nM104 S0\r\nG91\r\nG1 E-1 F300\r\nG28 X0 Y0\r\nM84\r\nG90\r\n";

} // namespace

class TestKzSliceProfile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaultArgumentText();
    void startCodeCarriesTemperatures();
    void printPositionToTheMicrometre();

    void presetColumnPerMode_data();
    void presetColumnPerMode();
    void presetValuesAreTexts();
    void presetFileQuirks();
    void profilesDoNotShareValues();
    void settersOverridePresets();
    void raftAirGapSetters();

    void engineValues_data();
    void engineValues();

    void shippedPresetFileIsComplete();
    void shippedPresetsSliceSensibly_data();
    void shippedPresetsSliceSensibly();

private:
    void WritePresetFile(const QString &body);

    std::unique_ptr<ScratchFolder> m_pFolder;
};

void TestKzSliceProfile::init()
{
    m_pFolder.reset(new ScratchFolder);
    QVERIFY(m_pFolder->IsValid());
}

void TestKzSliceProfile::cleanup()
{
    m_pFolder.reset();
}

void TestKzSliceProfile::WritePresetFile(const QString &body)
{
    ScratchFolder::WriteFile(QStringLiteral("Configure/slice.xml"), body.toUtf8());
}

void TestKzSliceProfile::defaultArgumentText()
{
    // No preset file: the built-in defaults alone.
    KzSliceProfile profile(SliceMode_Custom);
    profile.SetPrintPos(100, 75);
    const QString expected = QStringLiteral(
        " -s \"coolHeadLift=0\""
        " -s \"downSkinCount=6\""
        " -s \"enableCombing=1\""
        " -s \"extrusionWidth=400\""
        " -s \"fanFullOnLayerNr=2\""
        " -s \"fanSpeedMax=100\""
        " -s \"fanSpeedMin=100\""
        " -s \"filamentDiameter=1750\""
        " -s \"filamentFlow=100\""
        " -s \"infillOverlap=15\""
        " -s \"infillSpeed=50\""
        " -s \"initialLayerSpeed=20\""
        " -s \"initialLayerThickness=300\""
        " -s \"initialSpeedupLayers=4\""
        " -s \"inset0Speed=50\""
        " -s \"insetCount=2\""
        " -s \"insetXSpeed=50\""
        " -s \"layer0extrusionWidth=400\""
        " -s \"layerThickness=100\""
        " -s \"minimalExtrusionBeforeRetraction=20\""
        " -s \"minimalFeedrate=10\""
        " -s \"minimalLayerTime=5\""
        " -s \"moveSpeed=150\""
        " -s \"perimeterBeforeInfill=0\""
        " -s \"posx=100000\""
        " -s \"posy=75000\""
        " -s \"printSpeed=50\""
        " -s \"raftAirGap=0\""
        " -s \"raftAirGapLayer0=220\""
        " -s \"raftBaseLinewidth=1000\""
        " -s \"raftBaseSpeed=20\""
        " -s \"raftBaseThickness=300\""
        " -s \"raftFanSpeed=0\""
        " -s \"raftInterfaceLineSpacing=800\""
        " -s \"raftInterfaceLinewidth=400\""
        " -s \"raftInterfaceThickness=270\""
        " -s \"raftLineSpacing=3000\""
        " -s \"raftMargin=5000\""
        " -s \"raftSurfaceLayers=2\""
        " -s \"raftSurfaceLineSpacing=400\""
        " -s \"raftSurfaceLinewidth=400\""
        " -s \"raftSurfaceSpeed=20\""
        " -s \"raftSurfaceThickness=270\""
        " -s \"retractionAmount=4500\""
        " -s \"retractionAmountExtruderSwitch=16500\""
        " -s \"retractionMinimalDistance=1500\""
        " -s \"retractionSpeed=40\""
        " -s \"retractionZHop=0\""
        " -s \"skinSpeed=50\""
        " -s \"skirtDistance=0\""
        " -s \"skirtLineCount=0\""
        " -s \"sparseInfillLineDistance=2000\""
        " -s \"supportAngle=60\""
        " -s \"supportEverywhere=1\""
        " -s \"supportExtruder=-1\""
        " -s \"supportLineDistance=2666\""
        " -s \"supportType=1\""
        " -s \"supportXYDistance=700\""
        " -s \"supportZDistance=150\""
        " -s \"upSkinCount=6\""
        " -s \"startCode=%1\""
        " -s \"endCode=%2\"")
        .arg(QLatin1String(kDefaultStartCode), QLatin1String(kEndCode));
    const QString text = profile.GetCommandStrings();
    QCOMPARE(text, expected);
    // Asked again, the text is the same: the engine map is rebuilt, not added to.
    QCOMPARE(profile.GetCommandStrings(), expected);
}

void TestKzSliceProfile::startCodeCarriesTemperatures()
{
    KzSliceProfile profile(SliceMode_Standard);
    profile.SetPrintTemperature(200);
    profile.SetBedTemperature(60);
    const QMap<QString, QString> pairs = PairMap(profile.GetCommandStrings());
    const QString start = pairs.value(QStringLiteral("startCode"));
    QVERIFY(start.startsWith(QStringLiteral(";Print time: {print_time}\nM140 S60\r\nM190 S60\r\n"
                                            "M104 S200\r\nM109 S200\r\nG21\r\n")));
    QVERIFY(start.endsWith(QStringLiteral("\r\nM117 Printing")));
    QCOMPARE(pairs.value(QStringLiteral("endCode")), QString::fromLatin1(kEndCode));
    // The two code pairs come last, start before end.
    const QList<EnginePair> list = Pairs(profile.GetCommandStrings());
    QVERIFY(list.size() > 2);
    QCOMPARE(list.at(list.size() - 2).key, QStringLiteral("startCode"));
    QCOMPARE(list.last().key, QStringLiteral("endCode"));
}

void TestKzSliceProfile::printPositionToTheMicrometre()
{
    KzSliceProfile profile(SliceMode_Custom);
    QMap<QString, QString> pairs = PairMap(profile.GetCommandStrings());
    QCOMPARE(pairs.value(QStringLiteral("posx")), QStringLiteral("50000"));
    QCOMPARE(pairs.value(QStringLiteral("posy")), QStringLiteral("50000"));

    // The engine takes micrometres: the position reaches it to the micrometre.
    profile.SetPrintPos(100.9, -0.7);
    pairs = PairMap(profile.GetCommandStrings());
    QCOMPARE(pairs.value(QStringLiteral("posx")), QStringLiteral("100900"));
    QCOMPARE(pairs.value(QStringLiteral("posy")), QStringLiteral("-700"));

    profile.SetPrintPos(125.5, 84.9999999);   // a float sum just short of 85
    pairs = PairMap(profile.GetCommandStrings());
    QCOMPARE(pairs.value(QStringLiteral("posx")), QStringLiteral("125500"));
    QCOMPARE(pairs.value(QStringLiteral("posy")), QStringLiteral("85000"));
}

void TestKzSliceProfile::presetColumnPerMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("layerThickness");
    QTest::addColumn<QString>("printSpeed");
    QTest::newRow("custom") << int(SliceMode_Custom) << QStringLiteral("250") << QStringLiteral("33");
    QTest::newRow("fast") << int(SliceMode_Fast) << QStringLiteral("300") << QStringLiteral("70");
    QTest::newRow("standard") << int(SliceMode_Standard) << QStringLiteral("200") << QStringLiteral("50");
    // Optimal has no print speed in the file: the default stands.
    QTest::newRow("optimal") << int(SliceMode_Optimal) << QStringLiteral("100") << QStringLiteral("50");
}

void TestKzSliceProfile::presetColumnPerMode()
{
    QFETCH(int, mode);
    QFETCH(QString, layerThickness);
    QFETCH(QString, printSpeed);
    WritePresetFile(QStringLiteral(
        "<SliceProfile>"
        "<SliceParam Name=\"layer_height\"><Custom>0.25</Custom><Fast>0.3</Fast>"
        "<Standard>0.2</Standard><Optimal>0.1</Optimal></SliceParam>"
        "<Group><SliceParam Name=\"print_speed\"><Custom>33</Custom><Fast>70</Fast>"
        "<Standard>45</Standard></SliceParam></Group>"
        "<SliceParam Name=\"print_speed\"><Standard>50</Standard></SliceParam>"
        "</SliceProfile>"));
    KzSliceProfile profile(static_cast<emSliceMode>(mode));
    const QMap<QString, QString> pairs = PairMap(profile.GetCommandStrings());
    QCOMPARE(pairs.value(QStringLiteral("layerThickness")), layerThickness);
    QCOMPARE(pairs.value(QStringLiteral("printSpeed")), printSpeed);
}

void TestKzSliceProfile::presetValuesAreTexts()
{
    WritePresetFile(PresetFile(QStringLiteral("Custom"),
                               {{QStringLiteral("fill_density"), QStringLiteral("35")},
                                {QStringLiteral("my_note"), QStringLiteral("kept")}}));
    KzSliceProfile profile(SliceMode_Custom);
    const QMap<QString, QVariant> map = profile.GetProfileMap();
    QCOMPARE(map.value(QStringLiteral("fill_density")).userType(), int(QMetaType::QString));
    QCOMPARE(map.value(QStringLiteral("fill_density")).toString(), QStringLiteral("35"));
    // A key the defaults do not have is added.
    QCOMPARE(map.value(QStringLiteral("my_note")), QVariant(QStringLiteral("kept")));
    QCOMPARE(map.size(), 57 + 1);
}

void TestKzSliceProfile::presetFileQuirks()
{
    // A value before any SliceParam goes to the key "error"; a reader error stops
    // reading but keeps what came before it.
    WritePresetFile(QStringLiteral("<SliceProfile><Custom>stray</Custom>"
                                   "<SliceParam Name=\"print_speed\"><Custom>44</Custom></SliceParam>"
                                   "<SliceParam Name=\"travel_speed\"><Custom>120</Custom></Oops>"
                                   "<SliceParam Name=\"fill_density\"><Custom>90</Custom></SliceParam>"
                                   "</SliceProfile>"));
    KzSliceProfile profile(SliceMode_Custom);
    const QMap<QString, QVariant> map = profile.GetProfileMap();
    QCOMPARE(map.value(QStringLiteral("error")), QVariant(QStringLiteral("stray")));
    QCOMPARE(map.value(QStringLiteral("print_speed")), QVariant(QStringLiteral("44")));
    QCOMPARE(map.value(QStringLiteral("travel_speed")), QVariant(QStringLiteral("120")));
    QCOMPARE(map.value(QStringLiteral("fill_density")), QVariant(20));
}

void TestKzSliceProfile::profilesDoNotShareValues()
{
    WritePresetFile(QStringLiteral(
        "<SliceProfile><SliceParam Name=\"layer_height\"><Fast>0.3</Fast></SliceParam>"
        "<SliceParam Name=\"fill_density\"><Optimal>40</Optimal></SliceParam></SliceProfile>"));
    {
        KzSliceProfile fast(SliceMode_Fast);
        fast.SetInfillRate(55);
        const QMap<QString, QString> pairs = PairMap(fast.GetCommandStrings());
        QCOMPARE(pairs.value(QStringLiteral("layerThickness")), QStringLiteral("300"));
        QCOMPARE(pairs.value(QStringLiteral("sparseInfillLineDistance")), QStringLiteral("727"));
    }
    KzSliceProfile optimal(SliceMode_Optimal);
    const QMap<QString, QString> pairs = PairMap(optimal.GetCommandStrings());
    QCOMPARE(pairs.value(QStringLiteral("layerThickness")), QStringLiteral("100"));
    QCOMPARE(pairs.value(QStringLiteral("sparseInfillLineDistance")), QStringLiteral("1000"));
}

void TestKzSliceProfile::settersOverridePresets()
{
    WritePresetFile(PresetFile(QStringLiteral("Custom"),
                               {{QStringLiteral("travel_speed"), QStringLiteral("120")},
                                {QStringLiteral("support"), QStringLiteral("None")},
                                {QStringLiteral("retraction_speed"), QStringLiteral("40.0")}}));
    KzSliceProfile profile(SliceMode_Custom);
    // Preset texts first: "40.0" does not read as an integer.
    QMap<QString, QString> pairs = PairMap(profile.GetCommandStrings());
    QCOMPARE(pairs.value(QStringLiteral("moveSpeed")), QStringLiteral("120"));
    QCOMPARE(pairs.value(QStringLiteral("retractionSpeed")), QStringLiteral("0"));
    QCOMPARE(pairs.value(QStringLiteral("supportAngle")), QStringLiteral("-1"));

    profile.SetTravelSpeed(90);
    profile.SetRetractionSpeed(35);
    profile.SetSupportArea(QStringLiteral("Everywhere"));
    profile.SetSupportAngle(50);
    profile.SetWallThickness(1.6);
    profile.SetLayerThickness(0.15);
    profile.SetInitialLayerThickness(0);
    profile.SetAdhersionType(QStringLiteral("Brim"));
    profile.SetBrimEdgeCount(7);
    pairs = PairMap(profile.GetCommandStrings());
    QCOMPARE(pairs.value(QStringLiteral("moveSpeed")), QStringLiteral("90"));
    QCOMPARE(pairs.value(QStringLiteral("retractionSpeed")), QStringLiteral("35"));
    QCOMPARE(pairs.value(QStringLiteral("supportAngle")), QStringLiteral("50"));
    QCOMPARE(pairs.value(QStringLiteral("supportEverywhere")), QStringLiteral("1"));
    QCOMPARE(pairs.value(QStringLiteral("insetCount")), QStringLiteral("4"));
    QCOMPARE(pairs.value(QStringLiteral("layerThickness")), QStringLiteral("150"));
    QCOMPARE(pairs.value(QStringLiteral("initialLayerThickness")), QStringLiteral("150"));
    QCOMPARE(pairs.value(QStringLiteral("skirtLineCount")), QStringLiteral("7"));

    const QMap<QString, QVariant> map = profile.GetProfileMap();
    QCOMPARE(map.value(QStringLiteral("retraction_speed")).userType(), int(QMetaType::Int));
    QCOMPARE(map.value(QStringLiteral("layer_height")).userType(), int(QMetaType::Double));
}

void TestKzSliceProfile::raftAirGapSetters()
{
    KzSliceProfile profile(SliceMode_Custom);
    profile.SetRaftAirgap(0.1);
    profile.SetRaftAirgap0(0.3);
    profile.SetRaftInterfaceLinewidth(0.5);
    profile.SetSurfaceLayerLinewidth(0.45);
    profile.SetBottomSpeed(17);
    const QMap<QString, QString> pairs = PairMap(profile.GetCommandStrings());
    QCOMPARE(pairs.value(QStringLiteral("raftAirGap")), QStringLiteral("100"));
    QCOMPARE(pairs.value(QStringLiteral("raftAirGapLayer0")), QStringLiteral("400"));
    QCOMPARE(pairs.value(QStringLiteral("raftInterfaceLineSpacing")), QStringLiteral("1000"));
    QCOMPARE(pairs.value(QStringLiteral("raftSurfaceLineSpacing")), QStringLiteral("450"));
    QCOMPARE(pairs.value(QStringLiteral("raftBaseSpeed")), QStringLiteral("17"));
    QCOMPARE(pairs.value(QStringLiteral("raftSurfaceSpeed")), QStringLiteral("17"));
    QCOMPARE(pairs.value(QStringLiteral("initialLayerSpeed")), QStringLiteral("17"));
}

void TestKzSliceProfile::engineValues_data()
{
    QTest::addColumn<Settings>("settings");  // preset texts in the Custom column
    QTest::addColumn<EngineValues>("expected");
    QTest::addColumn<QStringList>("absent");

    auto row = [](const char *name, const Settings &settings, const EngineValues &expected,
                  const QStringList &absent = QStringList()) {
        QTest::newRow(name) << settings << expected << absent;
    };
    const QStringList raftKeys = {QStringLiteral("raftMargin"), QStringLiteral("raftAirGap"),
                                  QStringLiteral("raftSurfaceLayers")};

    row("full infill", {{"fill_density", "100"}},
        {{"sparseInfillLineDistance", 400}, {"downSkinCount", 10000}, {"upSkinCount", 10000}});
    row("no infill", {{"fill_density", "0"}}, {{"sparseInfillLineDistance", -1}, {"upSkinCount", 6}});
    row("30% infill", {{"fill_density", "30"}}, {{"sparseInfillLineDistance", 1333}});
    row("decimal infill reads as 0", {{"fill_density", "20.5"}}, {{"sparseInfillLineDistance", -1}});

    row("no support", {{"support", "None"}}, {{"supportAngle", -1}, {"supportEverywhere", 0}});
    row("support touching plate", {{"support", "Touching buildplate"}, {"support_angle", "45"}},
        {{"supportAngle", 45}, {"supportEverywhere", 0}});
    row("support rate 0", {{"support_fill_rate", "0"}}, {{"supportLineDistance", -1}});
    row("support rate 20", {{"support_fill_rate", "20"}}, {{"supportLineDistance", 2000}});
    row("support grid", {{"support_type", "Grid"}}, {}, {QStringLiteral("supportType")});

    row("brim", {{"platform_adhesion", "Brim"}, {"brim_line_count", "20"}},
        {{"skirtDistance", 0}, {"skirtLineCount", 20}}, raftKeys + QStringList{QStringLiteral("skirtMinLength")});
    row("skirt", {{"platform_adhesion", "Skirt"}},
        {{"skirtDistance", 3000}, {"skirtLineCount", 1}, {"skirtMinLength", 150000}}, raftKeys);
    row("unknown adhesion is a skirt", {{"platform_adhesion", "brim"}, {"skirt_gap", "2.5"}},
        {{"skirtDistance", 2500}, {"skirtLineCount", 1}}, raftKeys);

    row("wall 0.005", {{"wall_thickness", "0.005"}}, {{"insetCount", 0}});
    row("wall 0.3", {{"wall_thickness", "0.3"}}, {{"insetCount", 1}});
    row("wall 0.4", {{"wall_thickness", "0.4"}}, {{"insetCount", 1}});
    row("wall 1.2", {{"wall_thickness", "1.2"}}, {{"insetCount", 2}});
    row("wall 1.25", {{"wall_thickness", "1.25"}}, {{"insetCount", 3}});
    row("wall 1.6", {{"wall_thickness", "1.6"}}, {{"insetCount", 4}});

    row("speeds below 1 follow print speed",
        {{"print_speed", "60"}, {"infill_speed", "0"}, {"inset0_speed", "0.9"}, {"insetx_speed", "1"},
         {"solidarea_speed", "35"}},
        {{"printSpeed", 60}, {"infillSpeed", 60}, {"inset0Speed", 60}, {"insetXSpeed", 1}, {"skinSpeed", 35}});
    row("travel speed 150.5 reads as 0", {{"travel_speed", "150.5"}}, {{"moveSpeed", 0}});

    row("retraction off", {{"retraction_enable", "False"}}, {{"retractionAmount", -1}});
    row("retraction 0", {{"retraction_enable", "0"}}, {{"retractionAmount", -1}});
    row("retraction empty", {{"retraction_enable", ""}}, {{"retractionAmount", -1}});
    row("retraction any other word is on", {{"retraction_enable", "no"}, {"retraction_amount", "2.5"}},
        {{"retractionAmount", 2500}});
    row("retraction details",
        {{"retraction_min_travel", "0.8"}, {"retraction_hop", "0.2"}, {"retraction_dual_amount", "12"}},
        {{"retractionMinimalDistance", 800}, {"retractionZHop", 200}, {"retractionAmountExtruderSwitch", 12000}});

    row("fan off", {{"fan_enabled", "FALSE"}}, {{"fanSpeedMin", 0}, {"fanSpeedMax", 0}});
    row("fan range", {{"fan_speed", "40"}, {"fan_speed_max", "80"}}, {{"fanSpeedMin", 40}, {"fanSpeedMax", 80}});
    row("combing no skin", {{"retraction_combing", "No Skin"}}, {{"enableCombing", 2}});
    row("combing off", {{"retraction_combing", "Off"}}, {{"enableCombing", 0}});
    row("flags on",
        {{"perimeter_before_infill", "True"}, {"cool_head_lift", "True"}},
        {{"perimeterBeforeInfill", 1}, {"coolHeadLift", 1}});

    row("first layer from layer height", {{"bottom_thickness", "0"}, {"layer_height", "0.2"}},
        {{"initialLayerThickness", 200}, {"layerThickness", 200}, {"fanFullOnLayerNr", 2}});
    row("first layer width", {{"layer0_width_factor", "150"}}, {{"layer0extrusionWidth", 600}});
    row("fan full at 0.5 with 0.2 layers", {{"layer_height", "0.2"}}, {{"fanFullOnLayerNr", 1}});
    row("fan full at 2 mm", {{"fan_full_height", "2"}}, {{"fanFullOnLayerNr", 17}});
    row("fan full at the plate", {{"fan_full_height", "0"}}, {{"fanFullOnLayerNr", 0}});
    // A zero layer height is sent as 1000 µm and the fan layer counts with it
    // instead of dividing by zero.
    row("zero layer height", {{"layer_height", "0"}},
        {{"layerThickness", 1000}, {"initialLayerThickness", 300}, {"fanFullOnLayerNr", 1}});
    row("layer height below a micrometre", {{"layer_height", "0.0004"}, {"bottom_thickness", "0"}},
        {{"layerThickness", 1000}, {"initialLayerThickness", 0}, {"fanFullOnLayerNr", 1}});
    row("negative layer height", {{"layer_height", "-0.2"}, {"fan_full_height", "3"}},
        {{"layerThickness", 1000}, {"fanFullOnLayerNr", 3}});
    row("absurd values saturate", {{"raft_margin", "1e12"}, {"platform_adhesion", "Raft"}},
        {{"raftMargin", 2147483647}});
}

void TestKzSliceProfile::engineValues()
{
    QFETCH(Settings, settings);
    QFETCH(EngineValues, expected);
    QFETCH(QStringList, absent);
    WritePresetFile(PresetFile(QStringLiteral("Custom"), settings));
    KzSliceProfile profile(SliceMode_Custom);
    const QString text = profile.GetCommandStrings();
    const QMap<QString, QString> pairs = PairMap(text);
    QVERIFY2(!pairs.isEmpty(), qPrintable(text));
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QVERIFY2(pairs.contains(it.key()), qPrintable(it.key()));
        QCOMPARE(pairs.value(it.key()), QString::number(it.value()));
    }
    for (const QString &key : absent)
        QVERIFY2(!pairs.contains(key), qPrintable(key));
}

void TestKzSliceProfile::shippedPresetFileIsComplete()
{
    // Every setting carries all four columns, and only keys the profile knows.
    const QMap<QString, QVariant> defaults = KzSliceProfile(SliceMode_Custom).GetProfileMap();
    QFile file(QStringLiteral(KZ_OUTPUT_DIR "/Configure/slice.xml"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader reader(&file);
    QSet<QString> names;
    QString name;
    QStringList columns;
    auto finishParam = [&]() {
        if (!name.isEmpty())
            QCOMPARE(columns, (QStringList{QStringLiteral("Custom"), QStringLiteral("Fast"),
                                           QStringLiteral("Standard"), QStringLiteral("Optimal")}));
    };
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("SliceParam")) {
            finishParam();
            name = reader.attributes().value(QLatin1String("Name")).toString();
            QVERIFY2(defaults.contains(name), qPrintable(name));
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.insert(name);
            columns.clear();
        } else if (!name.isEmpty()) {
            columns.append(reader.name().toString());
        }
    }
    finishParam();
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));

    // The custom page starts from these: every field it shows is in the file.
    const QStringList customPage = {
        "layer_height", "wall_thickness", "bottom_thickness", "print_speed", "travel_speed",
        "bottom_layer_speed", "infill_speed", "solidarea_speed", "inset0_speed", "insetx_speed",
        "upSkin_Count", "downSkin_Count", "fill_density", "support", "platform_adhesion", "support_angle",
        "support_fill_rate", "support_xy_distance", "support_z_distance", "print_temperature",
        "print_bed_temperature", "brim_line_count", "retraction_speed", "retraction_amount",
        "retraction_min_travel", "retraction_minimal_extrusion", "retraction_hop", "raft_margin",
        "raft_line_spacing", "raft_base_thickness", "raft_base_linewidth", "raft_interface_thickness",
        "raft_interface_linewidth", "raft_airgap_all", "raft_airgap", "raft_surface_layers",
        "raft_surface_thickness", "raft_surface_linewidth"};
    for (const QString &key : customPage)
        QVERIFY2(names.contains(key), qPrintable(key));
}

void TestKzSliceProfile::shippedPresetsSliceSensibly_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("layerThickness");
    QTest::newRow("custom") << int(SliceMode_Custom) << 200;
    QTest::newRow("fast") << int(SliceMode_Fast) << 300;
    QTest::newRow("standard") << int(SliceMode_Standard) << 200;
    QTest::newRow("optimal") << int(SliceMode_Optimal) << 100;
}

void TestKzSliceProfile::shippedPresetsSliceSensibly()
{
    QFETCH(int, mode);
    QFETCH(int, layerThickness);
    QVERIFY(QDir().mkpath(QStringLiteral("Configure")));
    QVERIFY(QFile::copy(QStringLiteral(KZ_OUTPUT_DIR "/Configure/slice.xml"),
                        QStringLiteral("Configure/slice.xml")));
    KzSliceProfile profile(static_cast<emSliceMode>(mode));

    // Settings read as integers must be written as whole numbers, or they read as 0.
    const QMap<QString, QVariant> map = profile.GetProfileMap();
    const QStringList integers = {
        "fill_density", "print_speed", "travel_speed", "bottom_layer_speed", "infill_speed",
        "solidarea_speed", "inset0_speed", "insetx_speed", "upSkin_Count", "downSkin_Count",
        "support_angle", "support_fill_rate", "brim_line_count", "retraction_speed", "raft_surface_layers",
        "print_temperature", "print_bed_temperature", "filament_flow", "fan_speed", "fan_speed_max",
        "cool_min_layer_time", "cool_min_feedrate", "fill_overlap", "skirt_line_count"};
    for (const QString &key : integers) {
        bool ok = false;
        map.value(key).toString().toInt(&ok);
        QVERIFY2(ok, qPrintable(key + QStringLiteral(" = ") + map.value(key).toString()));
    }
    QVERIFY(QStringList({"None", "Touching buildplate", "Everywhere"}).contains(map.value("support").toString()));
    QVERIFY(QStringList({"Brim", "Raft", "Skirt"}).contains(map.value("platform_adhesion").toString()));

    const QMap<QString, QString> pairs = PairMap(profile.GetCommandStrings());
    auto value = [&pairs](const char *key) { return pairs.value(QLatin1String(key)).toInt(); };
    QCOMPARE(value("layerThickness"), layerThickness);
    QCOMPARE(value("filamentDiameter"), 1750);
    QVERIFY(value("initialLayerThickness") >= 200 && value("initialLayerThickness") <= 320);
    QVERIFY(value("insetCount") >= 2);
    QVERIFY(value("sparseInfillLineDistance") >= 1000);
    QVERIFY(value("upSkinCount") * layerThickness >= 600);
    QVERIFY(value("downSkinCount") * layerThickness >= 600);
    QVERIFY(value("retractionAmount") > 0);
    // Speeds the custom page can show (1 to 200 mm/s) and a hot end can melt for.
    for (const char *key : {"printSpeed", "infillSpeed", "inset0Speed", "insetXSpeed", "skinSpeed",
                            "initialLayerSpeed", "moveSpeed"})
        QVERIFY2(value(key) >= 10 && value(key) <= 200, key);
    QVERIFY(value("inset0Speed") <= value("printSpeed"));
    QVERIFY(value("initialLayerSpeed") <= value("printSpeed"));
    // Volumetric flow within what a common 0.4 mm hot end melts (about 10 mm³/s).
    QVERIFY(value("infillSpeed") * layerThickness * 400 / 1e9 <= 10.0);
}

QTEST_GUILESS_MAIN(TestKzSliceProfile)
#include "tst_KzSliceProfile.moc"
