#include "KzConfigureData.h"

#include "KzDataFolder.h"
#include "KzFatalError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include <algorithm>
#include <mutex>

namespace {

// The placeholder shown for a machine that has no real entry yet.
QString Placeholder()
{
    return QString(QChar(100));
}

MachineInfo PlaceholderMachine(int type)
{
    MachineInfo machine;
    machine.type = type;
    machine.description = Placeholder();
    machine.selected = Placeholder();
    machine.length = 100;
    return machine;
}

MaterialInfo DefaultMaterial(int id)
{
    MaterialInfo material;
    material.id = id;
    material.printTemperature = 190;
    return material;
}

int ReadNumber(QXmlStreamReader &reader)
{
    return reader.readElementText().toInt(nullptr, 10);
}

} // namespace

KzConfigureData::KzConfigureData()
    : selectedMachineType(0),
      m_currentMachine(PlaceholderMachine(3)),
      m_savedMachine(m_currentMachine),
      m_currentMaterial(DefaultMaterial(0)),
      m_savedMaterial(m_currentMaterial),
      m_dModelPosX(0.0),
      m_dModelPosY(0.0)
{
    if (!LoadBasicMap())
        InitBasicMap();
    m_strAppDataPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                       + QStringLiteral("/Vellum");
    QDir().mkpath(m_strAppDataPath);
}

std::shared_ptr<KzConfigureData> KzConfigureData::GetInstance()
{
    static std::once_flag made;
    std::call_once(made, [] { m_pThis.reset(new KzConfigureData); });
    return m_pThis;
}

QString KzConfigureData::GetCurrentMachineName()
{
    return m_currentMachine.description;
}

int KzConfigureData::GetCurrentMachineType()
{
    return m_currentMachine.type;
}

int KzConfigureData::GetCurrentMaterialID()
{
    return m_currentMaterial.id;
}

bool KzConfigureData::HasMachine(int type) const
{
    return m_mapMachine.contains(type);
}

bool KzConfigureData::HasMaterial(int id) const
{
    return m_mapMaterial.contains(id);
}

int KzConfigureData::GetLastMachineType()
{
    return m_savedMachine.type;
}

void KzConfigureData::SetMachineType(int type)
{
    auto it = m_mapMachine.constFind(type);
    if (it != m_mapMachine.constEnd())
        m_currentMachine = it.value();
}

void KzConfigureData::SetMaterialID(int id)
{
    auto it = m_mapMaterial.constFind(id);
    if (it != m_mapMaterial.constEnd())
        m_currentMaterial = it.value();
}

void KzConfigureData::SaveMachine()
{
    m_savedMachine = m_currentMachine;
}

void KzConfigureData::RevokeMachine()
{
    m_currentMachine = m_savedMachine;
}

void KzConfigureData::SaveMaterial()
{
    m_savedMaterial = m_currentMaterial;
}

void KzConfigureData::RevokeMaterial()
{
    m_currentMaterial = m_savedMaterial;
}

void KzConfigureData::GetMaterialTemperature(int &print, int &bed)
{
    print = m_currentMaterial.printTemperature;
    // Machines 4 and 5 have no heated bed.
    const bool noBed = m_currentMachine.type == 4 || m_currentMachine.type == 5;
    bed = noBed ? 0 : m_currentMaterial.bedTemperature;
}

void KzConfigureData::GetPrintBound(QVector3D &max, QVector3D &min)
{
    const double halfLength = m_currentMachine.length * 0.5;
    const double halfWidth = m_currentMachine.width * 0.5;
    max = QVector3D(float(halfLength), float(halfWidth), float(m_currentMachine.height));
    min = QVector3D(float(-halfLength), float(-halfWidth), 0.0f);
}

void KzConfigureData::GetPrintPos(double &x, double &y)
{
    x = m_currentMachine.length * 0.5 + m_dModelPosX;
    y = m_currentMachine.width * 0.5 + m_dModelPosY;
}

void KzConfigureData::GetLayerModelOffset(double &x, double &y)
{
    x = -m_currentMachine.length * 0.5;
    y = -m_currentMachine.width * 0.5;
}

double KzConfigureData::GetReviseFactor()
{
    const int edge = std::max({m_currentMachine.length, m_currentMachine.width,
                               m_currentMachine.height});
    // A machine without sizes (numbers missing from the machine file) keeps
    // the scale of the 100 mm placeholder volume instead of an endless one.
    if (edge <= 0)
        return ms_dDefaultReviseFactor;
    return 50.0 / edge;
}

QString KzConfigureData::GetMachineFilePath()
{
    return KzDataFolder::GetConfigureFile(QStringLiteral("basic.xml"));
}

QString KzConfigureData::GetSliceFilePath()
{
    return KzDataFolder::GetConfigureFile(QStringLiteral("slice.xml"));
}

bool KzConfigureData::IsSliceFileReadable() const
{
    return GetSliceFileError().isEmpty();
}

QString KzConfigureData::GetSliceFileError() const
{
    QFile file(GetSliceFilePath());
    const QString where = QFileInfo(file).absoluteFilePath();
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2").arg(where, file.errorString());
    // The slice profile stops at an XML error and fills in its built-in
    // values: such a file is as bad as a missing one.
    QXmlStreamReader reader(&file);
    int settings = 0;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("SliceParam"))
            ++settings;
    }
    if (reader.hasError())
        return QStringLiteral("%1:%2: %3").arg(where).arg(reader.lineNumber()).arg(reader.errorString());
    if (settings == 0)
        return QStringLiteral("%1: no SliceParam settings").arg(where);
    return QString();
}

void KzConfigureData::SetModelPos(double x, double y)
{
    m_dModelPosX = x;
    m_dModelPosY = y;
}

QString KzConfigureData::GetTmpSTLFilePath()
{
    return m_strAppDataPath + QStringLiteral("/tmpSTL.stl");
}

QString KzConfigureData::GetTmpGcodeFilePath()
{
    return m_strAppDataPath + QStringLiteral("/tmpGCode.gcode");
}

bool KzConfigureData::LoadBasicMap()
{
    m_mapMachine.clear();
    m_mapMaterial.clear();

    QFile file(GetMachineFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;

    const QMap<QString, int> machineTypes = {
        {QStringLiteral("Alder"), 0}, {QStringLiteral("Hazel"), 1}, {QStringLiteral("Cedar"), 2},
        {QStringLiteral("Birch"), 3}, {QStringLiteral("Rowan"), 4}, {QStringLiteral("Spruce"), 5}};
    const QMap<QString, int> materialIds = {
        {QStringLiteral("PLA"), 0}, {QStringLiteral("ABS"), 1},
        {QStringLiteral("WOOD"), 2}, {QStringLiteral("TPU"), 3}};
    int machineKey = -1;
    int materialKey = -1;

    // A reader error stops the loop; whatever was read before it stays.
    QXmlStreamReader reader(&file);
    while (!reader.atEnd() && !reader.hasError()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringRef name = reader.name();
        const QXmlStreamAttributes attributes = reader.attributes();
        if (name == QLatin1String("Machine")) {
            if (!attributes.hasAttribute(QLatin1String("Name")))
                KzFatalError::Raise(QStringLiteral("Critical error"),
                                    QStringLiteral("Configuration error, need name in Machine section！"));
            machineKey = machineTypes.value(attributes.value(QLatin1String("Name")).toString(), 0);
            MachineInfo &machine = m_mapMachine[machineKey];
            machine.type = machineKey;
            machine.description = attributes.hasAttribute(QLatin1String("Description"))
                                      ? attributes.value(QLatin1String("Description")).toString()
                                      : QStringLiteral("Tidemark");
            machine.selected = attributes.hasAttribute(QLatin1String("Selected"))
                                   ? attributes.value(QLatin1String("Selected")).toString()
                                   : QStringLiteral("False");
            if (machine.selected == QLatin1String("True"))
                selectedMachineType = machineKey;
        } else if (name == QLatin1String("Length")) {
            m_mapMachine[machineKey].length = ReadNumber(reader);
        } else if (name == QLatin1String("Width")) {
            m_mapMachine[machineKey].width = ReadNumber(reader);
        } else if (name == QLatin1String("Height")) {
            m_mapMachine[machineKey].height = ReadNumber(reader);
        } else if (name == QLatin1String("Material")) {
            materialKey = materialIds.value(attributes.value(QLatin1String("Name")).toString(), 0);
            m_mapMaterial[materialKey].id = materialKey;
        } else if (name == QLatin1String("PrintTemperature")) {
            m_mapMaterial[materialKey].printTemperature = ReadNumber(reader);
        } else if (name == QLatin1String("BedTemperature")) {
            m_mapMaterial[materialKey].bedTemperature = ReadNumber(reader);
        }
    }
    file.close();
    return true;
}

void KzConfigureData::InitBasicMap()
{
    m_mapMachine.clear();
    for (int type = 0; type < 4; ++type)
        m_mapMachine.insert(type, PlaceholderMachine(type));
    m_mapMaterial.clear();
    for (int id = 0; id < 4; ++id)
        m_mapMaterial.insert(id, DefaultMaterial(id));
}

std::shared_ptr<KzConfigureData> KzConfigureData::m_pThis;
