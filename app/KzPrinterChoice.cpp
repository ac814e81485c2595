#include "KzPrinterChoice.h"

#include "KzConfigureData.h"
#include "KzUserSettings.h"

#include <QCoreApplication>

namespace {

// By machine type: the name its chooser tile shows, translated there.
const char* const kMachineNames[KzPrinterChoice::ms_nMachineCount] = {
    QT_TRANSLATE_NOOP("KzMachineSelectWidget", "Alder"),
    QT_TRANSLATE_NOOP("KzMachineSelectWidget", "Hazel"),
    QT_TRANSLATE_NOOP("KzMachineSelectWidget", "Cedar"),
    QT_TRANSLATE_NOOP("KzMachineSelectWidget", "Birch"),
    QT_TRANSLATE_NOOP("KzMachineSelectWidget", "Rowan"),
    QT_TRANSLATE_NOOP("KzMachineSelectWidget", "Spruce"),
};

// By material id: the name, the same in every language.
const char* const kMaterialNames[KzPrinterChoice::ms_nMaterialCount] = { "PLA", "ABS", "WOOD", "TPU" };

// By machine type, the materials it prints: PLA, ABS, WOOD, TPU. Machines 4
// and 5 have no heated bed and print PLA only.
const bool kMachineMaterials[KzPrinterChoice::ms_nMachineCount][KzPrinterChoice::ms_nMaterialCount] = {
    { true, true, false, false },  // 0 Alder
    { true, true, true, true },    // 1 Hazel
    { true, true, true, false },   // 2 Cedar
    { true, true, true, false },   // 3 Birch
    { true, false, false, false }, // 4 Rowan
    { true, false, false, false }, // 5 Spruce
};

bool IsMachine(int type)
{
    return type >= 0 && type < KzPrinterChoice::ms_nMachineCount;
}

bool IsMaterial(int id)
{
    return id >= 0 && id < KzPrinterChoice::ms_nMaterialCount;
}

} // namespace

QString KzPrinterChoice::GetMachineModelName(int type)
{
    return IsMachine(type) ? QLatin1String(kMachineNames[type]) : QString();
}

QString KzPrinterChoice::GetMaterialName(int id)
{
    return IsMaterial(id) ? QLatin1String(kMaterialNames[id]) : QString();
}

bool KzPrinterChoice::PrintsMaterial(int type, int id)
{
    return IsMachine(type) && IsMaterial(id) && kMachineMaterials[type][id];
}

int KzPrinterChoice::GetStartMachineType(const KzUserSettings* settings)
{
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    const int remembered = settings ? settings->GetMachineType() : KzUserSettings::ms_nNoChoice;
    return config->HasMachine(remembered) ? remembered : config->selectedMachineType;
}

int KzPrinterChoice::GetStartMaterialID(const KzUserSettings* settings)
{
    const int remembered = settings ? settings->GetMaterialID() : KzUserSettings::ms_nNoChoice;
    return KzConfigureData::GetInstance()->HasMaterial(remembered) ? remembered : 0;
}

int KzPrinterChoice::FindMachine(const QString& name)
{
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    const QString wanted = name.trimmed();
    for (int type = 0; type < ms_nMachineCount; ++type) {
        if (!config->HasMachine(type))
            continue;
        if (wanted.compare(GetMachineModelName(type), Qt::CaseInsensitive) == 0
            || wanted.compare(config->GetMachineName(type), Qt::CaseInsensitive) == 0)
            return type;
    }
    return -1;
}

int KzPrinterChoice::FindMaterial(const QString& name, int type)
{
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    for (int id = 0; id < ms_nMaterialCount; ++id) {
        if (config->HasMaterial(id) && PrintsMaterial(type, id)
            && name.trimmed().compare(GetMaterialName(id), Qt::CaseInsensitive) == 0)
            return id;
    }
    return -1;
}

QStringList KzPrinterChoice::GetMachineNames()
{
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    QStringList names;
    for (int type = 0; type < ms_nMachineCount; ++type) {
        if (config->HasMachine(type))
            names << QStringLiteral("%1 (%2)").arg(config->GetMachineName(type), GetMachineModelName(type));
    }
    return names;
}

QStringList KzPrinterChoice::GetMaterialNames(int type)
{
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    QStringList names;
    for (int id = 0; id < ms_nMaterialCount; ++id) {
        if (config->HasMaterial(id) && PrintsMaterial(type, id))
            names << GetMaterialName(id);
    }
    return names;
}
