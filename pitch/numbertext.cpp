#include "pitch/numbertext.h"

#include <array>
#include <charconv>
#include <cmath>

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

// "&H1F" or "&O17": an unsigned integer in base 16 or 8.
Scan scanRadix(std::string_view s)
{
    if (s.size() < 3 || s[0] != '&')
        return {};
    const char tag = s[1];
    const int base = (tag == 'H' || tag == 'h') ? 16 : (tag == 'O' || tag == 'o') ? 8 : 0;
    if (base == 0)
        return {};
    double value = 0;
    std::size_t i = 2;
    for (; i < s.size() && digitValue(s[i], base) >= 0; ++i)
        value = value * base + digitValue(s[i], base);
    return i == 2 ? Scan{} : Scan{value, i};
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
    double value = 0;
    const auto [ptr, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: saturate the way the hardware would have.
        const bool negative = normal.front() == '-';
        const bool huge = normal.find("e-") == std::string::npos;
        value = huge ? HUGE_VAL : 0.0;
        if (negative)
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

std::string singleText(float value)
{
    return numberText(static_cast<double>(value), {.maxDigits = 7, .zeroBeforePoint = true});
}

} // namespace korvo
