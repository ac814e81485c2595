#include "KLayerLoadWork.h"

#include "KzLineReader.h"
#include "emPathType.h"

#include <QDebug>
#include <QFile>
#include <QMap>
#include <QRegExp>
#include <QThread>

#include <cstdint>
#include <cstring>

namespace {

// G-code lines are short; a longer one is no G-code and is skipped unread, so a
// file without line ends cannot fill the memory or hold up a stop request.
const qint64 kMaxGcodeLine = 1 << 20;

// \s and \d of QRegExp, restricted to ASCII (other lines take the slow road).
inline bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsAscii(const char* p, const char* pEnd)
{
    std::uint64_t acc = 0;
    for (; pEnd - p >= 8; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        acc |= word;
    }
    for (; p < pEnd; ++p)
        acc |= static_cast<unsigned char>(*p);
    return (acc & 0x8080808080808080ULL) == 0;
}

// Matches "-?\d+\.\d+" (without the sign when !bSigned) at p, taking every
// digit as the greedy expression does. Returns the end of the number, or null,
// and sets value as QString::toFloat converts the digits.
//
// toFloat goes through a correctly rounded double. Up to 15 digits the
// mantissa (below 10^15 < 2^53) and the power of ten are exact doubles and one
// IEEE division rounds correctly, so that is the same double; longer numbers
// are left to Qt itself. (The mantissa may wrap for those; it is not used then.)
const char* ScanNumber(const char* p, const char* pEnd, bool bSigned, float& value)
{
    static const double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* const pStart = p;
    const bool bNegative = bSigned && p < pEnd && *p == '-';
    if (bNegative)
        ++p;
    std::uint64_t nMantissa = 0;
    const char* pDigits = p;
    for (; p < pEnd && IsDigit(*p); ++p)
        nMantissa = nMantissa * 10 + std::uint64_t(*p - '0');
    const int nWhole = int(p - pDigits);
    if (nWhole == 0 || p == pEnd || *p != '.')
        return nullptr;
    pDigits = ++p;
    for (; p < pEnd && IsDigit(*p); ++p)
        nMantissa = nMantissa * 10 + std::uint64_t(*p - '0');
    const int nFraction = int(p - pDigits);
    if (nFraction == 0)
        return nullptr;
    if (nWhole + nFraction <= 15) {
        const double magnitude = double(nMantissa) / kPow10[nFraction];
        value = float(bNegative ? -magnitude : magnitude);
    } else {
        value = QString::fromLatin1(pStart, int(p - pStart)).toFloat();
    }
    return p;
}

// The last "X<num>\sY<num>" that starts at or after pFrom: the greedy ".*" in
// front of it takes as much of the line as it can.
bool FindLastPair(const char* pFrom, const char* pEnd, KLayerLoadWork::LineMatch& match, const char*& pPairEnd)
{
    for (const char* pX = pEnd; (pX = static_cast<const char*>(memrchr(pFrom, 'X', size_t(pX - pFrom))));) {
        const char* pXEnd = ScanNumber(pX + 1, pEnd, true, match.x);
        if (!pXEnd || pEnd - pXEnd < 2 || !IsSpace(pXEnd[0]) || pXEnd[1] != 'Y')
            continue;
        pPairEnd = ScanNumber(pXEnd + 2, pEnd, true, match.y);
        if (pPairEnd)
            return true;
    }
    return false;
}

const char* Find(const char* p, const char* pEnd, const char* pNeedle, int nNeedle)
{
    while (pEnd - p >= nNeedle) {
        p = static_cast<const char*>(std::memchr(p, pNeedle[0], size_t(pEnd - p) - size_t(nNeedle) + 1));
        if (!p)
            return nullptr;
        if (std::memcmp(p, pNeedle, size_t(nNeedle)) == 0)
            return p;
        ++p;
    }
    return nullptr;
}

bool MatchLayer(const char* pSemicolon, const char* pEnd)
{
    static const char kLayer[] = ";LAYER:";
    const int nLayer = int(sizeof(kLayer)) - 1;
    for (const char* p = pSemicolon; (p = Find(p, pEnd, kLayer, nLayer)); ++p) {
        const char* pNumber = p + nLayer;
        if (pNumber < pEnd && *pNumber == '-')
            ++pNumber;
        if (pNumber < pEnd && IsDigit(*pNumber))
            return true;
    }
    return false;
}

bool MatchType(const char* pSemicolon, const char* pEnd, KLayerLoadWork::LineMatch& match)
{
    static const char kType[] = ";TYPE:";
    const int nType = int(sizeof(kType)) - 1;
    const char* p = Find(pSemicolon, pEnd, kType, nType);
    if (!p)
        return false;
    const char* pName = p + nType;
    const char* pNameEnd = pName;
    while (pNameEnd < pEnd && !IsSpace(*pNameEnd))
        ++pNameEnd;
    match.typeName = QString::fromLatin1(pName, int(pNameEnd - pName));
    return true;
}

bool MatchTravel(const char* pBegin, const char* pEnd, KLayerLoadWork::LineMatch& match)
{
    if (pEnd - pBegin < 2 || pBegin[0] != 'G' || pBegin[1] != '0')
        return false;
    const char* pPairEnd = nullptr;
    if (!FindLastPair(pBegin + 2, pEnd, match, pPairEnd))
        return false;
    if (pEnd - pPairEnd >= 2 && IsSpace(pPairEnd[0]) && pPairEnd[1] == 'Z')
        match.hasZ = ScanNumber(pPairEnd + 2, pEnd, false, match.z) != nullptr;
    return true;
}

bool MatchExtrude(const char* pBegin, const char* pEnd, KLayerLoadWork::LineMatch& match)
{
    const char* pG1 = Find(pBegin, pEnd, "G1", 2);
    const char* pPairEnd = nullptr;
    return pG1 && FindLastPair(pG1 + 2, pEnd, match, pPairEnd);
}

KLayerLoadWork::LineMatch MatchAsciiLine(const char* pBegin, const char* pEnd)
{
    KLayerLoadWork::LineMatch match;
    if (pBegin == pEnd)
        return match;
    if (const char* pSemicolon = static_cast<const char*>(std::memchr(pBegin, ';', size_t(pEnd - pBegin)))) {
        if (MatchLayer(pSemicolon, pEnd)) {
            match.rule = KLayerLoadWork::LineMatch::Layer;
            return match;
        }
        if (MatchType(pSemicolon, pEnd, match)) {
            match.rule = KLayerLoadWork::LineMatch::Type;
            return match;
        }
    }
    if (MatchTravel(pBegin, pEnd, match))
        match.rule = KLayerLoadWork::LineMatch::Travel;
    else if (MatchExtrude(pBegin, pEnd, match))
        match.rule = KLayerLoadWork::LineMatch::Extrude;
    return match;
}

QMap<QString, int> BuildTypeMap()
{
    QMap<QString, int> types;
    types.insert(QStringLiteral("WALL-OUTER"), PathWallOuter);
    types.insert(QStringLiteral("WALL-INNER"), PathWallInner);
    types.insert(QStringLiteral("SKIN"), PathSkin);
    types.insert(QStringLiteral("SKIRT"), PathSkirt);
    types.insert(QStringLiteral("FILL"), PathFill);
    types.insert(QStringLiteral("SUPPORT"), PathSupport);
    return types;
}

// The layer being collected and the height of the nozzle.
struct ParseState
{
    SingleLayer layer;
    float z = 0.0f;
};

} // namespace

KLayerLoadWork::KLayerLoadWork()
    : QObject(nullptr)
{
}

KLayerLoadWork::LineMatch KLayerLoadWork::MatchLine(const char* pBegin, const char* pEnd)
{
    if (IsAscii(pBegin, pEnd))
        return MatchAsciiLine(pBegin, pEnd);
    // Outside ASCII only white space and digits of other scripts mean anything
    // to the expressions. Without those, every other character stands in as a
    // neutral byte (one per UTF-16 unit, as the expressions count), the line is
    // matched in linear time, and a type name is taken from the real text.
    const QString line = QString::fromUtf8(pBegin, int(pEnd - pBegin));
    QByteArray neutral(line.size(), '\x01');
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c.unicode() < 0x80)
            neutral[i] = char(c.unicode());
        else if (c.isSpace() || c.isDigit())
            return MatchLineByExpressions(line);
    }
    LineMatch match = MatchAsciiLine(neutral.constData(), neutral.constData() + neutral.size());
    if (match.rule == LineMatch::Type)
        match.typeName = line.mid(neutral.indexOf(";TYPE:") + 6, match.typeName.size());
    return match;
}

KLayerLoadWork::LineMatch KLayerLoadWork::MatchLineByExpressions(const QString& line)
{
    QRegExp layer(QStringLiteral(";LAYER:(-?\\d+)"));
    QRegExp type(QStringLiteral(";TYPE:(\\S*)"));
    QRegExp travel(QStringLiteral("^G0.*X(-?\\d+\\.\\d+)\\sY(-?\\d+\\.\\d+)(\\sZ(\\d+\\.\\d+))?"));
    QRegExp extrude(QStringLiteral("G1.*X(-?\\d+\\.\\d+)\\sY(-?\\d+\\.\\d+)"));
    LineMatch match;
    if (layer.indexIn(line) >= 0) {
        match.rule = LineMatch::Layer;
    } else if (type.indexIn(line) >= 0) {
        match.rule = LineMatch::Type;
        match.typeName = type.cap(1);
    } else if (travel.indexIn(line) >= 0) {
        match.rule = LineMatch::Travel;
        match.x = travel.cap(1).toFloat();
        match.y = travel.cap(2).toFloat();
        match.hasZ = !travel.cap(3).isEmpty();
        if (match.hasZ)
            match.z = travel.cap(4).toFloat();
    } else if (extrude.indexIn(line) >= 0) {
        match.rule = LineMatch::Extrude;
        match.x = extrude.cap(1).toFloat();
        match.y = extrude.cap(2).toFloat();
    }
    return match;
}

bool KLayerLoadWork::StopRequested(const QThread* pThread) const
{
    // The interruption request covers a model destroyed before this parse
    // began: clearing m_bStop at the start would otherwise undo its request.
    return m_bStop.load(std::memory_order_relaxed) || pThread->isInterruptionRequested();
}

void KLayerLoadWork::slot_StartLoad(const QString& fileName)
{
    m_bStop = false;
    // Read as text: the carriage returns go (as QIODevice::Text would drop
    // them, only faster), lines end at '\n', and lines outside ASCII are UTF-8.
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        // Nothing to show, but the load is over: the preview must not wait forever.
        qDebug() << "KLayerLoadWork: cannot read" << fileName << file.errorString();
        emit signal_LoadCompete();
        return;
    }

    const QThread* const pThread = QThread::currentThread();
    const QMap<QString, int> types = BuildTypeMap();
    ParseState state;
    // A layer opens with an empty layer-start path. Layers holding nothing more
    // (a flood of layer lines) then all share one list instead of one each.
    SingleLayer freshLayer;
    freshLayer.append(LayerPath{PathLayerStart, {}});
    auto handleLine = [&](const LineMatch& match) {
        switch (match.rule) {
        case LineMatch::Layer:
            emit signal_OneLayerComplete(state.layer);
            state.layer = freshLayer;   // shared until the layer holds more than its start
            break;
        case LineMatch::Type:
            state.layer.append(LayerPath{types.value(match.typeName, PathWallOuter), {}});
            break;
        case LineMatch::Travel:
            if (state.layer.isEmpty())   // no path yet to take a type from
                break;
            if (match.hasZ)
                state.z = match.z;
            state.layer.append(LayerPath{state.layer.last().type, {QVector3D(match.x, match.y, state.z)}});
            break;
        case LineMatch::Extrude:
            if (!state.layer.isEmpty())   // no path yet to extend
                state.layer.last().points.append(QVector3D(match.x, match.y, state.z));
            break;
        case LineMatch::None:
            break;
        }
    };

    KzLineReader lines(file, -1, KZ_READ_BLOCK, true, kMaxGcodeLine);
    lines.SetStopCheck([this, pThread] { return StopRequested(pThread); });
    const char* pBegin = nullptr;
    const char* pEnd = nullptr;
    while (lines.Next(pBegin, pEnd)) {
        if (StopRequested(pThread))
            return;
        handleLine(MatchLine(pBegin, pEnd));
    }
    if (StopRequested(pThread))
        return;

    emit signal_OneLayerComplete(state.layer);
    file.close();
    emit signal_LoadCompete();
}
