#include "pitch/numbertext.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace korvo {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int digitValue(char c, int base)
{
    int v = -1;
    if (isDigit(c))
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

// The text with every blank removed, which is how the lenient reading sees it.
std::string withoutBlanks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (!isBlank(c))
            out.push_back(c);
    return out;
}

struct Scan
{
    double value = 0;
    std::size_t length = 0; // characters of the number; 0 when there is none
};

// "&H1F" or "&O17": an unsigned integer in base 16 or 8. The digits are gathered as bits and
// rounded to a double once, at the end: a value that is rounded at every digit can end one unit in
// the last place off once it passes 2^53.
Scan scanRadix(std::string_view s)
{
    if (s.size() < 3 || s[0] != '&')
        return {};
    const char tag = s[1];
    const int base = (tag == 'H' || tag == 'h') ? 16 : (tag == 'O' || tag == 'o') ? 8 : 0;
    if (base == 0)
        return {};
    const int bitsPerDigit = base == 16 ? 4 : 3;
    std::uint64_t leading = 0; // the first 64 significant bits
    int leadingBits = 0;
    int beyond = 0;      // significant bits after those, counted up to a bound far past any double
    bool sticky = false; // whether any of them is set
    std::size_t i = 2;
    for (; i < s.size() && digitValue(s[i], base) >= 0; ++i) {
        const int digit = digitValue(s[i], base);
        for (int b = bitsPerDigit - 1; b >= 0; --b) {
            const unsigned bit = (static_cast<unsigned>(digit) >> b) & 1u;
            if (leadingBits == 0 && bit == 0)
                continue; // leading zeros carry nothing
            if (leadingBits < 64) {
                leading = leading << 1 | bit;
                ++leadingBits;
            } else {
                sticky = sticky || bit != 0;
                beyond = beyond < 4096 ? beyond + 1 : beyond;
            }
        }
    }
    if (i == 2)
        return {};
    // Folding the dropped bits into the lowest kept bit lets the one conversion below round to
    // nearest, ties to even, exactly as if it had seen every bit: that bit lies well below the
    // 53 bits a double keeps.
    if (sticky)
        leading |= 1u;
    return Scan{std::ldexp(static_cast<double>(leading), beyond), i};
}

// Where a decimal text's first significant digit stands: d.ddd x 10^result. Used only to tell a
// number too large for a double from one too small; the exponent saturates far outside both.
long long leadingPower(std::string_view mantissa, std::string_view exponent)
{
    long long power = 0;
    bool seen = false, afterPoint = false;
    for (char c : mantissa) {
        if (c == '.') {
            afterPoint = true;
        } else if (isDigit(c)) {
            if (!seen && c != '0') {
                seen = true;
                if (afterPoint)
                    --power; // the first non-zero digit after the point is a tenth or less
            } else if (!seen && afterPoint) {
                --power;
            } else if (seen && !afterPoint) {
                ++power;
            }
        }
    }
    if (!seen)
        return -1; // all zeros: nothing to overflow
    long long e = 0;
    bool negative = false;
    for (char c : exponent) {
        if (c == '-')
            negative = true;
        else if (isDigit(c))
            e = e < 1'000'000'000 ? e * 10 + (c - '0') : e;
    }
    return power + (negative ? -e : e);
}

// An optional sign, digits with at most one point, then an optional E or D exponent that counts
// only when at least one exponent digit follows.
Scan scanDecimal(std::string_view s)
{
    std::size_t i = 0;
    std::string normal; // what from_chars understands: no "+", "e" for the exponent
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-')
            normal.push_back('-');
        ++i;
    }
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i])) {
            digits = true;
            normal.push_back(s[i]);
        } else if (s[i] == '.' && !point) {
            point = true;
            normal.push_back('.');
        } else {
            break;
        }
    }
    if (!digits)
        return {};
    std::size_t end = i;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            if (s[j] == '-')
                exponent.push_back('-');
            ++j;
        }
        const std::size_t firstDigit = j;
        while (j < s.size() && isDigit(s[j]))
            exponent.push_back(s[j++]);
        if (j > firstDigit) {
            normal += exponent;
            end = j;
        }
    }
    // from_chars reads any number of digits to the nearest double; only a number out of the
    // double range needs a value of our own.
    double value = 0;
    const auto [ptr, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Saturate the way the hardware would have: a number whose first digit stands at 10^0
        // or above overflowed, one whose first digit stands below underflowed. The exponent's
        // sign alone does not tell ("0.<400 zeros>1" has none, "<400 digits>e-2" has "-").
        const std::size_t ePos = normal.find('e');
        const std::string_view all(normal);
        const std::string_view mantissa = all.substr(0, ePos);
        const std::string_view exponent =
            ePos == std::string::npos ? std::string_view() : all.substr(ePos + 1);
        value = leadingPower(mantissa, exponent) >= 0 ? HUGE_VAL : 0.0;
        if (normal.front() == '-')
            value = -value;
    }
    (void)ptr;
    return {value, end};
}

Scan scanNumber(std::string_view s)
{
    const Scan radix = scanRadix(s);
    return radix.length ? radix : scanDecimal(s);
}

} // namespace

double readLenient(std::string_view text)
{
    return scanNumber(withoutBlanks(text)).value;
}

std::optional<double> readStrict(std::string_view text)
{
    std::size_t first = 0, last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    const std::string_view core = text.substr(first, last - first);
    const Scan scan = scanNumber(core);
    if (scan.length == 0 || scan.length != core.size())
        return std::nullopt;
    return scan.value;
}

std::string numberText(double value, NumberFormat format)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";
    const int digits = format.maxDigits < 1 ? 1 : (format.maxDigits > 17 ? 17 : format.maxDigits);

    // Scientific form with the wanted number of significant digits, e.g. "-1.23450000000000e+02".
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::scientific, digits - 1);
    const std::string_view sci(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));

    const bool negative = sci.front() == '-';
    const std::size_t ePos = sci.find('e');
    std::string mantissa;
    for (char c : sci.substr(negative ? 1 : 0, ePos - (negative ? 1 : 0)))
        if (c != '.')
            mantissa.push_back(c);
    int exponent = 0;
    std::from_chars(sci.data() + ePos + (sci[ePos + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);

    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();
    if (mantissa == "0")
        return "0";

    // Place the point: the first mantissa digit stands for 10^exponent.
    std::string intPart, fracPart;
    const int pointAfter = exponent + 1; // digits before the point
    if (pointAfter <= 0) {
        fracPart = std::string(static_cast<std::size_t>(-pointAfter), '0') + mantissa;
    } else if (static_cast<std::size_t>(pointAfter) >= mantissa.size()) {
        intPart = mantissa + std::string(static_cast<std::size_t>(pointAfter) - mantissa.size(), '0');
    } else {
        intPart = mantissa.substr(0, static_cast<std::size_t>(pointAfter));
        fracPart = mantissa.substr(static_cast<std::size_t>(pointAfter));
    }
    if (intPart.empty() && format.zeroBeforePoint)
        intPart = "0";

    std::string out = negative ? "-" : "";
    out += intPart;
    if (!fracPart.empty())
        out += "." + fracPart;
    return out;
}

std::string spacedText(double value)
{
    const std::string text = numberText(value);
    return text.front() == '-' ? text : " " + text;
}

std::string roundedText(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return numberText(std::nearbyint(value * scale) / scale, {.maxDigits = 15, .zeroBeforePoint = true});
}

std::string singleText(float value)
{
    return numberText(static_cast<double>(value), {.maxDigits = 7, .zeroBeforePoint = true});
}

} // namespace korvo
