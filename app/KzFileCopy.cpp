#include "KzFileCopy.h"

#include <QByteArray>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const qint64 kChunkSize = 64 * 1024;

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

// The new file gets the permissions a plain new file would have.
void SetUsualMode(int fd)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask); // not possible on every card file system; harmless
}

// Writes the source into fd and makes it durable; false on any short write,
// failed sync or wrong final size.
bool Fill(QFile& source, int fd)
{
    QByteArray buffer(int(kChunkSize), Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qint64 n = source.read(buffer.data(), kChunkSize);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!WriteAll(fd, buffer.constData(), n))
            return false;
        total += n;
    }
    struct stat info;
    return ::fsync(fd) == 0 && ::fstat(fd, &info) == 0 && info.st_size == total && total == source.size();
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
    const QFileInfo info(target);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    QByteArray temporary = folder + "/." + QFile::encodeName(info.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        qDebug().noquote() << "KzFileCopy: cannot write in" << info.absolutePath() << std::strerror(errno);
        return false;
    }
    SetUsualMode(fd);
    const bool filled = Fill(input, fd);
    const bool closed = ::close(fd) == 0;
    if (!filled || !closed || ::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0) {
        qDebug().noquote() << "KzFileCopy: cannot write" << target << std::strerror(errno);
        ::unlink(temporary.constData());
        return false;
    }
    SyncFolder(folder);
    return true;
}
