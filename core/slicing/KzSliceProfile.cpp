#include "KzSliceProfile.h"

#include "KzConfigureData.h"

#include <QFile>
#include <QSet>
#include <QStringList>
#include <QXmlStreamReader>

#include <cmath>
#include <limits>

namespace {

// Truncates toward zero like a C cast, but a value beyond int (a typo in the
// preset file, say) saturates instead of being undefined.
int Truncate(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(value);
}

int Saturate(qint64 value)
{
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return int(value);
}

QString ColumnName(int mode)
{
    switch (mode) {
    case SliceMode_Custom:
        return QStringLiteral("Custom");
    case SliceMode_Fast:
        return QStringLiteral("Fast");
    case SliceMode_Standard:
        return QStringLiteral("Standard");
    case SliceMode_Optimal:
        return QStringLiteral("Optimal");
    default:
        return QString();
    }
}

// %1 nozzle, %2 bed. The first line carries the marker that the slicing job
// fills with the print time once the engine has reported it.
QString StartCodeTemplate()
{
    return QStringLiteral(";Print time: {print_time}\n"
                          "M140 S%2\r\nM190 S%2\r\nM104 S%1\r\nM109 S%1\r\n"
                          "G21\r\nG90\r\nM82\r\nM106 S0\r\nG28 X0 Y0\r\nG28 Z0\r\nG92 Z0\r\n"
                          "G1 Z15.0 F900\r\nG92 E0\r\nG1 F200 E10\r\nG92 E0\r\nM117 Printing");
}

QString EndCode()
{
    return QStringLiteral("M140 S0\r\nM104 S0\r\nG91\r\nG1 E-1 F300\r\nG28 X0 Y0\r\nM84\r\nG90\r\n");
}

QString EnginePair(const QString &key, const QString &value)
{
    return QStringLiteral(" -s \"%1=%2\"").arg(key, value);
}

} // namespace

KzSliceProfile::KzSliceProfile(emSliceMode mode)
    : m_dEdgeWidth(0.4),
      m_nPrintPosX(50000),
      m_nPrintPosY(50000),
      m_pProfileFile(new QFile(KzConfigureData::GetSliceFilePath()))
{
    InitProfile();
    LoadProfile(mode);
}

KzSliceProfile::~KzSliceProfile() = default;

namespace {

// The built-in value of every setting a profile knows.
QMap<QString, QVariant> DefaultProfile()
{
    const QString kTrue = QStringLiteral("True");
    const QString kFalse = QStringLiteral("False");
    return {
        {QStringLiteral("layer_height"), 0.1},
        {QStringLiteral("wall_thickness"), 0.8},
        {QStringLiteral("retraction_enable"), kTrue},
        {QStringLiteral("fill_density"), 20},
        {QStringLiteral("print_speed"), 50},
        {QStringLiteral("print_temperature"), 210},
        {QStringLiteral("print_bed_temperature"), 0},
        {QStringLiteral("support"), QStringLiteral("Everywhere")},
        {QStringLiteral("platform_adhesion"), QStringLiteral("Raft")},
        {QStringLiteral("filament_diameter"), 1.75},
        {QStringLiteral("filament_flow"), 100},
        {QStringLiteral("retraction_speed"), 40.0},
        {QStringLiteral("retraction_amount"), 4.5},
        {QStringLiteral("retraction_dual_amount"), 16.5},
        {QStringLiteral("retraction_min_travel"), 1.5},
        {QStringLiteral("retraction_combing"), QStringLiteral("All")},
        {QStringLiteral("retraction_minimal_extrusion"), 0.02},
        {QStringLiteral("retraction_hop"), 0.0},
        {QStringLiteral("bottom_thickness"), 0.3},
        {QStringLiteral("layer0_width_factor"), 100},
        {QStringLiteral("travel_speed"), 150.0},
        {QStringLiteral("bottom_layer_speed"), 20},
        {QStringLiteral("infill_speed"), 0.0},
        {QStringLiteral("solidarea_speed"), 0.0},
        {QStringLiteral("inset0_speed"), 0.0},
        {QStringLiteral("insetx_speed"), 0.0},
        {QStringLiteral("cool_min_layer_time"), 5},
        {QStringLiteral("fan_enabled"), kTrue},
        {QStringLiteral("skirt_line_count"), 1},
        {QStringLiteral("skirt_gap"), 3.0},
        {QStringLiteral("skirt_minimal_length"), 150.0},
        {QStringLiteral("fan_full_height"), 0.5},
        {QStringLiteral("fan_speed"), 100},
        {QStringLiteral("fan_speed_max"), 100},
        {QStringLiteral("cool_min_feedrate"), 10},
        {QStringLiteral("cool_head_lift"), kFalse},
        {QStringLiteral("upSkin_Count"), 6},
        {QStringLiteral("downSkin_Count"), 6},
        {QStringLiteral("fill_overlap"), 15},
        {QStringLiteral("perimeter_before_infill"), kFalse},
        {QStringLiteral("support_type"), QStringLiteral("Lines")},
        {QStringLiteral("support_angle"), 60},
        {QStringLiteral("support_fill_rate"), 15},
        {QStringLiteral("support_xy_distance"), 0.7},
        {QStringLiteral("support_z_distance"), 0.15},
        {QStringLiteral("brim_line_count"), 20},
        {QStringLiteral("raft_margin"), 5.0},
        {QStringLiteral("raft_line_spacing"), 3.0},
        {QStringLiteral("raft_base_thickness"), 0.3},
        {QStringLiteral("raft_base_linewidth"), 1.0},
        {QStringLiteral("raft_interface_thickness"), 0.27},
        {QStringLiteral("raft_interface_linewidth"), 0.4},
        {QStringLiteral("raft_airgap_all"), 0.0},
        {QStringLiteral("raft_airgap"), 0.22},
        {QStringLiteral("raft_surface_layers"), 2},
        {QStringLiteral("raft_surface_thickness"), 0.27},
        {QStringLiteral("raft_surface_linewidth"), 0.4},
    };
}

// How a setting's text is read when sliced: as a number, as a whole number
// (a fraction such as 150.0 would read as 0), as True or False, or as one of
// a few words; an empty list of words takes any text.
enum PresetKind { PresetNumber, PresetWhole, PresetSwitch, PresetWord };

PresetKind KindOf(const QString &key)
{
    static const QSet<QString> wholes = {
        QStringLiteral("filament_flow"), QStringLiteral("downSkin_Count"), QStringLiteral("upSkin_Count"),
        QStringLiteral("fill_overlap"), QStringLiteral("bottom_layer_speed"), QStringLiteral("print_speed"),
        QStringLiteral("infill_speed"), QStringLiteral("inset0_speed"), QStringLiteral("insetx_speed"),
        QStringLiteral("solidarea_speed"), QStringLiteral("travel_speed"), QStringLiteral("fan_speed"),
        QStringLiteral("fan_speed_max"), QStringLiteral("support_angle"), QStringLiteral("support_fill_rate"),
        QStringLiteral("retraction_speed"), QStringLiteral("cool_min_layer_time"),
        QStringLiteral("cool_min_feedrate"), QStringLiteral("fill_density"), QStringLiteral("brim_line_count"),
        QStringLiteral("skirt_line_count"), QStringLiteral("raft_surface_layers"),
        QStringLiteral("print_temperature"), QStringLiteral("print_bed_temperature")};
    static const QSet<QString> switches = {
        QStringLiteral("retraction_enable"), QStringLiteral("fan_enabled"), QStringLiteral("cool_head_lift"),
        QStringLiteral("perimeter_before_infill")};
    if (wholes.contains(key))
        return PresetWhole;
    if (switches.contains(key))
        return PresetSwitch;
    return DefaultProfile().value(key).type() == QVariant::String ? PresetWord : PresetNumber;
}

QStringList WordsOf(const QString &key)
{
    if (key == QLatin1String("support"))
        return {QStringLiteral("None"), QStringLiteral("Touching buildplate"), QStringLiteral("Everywhere")};
    if (key == QLatin1String("platform_adhesion"))
        return {QStringLiteral("Brim"), QStringLiteral("Raft"), QStringLiteral("Skirt")};
    return {};
}

// What is wrong with a setting's text, or an empty text.
QString CheckPresetValue(const QString &key, const QString &text)
{
    const QString value = text.trimmed();
    switch (KindOf(key)) {
    case PresetWhole: {
        bool ok = false;
        const int number = value.toInt(&ok, 10);
        return ok && number >= 0 && !value.startsWith(QLatin1Char('+')) ? QString()
                                                                          : QStringLiteral("is not a whole number of 0 or more");
    }
    case PresetNumber: {
        bool ok = false;
        const double number = value.toDouble(&ok);
        return ok && std::isfinite(number) && number >= 0 ? QString() : QStringLiteral("is not a number of 0 or more");
    }
    case PresetSwitch:
        return value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0
                       || value.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0
                   ? QString()
                   : QStringLiteral("is neither True nor False");
    case PresetWord: {
        const QStringList words = WordsOf(key);
        return words.isEmpty() || words.contains(value)
                   ? QString()
                   : QStringLiteral("is not one of %1").arg(words.join(QStringLiteral(", ")));
    }
    }
    return QString();
}

// A value as a message shows it: a line of garbage is cut short.
QString Quoted(const QString &text)
{
    const int kShown = 40;
    const QString simplified = text.simplified();
    return QLatin1Char('"') + (simplified.size() > kShown ? simplified.left(kShown) + QStringLiteral("...") : simplified)
           + QLatin1Char('"');
}

bool IsColumn(const QStringRef &name)
{
    for (int mode = SliceMode_Custom; mode <= SliceMode_Optimal; ++mode) {
        if (name == ColumnName(mode))
            return true;
    }
    return false;
}

} // namespace

void KzSliceProfile::InitProfile()
{
    m_mapProfile = DefaultProfile();
}

QString KzSliceProfile::CheckPresetFile(QIODevice &file, const QString &where)
{
    const QMap<QString, QVariant> defaults = DefaultProfile();
    auto problem = [&where](qint64 line, const QString &what) {
        return QStringLiteral("%1:%2: %3").arg(where).arg(line).arg(what);
    };
    QXmlStreamReader reader(&file);
    int settings = 0;
    QString key;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const qint64 line = reader.lineNumber();
        if (reader.name() == QLatin1String("SliceParam")) {
            ++settings;
            key = reader.attributes().value(QLatin1String("Name")).toString();
            if (key.isEmpty())
                return problem(line, QStringLiteral("SliceParam without a Name"));
            if (!defaults.contains(key))
                return problem(line, QStringLiteral("unknown setting %1").arg(Quoted(key)));
        } else if (IsColumn(reader.name())) {
            const QString column = reader.name().toString();
            const QString text = reader.readElementText();
            if (reader.hasError())
                break;
            if (key.isEmpty())
                return problem(line, QStringLiteral("%1 outside a SliceParam").arg(column));
            const QString wrong = CheckPresetValue(key, text);
            if (!wrong.isEmpty())
                return problem(line, QStringLiteral("setting %1, %2: %3 %4").arg(Quoted(key), column, Quoted(text), wrong));
        }
    }
    if (reader.hasError())
        return problem(reader.lineNumber(), reader.errorString());
    if (settings == 0)
        return QStringLiteral("%1: no SliceParam settings").arg(where);
    return QString();
}

bool KzSliceProfile::LoadProfile(int mode)
{
    if (!m_pProfileFile->open(QIODevice::ReadOnly))
        return false;

    const QString column = ColumnName(mode);
    QString key = QStringLiteral("error");
    // A reader error stops the loop; the values read before it stay.
    QXmlStreamReader reader(m_pProfileFile.get());
    while (!reader.atEnd() && !reader.hasError()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1String("SliceParam"))
            key = reader.attributes().value(QLatin1String("Name")).toString();
        else if (!column.isEmpty() && reader.name() == column)
            m_mapProfile.insert(key, reader.readElementText());
    }
    m_pProfileFile->close();
    return true;
}

void KzSliceProfile::SetLayerThickness(double value) { m_mapProfile[QStringLiteral("layer_height")] = value; }
void KzSliceProfile::SetWallThickness(double value) { m_mapProfile[QStringLiteral("wall_thickness")] = value; }
void KzSliceProfile::SetInfillRate(int value) { m_mapProfile[QStringLiteral("fill_density")] = value; }
void KzSliceProfile::SetPrintSpeed(int value) { m_mapProfile[QStringLiteral("print_speed")] = value; }
void KzSliceProfile::SetPrintTemperature(int value) { m_mapProfile[QStringLiteral("print_temperature")] = value; }
void KzSliceProfile::SetBedTemperature(int value) { m_mapProfile[QStringLiteral("print_bed_temperature")] = value; }
void KzSliceProfile::SetSupportArea(const QString &value) { m_mapProfile[QStringLiteral("support")] = value; }
void KzSliceProfile::SetAdhersionType(const QString &value) { m_mapProfile[QStringLiteral("platform_adhesion")] = value; }
void KzSliceProfile::SetRetractionSpeed(int value) { m_mapProfile[QStringLiteral("retraction_speed")] = value; }
void KzSliceProfile::SetRetractionAmount(double value) { m_mapProfile[QStringLiteral("retraction_amount")] = value; }
void KzSliceProfile::SetRetractionMinTravel(double value) { m_mapProfile[QStringLiteral("retraction_min_travel")] = value; }
void KzSliceProfile::SetRetractionMinExtrusion(double value) { m_mapProfile[QStringLiteral("retraction_minimal_extrusion")] = value; }
void KzSliceProfile::SetRetractionZHop(double value) { m_mapProfile[QStringLiteral("retraction_hop")] = value; }
void KzSliceProfile::SetInitialLayerThickness(double value) { m_mapProfile[QStringLiteral("bottom_thickness")] = value; }
void KzSliceProfile::SetTravelSpeed(int value) { m_mapProfile[QStringLiteral("travel_speed")] = value; }
void KzSliceProfile::SetBottomSpeed(int value) { m_mapProfile[QStringLiteral("bottom_layer_speed")] = value; }
void KzSliceProfile::SetInfillSpeed(int value) { m_mapProfile[QStringLiteral("infill_speed")] = value; }
void KzSliceProfile::SetSolidAreaSpeed(int value) { m_mapProfile[QStringLiteral("solidarea_speed")] = value; }
void KzSliceProfile::SetShellSpeed(int value) { m_mapProfile[QStringLiteral("inset0_speed")] = value; }
void KzSliceProfile::SetInnerSpeed(int value) { m_mapProfile[QStringLiteral("insetx_speed")] = value; }
void KzSliceProfile::SetUpSkinCount(int value) { m_mapProfile[QStringLiteral("upSkin_Count")] = value; }
void KzSliceProfile::SetDownSkinCount(int value) { m_mapProfile[QStringLiteral("downSkin_Count")] = value; }
void KzSliceProfile::SetSupportAngle(int value) { m_mapProfile[QStringLiteral("support_angle")] = value; }
void KzSliceProfile::SetSupportRate(int value) { m_mapProfile[QStringLiteral("support_fill_rate")] = value; }
void KzSliceProfile::SetXYDistance(double value) { m_mapProfile[QStringLiteral("support_xy_distance")] = value; }
void KzSliceProfile::SetZDistance(double value) { m_mapProfile[QStringLiteral("support_z_distance")] = value; }
void KzSliceProfile::SetBrimEdgeCount(int value) { m_mapProfile[QStringLiteral("brim_line_count")] = value; }
void KzSliceProfile::SetRaftExtraEdge(double value) { m_mapProfile[QStringLiteral("raft_margin")] = value; }
void KzSliceProfile::SetRaftLineSpacing(double value) { m_mapProfile[QStringLiteral("raft_line_spacing")] = value; }
void KzSliceProfile::SetRaftBaseThickness(double value) { m_mapProfile[QStringLiteral("raft_base_thickness")] = value; }
void KzSliceProfile::SetRaftBaseLinewidth(double value) { m_mapProfile[QStringLiteral("raft_base_linewidth")] = value; }
void KzSliceProfile::SetRaftInterfaceThickness(double value) { m_mapProfile[QStringLiteral("raft_interface_thickness")] = value; }
void KzSliceProfile::SetRaftInterfaceLinewidth(double value) { m_mapProfile[QStringLiteral("raft_interface_linewidth")] = value; }
// The two air-gap setters cross over: Airgap is the gap under every layer, Airgap0
// the extra gap under the first one.
void KzSliceProfile::SetRaftAirgap(double value) { m_mapProfile[QStringLiteral("raft_airgap_all")] = value; }
void KzSliceProfile::SetRaftAirgap0(double value) { m_mapProfile[QStringLiteral("raft_airgap")] = value; }
void KzSliceProfile::SetSurfaceLayerCount(int value) { m_mapProfile[QStringLiteral("raft_surface_layers")] = value; }
void KzSliceProfile::SetSurfaceLayerThickness(double value) { m_mapProfile[QStringLiteral("raft_surface_thickness")] = value; }
void KzSliceProfile::SetSurfaceLayerLinewidth(double value) { m_mapProfile[QStringLiteral("raft_surface_linewidth")] = value; }

// Kept to the nearest micrometre, so the print stands where the models stood;
// rounding, not truncating, keeps a float sum such as 84.9999999 at 85 mm.
void KzSliceProfile::SetPrintPos(double x, double y)
{
    m_nPrintPosX = Truncate(std::round(x * 1000));
    m_nPrintPosY = Truncate(std::round(y * 1000));
}

void KzSliceProfile::SetChoice(KzConfigureData &configure)
{
    int printTemperature = 0;
    int bedTemperature = 0;
    configure.GetMaterialTemperature(printTemperature, bedTemperature);
    SetPrintTemperature(printTemperature);
    SetBedTemperature(bedTemperature);
    double x = 0;
    double y = 0;
    configure.GetPrintPos(x, y);
    SetPrintPos(x, y);
}

QMap<QString, QVariant> KzSliceProfile::GetProfileMap()
{
    return m_mapProfile;
}

QString KzSliceProfile::GetCommandStrings()
{
    GenSettingMap();
    QString text;
    for (auto it = m_mapEngine.cbegin(); it != m_mapEngine.cend(); ++it)
        text += EnginePair(it.key(), QString::number(it.value()));
    text += EnginePair(QStringLiteral("startCode"),
                       StartCodeTemplate().arg(Text("print_temperature"), Text("print_bed_temperature")));
    text += EnginePair(QStringLiteral("endCode"), EndCode());
    return text;
}

double KzSliceProfile::CalProfileEdgeWidth()
{
    return m_dEdgeWidth;
}

int KzSliceProfile::CalProfileLineCount()
{
    const double wall = Value("wall_thickness");
    const double edge = CalProfileEdgeWidth();
    if (wall < 0.01)
        return 0;
    if (wall < edge)
        return 1;
    return Truncate(wall / edge);
}

double KzSliceProfile::Value(const char *key) const
{
    return m_mapProfile.value(QLatin1String(key)).toDouble();
}

int KzSliceProfile::Int(const char *key) const
{
    return m_mapProfile.value(QLatin1String(key)).toInt();
}

int KzSliceProfile::Bool(const char *key) const
{
    return m_mapProfile.value(QLatin1String(key)).toBool() ? 1 : 0;
}

int KzSliceProfile::Micron(const char *key) const
{
    return Truncate(Value(key) * 1000);
}

void KzSliceProfile::Put(const char *key, int value)
{
    m_mapEngine.insert(QLatin1String(key), value);
}

QString KzSliceProfile::Text(const char *key) const
{
    return m_mapProfile.value(QLatin1String(key)).toString();
}

void KzSliceProfile::GenSettingMap()
{
    m_mapEngine.clear();
    const double edge = CalProfileEdgeWidth();

    Put("layerThickness", Micron("layer_height"));
    Put("initialLayerThickness", Value("bottom_thickness") > 0 ? Micron("bottom_thickness") : Micron("layer_height"));
    Put("filamentDiameter", Micron("filament_diameter"));
    Put("filamentFlow", Int("filament_flow"));
    Put("extrusionWidth", Truncate(edge * 1000));
    Put("layer0extrusionWidth", Truncate(Value("layer0_width_factor") * edge / 100 * 1000));
    Put("insetCount", CalProfileLineCount());
    Put("downSkinCount", Int("downSkin_Count"));
    Put("upSkinCount", Int("upSkin_Count"));
    Put("infillOverlap", Int("fill_overlap"));
    Put("perimeterBeforeInfill", Bool("perimeter_before_infill"));
    Put("initialSpeedupLayers", 4);
    Put("initialLayerSpeed", Int("bottom_layer_speed"));

    // Speeds below 1 mm/s mean "as fast as the print speed".
    const int printSpeed = Int("print_speed");
    auto speedOrPrint = [printSpeed](int speed) { return speed >= 1 ? speed : printSpeed; };
    Put("printSpeed", printSpeed);
    Put("infillSpeed", speedOrPrint(Int("infill_speed")));
    Put("inset0Speed", speedOrPrint(Int("inset0_speed")));
    Put("insetXSpeed", speedOrPrint(Int("insetx_speed")));
    Put("skinSpeed", speedOrPrint(Int("solidarea_speed")));
    Put("moveSpeed", Int("travel_speed"));

    const bool fan = Bool("fan_enabled");
    Put("fanSpeedMin", fan ? Int("fan_speed") : 0);
    Put("fanSpeedMax", fan ? Int("fan_speed_max") : 0);

    const QString support = Text("support");
    Put("supportAngle", support == QLatin1String("None") ? -1 : Int("support_angle"));
    Put("supportEverywhere", support == QLatin1String("Everywhere") ? 1 : 0);
    Put("supportLineDistance",
        Int("support_fill_rate") >= 1 ? Truncate(edge * 100 * 1000 / Value("support_fill_rate")) : -1);
    Put("supportXYDistance", Micron("support_xy_distance"));
    Put("supportZDistance", Micron("support_z_distance"));
    Put("supportExtruder", -1);

    Put("retractionAmount", Bool("retraction_enable") ? Micron("retraction_amount") : -1);
    Put("retractionSpeed", Int("retraction_speed"));
    Put("retractionMinimalDistance", Micron("retraction_min_travel"));
    Put("retractionAmountExtruderSwitch", Micron("retraction_dual_amount"));
    Put("retractionZHop", Micron("retraction_hop"));
    Put("minimalExtrusionBeforeRetraction", Micron("retraction_minimal_extrusion"));

    Put("minimalLayerTime", Int("cool_min_layer_time"));
    Put("minimalFeedrate", Int("cool_min_feedrate"));
    Put("coolHeadLift", Bool("cool_head_lift"));

    // The layer at which the fan is fully on. A zero layer height is sent as
    // 1000 µm below, so count with that height here as well.
    const qint64 fanHeight = Truncate(m_mapProfile.value(QStringLiteral("fan_full_height")).toFloat() * 1000.0f);
    const int layerThickness = m_mapEngine.value(QStringLiteral("layerThickness"));
    const qint64 layerStep = layerThickness > 0 ? layerThickness : 1000;
    const qint64 fanLayer =
        (fanHeight - m_mapEngine.value(QStringLiteral("initialLayerThickness")) - 1) / layerStep + 1;
    Put("fanFullOnLayerNr", fanLayer >= 0 ? Saturate(fanLayer) : 0);

    const QString combing = Text("retraction_combing");
    Put("enableCombing", combing == QLatin1String("All") ? 1 : combing == QLatin1String("No Skin") ? 2 : 0);
    if (Text("support_type") == QLatin1String("Lines"))
        Put("supportType", 1);

    const int density = Int("fill_density");
    if (density == 0) {
        Put("sparseInfillLineDistance", -1);
    } else if (density == 100) {
        Put("sparseInfillLineDistance", m_mapEngine.value(QStringLiteral("extrusionWidth")));
        Put("downSkinCount", 10000);
        Put("upSkinCount", 10000);
    } else {
        Put("sparseInfillLineDistance", Truncate(edge * 100 * 1000 / density));
    }

    GenAdhesionSettings();

    if (layerThickness <= 0)
        Put("layerThickness", 1000);
    Put("posx", m_nPrintPosX);
    Put("posy", m_nPrintPosY);
}

void KzSliceProfile::GenAdhesionSettings()
{
    const QString adhesion = Text("platform_adhesion");

    if (adhesion == QLatin1String("Brim")) {
        Put("skirtDistance", 0);
        Put("skirtLineCount", Int("brim_line_count"));
    } else if (adhesion == QLatin1String("Raft")) {
        Put("skirtDistance", 0);
        Put("skirtLineCount", 0);
        Put("raftMargin", Micron("raft_margin"));
        Put("raftLineSpacing", Micron("raft_line_spacing"));
        Put("raftBaseThickness", Micron("raft_base_thickness"));
        Put("raftBaseLinewidth", Micron("raft_base_linewidth"));
        Put("raftInterfaceThickness", Micron("raft_interface_thickness"));
        Put("raftInterfaceLinewidth", Micron("raft_interface_linewidth"));
        Put("raftInterfaceLineSpacing", Truncate(Value("raft_interface_linewidth") * 1000 * 2));
        Put("raftAirGapLayer0", Truncate(Value("raft_airgap") * 1000 + Value("raft_airgap_all") * 1000));
        Put("raftAirGap", Micron("raft_airgap_all"));
        Put("raftBaseSpeed", Int("bottom_layer_speed"));
        Put("raftFanSpeed", 0);
        Put("raftSurfaceThickness", Micron("raft_surface_thickness"));
        Put("raftSurfaceLinewidth", Micron("raft_surface_linewidth"));
        Put("raftSurfaceLineSpacing", Micron("raft_surface_linewidth"));
        Put("raftSurfaceLayers", Int("raft_surface_layers"));
        Put("raftSurfaceSpeed", Int("bottom_layer_speed"));
    } else {
        Put("skirtDistance", Micron("skirt_gap"));
        Put("skirtLineCount", Int("skirt_line_count"));
        Put("skirtMinLength", Micron("skirt_minimal_length"));
    }
}
