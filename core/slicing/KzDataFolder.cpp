#include "KzDataFolder.h"

#include <QDir>
#include <QFileInfo>

#include <mutex>

const char *const KzDataFolder::ms_szInstalledData = "share/kzvellum";
const char *const KzDataFolder::ms_szInstalledEngine = "libexec/kzvellum";

namespace {

const char kEngineName[] = "CuraEngine";

struct Folders
{
    std::mutex mutex;
    bool known = false;
    QString data;
    QString engine;   // the folder of the bridge
};

Folders &State()
{
    static Folders folders;
    return folders;
}

void Set(Folders &folders, const QString &data, const QString &engine)
{
    folders.data = QDir::cleanPath(QDir(data).absolutePath());
    folders.engine = QDir::cleanPath(QDir(engine).absolutePath());
    folders.known = true;
}

// Both layouts for the program file's folder; false, with the folder itself,
// when neither holds the data.
bool Locate(const QString &programFile, QString &data, QString &engine)
{
    const QDir folder = QFileInfo(programFile).absoluteDir();
    if (folder.exists(QStringLiteral("Configure"))) {
        data = folder.path();
        engine = folder.filePath(QStringLiteral("Engine"));
        return true;
    }
    const QDir prefix(folder.filePath(QStringLiteral("..")));
    const QString installed = prefix.filePath(QLatin1String(KzDataFolder::ms_szInstalledData));
    if (QFileInfo(installed + QStringLiteral("/Configure")).isDir()) {
        data = installed;
        engine = prefix.filePath(QLatin1String(KzDataFolder::ms_szInstalledEngine));
        return true;
    }
    data = folder.path();
    engine = folder.filePath(QStringLiteral("Engine"));
    return false;
}

// The running program file: the link is resolved, so a program started
// through a symbolic link still finds the data beside its real place.
void EnsureKnown(Folders &folders)
{
    if (folders.known)
        return;
    QString data;
    QString engine;
    Locate(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(), data, engine);
    Set(folders, data, engine);
}

} // namespace

bool KzDataFolder::FindFromProgram(const QString &programFile)
{
    QString data;
    QString engine;
    const bool found = Locate(programFile, data, engine);
    Folders &folders = State();
    std::lock_guard<std::mutex> lock(folders.mutex);
    Set(folders, data, engine);
    return found;
}

void KzDataFolder::Use(const QString &folder)
{
    Folders &folders = State();
    std::lock_guard<std::mutex> lock(folders.mutex);
    Set(folders, folder, folder + QStringLiteral("/Engine"));
}

QString KzDataFolder::GetPath()
{
    Folders &folders = State();
    std::lock_guard<std::mutex> lock(folders.mutex);
    EnsureKnown(folders);
    return folders.data;
}

QString KzDataFolder::GetConfigureFile(const QString &name)
{
    return GetPath() + QStringLiteral("/Configure/") + name;
}

QString KzDataFolder::GetHelpFile(const QString &name)
{
    return GetPath() + QStringLiteral("/Help/") + name;
}

QString KzDataFolder::GetEngineProgram()
{
    Folders &folders = State();
    std::lock_guard<std::mutex> lock(folders.mutex);
    EnsureKnown(folders);
    return folders.engine + QLatin1Char('/') + QLatin1String(kEngineName);
}
