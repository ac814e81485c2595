#include "KzLineReader.h"

#include <QDebug>
#include <QFile>

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

KzLineReader::KzLineReader(QIODevice& device, qint64 byteLimit, int blockSize, bool dropCarriageReturns,
                           qint64 maxLineLength)
    : m_device(device), m_vecBuffer(size_t(qMax(blockSize, 16))), m_nRemaining(byteLimit),
      m_bDropCarriageReturns(dropCarriageReturns), m_nMaxLine(size_t(qMax<qint64>(maxLineLength, 1)))
{
}

bool KzLineReader::NextAfterFill(const char*& begin, const char*& end)
{
    for (;;) {
        const char* data = m_vecBuffer.data();
        if (m_nPos < m_nEnd) {
            const void* nl = std::memchr(data + m_nPos, '\n', m_nEnd - m_nPos);
            if (nl && m_bSkipping) {   // the end of a skipped line: go on after it
                m_bSkipping = false;
                m_nPos = size_t(static_cast<const char*>(nl) - data) + 1;
                continue;
            }
            if (nl) {
                begin = data + m_nPos;
                end = static_cast<const char*>(nl);
                m_nPos = size_t(end - data) + 1;
                return true;
            }
        }
        if (!m_bSkipping && m_nEnd - m_nPos > m_nMaxLine) {
            m_bSkipping = true;
            ++m_nSkipped;
        }
        if (m_bSkipping)
            m_nPos = m_nEnd;   // nothing of the overlong line is kept
        if (m_bEof || !Fill()) {
            if (m_bSkipping || m_nPos >= m_nEnd)
                return false;
            begin = m_vecBuffer.data() + m_nPos;
            end = m_vecBuffer.data() + m_nEnd;
            m_nPos = m_nEnd;
            return true;
        }
    }
}

// Moves the unfinished line to the front and reads more after it. False when
// the device gave nothing more.
bool KzLineReader::Fill()
{
    if (m_fnStop && m_fnStop()) {
        m_bEof = true;
        m_nPos = m_nEnd;   // an unfinished line is not handed out either
        return false;
    }
    if (m_nPos > 0) {
        std::memmove(m_vecBuffer.data(), m_vecBuffer.data() + m_nPos, m_nEnd - m_nPos);
        m_nEnd -= m_nPos;
        m_nPos = 0;
    }
    if (m_nEnd == m_vecBuffer.size())   // one line longer than a block: room up to one byte past the limit
        m_vecBuffer.resize(qMax(m_vecBuffer.size(), qMin(m_vecBuffer.size() * 2, m_nMaxLine + 1)));
    if (m_nEnd == m_vecBuffer.size())
        return false;   // cannot happen: a full buffer holds an overlong line, which Next drops first
    qint64 want = qint64(m_vecBuffer.size() - m_nEnd);
    if (m_nRemaining >= 0)
        want = qMin(want, m_nRemaining);
    const qint64 got = want > 0 ? m_device.read(m_vecBuffer.data() + m_nEnd, want) : 0;
    if (got <= 0) {
        m_bEof = true;
        return false;
    }
    if (m_nRemaining >= 0)
        m_nRemaining -= got;
    m_nEnd += size_t(m_bDropCarriageReturns ? DropCarriageReturns(m_vecBuffer.data() + m_nEnd, got) : got);
    return true;
}

// Removes every '\r' from [p, p + n); returns the bytes left.
qint64 KzLineReader::DropCarriageReturns(char* p, qint64 n) const
{
    char* pEnd = p + n;
    char* pOut = static_cast<char*>(std::memchr(p, '\r', size_t(n)));
    if (!pOut)
        return n;
    for (const char* pIn = pOut; pIn < pEnd; ++pIn) {
        if (*pIn != '\r')
            *pOut++ = *pIn;
    }
    return pOut - p;
}

bool KzLineReader::OpenRegularFile(QFile& file)
{
    const QByteArray name = QFile::encodeName(file.fileName());
    struct stat info;
    // Asked first by name, so that no device is ever opened; then once more on
    // what was opened, in case the name changed hands in between.
    if (::stat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        qDebug() << "not a regular file, not read:" << file.fileName();
        return false;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)
        || !file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}
