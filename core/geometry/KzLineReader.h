#ifndef KZLINEREADER_H
#define KZLINEREADER_H

#include <QtGlobal>

#include <vector>

class QIODevice;

// Hands out the lines of a device one at a time without copying them, reading
// it in large blocks. A line runs up to (not including) '\n'; the last line
// needs no '\n'. The buffer grows only for a line longer than a block, and at
// most to the bytes given by the byte limit.
class KzLineReader
{
public:
    explicit KzLineReader(QIODevice& device, qint64 byteLimit = -1, int blockSize = 1 << 20);

    // Sets [begin, end) to the next line; false at the end of the data.
    bool Next(const char*& begin, const char*& end);

private:
    bool Fill();

    QIODevice& m_device;
    std::vector<char> m_vecBuffer;
    size_t m_nPos = 0;      // first unread byte in the buffer
    size_t m_nEnd = 0;      // end of the valid bytes in the buffer
    qint64 m_nRemaining;    // bytes still allowed from the device (-1: no limit)
    bool m_bEof = false;
};

#endif // KZLINEREADER_H
