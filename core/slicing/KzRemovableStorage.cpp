#include "KzRemovableStorage.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>

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

QByteArray ReadSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// sysfs links dev/block/<major:minor> to the device's folder; a partition's
// folder holds a "partition" file and sits inside its disk's folder, which
// holds "removable".
bool IsRemovableBlockDevice(const QString& strSysRoot, const QByteArray& device)
{
    const QString strDevice = QFileInfo(strSysRoot + QStringLiteral("/dev/block/") + QString::fromLatin1(device))
                                  .canonicalFilePath();
    if (strDevice.isEmpty() || !QFileInfo(strDevice).isDir())
        return false;
    QString strDisk = strDevice;
    if (QFileInfo::exists(strDevice + QStringLiteral("/partition")))
        strDisk = QFileInfo(strDevice).absolutePath();
    return ReadSmallFile(strDisk + QStringLiteral("/removable")).trimmed() == "1";
}

} // namespace

KzRemovableStorage::KzRemovableStorage()
    : KzRemovableStorage(QStringLiteral("/proc/self/mountinfo"), QStringLiteral("/sys"))
{
}

KzRemovableStorage::KzRemovableStorage(const QString& strMountInfo, const QString& strSysRoot)
    : m_strMountInfo(strMountInfo)
    , m_strSysRoot(strSysRoot)
{
}

bool KzRemovableStorage::DetectRemovableStorage()
{
    m_strListStorage.clear();
    const QList<QByteArray> lines = ReadSmallFile(m_strMountInfo).split('\n');
    for (const QByteArray& line : lines) {
        MountEntry entry;
        if (ParseMountLine(line, entry) && !entry.bReadOnly && IsRemovableBlockDevice(m_strSysRoot, entry.device))
            m_strListStorage.append(entry.mountPoint);
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
