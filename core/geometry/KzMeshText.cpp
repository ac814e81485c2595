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

// Decimal numbers as mesh files write them ("12.5", "-1.234567e+01"):
// a mantissa of at most 19 digits below 2^53 and a power of ten within
// +-22 give the correctly rounded double with one IEEE operation. Anything
// else returns false and goes to from_chars.
bool ParseSimpleDecimal(const char* p, const char* end, double& value, const char*& stop)
{
    static const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    quint64 mantissa = 0;
    int digits = 0;
    int exponent = 0;
    const char* q = p;
    for (; q < end && *q >= '0' && *q <= '9'; ++q, ++digits)
        mantissa = mantissa * 10 + quint64(*q - '0');
    if (q < end && *q == '.') {
        for (++q; q < end && *q >= '0' && *q <= '9'; ++q, ++digits, --exponent)
            mantissa = mantissa * 10 + quint64(*q - '0');
    }
    if (digits == 0 || digits > 19)
        return false;
    if (q < end && (*q == 'e' || *q == 'E')) {
        const char* e = q + 1;
        bool negative = false;
        if (e < end && (*e == '+' || *e == '-'))
            negative = *e++ == '-';
        if (e < end && *e >= '0' && *e <= '9') {   // else the 'e' is not part of the number
            int power = 0;
            for (; e < end && *e >= '0' && *e <= '9'; ++e) {
                if (power > 1000)
                    return false;
                power = power * 10 + (*e - '0');
            }
            exponent += negative ? -power : power;
            q = e;
        }
    }
    stop = q;
    if (mantissa == 0) {
        value = 0.0;
        return true;
    }
    if (mantissa > (quint64(1) << 53) || exponent < -22 || exponent > 22)
        return false;
    value = exponent < 0 ? double(mantissa) / kPow10[-exponent] : double(mantissa) * kPow10[exponent];
    return true;
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
    double value = 0.0;
    const char* stop = p;
    const bool hex = end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    if (!hex && ParseSimpleDecimal(p, end, value, stop)) {
        used = size_t(stop - start);
        return negative ? -value : value;
    }
    // from_chars takes its own '-' only; a second sign after ours is no number.
    if (p == end || *p == '+' || *p == '-') {
        used = 0;
        return 0.0;
    }
    std::from_chars_result r;
    if (hex) {
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
