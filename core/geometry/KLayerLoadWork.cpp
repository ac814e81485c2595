#include "KLayerLoadWork.h"

#include "KzLineReader.h"
#include "emPathType.h"

#include <QDebug>
#include <QFile>
#include <QMap>
#include <QRegExp>
#include <QThread>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// G-code lines are short; a longer one is no G-code and is skipped unread, so a
// file without line ends cannot fill the memory or hold up a stop request.
const qint64 kMaxGcodeLine = 1 << 20;

// A line outside ASCII is matched as a stand-in of one byte per UTF-16 unit:
// white space of other scripts becomes '\v', their digits this byte (no
// ASCII line holds it), and every other character a byte that means nothing.
const char kForeignDigit = '\x80';
const char kForeignSpace = '\v';
const char kForeignOther = '\x01';

// \s and \d of QRegExp on such bytes.
inline bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline bool IsDigit(char c)
{
    return (c >= '0' && c <= '9') || c == kForeignDigit;
}

std::uint64_t Load8(const char* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

const std::uint64_t kOnes = 0x0101010101010101ULL;
const std::uint64_t kHighBits = 0x8080808080808080ULL;

// Where a line's text is read from: whether it is all ASCII and its first ';'
// (or null), in one pass of eight bytes at a time.
struct LineSurvey
{
    bool bAscii = true;
    const char* pSemicolon = nullptr;
};

LineSurvey Survey(const char* pBegin, const char* pEnd)
{
    std::uint64_t any = 0;
    std::uint64_t semicolons = 0;   // high bit set in some byte when a ';' was seen
    const char* p = pBegin;
    auto take = [&](std::uint64_t word) {
        const std::uint64_t x = word ^ (kOnes * ';');
        any |= word;
        semicolons |= (x - kOnes) & ~x & kHighBits;
    };
    for (; pEnd - p >= 8; p += 8)
        take(Load8(p));
    if (p < pEnd && pEnd - pBegin >= 8) {
        take(Load8(pEnd - 8));   // the last bytes, overlapping some seen already
    } else {
        for (; p < pEnd; ++p) {
            any |= static_cast<unsigned char>(*p);
            semicolons |= *p == ';';
        }
    }
    LineSurvey survey;
    survey.bAscii = (any & kHighBits) == 0;
    if (semicolons)
        survey.pSemicolon = static_cast<const char*>(std::memchr(pBegin, ';', size_t(pEnd - pBegin)));
    return survey;
}

// A flag (bit 7) in each byte of word that is not an ASCII digit. An ASCII
// digit becomes 0..9 and stays below 0x80 after adding 0x76; any other ASCII
// byte reaches 0x80 or more, and so do bytes from 0x80 up (a foreign digit:
// the byte-wise scan takes those). A carry only reaches bytes after the first
// flagged one, so the lowest flag is always right.
std::uint64_t NonDigits(std::uint64_t word)
{
    return (((word ^ (kOnes * '0')) + kOnes * 0x76) | word) & kHighBits;
}

int LowestFlaggedByte(std::uint64_t flags)
{
    return __builtin_ctzll(flags) >> 3;
}

// How many of the eight bytes at p are digits before the first that is not.
int LeadingDigits8(const char* p)
{
    const std::uint64_t nonDigits = NonDigits(Load8(p));
    return nonDigits ? LowestFlaggedByte(nonDigits) : 8;
}

// The value of the n (1..7) digits that are the lowest bytes of word.
std::uint64_t DigitsValue(std::uint64_t word, int n)
{
    // The digits go to the top bytes and zeros stand in front of them.
    word = (word & 0x0F0F0F0F0F0F0F0FULL) << (8 * (8 - n));
    word = (word * 2561) >> 8;
    word = ((word & 0x00FF00FF00FF00FFULL) * 6553601) >> 16;
    return ((word & 0x0000FFFF0000FFFFULL) * 42949672960001ULL) >> 32;
}

const double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
const std::uint64_t kPow10Int[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

// The usual coordinate: a number that ends within the eight bytes at p, point
// included ("106.591"), read in one go. Returns its end, or null when the
// number is not of that shape.
const char* ScanWordNumber(const char* p, std::uint64_t& nMantissa, int& nFraction)
{
    const std::uint64_t word = Load8(p);
    std::uint64_t nonDigits = NonDigits(word);
    if (!nonDigits)
        return nullptr;
    const int nWhole = LowestFlaggedByte(nonDigits);
    nonDigits &= nonDigits - 1;   // past the point
    if (nWhole == 0 || p[nWhole] != '.' || !nonDigits)
        return nullptr;
    const int nEnd = LowestFlaggedByte(nonDigits);
    nFraction = nEnd - nWhole - 1;
    if (nFraction == 0 || p[nEnd] == kForeignDigit)
        return nullptr;
    // The digits after the point move down over it.
    const std::uint64_t wholeBytes = (std::uint64_t(1) << (8 * nWhole)) - 1;
    nMantissa = DigitsValue((word & wholeBytes) | ((word >> 8) & ~wholeBytes), nEnd - 1);
    return p + nEnd;
}

// Up to seven digits each side of the point, eight bytes readable at both:
// read without a branch per digit. Returns its end, or null when the number is
// not of that shape (the byte-wise scan decides then).
const char* ScanShortNumber(const char* p, const char* pEnd, std::uint64_t& nMantissa, int& nFraction)
{
    if (const char* pNumberEnd = ScanWordNumber(p, nMantissa, nFraction))
        return pNumberEnd;
    const int nWhole = LeadingDigits8(p);
    const char* const pFraction = p + nWhole + 1;
    if (nWhole == 0 || nWhole == 8 || p[nWhole] != '.' || pEnd - pFraction < 8)
        return nullptr;
    nFraction = LeadingDigits8(pFraction);
    if (nFraction == 0 || nFraction == 8 || pFraction[nFraction] == kForeignDigit)
        return nullptr;
    nMantissa = DigitsValue(Load8(p), nWhole) * kPow10Int[nFraction] + DigitsValue(Load8(pFraction), nFraction);
    return pFraction + nFraction;
}

// nMantissa / 10^nFraction (below 2^53, nFraction at most 15) as toFloat gives
// it: the correctly rounded double, rounded once more to float.
//
// One IEEE division gives that double, but a division is slow. A product with
// the rounded reciprocal is within two units in the last place of it, and
// rounds to the same float unless it lies close to halfway between two floats:
// only then is the division done.
float MantissaToFloat(std::uint64_t nMantissa, int nFraction, bool bNegative)
{
    static const double kInversePow10[] = {1e0,   1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                           1e-8,  1e-9,  1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15};
    // The 29 bits a double has beyond a float, and their value halfway.
    const std::uint64_t kBeyondFloat = (std::uint64_t(1) << 29) - 1;
    const std::uint64_t kHalfway = std::uint64_t(1) << 28;
    const std::uint64_t kMargin = 8;
    const double mantissa = double(std::int64_t(nMantissa));   // below 2^53: exact, and a signed conversion is quicker
    double magnitude = mantissa * kInversePow10[nFraction];
    std::uint64_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    if ((bits & kBeyondFloat) - (kHalfway - kMargin) <= 2 * kMargin)
        magnitude = mantissa / kPow10[nFraction];
    return float(bNegative ? -magnitude : magnitude);
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
    const char* const pStart = p;
    const bool bNegative = bSigned && p < pEnd && *p == '-';
    if (bNegative)
        ++p;
    std::uint64_t nMantissa = 0;
    int nFraction = 0;
    const char* pNumberEnd = pEnd - p >= 8 ? ScanShortNumber(p, pEnd, nMantissa, nFraction) : nullptr;
    if (!pNumberEnd) {
        bool bForeign = false;   // toFloat reads no digit of another script: 0
        const char* pDigits = p;
        for (; p < pEnd && IsDigit(*p); ++p) {
            nMantissa = nMantissa * 10 + std::uint64_t(*p - '0');
            bForeign |= *p == kForeignDigit;
        }
        const int nWhole = int(p - pDigits);
        if (nWhole == 0 || p == pEnd || *p != '.')
            return nullptr;
        pDigits = ++p;
        for (; p < pEnd && IsDigit(*p); ++p) {
            nMantissa = nMantissa * 10 + std::uint64_t(*p - '0');
            bForeign |= *p == kForeignDigit;
        }
        nFraction = int(p - pDigits);
        if (nFraction == 0)
            return nullptr;
        if (bForeign) {
            value = 0.0f;
            return p;
        }
        if (nWhole + nFraction > 15) {
            value = QString::fromLatin1(pStart, int(p - pStart)).toFloat();
            return p;
        }
        pNumberEnd = p;
    }
    value = MantissaToFloat(nMantissa, nFraction, bNegative);
    return pNumberEnd;
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
    // Most moves start with it; otherwise its first place anywhere counts.
    const bool bAtStart = pEnd - pBegin >= 2 && pBegin[0] == 'G' && pBegin[1] == '1';
    const char* pG1 = bAtStart ? pBegin : Find(pBegin, pEnd, "G1", 2);
    const char* pPairEnd = nullptr;
    return pG1 && FindLastPair(pG1 + 2, pEnd, match, pPairEnd);
}

// pSemicolon: the line's first ';', or null.
KLayerLoadWork::LineMatch MatchAsciiLine(const char* pBegin, const char* pEnd, const char* pSemicolon)
{
    KLayerLoadWork::LineMatch match;
    if (pSemicolon) {
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

// ";TIME_ELAPSED:<seconds>" at the start of a line: the seconds go to elapsed.
void ReadElapsed(const char* pBegin, const char* pEnd, double& elapsed)
{
    static const char kElapsed[] = ";TIME_ELAPSED:";
    const int n = int(sizeof(kElapsed)) - 1;
    if (pEnd - pBegin <= n || std::memcmp(pBegin, kElapsed, size_t(n)) != 0)
        return;
    bool ok = false;
    const double seconds = QByteArray::fromRawData(pBegin + n, int(pEnd - pBegin) - n).trimmed().toDouble(&ok);
    if (ok && qIsFinite(seconds) && seconds >= 0.0)
        elapsed = seconds;
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

// The layer being collected and the height of the nozzle. The points of the
// layer's last path gather in a scratch buffer that keeps its capacity and go
// into the path, sized exactly, once the path is complete: one allocation a
// path, none freed while reading, and no unused capacity kept in the layers.
struct ParseState
{
    SingleLayer layer;
    std::vector<QVector3D> vecOpenPoints;
    float z = 0.0f;
    double dElapsed = -1.0;   // the layer's last ";TIME_ELAPSED:", -1 for none

    void ClosePath()
    {
        if (vecOpenPoints.empty())
            return;   // leaves a shared layer start shared
        QVector<QVector3D> points(int(vecOpenPoints.size()));   // sized once, then copied in one go
        std::copy(vecOpenPoints.cbegin(), vecOpenPoints.cend(), points.begin());
        layer.last().points = std::move(points);
        vecOpenPoints.clear();
    }

    void OpenPath(int type)
    {
        ClosePath();
        layer.append(LayerPath{type, {}});
    }
};

} // namespace

KLayerLoadWork::KLayerLoadWork()
    : QObject(nullptr)
{
}

KLayerLoadWork::LineMatch KLayerLoadWork::MatchLine(const char* pBegin, const char* pEnd)
{
    const LineSurvey survey = Survey(pBegin, pEnd);
    return survey.bAscii ? MatchAsciiLine(pBegin, pEnd, survey.pSemicolon) : MatchForeignLine(pBegin, pEnd);
}

KLayerLoadWork::LineMatch KLayerLoadWork::MatchForeignLine(const char* pBegin, const char* pEnd)
{
    // Outside ASCII only white space and digits of other scripts mean anything
    // to the expressions: the line is matched through its stand-in, in linear
    // time, and a type name is taken from the real text.
    const QString line = QString::fromUtf8(pBegin, int(pEnd - pBegin));
    QByteArray neutral(line.size(), kForeignOther);
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c.unicode() < 0x80)
            neutral[i] = char(c.unicode());
        else if (c.isSpace())
            neutral[i] = kForeignSpace;
        else if (c.isDigit())
            neutral[i] = kForeignDigit;
    }
    const char* const pNeutral = neutral.constData();
    const char* const pNeutralEnd = pNeutral + neutral.size();
    LineMatch match = MatchAsciiLine(pNeutral, pNeutralEnd, Survey(pNeutral, pNeutralEnd).pSemicolon);
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

bool KLayerLoadWork::WaitForOwner(const QThread* pThread)
{
    const int kMaxInFlight = 256;
    while (m_bPaced && m_nInFlight.load(std::memory_order_acquire) >= kMaxInFlight) {
        if (StopRequested(pThread))
            return false;
        QThread::usleep(200);
    }
    m_nInFlight.fetch_add(1, std::memory_order_relaxed);
    return true;
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
    if (!KzLineReader::OpenRegularFile(file)) {
        // Nothing to show, but the load is over: the preview must not wait forever.
        qDebug() << "KLayerLoadWork: cannot read" << fileName << file.errorString();
        emit signal_LoadCompete();
        return;
    }

    const QThread* const pThread = QThread::currentThread();
    const QMap<QString, int> types = BuildTypeMap();
    bool bStopped = false;
    ParseState state;
    // A layer opens with an empty layer-start path. Layers holding nothing more
    // (a flood of layer lines) then all share one list instead of one each.
    SingleLayer freshLayer;
    freshLayer.append(LayerPath{PathLayerStart, {}});
    auto handleLine = [&](const LineMatch& match) {
        switch (match.rule) {
        case LineMatch::Layer:
            state.ClosePath();
            if (!WaitForOwner(pThread)) {
                bStopped = true;
                break;
            }
            m_dLayerElapsed = state.dElapsed;
            emit signal_OneLayerComplete(state.layer);
            state.layer = freshLayer;   // shared until the layer holds more than its start
            state.dElapsed = -1.0;
            break;
        case LineMatch::Type:
            state.OpenPath(types.value(match.typeName, PathWallOuter));
            break;
        case LineMatch::Travel:
            if (state.layer.isEmpty())   // no path yet to take a type from
                break;
            if (match.hasZ)
                state.z = match.z;
            state.OpenPath(state.layer.last().type);
            state.vecOpenPoints.emplace_back(match.x, match.y, state.z);
            break;
        case LineMatch::Extrude:
            if (!state.layer.isEmpty())   // no path yet to extend
                state.vecOpenPoints.emplace_back(match.x, match.y, state.z);
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
        // The interruption is seen by the line reader before every block.
        if (bStopped || m_bStop.load(std::memory_order_relaxed))
            return;
        const LineSurvey survey = Survey(pBegin, pEnd);
        if (survey.pSemicolon == pBegin)
            ReadElapsed(pBegin, pEnd, state.dElapsed);
        handleLine(survey.bAscii ? MatchAsciiLine(pBegin, pEnd, survey.pSemicolon) : MatchForeignLine(pBegin, pEnd));
    }
    if (StopRequested(pThread))
        return;

    state.ClosePath();
    if (!WaitForOwner(pThread))
        return;
    m_dLayerElapsed = state.dElapsed;
    emit signal_OneLayerComplete(state.layer);
    file.close();
    emit signal_LoadCompete();
}
