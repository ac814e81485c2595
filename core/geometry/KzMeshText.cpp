#include "KzMeshText.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

const float kNotANumber = std::numeric_limits<float>::quiet_NaN();

// A double narrowed to float; anything that is not a finite float becomes NaN,
// which the reader takes as a corner it cannot use.
float FiniteFloat(double d)
{
    if (!std::isfinite(d) || std::fabs(d) > double(std::numeric_limits<float>::max()))
        return kNotANumber;
    return float(d);
}

// Decimal numbers as mesh files write them ("12.5", "-1.234567e+01"):
// a mantissa of at most 19 digits below 2^53 and a power of ten within +-22.
// A positive power gives the correctly rounded double with one multiplication.
// A negative one multiplies by the (inexact) reciprocal, which is within two
// units of the last place of the exact quotient; narrowed to float that gives
// the same result unless the product lies next to a point halfway between two
// floats, and only then is the slower exact division done. So the value is
// exact to float precision, which is all the readers keep. Anything else
// returns false and goes to from_chars.
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
    static const double kPow10Negative[] = {1e0,   1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                            1e-8,  1e-9,  1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15,
                                            1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};
    if (exponent >= 0) {
        value = double(mantissa) * kPow10[exponent];
        return true;
    }
    value = double(mantissa) * kPow10Negative[-exponent];
    // The 29 bits of a double below float precision; 1 << 28 is a halfway point.
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    const quint64 below = bits & ((quint64(1) << 29) - 1);
    if (below + 16 - (quint64(1) << 28) <= 32)
        value = double(mantissa) / kPow10[-exponent];
    return true;
}

// True when the number's exponent is negative ("1e-400", hex "0x1p-2000").
bool NegativePower(const char* p, const char* end)
{
    for (; p + 1 < end; ++p) {
        if ((*p == 'e' || *p == 'E' || *p == 'p' || *p == 'P') && p[1] == '-')
            return true;
    }
    return false;
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
    if (r.ec == std::errc::result_out_of_range)   // too large, or too small for a double
        value = NegativePower(start, r.ptr) ? 0.0 : std::numeric_limits<double>::infinity();
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
    // fewer words after it. Each word is parsed where it lies; one that is
    // not entirely a number reads as 0.
    const char* p = begin + at;
    for (int i = 0; i < 3; ++i) {
        while (p < end && IsSpace(*p))
            ++p;
        if (p == end)
            return false;
        size_t used = 0;
        const double d = ParseNumber(p, end, used);
        const char* after = p + used;
        if (used > 0 && (after == end || IsSpace(*after))) {
            xyz[i] = FiniteFloat(d);
            p = after;
            continue;
        }
        xyz[i] = kNotANumber;
        while (p < end && !IsSpace(*p))
            ++p;
    }
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
        return kNotANumber;
    return FiniteFloat(d);
}

float KzMeshText::ToFloatPrefix(const char* begin, const char* end)
{
    size_t used = 0;
    const double d = ParseNumber(begin, end, used);
    return used == 0 ? kNotANumber : FiniteFloat(d);
}
