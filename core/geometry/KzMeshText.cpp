#include "KzMeshText.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

// A double narrowed to float; anything that is not a finite float becomes 0,
// so a stray "nan" or "1e99" cannot poison the bounds of a model.
float FiniteFloat(double d)
{
    if (!std::isfinite(d) || std::fabs(d) > double(std::numeric_limits<float>::max()))
        return 0.0f;
    return float(d);
}

// Parses a number at [p, end), locale-independent; sets used to the bytes taken
// (0 when there is no number). Accepts a leading '+' like strtod does.
double ParseNumber(const char* p, const char* end, size_t& used)
{
    const char* start = p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // from_chars takes its own '-' only; a second sign after ours is no number.
    if (p == end || *p == '+' || *p == '-') {
        used = 0;
        return 0.0;
    }
    double value = 0.0;
    std::from_chars_result r;
    if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        r = std::from_chars(p + 2, end, value, std::chars_format::hex);
        if (r.ec == std::errc::invalid_argument)       // "0x" alone reads as 0
            r = std::from_chars(p, p + 1, value);
    } else {
        r = std::from_chars(p, end, value);
    }
    if (r.ec == std::errc::invalid_argument) {
        used = 0;
        return 0.0;
    }
    used = size_t(r.ptr - start);
    if (r.ec == std::errc::result_out_of_range)
        value = std::numeric_limits<double>::infinity();   // becomes 0 below
    return negative ? -value : value;
}

} // namespace

bool KzMeshText::NextWord(const char*& p, const char* end, const char*& wordBegin, const char*& wordEnd)
{
    while (p < end && IsSpace(*p))
        ++p;
    if (p == end)
        return false;
    wordBegin = p;
    while (p < end && !IsSpace(*p))
        ++p;
    wordEnd = p;
    return true;
}

bool KzMeshText::MatchVertexLine(const char* begin, const char* end, float xyz[3])
{
    const std::string_view line(begin, size_t(end - begin));
    size_t at = 0;
    for (;;) {
        at = line.find("vertex", at);
        if (at == std::string_view::npos)
            return false;
        at += 6;
        if (at < line.size() && IsSpace(line[at]))
            break;
    }
    // The first "vertex" followed by whitespace decides: any later one has
    // fewer words after it.
    const char* p = begin + at;
    const char* words[3][2];
    for (auto& w : words) {
        if (!NextWord(p, end, w[0], w[1]))
            return false;
    }
    for (int i = 0; i < 3; ++i)
        xyz[i] = ToFloat(words[i][0], words[i][1]);
    return true;
}

bool KzMeshText::Contains(const char* begin, const char* end, const char* needle)
{
    return std::string_view(begin, size_t(end - begin)).find(needle) != std::string_view::npos;
}

bool KzMeshText::StartsWithSolid(const char* begin, const char* end)
{
    while (begin < end && IsSpace(*begin))
        ++begin;
    return end - begin >= 5 && std::memcmp(begin, "solid", 5) == 0;
}

float KzMeshText::ToFloat(const char* begin, const char* end)
{
    size_t used = 0;
    const double d = ParseNumber(begin, end, used);
    if (used == 0 || used != size_t(end - begin))
        return 0.0f;
    return FiniteFloat(d);
}

float KzMeshText::ToFloatPrefix(const char* begin, const char* end)
{
    size_t used = 0;
    const double d = ParseNumber(begin, end, used);
    return used == 0 ? 0.0f : FiniteFloat(d);
}

qint64 KzMeshText::ToIntPrefix(const char* begin, const char* end)
{
    const char* p = begin;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    qint64 value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            return 0;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min())
        return 0;
    return value;
}
