#include "KzUserSettings.h"

#include <QStandardPaths>

namespace {

const char kGeometryKey[] = "Window/Geometry";
const char kModelFolderKey[] = "Models/Folder";
const char kMachineKey[] = "Printer/Machine";
const char kMaterialKey[] = "Printer/Material";
const char kEjectAfterSaveKey[] = "Card/EjectAfterSave";
const char kLanguageKey[] = "Interface/Language";

int ReadChoice(const QSettings& settings, const char* key)
{
    bool ok = false;
    const int value = settings.value(QLatin1String(key)).toInt(&ok);
    return ok && value >= 0 ? value : KzUserSettings::ms_nNoChoice;
}

} // namespace

KzUserSettings::KzUserSettings()
    : KzUserSettings(GetDefaultFile())
{
}

KzUserSettings::KzUserSettings(const QString& file)
    : m_settings(file, QSettings::IniFormat)
{
}

QString KzUserSettings::GetDefaultFile()
{
    // Not named after the running program: every program of the project that
    // remembers the user's choices finds the same file.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/kzvellum/kzvellum.conf");
}

QString KzUserSettings::GetFile() const
{
    return m_settings.fileName();
}

QByteArray KzUserSettings::GetWindowGeometry() const
{
    return m_settings.value(QLatin1String(kGeometryKey)).toByteArray();
}

void KzUserSettings::SetWindowGeometry(const QByteArray& geometry)
{
    m_settings.setValue(QLatin1String(kGeometryKey), geometry);
    Save();
}

QString KzUserSettings::GetModelFolder() const
{
    return m_settings.value(QLatin1String(kModelFolderKey)).toString();
}

void KzUserSettings::SetModelFolder(const QString& folder)
{
    m_settings.setValue(QLatin1String(kModelFolderKey), folder);
    Save();
}

int KzUserSettings::GetMachineType() const
{
    return ReadChoice(m_settings, kMachineKey);
}

int KzUserSettings::GetMaterialID() const
{
    return ReadChoice(m_settings, kMaterialKey);
}

void KzUserSettings::SetChoice(int machineType, int materialID)
{
    m_settings.setValue(QLatin1String(kMachineKey), machineType);
    m_settings.setValue(QLatin1String(kMaterialKey), materialID);
    Save();
}

QString KzUserSettings::GetLanguage() const
{
    return m_settings.value(QLatin1String(kLanguageKey)).toString();
}

void KzUserSettings::SetLanguage(const QString& language)
{
    m_settings.setValue(QLatin1String(kLanguageKey), language);
    Save();
}

bool KzUserSettings::GetEjectAfterSave() const
{
    return m_settings.value(QLatin1String(kEjectAfterSaveKey), false).toBool();
}

void KzUserSettings::SetEjectAfterSave(bool eject)
{
    m_settings.setValue(QLatin1String(kEjectAfterSaveKey), eject);
    Save();
}

void KzUserSettings::Save()
{
    m_settings.sync();
    if (m_settings.status() != QSettings::NoError)
        qWarning("KzVellum: cannot write the settings file %s", qPrintable(m_settings.fileName()));
}
