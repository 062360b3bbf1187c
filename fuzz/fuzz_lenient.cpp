// The number texts on arbitrary bytes. The whole input is the text of a tempo box; an input of
// nine bytes or more also carries a raw double in its last eight bytes, which reaches values no
// typed text gives (subnormals, the largest doubles), and its first byte picks the text format.
#include "check.h"
#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"

#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace {

bool same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// The value rounded to the given significant digits, worked out apart from the code under test:
// printf's scientific text read back by the C library (the fuzzer runs in the "C" locale).
double rounded(double value, int digits)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, value);
    return std::strtod(buffer, nullptr);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The lenient reading worked out apart from the code under test: the blanks dropped, the leading
// number cut out by hand and given to the C library's strtod, which rounds any number of digits
// to the nearest double, hexadecimal ones too (octal goes there as hexadecimal).
double independentLenient(std::string_view text)
{
    std::string s;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            s.push_back(c);

    if (s.size() >= 3 && s[0] == '&') {
        const bool hex = s[1] == 'H' || s[1] == 'h';
        const bool octal = s[1] == 'O' || s[1] == 'o';
        std::string bits; // octal only
        std::string hexDigits;
        for (std::size_t i = 2; i < s.size(); ++i) {
            const char c = s[i];
            if (hex && std::isxdigit(static_cast<unsigned char>(c))) {
                hexDigits.push_back(c);
            } else if (octal && c >= '0' && c <= '7') {
                for (int b = 2; b >= 0; --b)
                    bits.push_back(((c - '0') >> b) & 1 ? '1' : '0');
            } else {
                break;
            }
        }
        if (octal && !bits.empty()) {
            bits.insert(0, (4 - bits.size() % 4) % 4, '0');
            for (std::size_t i = 0; i < bits.size(); i += 4)
                hexDigits.push_back("0123456789abcdef"[std::stoi(bits.substr(i, 4), nullptr, 2)]);
        }
        if (!hexDigits.empty())
            return std::strtod(("0x" + hexDigits).c_str(), nullptr);
    }

    std::string number;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        number.push_back(s[i++]);
    bool digits = false, point = false;
    for (; i < s.size() && (isDigit(s[i]) || (s[i] == '.' && !point)); ++i) {
        digits = digits || isDigit(s[i]);
        point = point || s[i] == '.';
        number.push_back(s[i]);
    }
    if (!digits)
        return 0;
    if (i < s.size() && std::strchr("eEdD", s[i]) && s[i] != '\0') {
        std::string exponent = "e";
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            exponent.push_back(s[j++]);
        const std::size_t first = j;
        while (j < s.size() && isDigit(s[j]))
            exponent.push_back(s[j++]);
        if (j > first)
            number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

void checkReadings(std::string_view text)
{
    const double lenient = korvo::readLenient(text);
    KORVO_FUZZ_CHECK(same(lenient, independentLenient(text)),
                     "the lenient reading gives the double nearest to the number, as strtod does");
    const std::optional<double> strict = korvo::readStrict(text);
    // The slider is placed by the strict reading and the pitch computed from the lenient one;
    // where both apply they must agree, or slider and results would disagree.
    if (strict)
        KORVO_FUZZ_CHECK(same(*strict, lenient), "a text that is one number reads the same both ways");

    const int position = korvo::bpm::positionForText(text);
    KORVO_FUZZ_CHECK(position >= korvo::bpm::kSliderMinimum && position <= korvo::bpm::kSliderMaximum,
                     "every text puts the slider within 10..2500");
}

void checkNumberText(double value, korvo::NumberFormat format)
{
    if (!std::isfinite(value))
        return;
    const std::string text = korvo::numberText(value, format);
    KORVO_FUZZ_CHECK(!text.empty() && text.find_first_of("eE") == std::string::npos,
                     "a number text is never empty and never has an exponent");

    const std::optional<double> back = korvo::readStrict(text);
    KORVO_FUZZ_CHECK(back.has_value(), "a number text reads back as one number");
    const double expected = rounded(value, format.maxDigits);
    KORVO_FUZZ_CHECK(same(*back, expected), "a number text reads back as the value rounded to its digits");
    KORVO_FUZZ_CHECK(same(korvo::readLenient(text), *back), "the lenient reading agrees on a number text");
    KORVO_FUZZ_CHECK((text.front() == '-') == (*back < 0), "a minus sign exactly for negative values");
    if (!format.zeroBeforePoint)
        KORVO_FUZZ_CHECK(!text.starts_with("0.") && !text.starts_with("-0."), "no zero before the point");

    // Rounding to 15 digits can carry the largest doubles past the top of the range; there is no
    // text to come back to then. Below the normal range the doubles themselves have fewer digits
    // than the text (21 steps of the smallest subnormal written to two digits, 1.0e-322, reads back
    // as 20 steps, 9.9e-323), so a second round trip may move; no value the windows show is near.
    if (std::isfinite(expected) &&
        (expected == 0 || std::fabs(expected) >= std::numeric_limits<double>::min()))
        KORVO_FUZZ_CHECK(korvo::numberText(*back, format) == text,
                         "writing a read-back number text again is stable");
}

void checkSpacedAndSingle(double value)
{
    if (!std::isfinite(value))
        return;
    const std::string plain = korvo::numberText(value);
    const std::string spaced = korvo::spacedText(value);
    KORVO_FUZZ_CHECK(spaced == (plain.front() == '-' ? plain : " " + plain),
                     "the spaced text is the plain text with a blank in front unless negative");

    if (std::fabs(value) > std::numeric_limits<float>::max())
        return; // no single-precision value
    const float single = static_cast<float>(value);
    const std::string text = korvo::singleText(single);
    const std::optional<double> back = korvo::readStrict(text);
    KORVO_FUZZ_CHECK(back.has_value(), "a single-precision text reads back as one number");
    KORVO_FUZZ_CHECK(same(*back, rounded(static_cast<double>(single), 7)),
                     "a single-precision text is the value to seven digits");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkReadings(text);

    // What a window writes back for the number the text stands for.
    const double lenient = korvo::readLenient(text);
    checkNumberText(lenient, {});
    checkNumberText(lenient, {.maxDigits = 15, .zeroBeforePoint = true});
    checkSpacedAndSingle(lenient);

    if (size >= 2) {
        // Any slider position gives a text that puts the slider back where it was.
        const int position = korvo::bpm::kSliderMinimum + (data[0] | data[1] << 8) % 2491;
        KORVO_FUZZ_CHECK(korvo::bpm::positionForText(korvo::bpm::textForPosition(position)) == position,
                         "a slider's text puts the slider back at the same position");
    }

    if (size >= 9) {
        double raw = 0;
        std::memcpy(&raw, data + size - 8, sizeof raw);
        const korvo::NumberFormat format{.maxDigits = 1 + data[0] % 17,
                                         .zeroBeforePoint = (data[0] & 0x80) != 0};
        checkNumberText(raw, format);
        checkSpacedAndSingle(raw);
        // Digit counts outside 1..17 are only required not to crash.
        (void)korvo::numberText(raw,
                                {.maxDigits = static_cast<std::int8_t>(data[1]), .zeroBeforePoint = false});
    }
    return 0;
}
