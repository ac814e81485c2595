#ifndef KZUSERSETTINGS_H
#define KZUSERSETTINGS_H

#include <QByteArray>
#include <QSettings>
#include <QString>

// What the program remembers between runs, in the user's configuration folder
// ($XDG_CONFIG_HOME/kzvellum/kzvellum.conf): the window's place and size, the
// folder of the last model opened, the printer and material chosen, the
// language of the interface, and whether a save to the SD card ejects it. The
// window reads it at start and writes it as the user goes; a file that cannot
// be written only loses what would have been remembered.
class KzUserSettings
{
public:
    KzUserSettings();
    explicit KzUserSettings(const QString& file);

    static QString GetDefaultFile();
    QString GetFile() const;

    QByteArray GetWindowGeometry() const;
    void SetWindowGeometry(const QByteArray& geometry);

    // Empty when none was remembered.
    QString GetModelFolder() const;
    void SetModelFolder(const QString& folder);

    // ms_nNoChoice when nothing was chosen yet.
    int GetMachineType() const;
    int GetMaterialID() const;
    void SetChoice(int machineType, int materialID);

    // The interface's language as a locale name ("zh_CN", "en"); empty
    // until the user chose one.
    QString GetLanguage() const;
    void SetLanguage(const QString& language);

    // Off until chosen.
    bool GetEjectAfterSave() const;
    void SetEjectAfterSave(bool eject);

    static constexpr int ms_nNoChoice = -1;

private:
    // Written at once, so a later crash keeps it.
    void Save();

    QSettings m_settings;
};

#endif // KZUSERSETTINGS_H
