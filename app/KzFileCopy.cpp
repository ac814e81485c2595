#include "KzFileCopy.h"

#include <QByteArray>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <vector>
#include <xxhash.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

const qint64 kChunkSize = 64 * 1024;
// Symbolic links followed at most, as the system does.
const int kMaxLinks = 40;
// How much of the target's name goes into a temporary file's name: card file
// systems allow 255 characters in all.
const int kNameInTemporary = 64;
const int kCreateAttempts = 8;
// The checksum of the check: XXH3 with 128 bits (libxxhash). It guards
// against faults, not foes, so a cryptographic hash buys nothing; at several
// GB/s it costs little beside the read even on a fast disk (Qt's SHA-1 ran at
// a sixth of that here and doubled a checked save's time on the disk), and a
// chance match of corrupted data is out of reach.
class KzChecksum
{
public:
    KzChecksum() : m_pState(XXH3_createState()) { XXH3_128bits_reset(m_pState); }
    ~KzChecksum() { XXH3_freeState(m_pState); }
    KzChecksum(const KzChecksum&) = delete;
    KzChecksum& operator=(const KzChecksum&) = delete;

    void Add(const char* data, qint64 size) { XXH3_128bits_update(m_pState, data, size_t(size)); }
    QByteArray Result() const
    {
        XXH128_canonical_t canonical;
        XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(m_pState));
        return QByteArray(reinterpret_cast<const char*>(canonical.digest), int(sizeof canonical.digest));
    }

private:
    XXH3_state_t* m_pState;
};

// File systems whose read after a dropped page cache is not a read from the
// device: memory ones keep their only copy in that cache; FUSE daemons and
// network clients answer from caches of their own, out of reach.
const unsigned long kNotFromDevice[] = {
    0x01021994,  // tmpfs
    0x858458f6,  // ramfs
    0x65735546,  // FUSE (exFAT and NTFS drivers of old systems, fuse2fs, ...)
    0x00006969,  // NFS
    0x0000517b,  // SMB
    0xff534d42,  // CIFS
    0xfe534d42,  // SMB2
    0x01021997,  // 9P
    0x00c36400,  // Ceph
    0x5346414f,  // AFS
};

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

// Whether none of the file's first size bytes is left in the page cache.
bool CacheDropped(int fd, qint64 size)
{
    if (size == 0)
        return true;
    void* map = ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED)
        return false;
    const long page = ::sysconf(_SC_PAGESIZE);
    QByteArray resident(int((size + page - 1) / page), '\0');
    bool dropped = ::mincore(map, size_t(size), reinterpret_cast<unsigned char*>(resident.data())) == 0;
    for (int i = 0; dropped && i < resident.size(); ++i)
        dropped = (resident.at(i) & 1) == 0;
    ::munmap(map, size_t(size));
    return dropped;
}

bool IsReadFromDevice(int fd)
{
    struct statfs info;
    if (::fstatfs(fd, &info) != 0)
        return false;
    for (unsigned long type : kNotFromDevice) {
        if ((unsigned long)(info.f_type) == type)
            return false;
    }
    return true;
}

} // namespace

KzFileCopy::Result KzFileCopy::Copy(const QString& source, const QString& target, ReadBack* pReadBack, bool bCheck)
{
    if (pReadBack)
        *pReadBack = ReadBackNone;
    QFile input(source);
    if (target.isEmpty() || !input.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << "KzFileCopy: cannot read" << source;
        return ResultFailed;
    }
    KzFileCopy copy(target);
    const Result result = copy.Run(input, bCheck);
    if (pReadBack)
        *pReadBack = copy.m_nReadBack;
    return result;
}

bool KzFileCopy::CopyReplacing(const QString& source, const QString& target)
{
    return Copy(source, target) == ResultCopied;
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
    , m_nWritten(0)
    , m_nReadBack(ReadBackNone)
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
KzFileCopy::Result KzFileCopy::Run(QFile& input, bool bCheck)
{
    if (m_strFinalPath.isEmpty()) {
        qDebug().noquote() << "KzFileCopy: a loop of symbolic links";
        return ResultFailed;
    }
    struct stat old;
    if (::stat(QFile::encodeName(m_strFinalPath).constData(), &old) == 0) {
        m_bKeepMode = true;
        m_nMode = old.st_mode & 07777;
    }
    RemoveStaleTemporaries();
    if (!CreateTemporary())
        return ResultFailed;
    if (!Fill(input, bCheck)) {
        qDebug().noquote() << "KzFileCopy: cannot write" << m_strFinalPath << std::strerror(errno);
        return ResultFailed;
    }
    if (bCheck && !ReadBackMatches()) {
        qWarning("KzFileCopy: %s read back other bytes than were written; the old file stays",
                 qPrintable(m_strFinalPath));
        return ResultReadBackDiffers;
    }
    if (!Commit()) {
        qDebug().noquote() << "KzFileCopy: cannot write" << m_strFinalPath << std::strerror(errno);
        return ResultFailed;
    }
    return ResultCopied;
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

// Writes the source into the temporary file (with bChecksum, keeping the checksum
// of what was written) and makes it durable; false on any short write, failed
// sync or wrong final size.
bool KzFileCopy::Fill(QFile& input, bool bChecksum)
{
    QByteArray buffer(int(kChunkSize), Qt::Uninitialized);
    KzChecksum checksum;
    qint64 total = 0;
    for (;;) {
        const qint64 n = input.read(buffer.data(), kChunkSize);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!WriteAll(m_nWriteFd, buffer.constData(), n))
            return false;
        if (bChecksum)
            checksum.Add(buffer.constData(), n);
        total += n;
    }
    m_nWritten = total;
    m_strWrittenChecksum = checksum.Result();
    struct stat info;
    return ::fsync(m_nWriteFd) == 0 && ::fstat(m_nWriteFd, &info) == 0 && info.st_size == total
           && total == input.size();
}

// The copy is synced, so its cached pages are clean and the kernel may drop
// them: the read that follows then asks the device. Whether it did is told by
// the pages' residency and the kind of file system (kNotFromDevice). A read
// error counts as a difference: the card cannot give back what it was given.
bool KzFileCopy::ReadBackMatches()
{
    ::posix_fadvise(m_nWriteFd, 0, 0, POSIX_FADV_DONTNEED);
    const bool fromDevice = CacheDropped(m_nWriteFd, m_nWritten) && IsReadFromDevice(m_nWriteFd);
    m_nReadBack = fromDevice ? ReadBackFromDevice : ReadBackFromCache;

    std::vector<char> buffer(static_cast<size_t>(kChunkSize));
    KzChecksum checksum;
    qint64 offset = 0;
    for (;;) {
        const ssize_t n = ::pread(m_nWriteFd, buffer.data(), buffer.size(), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        checksum.Add(buffer.data(), n);
        offset += n;
    }
    return offset == m_nWritten && checksum.Result() == m_strWrittenChecksum;
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
