#include "KzRemovableStorage.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <sys/sysmacros.h>

namespace {

// One line of the mount table, as much of it as detection needs.
struct MountEntry
{
    QByteArray device;       // "major:minor" of the mounted device
    QString mountPoint;
    bool bReadOnly = false;  // the mount or its file system is read-only
};

inline bool IsOctal(char c)
{
    return c >= '0' && c <= '7';
}

// The mount table writes blank, tab, newline and backslash as \ooo.
QString DecodeMountField(const QByteArray& field)
{
    QByteArray decoded;
    decoded.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size() && IsOctal(field.at(i + 1)) && IsOctal(field.at(i + 2))
            && IsOctal(field.at(i + 3))) {
            decoded.append(char(((field.at(i + 1) - '0') << 6) | ((field.at(i + 2) - '0') << 3) | (field.at(i + 3) - '0')));
            i += 3;
        } else {
            decoded.append(field.at(i));
        }
    }
    return QFile::decodeName(decoded);
}

bool HasReadOnlyOption(const QByteArray& options)
{
    return options.split(',').contains("ro");
}

// "id parent major:minor root mount-point options [optional...] - type source super-options"
bool ParseMountLine(const QByteArray& line, MountEntry& entry)
{
    const QList<QByteArray> fields = line.split(' ');
    const int nSeparator = fields.indexOf("-", 6);
    if (fields.size() < 6 || nSeparator < 0 || nSeparator + 3 >= fields.size())
        return false;
    entry.device = fields.at(2);
    entry.mountPoint = DecodeMountField(fields.at(4));
    entry.bReadOnly = HasReadOnlyOption(fields.at(5)) || HasReadOnlyOption(fields.at(nSeparator + 3));
    return !entry.mountPoint.isEmpty();
}

// "major:minor" as one number, the way the kernel and udisks2 give it; 0 when malformed.
quint64 DeviceNumber(const QByteArray& device)
{
    const QList<QByteArray> parts = device.split(':');
    bool majorOk = false;
    bool minorOk = false;
    const unsigned major = parts.size() == 2 ? parts.at(0).toUInt(&majorOk) : 0;
    const unsigned minor = parts.size() == 2 ? parts.at(1).toUInt(&minorOk) : 0;
    return majorOk && minorOk ? quint64(makedev(major, minor)) : 0;
}

QByteArray ReadSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// The folders that hold the installed system, its boot files, its state and
// its users' homes, and the kernel's and the service manager's virtual file
// systems. A removable drive mounted at or below one of them is the system's
// (the system runs from a stick, or its /home lives on one), never the card.
const char* const kSystemFolders[] = {
    "/bin", "/boot", "/cdrom", "/dev", "/efi", "/etc", "/gnu", "/home", "/lib", "/lib32", "/lib64",
    "/libx32", "/nix", "/opt", "/proc", "/root", "/run", "/sbin", "/snap", "/srv", "/sys", "/usr",
    "/var", "/.snapshots",
};

// Desktops mount media for their users here, inside the otherwise system /run.
const char kRunMedia[] = "/run/media/";

bool IsAtOrBelow(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

QString SystemSource(const QString& strValue, const char* system)
{
    return strValue.isEmpty() ? QString::fromLatin1(system) : strValue;
}

// Sources of helpers made by the default constructor; empty means the system's.
QString& DefaultMountInfo()
{
    static QString strMountInfo;
    return strMountInfo;
}

QString& DefaultSysRoot()
{
    static QString strSysRoot;
    return strSysRoot;
}

// sysfs links dev/block/<major:minor> to the device's folder; a partition's
// folder holds a "partition" file and sits inside its disk's folder. Empty
// for a device sysfs does not know (memory and network file systems).
QString DiskFolder(const QString& strSysRoot, const QByteArray& device)
{
    const QString strDevice = QFileInfo(strSysRoot + QStringLiteral("/dev/block/") + QString::fromLatin1(device))
                                  .canonicalFilePath();
    if (strDevice.isEmpty() || !QFileInfo(strDevice).isDir())
        return QString();
    if (QFileInfo::exists(strDevice + QStringLiteral("/partition")))
        return QFileInfo(strDevice).absolutePath();
    return strDevice;
}

// A card in a built-in SD slot: the disk's device is a card on the mmc bus.
// Such slots report "removable" 0 because the slot, not the card, is fixed.
bool IsOnMmcBus(const QString& strDisk)
{
    const QString strDevice = QFileInfo(strDisk + QStringLiteral("/device")).canonicalFilePath();
    if (strDevice.isEmpty())
        return false;
    const QFileInfo bus(QFileInfo(strDevice + QStringLiteral("/subsystem")).canonicalFilePath());
    return bus.fileName() == QLatin1String("mmc") && QFileInfo(bus.absolutePath()).fileName() == QLatin1String("bus");
}

bool IsRemovableDisk(const QString& strDisk)
{
    return ReadSmallFile(strDisk + QStringLiteral("/removable")).trimmed() == "1" || IsOnMmcBus(strDisk);
}

QList<MountEntry> ReadMountTable(const QString& strMountInfo)
{
    QList<MountEntry> entries;
    const QList<QByteArray> lines = ReadSmallFile(strMountInfo).split('\n');
    for (const QByteArray& line : lines) {
        MountEntry entry;
        if (ParseMountLine(line, entry))
            entries.append(entry);
    }
    return entries;
}

} // namespace

KzRemovableStorage::KzRemovableStorage()
    : KzRemovableStorage(SystemSource(DefaultMountInfo(), "/proc/self/mountinfo"), SystemSource(DefaultSysRoot(), "/sys"))
{
}

KzRemovableStorage::KzRemovableStorage(const QString& strMountInfo, const QString& strSysRoot)
    : m_strMountInfo(strMountInfo)
    , m_strSysRoot(strSysRoot)
{
}

void KzRemovableStorage::SetSystemSources(const QString& strMountInfo, const QString& strSysRoot)
{
    DefaultMountInfo() = strMountInfo;
    DefaultSysRoot() = strSysRoot;
}

bool KzRemovableStorage::IsSystemMountPoint(const QString& strMountPoint)
{
    if (strMountPoint == QLatin1String("/"))
        return true;
    if (strMountPoint.startsWith(QLatin1String(kRunMedia)))
        return false;
    for (const char* folder : kSystemFolders) {
        if (IsAtOrBelow(strMountPoint, QLatin1String(folder)))
            return true;
    }
    return false;
}

bool KzRemovableStorage::DetectRemovableStorage()
{
    m_strListStorage.clear();
    m_mapDeviceNumbers.clear();
    const QList<MountEntry> entries = ReadMountTable(m_strMountInfo);

    // Every disk that carries a part of the running system.
    QStringList systemDisks;
    for (const MountEntry& entry : entries) {
        if (IsSystemMountPoint(entry.mountPoint))
            systemDisks.append(DiskFolder(m_strSysRoot, entry.device));
    }

    for (const MountEntry& entry : entries) {
        if (entry.bReadOnly || IsSystemMountPoint(entry.mountPoint))
            continue;
        const QString strDisk = DiskFolder(m_strSysRoot, entry.device);
        if (!strDisk.isEmpty() && !systemDisks.contains(strDisk) && IsRemovableDisk(strDisk)) {
            m_strListStorage.append(entry.mountPoint);
            m_mapDeviceNumbers.insert(entry.mountPoint, DeviceNumber(entry.device));
        }
    }
    m_strListStorage.sort();
    m_strListStorage.removeDuplicates();
    return !m_strListStorage.isEmpty();
}

void KzRemovableStorage::CalSDFullName(QString& name) const
{
    if (m_strListStorage.isEmpty()) {
        name.clear();
        return;
    }
    QString strRoot = m_strListStorage.first();
    if (!strRoot.endsWith(QLatin1Char('/')))
        strRoot += QLatin1Char('/');
    name = strRoot + name + QStringLiteral(".gcode");
}

QStringList KzRemovableStorage::GetStorageList() const
{
    return m_strListStorage;
}

quint64 KzRemovableStorage::GetDeviceNumber(const QString& strMountPoint) const
{
    return m_mapDeviceNumbers.value(strMountPoint, 0);
}
