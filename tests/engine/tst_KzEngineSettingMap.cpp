#include "KzEngineBase.h"
#include "KzEngineSettingMap.h"

#include <QtTest>

namespace {

// "a=1|b=2" as legacy settings.
QVector<KzLegacySetting> Settings(const QByteArray &pairs)
{
    QVector<KzLegacySetting> settings;
    for (const QByteArray &pair : pairs.split('|')) {
        if (pair.isEmpty())
            continue;
        const int eq = pair.indexOf('=');
        settings.append({pair.left(eq), pair.mid(eq + 1)});
    }
    return settings;
}

QMap<QString, QByteArray> ShippedBase()
{
    KzEngineBase base;
    if (!base.Load(QStringLiteral(KZ_SOURCE_DIR "/Engine/engine-base.json")))
        qFatal("%s", qPrintable(base.GetError()));
    return base.GetValues();
}

} // namespace

class tst_KzEngineSettingMap : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void translates_data();
    void translates();
    void everyLegacyKeyIsUnderstood();
    void rejectsUnusableValues_data();
    void rejectsUnusableValues();
    void warnsAndIgnores();
    void codesAndFigures();
    void millimetres_data();
    void millimetres();
    void shippedBase();
    void baseFileErrors();

private:
    QMap<QString, QByteArray> m_mapBase;
};

void tst_KzEngineSettingMap::initTestCase()
{
    m_mapBase = ShippedBase();
    // The expected values below assume these base values.
    QCOMPARE(m_mapBase.value("infill_line_width"), QByteArray("0.4"));
    QCOMPARE(m_mapBase.value("support_enable"), QByteArray("false"));
    QCOMPARE(m_mapBase.value("skirt_gap"), QByteArray("3"));
}

void tst_KzEngineSettingMap::translates_data()
{
    QTest::addColumn<QByteArray>("legacy");   // legacy pairs
    QTest::addColumn<QByteArray>("expected"); // engine pairs that must be set so
    QTest::addColumn<QByteArray>("absent");   // engine keys that must not be set

    auto row = [](const char *name, const char *legacy, const char *expected, const char *absent = "") {
        QTest::newRow(name) << QByteArray(legacy) << QByteArray(expected) << QByteArray(absent);
    };
    row("layerThickness", "layerThickness=150",
        "layer_height=0.15|infill_sparse_thickness=0.15|support_infill_sparse_thickness=0.15", "layer_height_0");
    row("initialLayerThickness", "initialLayerThickness=250", "layer_height_0=0.25", "layer_height");
    row("initialLayerThickness 0 is the layer height", "initialLayerThickness=0|layerThickness=120",
        "layer_height_0=0.12|layer_height=0.12");
    row("filamentDiameter", "filamentDiameter=2850", "material_diameter=2.85");
    row("filamentFlow", "filamentFlow=95",
        "wall_0_material_flow=95|wall_x_material_flow=95|skin_material_flow=95|infill_material_flow=95|"
        "skirt_brim_material_flow=95|support_material_flow=95|material_flow_layer_0=95");
    row("extrusionWidth", "extrusionWidth=500",
        "wall_line_width_0=0.5|wall_line_width_x=0.5|skin_line_width=0.5|infill_line_width=0.5|"
        "skirt_brim_line_width=0.5|support_line_width=0.5|roofing_line_width=0.5");
    row("layer0extrusionWidth as a share of the width", "layer0extrusionWidth=600|extrusionWidth=400",
        "initial_layer_line_width_factor=150");
    row("layer0extrusionWidth over the base width", "layer0extrusionWidth=500", "initial_layer_line_width_factor=125");
    row("layer0extrusionWidth 0 is the width", "layer0extrusionWidth=0|extrusionWidth=450",
        "initial_layer_line_width_factor=100");
    row("insetCount", "insetCount=3", "wall_line_count=3");
    row("insetCount 0", "insetCount=0", "wall_line_count=0");
    row("downSkinCount", "downSkinCount=5", "bottom_layers=5|initial_bottom_layers=5", "top_layers");
    row("upSkinCount", "upSkinCount=7", "top_layers=7", "bottom_layers");
    row("upSkinCount of solid infill", "upSkinCount=10000", "top_layers=10000");
    row("infillOverlap of the base width", "infillOverlap=15", "infill_overlap_mm=0.06");
    row("infillOverlap of the given width", "infillOverlap=15|extrusionWidth=500", "infill_overlap_mm=0.075");
    row("perimeterBeforeInfill 1", "perimeterBeforeInfill=1", "infill_before_walls=false");
    row("perimeterBeforeInfill 0", "perimeterBeforeInfill=0", "infill_before_walls=true");
    row("initialSpeedupLayers", "initialSpeedupLayers=4", "speed_slowdown_layers=4");
    row("initialLayerSpeed", "initialLayerSpeed=20", "speed_print_layer_0=20|skirt_brim_speed=20");
    row("printSpeed stands in for the feature speeds", "printSpeed=60",
        "speed_support_infill=60|speed_support_roof=60|speed_prime_tower=60|speed_infill=60|speed_wall_0=60|"
        "speed_wall_x=60|speed_topbottom=60|speed_roofing=60");
    row("infillSpeed", "infillSpeed=70|printSpeed=60", "speed_infill=70|speed_wall_0=60");
    row("infillSpeed 0 is the print speed", "infillSpeed=0|printSpeed=55", "speed_infill=55");
    row("infillSpeed without printSpeed", "infillSpeed=70", "speed_infill=70", "speed_wall_0|speed_support_infill");
    row("inset0Speed", "inset0Speed=30", "speed_wall_0=30", "speed_wall_x");
    row("insetXSpeed", "insetXSpeed=45", "speed_wall_x=45", "speed_wall_0");
    row("skinSpeed", "skinSpeed=35", "speed_topbottom=35|speed_roofing=35");
    row("moveSpeed", "moveSpeed=150", "speed_travel=150|speed_travel_layer_0=150");
    row("fanSpeedMin", "fanSpeedMin=50", "cool_fan_speed_min=50|cool_fan_enabled=true");
    row("fanSpeedMax", "fanSpeedMax=80", "cool_fan_speed_max=80|cool_fan_enabled=true");
    row("fan speeds 0 turn the fan off", "fanSpeedMin=0|fanSpeedMax=0", "cool_fan_enabled=false");
    row("supportAngle", "supportAngle=60", "support_enable=true|support_angle=60");
    row("supportAngle -1 is no support", "supportAngle=-1", "support_enable=false", "support_angle");
    row("supportAngle 0 supports every overhang", "supportAngle=0", "support_enable=true|support_angle=0");
    row("supportEverywhere 1", "supportEverywhere=1", "support_type=everywhere");
    row("supportEverywhere 0", "supportEverywhere=0", "support_type=buildplate");
    row("supportLineDistance", "supportLineDistance=2666|supportAngle=60",
        "support_line_distance=2.666|support_initial_layer_line_distance=2.666|support_enable=true");
    row("supportLineDistance -1 is no support", "supportLineDistance=-1|supportAngle=60", "support_enable=false",
        "support_line_distance");
    row("supportLineDistance without an angle keeps support off", "supportLineDistance=2000",
        "support_enable=false|support_line_distance=2");
    row("supportXYDistance", "supportXYDistance=700", "support_xy_distance=0.7");
    row("supportZDistance", "supportZDistance=150", "support_top_distance=0.15|support_bottom_distance=0.15");
    row("retractionAmount", "retractionAmount=4500", "retraction_enable=true|retraction_amount=4.5");
    row("retractionAmount -1 is no retraction", "retractionAmount=-1", "retraction_enable=false", "retraction_amount");
    row("retractionAmount 0", "retractionAmount=0", "retraction_enable=true|retraction_amount=0");
    row("retractionSpeed", "retractionSpeed=40", "retraction_retract_speed=40|retraction_prime_speed=40");
    row("retractionMinimalDistance", "retractionMinimalDistance=1500", "retraction_min_travel=1.5");
    row("retractionAmountExtruderSwitch", "retractionAmountExtruderSwitch=16500",
        "switch_extruder_retraction_amount=16.5");
    row("retractionZHop", "retractionZHop=200", "retraction_hop_enabled=true|retraction_hop=0.2");
    row("retractionZHop 0", "retractionZHop=0", "retraction_hop_enabled=false", "retraction_hop");
    row("minimalExtrusionBeforeRetraction", "minimalExtrusionBeforeRetraction=20",
        "retraction_extrusion_window=0.02|retraction_count_max=1");
    row("minimalLayerTime", "minimalLayerTime=7", "cool_min_layer_time=7|cool_min_layer_time_fan_speed_max=7");
    row("minimalFeedrate", "minimalFeedrate=10", "cool_min_speed=10");
    row("coolHeadLift 1", "coolHeadLift=1", "cool_lift_head=true");
    row("coolHeadLift 0", "coolHeadLift=0", "cool_lift_head=false");
    row("fanFullOnLayerNr counts from 0, the engine from 1", "fanFullOnLayerNr=2",
        "cool_fan_full_layer=3|cool_fan_speed_0=0");
    row("fanFullOnLayerNr 0", "fanFullOnLayerNr=0", "cool_fan_full_layer=1");
    row("enableCombing 0", "enableCombing=0", "retraction_combing=off");
    row("enableCombing 1", "enableCombing=1", "retraction_combing=all");
    row("enableCombing 2", "enableCombing=2", "retraction_combing=noskin");
    row("supportType 1", "supportType=1", "support_pattern=lines");
    row("supportType 0", "supportType=0", "support_pattern=grid");
    row("sparseInfillLineDistance", "sparseInfillLineDistance=2000", "infill_line_distance=2");
    row("sparseInfillLineDistance of solid infill", "sparseInfillLineDistance=400", "infill_line_distance=0.4");
    row("sparseInfillLineDistance -1 is no infill", "sparseInfillLineDistance=-1", "infill_line_distance=0");
    row("skirt", "skirtDistance=3000|skirtLineCount=1|skirtMinLength=150000",
        "adhesion_type=skirt|skirt_gap=3|skirt_line_count=1|skirt_brim_minimal_length=150", "brim_line_count");
    row("skirtLineCount alone keeps the base distance", "skirtLineCount=2",
        "adhesion_type=skirt|skirt_line_count=2|skirt_gap=3");
    row("skirtDistance 0 is a brim", "skirtDistance=0|skirtLineCount=20",
        "adhesion_type=brim|brim_line_count=20", "skirt_line_count|skirt_gap");
    row("skirtLineCount 0 is no adhesion", "skirtDistance=3000|skirtLineCount=0", "adhesion_type=none");
    row("skirtMinLength", "skirtMinLength=250000", "skirt_brim_minimal_length=250|adhesion_type=skirt");
    row("raft keys", "skirtDistance=0|skirtLineCount=0|raftMargin=5000|raftLineSpacing=3000|raftBaseThickness=300|"
                     "raftBaseLinewidth=1000|raftInterfaceThickness=270|raftInterfaceLinewidth=400|"
                     "raftInterfaceLineSpacing=800|raftAirGapLayer0=220|raftAirGap=0|raftBaseSpeed=20|raftFanSpeed=0|"
                     "raftSurfaceThickness=270|raftSurfaceLinewidth=400|raftSurfaceLineSpacing=400|"
                     "raftSurfaceLayers=2|raftSurfaceSpeed=25",
        "adhesion_type=raft|raft_margin=5|raft_base_line_spacing=3|raft_base_thickness=0.3|raft_base_line_width=1|"
        "raft_interface_thickness=0.27|raft_interface_line_width=0.4|raft_interface_line_spacing=0.8|"
        "raft_airgap=0.22|layer_0_z_overlap=0.22|raft_base_speed=20|raft_interface_speed=20|raft_base_fan_speed=0|"
        "raft_interface_fan_speed=0|raft_surface_fan_speed=0|raft_surface_thickness=0.27|"
        "raft_surface_line_width=0.4|raft_surface_line_spacing=0.4|raft_surface_layers=2|raft_surface_speed=25",
        "brim_line_count|skirt_line_count");
    row("raft air gap for all layers", "raftAirGapLayer0=320|raftAirGap=100", "raft_airgap=0.32|layer_0_z_overlap=0.22");
    row("raftAirGap alone", "raftAirGap=150", "raft_airgap=0.15|layer_0_z_overlap=0");
    row("raftFanSpeed", "raftFanSpeed=50", "raft_base_fan_speed=50|raft_interface_fan_speed=50|raft_surface_fan_speed=50");
    row("posx and posy", "posx=100000|posy=75000", "mesh_position_x=100|mesh_position_y=75");
    row("posx off the bed corner", "posx=-1500", "mesh_position_x=-1.5", "mesh_position_y");
    row("a later value wins", "insetCount=2|insetCount=4", "wall_line_count=4");
    row("values may carry blanks", "insetCount= 3 ", "wall_line_count=3");
}

void tst_KzEngineSettingMap::translates()
{
    QFETCH(QByteArray, legacy);
    QFETCH(QByteArray, expected);
    QFETCH(QByteArray, absent);
    KzEngineSettingMap map(m_mapBase);
    QVERIFY2(map.Apply(Settings(legacy)), qPrintable(map.GetError()));
    QVERIFY2(map.GetWarnings().isEmpty(), qPrintable(map.GetWarnings().join('\n')));
    const QMap<QString, QByteArray> engine = map.GetEngineSettings();
    for (const auto &setting : Settings(expected)) {
        const QString key = QString::fromLatin1(setting.key);
        QVERIFY2(engine.contains(key), qPrintable(key + " is not set"));
        QCOMPARE(engine.value(key), setting.value);
    }
    for (const QByteArray &key : absent.split('|')) {
        if (!key.isEmpty())
            QVERIFY2(!engine.contains(QString::fromLatin1(key)), key.constData());
    }
    // Every engine key the bridge sets exists in the base, so the base alone
    // describes what the engine will read.
    for (const QString &key : engine.keys())
        QVERIFY2(m_mapBase.contains(key), qPrintable(key + " is not in the settings base"));
}

void tst_KzEngineSettingMap::everyLegacyKeyIsUnderstood()
{
    // The whole engine map of the slice profile, with the values of its defaults.
    const QByteArray profile =
        "layerThickness=100|initialLayerThickness=300|filamentDiameter=1750|filamentFlow=100|extrusionWidth=400|"
        "layer0extrusionWidth=400|insetCount=2|downSkinCount=6|upSkinCount=6|infillOverlap=15|"
        "perimeterBeforeInfill=0|initialSpeedupLayers=4|initialLayerSpeed=20|printSpeed=50|infillSpeed=50|"
        "inset0Speed=50|insetXSpeed=50|skinSpeed=50|moveSpeed=150|fanSpeedMin=100|fanSpeedMax=100|supportAngle=60|"
        "supportEverywhere=1|supportLineDistance=2666|supportXYDistance=700|supportZDistance=150|supportExtruder=-1|"
        "retractionAmount=4500|retractionSpeed=40|retractionMinimalDistance=1500|"
        "retractionAmountExtruderSwitch=16500|retractionZHop=0|minimalExtrusionBeforeRetraction=20|"
        "minimalLayerTime=5|minimalFeedrate=10|coolHeadLift=0|fanFullOnLayerNr=2|enableCombing=1|supportType=1|"
        "sparseInfillLineDistance=2000|skirtDistance=3000|skirtLineCount=1|skirtMinLength=150000|raftMargin=5000|"
        "raftLineSpacing=3000|raftBaseThickness=300|raftBaseLinewidth=1000|raftInterfaceThickness=270|"
        "raftInterfaceLinewidth=400|raftInterfaceLineSpacing=800|raftAirGapLayer0=220|raftAirGap=0|"
        "raftBaseSpeed=20|raftFanSpeed=0|raftSurfaceThickness=270|raftSurfaceLinewidth=400|"
        "raftSurfaceLineSpacing=400|raftSurfaceLayers=2|raftSurfaceSpeed=20|posx=50000|posy=50000|"
        "startCode=G28|endCode=M84";
    const QVector<KzLegacySetting> settings = Settings(profile);
    QStringList known = KzEngineSettingMap::GetKnownKeys();
    for (const KzLegacySetting &setting : settings) {
        const QString key = QString::fromLatin1(setting.key);
        QVERIFY2(known.removeAll(key) == 1, qPrintable(key + " is not a known key"));
        KzEngineSettingMap alone(m_mapBase);
        QVERIFY2(alone.Apply({setting}), qPrintable(alone.GetError()));
        QVERIFY2(alone.GetWarnings().isEmpty(), qPrintable(key));
        // Each key changes something, except the support extruder of a one-extruder printer.
        const bool code = key == "startCode" || key == "endCode";
        if (!code && key != "supportExtruder")
            QVERIFY2(!alone.GetEngineSettings().isEmpty(), qPrintable(key + " has no effect"));
    }
    QVERIFY2(known.isEmpty(), qPrintable("keys understood but not in the profile: " + known.join(' ')));
    KzEngineSettingMap all(m_mapBase);
    QVERIFY(all.Apply(settings));
    QVERIFY(all.GetWarnings().isEmpty());
    QCOMPARE(all.GetEngineSettings().value("adhesion_type"), QByteArray("raft"));
    QCOMPARE(all.GetStartCode(), QByteArray("G28"));
    QCOMPARE(all.GetEndCode(), QByteArray("M84"));
}

void tst_KzEngineSettingMap::rejectsUnusableValues_data()
{
    QTest::addColumn<QByteArray>("legacy");
    QTest::addColumn<QString>("error");
    QTest::newRow("layer height 0") << QByteArray("layerThickness=0") << "layerThickness=0 is out of range";
    QTest::newRow("negative layer height") << QByteArray("layerThickness=-100") << "out of range";
    QTest::newRow("filament diameter 0") << QByteArray("filamentDiameter=0") << "filamentDiameter=0";
    QTest::newRow("line width 0") << QByteArray("extrusionWidth=0") << "extrusionWidth=0";
    QTest::newRow("support angle above 90") << QByteArray("supportAngle=91") << "supportAngle=91";
    QTest::newRow("support angle below -1") << QByteArray("supportAngle=-2") << "supportAngle=-2";
    QTest::newRow("combing 3") << QByteArray("enableCombing=3") << "enableCombing=3";
    QTest::newRow("support type 2") << QByteArray("supportType=2") << "supportType=2";
    QTest::newRow("fan above 100 %") << QByteArray("fanSpeedMax=101") << "fanSpeedMax=101";
    QTest::newRow("travel speed 0") << QByteArray("moveSpeed=0") << "moveSpeed=0";
    QTest::newRow("a word") << QByteArray("printSpeed=fast") << "needs a whole number";
    QTest::newRow("a decimal") << QByteArray("layerThickness=0.1") << "needs a whole number";
    QTest::newRow("empty") << QByteArray("posx=") << "needs a whole number";
    QTest::newRow("beyond int") << QByteArray("posx=99999999999") << "out of range";
    QTest::newRow("bad value after good ones") << QByteArray("insetCount=2|infillOverlap=101") << "infillOverlap=101";
}

void tst_KzEngineSettingMap::rejectsUnusableValues()
{
    QFETCH(QByteArray, legacy);
    QFETCH(QString, error);
    KzEngineSettingMap map(m_mapBase);
    QVERIFY(!map.Apply(Settings(legacy)));
    QVERIFY2(map.GetError().contains(error), qPrintable(map.GetError()));
}

void tst_KzEngineSettingMap::warnsAndIgnores()
{
    KzEngineSettingMap map(m_mapBase);
    QVERIFY(map.Apply(Settings("layerThickness=200|fooBar=3|LayerThickness=100|supportExtruder=1")));
    QCOMPARE(map.GetWarnings().size(), 3);
    QVERIFY(map.GetWarnings().at(0).contains("\"fooBar\""));
    QVERIFY(map.GetWarnings().at(1).contains("\"LayerThickness\"")); // keys are case-sensitive
    QVERIFY(map.GetWarnings().at(2).contains("one extruder"));
    QCOMPARE(map.GetEngineSettings().value("layer_height"), QByteArray("0.2"));
}

void tst_KzEngineSettingMap::codesAndFigures()
{
    KzEngineSettingMap none(m_mapBase);
    QVERIFY(none.Apply({}));
    QVERIFY(none.GetEngineSettings().isEmpty());
    // Without codes on the line, the base's own are written; they heat the nozzle.
    QVERIFY(none.GetStartCode().startsWith(";Print time: {print_time}\n"));
    QVERIFY(none.GetStartCode().contains("M109 S"));
    QCOMPARE(none.GetEndCode(), m_mapBase.value("machine_end_gcode"));
    QCOMPARE(none.GetFilamentDiameter(), 1.75);
    QCOMPARE(none.GetLayerThickness(), 200);
    QCOMPARE(none.GetInitialLayerThickness(), 300);

    KzEngineSettingMap given(m_mapBase);
    QVERIFY(given.Apply(Settings("filamentDiameter=2850|layerThickness=100|initialLayerThickness=0|startCode=|endCode=G28")));
    QCOMPARE(given.GetFilamentDiameter(), 2.85);
    QCOMPARE(given.GetLayerThickness(), 100);
    QCOMPARE(given.GetInitialLayerThickness(), 100);
    QCOMPARE(given.GetStartCode(), QByteArray());
    QCOMPARE(given.GetEndCode(), QByteArray("G28"));
}

void tst_KzEngineSettingMap::millimetres_data()
{
    QTest::addColumn<qint64>("micrometres");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("0.4") << qint64(400) << QByteArray("0.4");
    QTest::newRow("2.666") << qint64(2666) << QByteArray("2.666");
    QTest::newRow("whole") << qint64(1000) << QByteArray("1");
    QTest::newRow("zero") << qint64(0) << QByteArray("0");
    QTest::newRow("smallest") << qint64(5) << QByteArray("0.005");
    QTest::newRow("negative") << qint64(-1500) << QByteArray("-1.5");
    QTest::newRow("small negative") << qint64(-5) << QByteArray("-0.005");
    QTest::newRow("large") << qint64(123456789) << QByteArray("123456.789");
}

void tst_KzEngineSettingMap::millimetres()
{
    QFETCH(qint64, micrometres);
    QTEST(KzEngineSettingMap::Millimetres(micrometres), "text");
}

void tst_KzEngineSettingMap::shippedBase()
{
    // What the bridge's own output relies on, whatever else the base holds.
    QCOMPARE(m_mapBase.value("machine_center_is_zero"), QByteArray("true"));
    QCOMPARE(m_mapBase.value("center_object"), QByteArray("true"));
    QCOMPARE(m_mapBase.value("machine_nozzle_size"), QByteArray("0.4"));
    QCOMPARE(m_mapBase.value("material_diameter"), QByteArray("1.75"));
    QCOMPARE(m_mapBase.value("machine_gcode_flavor"), QByteArray("RepRap (Marlin/Sprinter)"));
    QCOMPARE(m_mapBase.value("relative_extrusion"), QByteArray("false"));
    QVERIFY(m_mapBase.size() > 300);
}

void tst_KzEngineSettingMap::baseFileErrors()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    KzEngineBase base;
    QVERIFY(!base.Load(dir.filePath("missing.json")));
    QVERIFY(base.GetError().contains("cannot read"));

    QFile bad(dir.filePath("bad.json"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("{\"settings\": {\"a\": ");
    bad.close();
    QVERIFY(!base.Load(bad.fileName()));
    QVERIFY(base.GetError().contains("not a settings file"));

    QFile nested(dir.filePath("nested.json"));
    QVERIFY(nested.open(QIODevice::WriteOnly));
    nested.write(R"({"settings": {"group": {"label": "G", "children": {
        "a": {"default_value": true}, "b": {"default_value": 0.25},
        "inner": {"children": {"c": {"default_value": "lines"}}}}}}})");
    nested.close();
    QVERIFY2(base.Load(nested.fileName()), qPrintable(base.GetError()));
    QCOMPARE(base.GetValues().size(), 3);
    QCOMPARE(base.GetValue("a"), QByteArray("true"));
    QCOMPARE(base.GetValue("b"), QByteArray("0.25"));
    QCOMPARE(base.GetValue("c"), QByteArray("lines"));
}

QTEST_APPLESS_MAIN(tst_KzEngineSettingMap)
#include "tst_KzEngineSettingMap.moc"
