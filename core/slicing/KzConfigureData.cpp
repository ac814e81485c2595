#include "KzConfigureData.h"

#include "KzDataFolder.h"
#include "KzFatalError.h"
#include "KzMachineFile.h"
#include "KzSliceProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

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
    material.density = KzConfigureData::GetDefaultDensity(id);
    return material;
}

MachineInfo BuiltInMachine(int type, const char *description, int length, int width, int height)
{
    MachineInfo machine;
    machine.type = type;
    machine.description = QLatin1String(description);
    machine.selected = QStringLiteral("False");
    machine.length = length;
    machine.width = width;
    machine.height = height;
    return machine;
}

MaterialInfo BuiltInMaterial(int id, int print, int bed)
{
    MaterialInfo material;
    material.id = id;
    material.printTemperature = print;
    material.bedTemperature = bed;
    material.density = KzConfigureData::GetDefaultDensity(id);
    return material;
}

// The machine the built-in table starts with.
const int kBuiltInSelected = 1;

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

QString KzConfigureData::GetMachineName(int type) const
{
    return m_mapMachine.value(type).description;
}

QVector3D KzConfigureData::GetMachineSize(int type) const
{
    const MachineInfo machine = m_mapMachine.value(type);
    return QVector3D(float(machine.length), float(machine.width), float(machine.height));
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

double KzConfigureData::GetMaterialDensity() const
{
    return m_currentMaterial.density;
}

double KzConfigureData::GetDefaultDensity(int materialId)
{
    static const double densities[] = {1.24, 1.04, 1.28, 1.21};
    return materialId >= 1 && materialId <= 3 ? densities[materialId] : densities[0];
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
    // The slice profile would fill in its built-in values for a broken file
    // and 0 for a value it cannot read: such a file is as bad as a missing one.
    return KzSliceProfile::CheckPresetFile(file, where);
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

QStringList KzConfigureData::GetMachineFileErrors() const
{
    return m_strListMachineFileErrors;
}

// The file's good entries replace the built-in ones of the same type or id;
// a file that cannot be used leaves the built-in tables alone (false).
bool KzConfigureData::LoadBasicMap()
{
    const KzMachineFile file(GetMachineFilePath());
    if (file.HasNamelessMachine())
        KzFatalError::Raise(QStringLiteral("Critical error"),
                            QStringLiteral("Configuration error, need name in Machine section！"));
    m_strListMachineFileErrors = file.GetErrors();
    InitBasicMap();
    if (!file.IsRead())
        return false;
    for (const MachineInfo &machine : file.GetMachines())
        m_mapMachine.insert(machine.type, machine);
    for (const MaterialInfo &material : file.GetMaterials())
        m_mapMaterial.insert(material.id, material);
    selectedMachineType = std::max(file.GetSelectedType(), 0);
    return true;
}

// The machines and materials shipped in the machine file, for when that file
// is missing or broken: the program still shows a real printer and heats real
// temperatures.
void KzConfigureData::InitBasicMap()
{
    m_mapMachine.clear();
    for (const MachineInfo &machine :
         {BuiltInMachine(0, "Alder 150", 150, 150, 150), BuiltInMachine(1, "Hazel 200", 200, 200, 180),
          BuiltInMachine(2, "Cedar 220", 220, 220, 220), BuiltInMachine(3, "Birch 200", 200, 150, 150),
          BuiltInMachine(4, "Rowan 100", 100, 100, 100), BuiltInMachine(5, "Spruce 120", 120, 120, 120)})
        m_mapMachine.insert(machine.type, machine);
    m_mapMachine[kBuiltInSelected].selected = QStringLiteral("True");
    selectedMachineType = kBuiltInSelected;
    m_mapMaterial.clear();
    for (const MaterialInfo &material : {BuiltInMaterial(0, 205, 60), BuiltInMaterial(1, 240, 100),
                                         BuiltInMaterial(2, 200, 60), BuiltInMaterial(3, 225, 50)})
        m_mapMaterial.insert(material.id, material);
}

std::shared_ptr<KzConfigureData> KzConfigureData::m_pThis;
