#ifndef KZLINEREADER_H
#define KZLINEREADER_H

#include <QtGlobal>

#include <cstring>
#include <functional>
#include <vector>

class QFile;
class QIODevice;

// Bytes the readers take from a file at a time. The fuzzing build makes it
// tiny so that every line and record crosses block boundaries.
#ifndef KZ_READ_BLOCK
#define KZ_READ_BLOCK (1 << 20)
#endif

// Hands out the lines of a device one at a time without copying them, reading
// it in large blocks. A line runs up to (not including) '\n'; the last line
// needs no '\n'. The buffer grows only for a line longer than a block, and at
// most to maxLineLength: a longer line is skipped, read on to its '\n' without
// being kept. With dropCarriageReturns every '\r' is removed as the data
// arrives, as a device opened in text mode would do.
class KzLineReader
{
public:
    explicit KzLineReader(QIODevice& device, qint64 byteLimit = -1, int blockSize = KZ_READ_BLOCK,
                          bool dropCarriageReturns = false, qint64 maxLineLength = kDefaultMaxLine);

    static constexpr qint64 kDefaultMaxLine = qint64(64) << 20;

    // Opens file for reading, unbuffered, only when its name is that of a
    // regular file, and without ever waiting: opening a named pipe nobody writes
    // to waits forever, and a pipe or a device may never end. False otherwise.
    static bool OpenRegularFile(QFile& file);

    // Lines skipped so far for being longer than maxLineLength.
    qint64 SkippedLines() const { return m_nSkipped; }

    // Asked before every read from the device: true ends the lines at once, so an
    // endless input without line ends can still be abandoned.
    void SetStopCheck(std::function<bool()> stop) { m_fnStop = std::move(stop); }

    // Sets [begin, end) to the next line; false at the end of the data or on a stop.
    bool Next(const char*& begin, const char*& end)
    {
        // Most lines lie whole in the buffer: those are handed out right here.
        if (m_nPos < m_nEnd && !m_bSkipping) {
            const char* data = m_vecBuffer.data();
            if (const void* nl = std::memchr(data + m_nPos, '\n', m_nEnd - m_nPos)) {
                begin = data + m_nPos;
                end = static_cast<const char*>(nl);
                m_nPos = size_t(end - data) + 1;
                return true;
            }
        }
        return NextAfterFill(begin, end);
    }

private:
    // The general case: skips overlong lines and reads on from the device.
    bool NextAfterFill(const char*& begin, const char*& end);
    bool Fill();
    qint64 DropCarriageReturns(char* p, qint64 n) const;

    QIODevice& m_device;
    std::vector<char> m_vecBuffer;
    size_t m_nPos = 0;      // first unread byte in the buffer
    size_t m_nEnd = 0;      // end of the valid bytes in the buffer
    qint64 m_nRemaining;    // bytes still allowed from the device (-1: no limit)
    bool m_bEof = false;
    bool m_bSkipping = false;   // inside a line too long to keep
    bool m_bDropCarriageReturns;
    size_t m_nMaxLine;
    qint64 m_nSkipped = 0;
    std::function<bool()> m_fnStop;
};

#endif // KZLINEREADER_H
