#include "KzFileCopy.h"

#include <QByteArray>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const qint64 kChunkSize = 64 * 1024;
// Symbolic links followed at most, as the system does.
const int kMaxLinks = 40;
// How much of the target's name goes into a temporary file's name: card file
// systems allow 255 characters in all.
const int kNameInTemporary = 64;
const int kCreateAttempts = 8;

bool WriteAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// The permissions a plain new file would have.
mode_t UsualMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The file a path finally names, its symbolic links followed (also a link
// that leads to nothing yet); empty for a loop of links.
QString FollowLinks(const QString& path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int i = 0; i < kMaxLinks; ++i) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        current = info.symLinkTarget();
    }
    return QString();
}

// Whether the open file is still the regular file at path.
bool IsStillAt(int fd, const QByteArray& path)
{
    struct stat opened;
    struct stat named;
    return ::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &named) == 0 && S_ISREG(named.st_mode)
           && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Best effort: makes the rename itself durable.
void SyncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool KzFileCopy::CopyReplacing(const QString& source, const QString& target)
{
    QFile input(source);
    if (target.isEmpty() || !input.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << "KzFileCopy: cannot read" << source;
        return false;
    }
    KzFileCopy copy(target);
    return copy.Run(input);
}

bool KzFileCopy::IsTemporaryName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\..*\\.kzvellum-[A-Za-z0-9]{6}$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    return pattern.match(name).hasMatch();
}

KzFileCopy::KzFileCopy(const QString& target)
    : m_strFinalPath(FollowLinks(target))
    , m_strFolder(QFileInfo(m_strFinalPath).absolutePath())
    , m_nWriteFd(-1)
    , m_nLockFd(-1)
    , m_bKeepMode(false)
    , m_nMode(0)
{
}

// A temporary file still here was not renamed: it goes, before its lock.
KzFileCopy::~KzFileCopy()
{
    if (m_nWriteFd >= 0)
        ::close(m_nWriteFd);
    if (!m_strTemporary.isEmpty())
        ::unlink(m_strTemporary.constData());
    if (m_nLockFd >= 0)
        ::close(m_nLockFd);
}

// The steps of one copy; each failure leaves the target as it was.
bool KzFileCopy::Run(QFile& input)
{
    if (m_strFinalPath.isEmpty()) {
        qDebug().noquote() << "KzFileCopy: a loop of symbolic links";
        return false;
    }
    struct stat old;
    if (::stat(QFile::encodeName(m_strFinalPath).constData(), &old) == 0) {
        m_bKeepMode = true;
        m_nMode = old.st_mode & 07777;
    }
    RemoveStaleTemporaries();
    if (!CreateTemporary())
        return false;
    if (!Fill(input) || !Commit()) {
        qDebug().noquote() << "KzFileCopy: cannot write" << m_strFinalPath << std::strerror(errno);
        return false;
    }
    return true;
}

// Only this program's names, and only unlocked files: a save in progress, in
// this or another instance, holds the lock of its file.
void KzFileCopy::RemoveStaleTemporaries() const
{
    const QDir folder(m_strFolder);
    const QStringList names = folder.entryList(QStringList{ QStringLiteral("*.kzvellum-??????") },
                                               QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString& name : names) {
        if (!IsTemporaryName(name))
            continue;
        const QByteArray path = QFile::encodeName(folder.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && IsStillAt(fd, path) && ::unlink(path.constData()) == 0)
            qDebug().noquote() << "KzFileCopy: removed the remains of an earlier save," << folder.filePath(name);
        ::close(fd);
    }
}

// The file is created, then locked: another instance's sweep may remove it in
// between, so it must still be in place once locked, or another is made.
bool KzFileCopy::CreateTemporary()
{
    const QString name = QFileInfo(m_strFinalPath).fileName().left(kNameInTemporary);
    const QByteArray pattern = QFile::encodeName(m_strFolder + QStringLiteral("/.") + name) + ".kzvellum-XXXXXX";
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        QByteArray path = pattern;
        const int fd = ::mkostemp(path.data(), O_CLOEXEC);
        if (fd < 0) {
            qDebug().noquote() << "KzFileCopy: cannot write in" << m_strFolder << std::strerror(errno);
            return false;
        }
        const int lockFd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (lockFd >= 0 && ::flock(lockFd, LOCK_EX | LOCK_NB) == 0 && IsStillAt(lockFd, path)) {
            m_nWriteFd = fd;
            m_nLockFd = lockFd;
            m_strTemporary = path;
            // Not possible on every card file system; harmless.
            ::fchmod(fd, m_bKeepMode ? m_nMode : UsualMode());
            return true;
        }
        if (lockFd < 0)
            ::unlink(path.constData());
        else
            ::close(lockFd);
        ::close(fd);
    }
    return false;
}

// Writes the source into the temporary file and makes it durable; false on
// any short write, failed sync or wrong final size.
bool KzFileCopy::Fill(QFile& input)
{
    QByteArray buffer(int(kChunkSize), Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qint64 n = input.read(buffer.data(), kChunkSize);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!WriteAll(m_nWriteFd, buffer.constData(), n))
            return false;
        total += n;
    }
    struct stat info;
    return ::fsync(m_nWriteFd) == 0 && ::fstat(m_nWriteFd, &info) == 0 && info.st_size == total
           && total == input.size();
}

// The complete copy takes the target's place; the lock is held until then.
bool KzFileCopy::Commit()
{
    const bool closed = ::close(m_nWriteFd) == 0;
    m_nWriteFd = -1;
    if (!closed || ::rename(m_strTemporary.constData(), QFile::encodeName(m_strFinalPath).constData()) != 0)
        return false;
    m_strTemporary.clear();
    SyncFolder(QFile::encodeName(m_strFolder));
    return true;
}
