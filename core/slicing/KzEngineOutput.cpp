#include "KzEngineOutput.h"

#include <QRegularExpression>

#include <cstring>
#include <limits>

namespace {

int ToInt(qint64 value)
{
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return int(value);
}

int Captured(const QRegularExpressionMatch &match)
{
    return match.captured(1).toInt();
}

int LastLineFeed(const char *data, int size)
{
    for (int i = size - 1; i >= 0; --i) {
        if (data[i] == '\n')
            return i;
    }
    return -1;
}

} // namespace

KzEngineOutput::KzEngineOutput()
    : m_nLayerCount(0),
      m_nWindowStart(0),
      m_nSentInWindow(0),
      m_bPrintTime(false),
      m_nPrintTime(0),
      m_bFilament(false),
      m_nFilament(0)
{
    // Room for a kept line and the piece that ends it; kept when emptied.
    m_pendingLine.reserve(ms_nMaxKeptLine + ms_nPieceSize);
}

void KzEngineOutput::Append(const char *data, qint64 size)
{
    for (qint64 offset = 0; offset < size; offset += ms_nPieceSize) {
        const char *piece = data + offset;
        int pieceSize = int(qMin<qint64>(ms_nPieceSize, size - offset));
        if (const void *zero = std::memchr(piece, 0, size_t(pieceSize)))
            pieceSize = int(static_cast<const char *>(zero) - piece);
        AppendPiece(piece, pieceSize);
    }
}

// The complete lines are the kept line and the piece up to its last line
// feed, without the carriage return before that. The rest starts a new line.
// Only the piece is searched: the kept line holds no line feed. The kept
// line's buffer is reused, so a flood of output allocates nothing.
void KzEngineOutput::AppendPiece(const char *data, int size)
{
    const int lineFeed = LastLineFeed(data, size);
    if (lineFeed < 0) {
        KeepLine(data, size);
        return;
    }
    if (m_pendingLine.isEmpty()) {
        const bool carriageReturn = lineFeed > 0 && data[lineFeed - 1] == '\r';
        ScanLines(QByteArray::fromRawData(data, carriageReturn ? lineFeed - 1 : lineFeed), true);
    } else {
        m_pendingLine.append(data, lineFeed);
        if (m_pendingLine.endsWith('\r'))
            m_pendingLine.chop(1);
        ScanLines(m_pendingLine, true);
        m_pendingLine.resize(0);
    }
    KeepLine(data + lineFeed + 1, size - lineFeed - 1);
}

// A line longer than the limit keeps its start; the rest is dropped.
void KzEngineOutput::KeepLine(const char *data, int size)
{
    const int room = ms_nMaxKeptLine - m_pendingLine.size();
    if (room > 0)
        m_pendingLine.append(data, qMin(room, size));
}

void KzEngineOutput::Finish()
{
    ScanLines(m_pendingLine, false);
    m_pendingLine.resize(0);
}

// Most of what an engine prints is none of the lines looked for: the words are
// searched first, the patterns only where they occur.
void KzEngineOutput::ScanLines(const QByteArray &lines, bool progress)
{
    ScanInformation(lines);
    if (!progress || (!lines.contains("Layer count: ") && !lines.contains("Progress:")))
        return;
    const QByteArray lineEnd("\r\n");
    int start = 0;
    for (;;) {
        const int end = lines.indexOf(lineEnd, start);
        const int stop = end < 0 ? lines.size() : end;
        const QByteArray line = QByteArray::fromRawData(lines.constData() + start, stop - start);
        if (line.contains("Layer count: ") || line.contains("Progress:"))
            ScanProgress(QString::fromLatin1(line));
        if (end < 0)
            break;
        start = end + lineEnd.size();
    }
}

// The bar runs through three equal phases (walls, skins, export), one step per
// layer in each.
void KzEngineOutput::ScanProgress(const QString &line)
{
    static const QRegularExpression layerPattern(QStringLiteral("Layer count: (\\d*)"));
    static const QRegularExpression insetPattern(QStringLiteral("Progress:inset:(\\d*):\\d*"));
    static const QRegularExpression skinPattern(QStringLiteral("Progress:skin:(\\d*):\\d*"));
    static const QRegularExpression exportPattern(QStringLiteral("Progress:export:(\\d*):\\d*"));

    QRegularExpressionMatch match;
    if ((match = layerPattern.match(line)).hasMatch()) {
        m_nLayerCount = Captured(match);
        AddProgress(true, ToInt(3 * qint64(m_nLayerCount)));
    } else if ((match = insetPattern.match(line)).hasMatch()) {
        AddProgress(false, Captured(match));
    } else if ((match = skinPattern.match(line)).hasMatch()) {
        AddProgress(false, ToInt(qint64(m_nLayerCount) + Captured(match)));
    } else if ((match = exportPattern.match(line)).hasMatch()) {
        AddProgress(false, ToInt(2 * qint64(m_nLayerCount) + Captured(match)));
    }
}

// The first print time and filament length count; the last error line does.
void KzEngineOutput::ScanInformation(const QByteArray &lines)
{
    static const QRegularExpression timePattern(QStringLiteral("Print time: (\\d*)"));
    static const QRegularExpression filamentPattern(QStringLiteral("Filament: (\\d*)"));
    static const QRegularExpression errorPattern(QStringLiteral("^Error: *([^\\r\\n]+)"),
                                                 QRegularExpression::MultilineOption);
    if (!m_bPrintTime && lines.contains("Print time: ")) {
        const QRegularExpressionMatch time = timePattern.match(QString::fromLatin1(lines));
        m_bPrintTime = time.hasMatch();
        m_nPrintTime = m_bPrintTime ? Captured(time) : 0;
    }
    if (!m_bFilament && lines.contains("Filament: ")) {
        const QRegularExpressionMatch filament = filamentPattern.match(QString::fromLatin1(lines));
        m_bFilament = filament.hasMatch();
        m_nFilament = m_bFilament ? Captured(filament) : 0;
    }
    if (lines.contains("Error:")) {
        QString reason;
        for (auto it = errorPattern.globalMatch(QString::fromLatin1(lines)); it.hasNext();)
            reason = it.next().captured(1).trimmed();
        // Read byte for byte; the engine writes its messages in UTF-8.
        if (!reason.isEmpty())
            m_strLastError = QString::fromUtf8(reason.toLatin1());
    }
}

void KzEngineOutput::AddProgress(bool range, int value)
{
    m_vecProgress.append(Progress{range, value});
    if (m_vecProgress.size() > 2 * ms_nProgressBurst)
        Collapse();
}

// Only the latest range and the latest value matter for the bar.
void KzEngineOutput::Collapse()
{
    int range = -1;
    int value = -1;
    for (int i = 0; i < m_vecProgress.size(); ++i)
        (m_vecProgress.at(i).bRange ? range : value) = i;
    QVector<Progress> latest;
    if (range >= 0)
        latest.append(m_vecProgress.at(range));
    if (value >= 0)
        latest.append(m_vecProgress.at(value));
    m_vecProgress.swap(latest);
}

QVector<KzEngineOutput::Progress> KzEngineOutput::TakeProgress(qint64 nowMs)
{
    if (nowMs - m_nWindowStart >= ms_nProgressWindowMs || nowMs < m_nWindowStart) {
        m_nWindowStart = nowMs;
        m_nSentInWindow = 0;
    }
    const int allowed = ms_nProgressBurst - m_nSentInWindow;
    if (m_vecProgress.size() > allowed)
        Collapse();
    if (m_vecProgress.size() > allowed)
        return {};
    m_nSentInWindow += m_vecProgress.size();
    QVector<Progress> steps;
    steps.swap(m_vecProgress);
    return steps;
}

QVector<KzEngineOutput::Progress> KzEngineOutput::TakeLastProgress()
{
    if (m_vecProgress.size() > ms_nProgressBurst)
        Collapse();
    QVector<Progress> steps;
    steps.swap(m_vecProgress);
    return steps;
}

bool KzEngineOutput::HasPrintTime() const
{
    return m_bPrintTime;
}

int KzEngineOutput::GetPrintTime() const
{
    return m_nPrintTime;
}

bool KzEngineOutput::HasFilament() const
{
    return m_bFilament;
}

int KzEngineOutput::GetFilament() const
{
    return m_nFilament;
}

QString KzEngineOutput::GetLastError() const
{
    return m_strLastError;
}

int KzEngineOutput::GetKeptLineSize() const
{
    return m_pendingLine.size();
}
