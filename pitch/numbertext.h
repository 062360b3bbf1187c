#pragma once

#include <optional>
#include <string>
#include <string_view>

// Number texts shared by every window. All of them are locale-independent: the decimal point is
// always ".", whatever the process locale says, so a tempo saved or shown on one machine reads back
// the same everywhere.
namespace korvo {

// Reads the longest leading number of a text the forgiving way a tempo box is read: blanks (space,
// tab, line feed) anywhere are skipped, then an optional sign, digits with at most one ".", and an
// optional exponent introduced by E or D. "&H" and "&O" introduce a hexadecimal or octal integer.
// Whatever follows the number is ignored, and a text with no leading number reads as 0.
double readLenient(std::string_view text);

// Reads a text that must be one number as a whole: blanks before and after are allowed, nothing
// else. Gives nothing for "120abc", "1 20", "" or ".".
std::optional<double> readStrict(std::string_view text);

struct NumberFormat
{
    int maxDigits = 15;           // significant digits kept, the rest rounded half to even
    bool zeroBeforePoint = false; // ".25" or "0.25"
};

// The plain decimal text of a value: rounded to maxDigits significant digits, trailing zeros and
// a bare point dropped, never an exponent, "-" for a negative value and nothing for others.
std::string numberText(double value, NumberFormat format = {});

// The plain text with one blank in front of zero and positive values, as the result boxes of the
// delay window show them (" 500", " .04", "-3").
std::string spacedText(double value);

// The plain text of a value rounded to `decimals` decimals (halves to even), trailing zeros
// dropped, with a zero before the point: a length in seconds or an estimate ("5.517", "0.25").
std::string roundedText(double value, int decimals);

// The shortest text of a single-precision value: at most 7 significant digits ("133.3333").
std::string singleText(float value);

} // namespace korvo
