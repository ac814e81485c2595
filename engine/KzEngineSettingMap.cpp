#include "KzEngineSettingMap.h"

#include <QtMath>

#include <algorithm>

namespace {

const int kAny = 1000000000;     // no practical limit
const int kLength = 1000000;     // 1 m in µm: longer than any small printer
const int kSpeed = 10000;        // mm/s
const int kCount = 100000;       // layers or lines

const char *const kFlowKeys[] = {
    "wall_0_material_flow", "wall_x_material_flow", "skin_material_flow", "roofing_material_flow",
    "infill_material_flow", "skirt_brim_material_flow", "support_material_flow",
    "support_roof_material_flow", "support_bottom_material_flow", "prime_tower_flow",
    "material_flow_layer_0"};

const char *const kLineWidthKeys[] = {
    "wall_line_width_0", "wall_line_width_x", "skin_line_width", "roofing_line_width",
    "infill_line_width", "skirt_brim_line_width", "support_line_width", "support_roof_line_width",
    "support_bottom_line_width", "prime_tower_line_width"};

} // namespace

KzEngineSettingMap::KzEngineSettingMap(const QMap<QString, QByteArray> &base)
    : m_mapBase(base)
{
    InitRules();
}

void KzEngineSettingMap::InitRules()
{
    const struct {
        const char *key;
        int nMin;
        int nMax;
        ApplyFunction pfn;
    } rules[] = {
        {"layerThickness", 1, 10000, &KzEngineSettingMap::ApplyLayerThickness},
        {"initialLayerThickness", 0, 10000, &KzEngineSettingMap::ApplyInitialLayerThickness},
        {"filamentDiameter", 1, 10000, &KzEngineSettingMap::ApplyFilamentDiameter},
        {"filamentFlow", 1, 1000, &KzEngineSettingMap::ApplyFilamentFlow},
        {"extrusionWidth", 1, 10000, &KzEngineSettingMap::ApplyExtrusionWidth},
        {"layer0extrusionWidth", 0, 10000, &KzEngineSettingMap::ApplyLayer0ExtrusionWidth},
        {"insetCount", 0, 1000, &KzEngineSettingMap::ApplyInsetCount},
        {"downSkinCount", 0, kCount, &KzEngineSettingMap::ApplyDownSkinCount},
        {"upSkinCount", 0, kCount, &KzEngineSettingMap::ApplyUpSkinCount},
        {"infillOverlap", 0, 100, &KzEngineSettingMap::ApplyInfillOverlap},
        {"perimeterBeforeInfill", -kAny, kAny, &KzEngineSettingMap::ApplyPerimeterBeforeInfill},
        {"initialSpeedupLayers", 0, kCount, &KzEngineSettingMap::ApplyInitialSpeedupLayers},
        {"initialLayerSpeed", 1, kSpeed, &KzEngineSettingMap::ApplyInitialLayerSpeed},
        {"printSpeed", 1, kSpeed, &KzEngineSettingMap::ApplyPrintSpeed},
        {"infillSpeed", 0, kSpeed, nullptr},
        {"inset0Speed", 0, kSpeed, nullptr},
        {"insetXSpeed", 0, kSpeed, nullptr},
        {"skinSpeed", 0, kSpeed, nullptr},
        {"moveSpeed", 1, kSpeed, &KzEngineSettingMap::ApplyMoveSpeed},
        {"fanSpeedMin", 0, 100, &KzEngineSettingMap::ApplyFanSpeedMin},
        {"fanSpeedMax", 0, 100, &KzEngineSettingMap::ApplyFanSpeedMax},
        {"supportAngle", -1, 90, nullptr},
        {"supportEverywhere", -kAny, kAny, &KzEngineSettingMap::ApplySupportEverywhere},
        {"supportLineDistance", -1, kLength, &KzEngineSettingMap::ApplySupportLineDistance},
        {"supportXYDistance", 0, kLength, &KzEngineSettingMap::ApplySupportXYDistance},
        {"supportZDistance", 0, kLength, &KzEngineSettingMap::ApplySupportZDistance},
        {"supportExtruder", -1, 15, &KzEngineSettingMap::ApplySupportExtruder},
        {"retractionAmount", -1, kLength, &KzEngineSettingMap::ApplyRetractionAmount},
        {"retractionSpeed", 1, kSpeed, &KzEngineSettingMap::ApplyRetractionSpeed},
        {"retractionMinimalDistance", 0, kLength, &KzEngineSettingMap::ApplyRetractionMinimalDistance},
        {"retractionAmountExtruderSwitch", 0, kLength, &KzEngineSettingMap::ApplyRetractionAmountExtruderSwitch},
        {"retractionZHop", 0, kLength, &KzEngineSettingMap::ApplyRetractionZHop},
        {"minimalExtrusionBeforeRetraction", 0, kLength, &KzEngineSettingMap::ApplyMinimalExtrusionBeforeRetraction},
        {"minimalLayerTime", 0, 3600, &KzEngineSettingMap::ApplyMinimalLayerTime},
        {"minimalFeedrate", 1, kSpeed, &KzEngineSettingMap::ApplyMinimalFeedrate},
        {"coolHeadLift", -kAny, kAny, &KzEngineSettingMap::ApplyCoolHeadLift},
        {"fanFullOnLayerNr", 0, kCount, &KzEngineSettingMap::ApplyFanFullOnLayerNr},
        {"enableCombing", 0, 2, &KzEngineSettingMap::ApplyEnableCombing},
        {"supportType", 0, 1, &KzEngineSettingMap::ApplySupportType},
        {"sparseInfillLineDistance", -1, kLength, &KzEngineSettingMap::ApplySparseInfillLineDistance},
        {"skirtDistance", 0, kLength, nullptr},
        {"skirtLineCount", 0, 1000, nullptr},
        {"skirtMinLength", 0, kAny, nullptr},
        {"raftMargin", 0, kLength, &KzEngineSettingMap::ApplyRaftMargin},
        {"raftLineSpacing", 1, kLength, &KzEngineSettingMap::ApplyRaftLineSpacing},
        {"raftBaseThickness", 1, 10000, &KzEngineSettingMap::ApplyRaftBaseThickness},
        {"raftBaseLinewidth", 1, 10000, &KzEngineSettingMap::ApplyRaftBaseLinewidth},
        {"raftInterfaceThickness", 1, 10000, &KzEngineSettingMap::ApplyRaftInterfaceThickness},
        {"raftInterfaceLinewidth", 1, 10000, &KzEngineSettingMap::ApplyRaftInterfaceLinewidth},
        {"raftInterfaceLineSpacing", 1, kLength, &KzEngineSettingMap::ApplyRaftInterfaceLineSpacing},
        {"raftAirGapLayer0", 0, 10000, nullptr},
        {"raftAirGap", 0, 10000, nullptr},
        {"raftBaseSpeed", 1, kSpeed, &KzEngineSettingMap::ApplyRaftBaseSpeed},
        {"raftFanSpeed", 0, 100, &KzEngineSettingMap::ApplyRaftFanSpeed},
        {"raftSurfaceThickness", 1, 10000, &KzEngineSettingMap::ApplyRaftSurfaceThickness},
        {"raftSurfaceLinewidth", 1, 10000, &KzEngineSettingMap::ApplyRaftSurfaceLinewidth},
        {"raftSurfaceLineSpacing", 1, kLength, &KzEngineSettingMap::ApplyRaftSurfaceLineSpacing},
        {"raftSurfaceLayers", 0, 100, &KzEngineSettingMap::ApplyRaftSurfaceLayers},
        {"raftSurfaceSpeed", 1, kSpeed, &KzEngineSettingMap::ApplyRaftSurfaceSpeed},
        {"posx", -kAny, kAny, &KzEngineSettingMap::ApplyPosX},
        {"posy", -kAny, kAny, &KzEngineSettingMap::ApplyPosY},
    };
    for (const auto &rule : rules)
        m_mapRules.insert(rule.key, {rule.nMin, rule.nMax, rule.pfn});
}

QStringList KzEngineSettingMap::GetKnownKeys()
{
    KzEngineSettingMap map({});
    QStringList keys;
    for (const QByteArray &key : map.m_mapRules.keys())
        keys << QString::fromLatin1(key);
    return keys << QStringLiteral("startCode") << QStringLiteral("endCode");
}

QByteArray KzEngineSettingMap::Millimetres(qint64 micrometres)
{
    const bool negative = micrometres < 0;
    const qint64 magnitude = negative ? -micrometres : micrometres;
    QByteArray text = QByteArray::number(magnitude / 1000);
    QByteArray fraction = QByteArray::number(magnitude % 1000).rightJustified(3, '0');
    while (fraction.endsWith('0'))
        fraction.chop(1);
    if (!fraction.isEmpty())
        text += '.' + fraction;
    return negative && magnitude != 0 ? '-' + text : text;
}

bool KzEngineSettingMap::Store(const KzLegacySetting &setting)
{
    if (setting.key == "startCode") {
        m_strStartCode = setting.value;
        return true;
    }
    if (setting.key == "endCode") {
        m_strEndCode = setting.value;
        return true;
    }
    const auto rule = m_mapRules.constFind(setting.key);
    if (rule == m_mapRules.constEnd()) {
        Warn(QStringLiteral("unknown setting \"%1\" ignored").arg(QString::fromLocal8Bit(setting.key)));
        return true;
    }
    bool ok = false;
    const qlonglong value = setting.value.trimmed().toLongLong(&ok);
    const QString key = QString::fromLatin1(setting.key);
    if (!ok) {
        m_strError = QStringLiteral("setting %1 needs a whole number, not \"%2\"")
                         .arg(key, QString::fromLocal8Bit(setting.value.left(40)));
        return false;
    }
    if (value < rule->nMin || value > rule->nMax) {
        m_strError = QStringLiteral("setting %1=%2 is out of range (%3 to %4)")
                         .arg(key).arg(value).arg(rule->nMin).arg(rule->nMax);
        return false;
    }
    m_mapLegacy.insert(setting.key, int(value));
    return true;
}

bool KzEngineSettingMap::Apply(const QVector<KzLegacySetting> &settings)
{
    m_mapLegacy.clear();
    m_mapEngine.clear();
    m_listWarnings.clear();
    m_strError.clear();
    m_strStartCode = m_mapBase.value(QStringLiteral("machine_start_gcode"));
    m_strEndCode = m_mapBase.value(QStringLiteral("machine_end_gcode"));
    for (const KzLegacySetting &setting : settings) {
        if (!Store(setting))
            return false;
    }
    // Each key is translated once, whatever the order of the line; keys that
    // interact are settled afterwards by the combined rules.
    for (auto it = m_mapLegacy.constBegin(); it != m_mapLegacy.constEnd(); ++it) {
        const ApplyFunction pfn = m_mapRules.value(it.key()).pfnApply;
        if (pfn)
            (this->*pfn)(it.value());
    }
    ApplyFeatureSpeeds();
    ApplyFan();
    ApplySupport();
    ApplyRaftAirGap();
    ApplyAdhesion();
    return true;
}

bool KzEngineSettingMap::Has(const char *key) const
{
    return m_mapLegacy.contains(key);
}

int KzEngineSettingMap::Legacy(const char *key, int fallback) const
{
    return m_mapLegacy.value(key, fallback);
}

int KzEngineSettingMap::BaseMicrometres(const char *key) const
{
    return int(qRound(m_mapBase.value(QString::fromLatin1(key)).toDouble() * 1000.0));
}

int KzEngineSettingMap::InfillLineWidth() const
{
    return Legacy("extrusionWidth", BaseMicrometres("infill_line_width"));
}

double KzEngineSettingMap::GetFilamentDiameter() const
{
    return Legacy("filamentDiameter", BaseMicrometres("material_diameter")) / 1000.0;
}

int KzEngineSettingMap::GetLayerThickness() const
{
    return Legacy("layerThickness", BaseMicrometres("layer_height"));
}

int KzEngineSettingMap::GetInitialLayerThickness() const
{
    const int initial = Legacy("initialLayerThickness", BaseMicrometres("layer_height_0"));
    return initial > 0 ? initial : GetLayerThickness();
}

void KzEngineSettingMap::Set(const char *key, const QByteArray &value)
{
    m_mapEngine.insert(QString::fromLatin1(key), value);
}

void KzEngineSettingMap::SetInt(const char *key, int value)
{
    Set(key, QByteArray::number(value));
}

void KzEngineSettingMap::SetBool(const char *key, bool value)
{
    Set(key, value ? "true" : "false");
}

void KzEngineSettingMap::Warn(const QString &text)
{
    m_listWarnings << text;
}

// --- one key at a time ---------------------------------------------------------

void KzEngineSettingMap::ApplyLayerThickness(int v)
{
    // Infill and support are printed on every layer, so their thickness follows.
    for (const char *key : {"layer_height", "infill_sparse_thickness", "support_infill_sparse_thickness"})
        Set(key, Millimetres(v));
}

void KzEngineSettingMap::ApplyInitialLayerThickness(int)
{
    Set("layer_height_0", Millimetres(GetInitialLayerThickness()));
}

void KzEngineSettingMap::ApplyFilamentDiameter(int v)
{
    Set("material_diameter", Millimetres(v));
}

void KzEngineSettingMap::ApplyFilamentFlow(int v)
{
    for (const char *key : kFlowKeys)
        SetInt(key, v);
}

void KzEngineSettingMap::ApplyExtrusionWidth(int v)
{
    for (const char *key : kLineWidthKeys)
        Set(key, Millimetres(v));
}

void KzEngineSettingMap::ApplyLayer0ExtrusionWidth(int v)
{
    const int width = InfillLineWidth();
    const int first = v > 0 ? v : width;
    // The engine takes the first layer's width as a percentage of the line width.
    Set("initial_layer_line_width_factor", QByteArray::number(100.0 * first / width, 'g', 6));
}

void KzEngineSettingMap::ApplyInsetCount(int v)
{
    SetInt("wall_line_count", v);
}

void KzEngineSettingMap::ApplyDownSkinCount(int v)
{
    SetInt("bottom_layers", v);
    SetInt("initial_bottom_layers", v);
}

void KzEngineSettingMap::ApplyUpSkinCount(int v)
{
    SetInt("top_layers", v);
}

void KzEngineSettingMap::ApplyInfillOverlap(int v)
{
    // A percentage of the infill line width, as a length.
    Set("infill_overlap_mm", Millimetres(qRound(double(v) * InfillLineWidth() / 100.0)));
}

void KzEngineSettingMap::ApplyPerimeterBeforeInfill(int v)
{
    SetBool("infill_before_walls", v == 0);
}

void KzEngineSettingMap::ApplyInitialSpeedupLayers(int v)
{
    SetInt("speed_slowdown_layers", v);
}

void KzEngineSettingMap::ApplyInitialLayerSpeed(int v)
{
    // The skirt or brim is printed on the first layer, at its speed.
    SetInt("speed_print_layer_0", v);
    SetInt("skirt_brim_speed", v);
}

void KzEngineSettingMap::ApplyPrintSpeed(int v)
{
    for (const char *key : {"speed_support_infill", "speed_support_roof", "speed_support_bottom", "speed_prime_tower"})
        SetInt(key, v);
}

void KzEngineSettingMap::ApplyMoveSpeed(int v)
{
    SetInt("speed_travel", v);
    SetInt("speed_travel_layer_0", v);
}

void KzEngineSettingMap::ApplyFanSpeedMin(int v)
{
    SetInt("cool_fan_speed_min", v);
}

void KzEngineSettingMap::ApplyFanSpeedMax(int v)
{
    SetInt("cool_fan_speed_max", v);
}

void KzEngineSettingMap::ApplySupportEverywhere(int v)
{
    Set("support_type", v != 0 ? "everywhere" : "buildplate");
}

void KzEngineSettingMap::ApplySupportLineDistance(int v)
{
    if (v <= 0)
        return; // no support at all: settled by ApplySupport
    Set("support_line_distance", Millimetres(v));
    Set("support_initial_layer_line_distance", Millimetres(v));
}

void KzEngineSettingMap::ApplySupportXYDistance(int v)
{
    Set("support_xy_distance", Millimetres(v));
}

void KzEngineSettingMap::ApplySupportZDistance(int v)
{
    Set("support_top_distance", Millimetres(v));
    Set("support_bottom_distance", Millimetres(v));
}

void KzEngineSettingMap::ApplySupportExtruder(int v)
{
    if (v > 0)
        Warn(QStringLiteral("the printer has one extruder: supportExtruder=%1 prints with extruder 0").arg(v));
}

void KzEngineSettingMap::ApplyRetractionAmount(int v)
{
    SetBool("retraction_enable", v >= 0);
    if (v >= 0)
        Set("retraction_amount", Millimetres(v));
}

void KzEngineSettingMap::ApplyRetractionSpeed(int v)
{
    SetInt("retraction_retract_speed", v);
    SetInt("retraction_prime_speed", v);
}

void KzEngineSettingMap::ApplyRetractionMinimalDistance(int v)
{
    Set("retraction_min_travel", Millimetres(v));
}

void KzEngineSettingMap::ApplyRetractionAmountExtruderSwitch(int v)
{
    Set("switch_extruder_retraction_amount", Millimetres(v));
}

void KzEngineSettingMap::ApplyRetractionZHop(int v)
{
    SetBool("retraction_hop_enabled", v > 0);
    if (v > 0)
        Set("retraction_hop", Millimetres(v));
}

void KzEngineSettingMap::ApplyMinimalExtrusionBeforeRetraction(int v)
{
    // At most one retraction per window of extruded filament: a retraction is
    // skipped until this much filament has gone through since the last one.
    Set("retraction_extrusion_window", Millimetres(v));
    SetInt("retraction_count_max", 1);
}

void KzEngineSettingMap::ApplyMinimalLayerTime(int v)
{
    // A layer faster than this is slowed down and cooled with the fan's maximum.
    SetInt("cool_min_layer_time", v);
    SetInt("cool_min_layer_time_fan_speed_max", v);
}

void KzEngineSettingMap::ApplyMinimalFeedrate(int v)
{
    SetInt("cool_min_speed", v);
}

void KzEngineSettingMap::ApplyCoolHeadLift(int v)
{
    SetBool("cool_lift_head", v != 0);
}

void KzEngineSettingMap::ApplyFanFullOnLayerNr(int v)
{
    // The legacy number counts layers from 0; the engine's from 1.
    SetInt("cool_fan_full_layer", v + 1);
    SetInt("cool_fan_speed_0", 0);
}

void KzEngineSettingMap::ApplyEnableCombing(int v)
{
    static const char *const modes[] = {"off", "all", "noskin"};
    Set("retraction_combing", modes[v]);
}

void KzEngineSettingMap::ApplySupportType(int v)
{
    Set("support_pattern", v == 1 ? "lines" : "grid");
}

void KzEngineSettingMap::ApplySparseInfillLineDistance(int v)
{
    // A distance of 0 is the engine's "no infill".
    Set("infill_line_distance", v > 0 ? Millimetres(v) : QByteArray("0"));
}

void KzEngineSettingMap::ApplyRaftMargin(int v)
{
    Set("raft_margin", Millimetres(v));
}

void KzEngineSettingMap::ApplyRaftLineSpacing(int v)
{
    Set("raft_base_line_spacing", Millimetres(v));
}

void KzEngineSettingMap::ApplyRaftBaseThickness(int v)
{
    Set("raft_base_thickness", Millimetres(v));
}

void KzEngineSettingMap::ApplyRaftBaseLinewidth(int v)
{
    Set("raft_base_line_width", Millimetres(v));
}

void KzEngineSettingMap::ApplyRaftInterfaceThickness(int v)
{
    Set("raft_interface_thickness", Millimetres(v));
}

void KzEngineSettingMap::ApplyRaftInterfaceLinewidth(int v)
{
    Set("raft_interface_line_width", Millimetres(v));
}

void KzEngineSettingMap::ApplyRaftInterfaceLineSpacing(int v)
{
    Set("raft_interface_line_spacing", Millimetres(v));
}

void KzEngineSettingMap::ApplyRaftBaseSpeed(int v)
{
    SetInt("raft_base_speed", v);
    SetInt("raft_interface_speed", v);
}

void KzEngineSettingMap::ApplyRaftFanSpeed(int v)
{
    for (const char *key : {"raft_base_fan_speed", "raft_interface_fan_speed", "raft_surface_fan_speed"})
        SetInt(key, v);
}

void KzEngineSettingMap::ApplyRaftSurfaceThickness(int v)
{
    Set("raft_surface_thickness", Millimetres(v));
}

void KzEngineSettingMap::ApplyRaftSurfaceLinewidth(int v)
{
    Set("raft_surface_line_width", Millimetres(v));
}

void KzEngineSettingMap::ApplyRaftSurfaceLineSpacing(int v)
{
    Set("raft_surface_line_spacing", Millimetres(v));
}

void KzEngineSettingMap::ApplyRaftSurfaceLayers(int v)
{
    SetInt("raft_surface_layers", v);
}

void KzEngineSettingMap::ApplyRaftSurfaceSpeed(int v)
{
    SetInt("raft_surface_speed", v);
}

void KzEngineSettingMap::ApplyPosX(int v)
{
    // The engine centres the print on the origin (the base sets
    // machine_center_is_zero and center_object); this moves it to posx.
    Set("mesh_position_x", Millimetres(v));
}

void KzEngineSettingMap::ApplyPosY(int v)
{
    Set("mesh_position_y", Millimetres(v));
}

// --- keys that act together ----------------------------------------------------

void KzEngineSettingMap::ApplyFeatureSpeeds()
{
    // A feature speed below 1 mm/s, or one the line leaves out, is the print speed.
    const struct {
        const char *legacy;
        const char *engine[2];
    } speeds[] = {
        {"infillSpeed", {"speed_infill", nullptr}},
        {"inset0Speed", {"speed_wall_0", nullptr}},
        {"insetXSpeed", {"speed_wall_x", nullptr}},
        {"skinSpeed", {"speed_topbottom", "speed_roofing"}},
    };
    for (const auto &speed : speeds) {
        int value = Legacy(speed.legacy, 0);
        if (value < 1)
            value = Legacy("printSpeed", 0);
        if (value < 1)
            continue;
        for (const char *key : speed.engine) {
            if (key)
                SetInt(key, value);
        }
    }
}

void KzEngineSettingMap::ApplyFan()
{
    if (!Has("fanSpeedMin") && !Has("fanSpeedMax"))
        return;
    const int fanMin = Legacy("fanSpeedMin", m_mapBase.value(QStringLiteral("cool_fan_speed_min")).toInt());
    const int fanMax = Legacy("fanSpeedMax", m_mapBase.value(QStringLiteral("cool_fan_speed_max")).toInt());
    SetBool("cool_fan_enabled", fanMin > 0 || fanMax > 0);
}

void KzEngineSettingMap::ApplySupport()
{
    if (!Has("supportAngle") && !Has("supportLineDistance"))
        return;
    const bool baseOn = m_mapBase.value(QStringLiteral("support_enable")) == "true";
    const int angle = Legacy("supportAngle", baseOn ? m_mapBase.value(QStringLiteral("support_angle")).toInt() : -1);
    const int distance = Legacy("supportLineDistance", 1);
    // An angle of -1 is no support; so is a line distance of -1 (no support lines).
    SetBool("support_enable", angle >= 0 && distance > 0);
    if (angle >= 0)
        SetInt("support_angle", angle);
}

void KzEngineSettingMap::ApplyRaftAirGap()
{
    if (!Has("raftAirGapLayer0") && !Has("raftAirGap"))
        return;
    // The first model layer is printed raftAirGapLayer0 above the raft, every
    // later layer raftAirGap above where it would be: the engine lifts the first
    // layer by its air gap and lowers the rest by the overlap.
    const int gap = Legacy("raftAirGap", 0);
    const int layer0 = Legacy("raftAirGapLayer0", gap);
    Set("raft_airgap", Millimetres(layer0));
    Set("layer_0_z_overlap", Millimetres(std::max(0, layer0 - gap)));
}

void KzEngineSettingMap::ApplyAdhesion()
{
    if (Has("raftBaseThickness")) {
        Set("adhesion_type", "raft");
        return;
    }
    if (!Has("skirtLineCount") && !Has("skirtDistance") && !Has("skirtMinLength"))
        return;
    const int lines = Legacy("skirtLineCount", m_mapBase.value(QStringLiteral("skirt_line_count")).toInt());
    const int distance = Legacy("skirtDistance", BaseMicrometres("skirt_gap"));
    if (lines <= 0) {
        Set("adhesion_type", "none");
        return;
    }
    if (Has("skirtMinLength"))
        Set("skirt_brim_minimal_length", Millimetres(Legacy("skirtMinLength", 0)));
    if (distance == 0) {
        // A skirt that touches the print is a brim.
        Set("adhesion_type", "brim");
        SetInt("brim_line_count", lines);
        return;
    }
    Set("adhesion_type", "skirt");
    SetInt("skirt_line_count", lines);
    Set("skirt_gap", Millimetres(distance));
}
