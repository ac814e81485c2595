#include "KLayerLoadWork.h"

#include "emPathType.h"

#include <QFile>
#include <QMap>
#include <QRegExp>
#include <QThread>

#include <cstdint>
#include <cstring>

namespace {

const int kBlockSize = 1 << 20;

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
    unsigned char acc = 0;
    for (; p < pEnd; ++p)
        acc |= static_cast<unsigned char>(*p);
    return acc < 0x80;
}

// Matches "-?\d+\.\d+" (without the sign when !bSigned) at p, taking every
// digit as the greedy expression does. Returns the end of the number or null.
const char* ScanDecimal(const char* p, const char* pEnd, bool bSigned)
{
    if (bSigned && p < pEnd && *p == '-')
        ++p;
    const char* pDigits = p;
    while (p < pEnd && IsDigit(*p))
        ++p;
    if (p == pDigits || p == pEnd || *p != '.')
        return nullptr;
    pDigits = ++p;
    while (p < pEnd && IsDigit(*p))
        ++p;
    return p == pDigits ? nullptr : p;
}

// QString::toFloat goes through a correctly rounded double. A mantissa below
// 2^53 over a power of ten up to 1e22 is such a double already (both exact,
// one IEEE division); anything longer is left to Qt itself.
float ToFloat(const char* pBegin, const char* pEnd)
{
    static const double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = pBegin;
    const bool bNegative = *p == '-';
    if (bNegative)
        ++p;
    std::uint64_t nMantissa = 0;
    int nFraction = 0;
    bool bInFraction = false;
    for (; p < pEnd; ++p) {
        if (*p == '.') {
            bInFraction = true;
            continue;
        }
        if (nMantissa > 900719925474098ULL || nFraction == 22)
            return QString::fromLatin1(pBegin, int(pEnd - pBegin)).toFloat();
        nMantissa = nMantissa * 10 + std::uint64_t(*p - '0');
        if (bInFraction)
            ++nFraction;
    }
    const double value = double(nMantissa) / kPow10[nFraction];
    return float(bNegative ? -value : value);
}

// The last "X<num>\sY<num>" that starts at or after pFrom: the greedy ".*" in
// front of it takes as much of the line as it can.
bool FindLastPair(const char* pFrom, const char* pEnd, KLayerLoadWork::LineMatch& match, const char*& pPairEnd)
{
    for (const char* p = pEnd - 1; p >= pFrom; --p) {
        if (*p != 'X')
            continue;
        const char* pX = p + 1;
        const char* pXEnd = ScanDecimal(pX, pEnd, true);
        if (!pXEnd || pEnd - pXEnd < 2 || !IsSpace(pXEnd[0]) || pXEnd[1] != 'Y')
            continue;
        const char* pY = pXEnd + 2;
        const char* pYEnd = ScanDecimal(pY, pEnd, true);
        if (!pYEnd)
            continue;
        match.x = ToFloat(pX, pXEnd);
        match.y = ToFloat(pY, pYEnd);
        pPairEnd = pYEnd;
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
    if (pEnd - pPairEnd >= 2 && IsSpace(pPairEnd[0]) && pPairEnd[1] == 'Z') {
        const char* pZ = pPairEnd + 2;
        if (const char* pZEnd = ScanDecimal(pZ, pEnd, false)) {
            match.z = ToFloat(pZ, pZEnd);
            match.hasZ = true;
        }
    }
    return true;
}

bool MatchExtrude(const char* pBegin, const char* pEnd, KLayerLoadWork::LineMatch& match)
{
    const char* pG1 = Find(pBegin, pEnd, "G1", 2);
    const char* pPairEnd = nullptr;
    return pG1 && FindLastPair(pG1 + 2, pEnd, match, pPairEnd);
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
    if (pBegin == pEnd)
        return LineMatch();
    if (!IsAscii(pBegin, pEnd))
        return MatchLineByExpressions(QString::fromUtf8(pBegin, int(pEnd - pBegin)));
    LineMatch match;
    if (const char* pSemicolon = static_cast<const char*>(std::memchr(pBegin, ';', size_t(pEnd - pBegin)))) {
        if (MatchLayer(pSemicolon, pEnd)) {
            match.rule = LineMatch::Layer;
            return match;
        }
        if (MatchType(pSemicolon, pEnd, match)) {
            match.rule = LineMatch::Type;
            return match;
        }
    }
    if (MatchTravel(pBegin, pEnd, match))
        match.rule = LineMatch::Travel;
    else if (MatchExtrude(pBegin, pEnd, match))
        match.rule = LineMatch::Extrude;
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
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;

    const QThread* const pThread = QThread::currentThread();
    const QMap<QString, int> types = BuildTypeMap();
    ParseState state;
    auto handleLine = [&](const char* pBegin, const char* pEnd) {
        const LineMatch match = MatchLine(pBegin, pEnd);
        switch (match.rule) {
        case LineMatch::Layer:
            emit signal_OneLayerComplete(state.layer);
            state.layer = SingleLayer();
            state.layer.append(LayerPath{PathLayerStart, {}});
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

    // Lines are cut out of large blocks in place; only a line longer than a
    // block makes the buffer grow.
    QByteArray buffer(kBlockSize, Qt::Uninitialized);
    qint64 nHave = 0;
    for (bool bEnd = false; !bEnd;) {
        if (StopRequested(pThread))
            return;
        if (nHave == buffer.size())
            buffer.resize(buffer.size() * 2);
        const qint64 nRead = file.read(buffer.data() + nHave, buffer.size() - nHave);
        bEnd = nRead <= 0;
        if (!bEnd)
            nHave += nRead;
        const char* p = buffer.constData();
        const char* pEnd = p + nHave;
        while (const char* pNewline = static_cast<const char*>(std::memchr(p, '\n', size_t(pEnd - p)))) {
            if (StopRequested(pThread))
                return;
            handleLine(p, pNewline);
            p = pNewline + 1;
        }
        if (bEnd && p < pEnd) {   // a last line without '\n'
            if (StopRequested(pThread))
                return;
            handleLine(p, pEnd);
            p = pEnd;
        }
        nHave = pEnd - p;
        std::memmove(buffer.data(), p, size_t(nHave));
    }

    emit signal_OneLayerComplete(state.layer);
    file.close();
    emit signal_LoadCompete();
}
