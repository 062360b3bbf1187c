#include "delay/delaycalc.h"

#include "pitch/numbertext.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace korvo::delay {
namespace {

// Ticks per quarter note for formats 1 to 3, frames per second for formats 4 to 6.
constexpr std::array<double, 3> kTimebases = {480.0, 96.0, 48.0};
constexpr std::array<double, 3> kFrameRates = {24.0, 29.97, 30.0};

// A tempo the computation can work with; anything else has no meaningful delay.
std::optional<double> tempo(std::string_view text)
{
    const std::optional<double> bpm = readStrict(text);
    if (!bpm || !std::isfinite(*bpm) || !(*bpm > 0))
        return std::nullopt;
    return bpm;
}

// Adds one to the last digit of a run of decimal digits, carrying to the left; "99" becomes "100".
void incrementDigits(std::string& digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

} // namespace

double beatFactor(int noteIndex, int modifierIndex)
{
    double f = 0;
    switch (noteIndex) {
    case 0:
        f = 4;
        break;
    case 1:
        f = 2;
        break;
    case 2:
        f = 1;
        break;
    // Divisions by powers of two, so the shorter notes are exact.
    case 3:
        f = 1.0 / 2;
        break;
    case 4:
        f = 1.0 / 4;
        break;
    case 5:
        f = 1.0 / 8;
        break;
    case 6:
        f = 1.0 / 16;
        break;
    default:
        break;
    }
    // Each modifier is exactly the one or two double operations written here. A half millisecond
    // or the last tick can hinge on a rounding step, and every tempo the sliders reach has been
    // checked against these forms, so they are not to be folded into other constants.
    switch (modifierIndex) {
    case 0:
        break;
    case 1:
        f = f * 1.5;
        break;
    case 2:
        f = f * 1.75;
        break;
    case 3:
        f = f + f;
        break;
    case 4:
        f = f * 3;
        break;
    case 5:
        f = f / 2;
        break;
    case 6:
        f = f / 3;
        break;
    case 7: {
        const double t = f / 3;
        f = t + t;
        break;
    }
    case 8:
        f = f / 5;
        break;
    case 9:
        f = f / 7;
        break;
    case 10:
        f = f / 9;
        break;
    default:
        break;
    }
    return f;
}

double twoDecimals(double x)
{
    // Rounding the 15-digit decimal rather than the double: 14.984999999999999 is 14.9850000000000
    // to 15 digits and must show 14.99, which rounding the double itself would make 14.98.
    std::string text = numberText(x, {.maxDigits = 15, .zeroBeforePoint = true});
    const bool negative = text.front() == '-';
    if (negative)
        text.erase(0, 1);
    const std::size_t point = text.find('.');
    if (point != std::string::npos && text.size() - point - 1 > 2) {
        const bool up = text[point + 3] >= '5'; // the rest is at least half a hundredth
        std::string digits = text.substr(0, point) + text.substr(point + 1, 2);
        if (up)
            incrementDigits(digits); // on the magnitude, so a half goes away from zero
        text = digits.substr(0, digits.size() - 2) + "." + digits.substr(digits.size() - 2);
    }
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return negative ? -value : value;
}

Result compute(std::string_view bpmText, int noteIndex, int modifierIndex, int formatIndex)
{
    Result r;
    const double factor = beatFactor(noteIndex, modifierIndex);

    // Whether the option box shows, and its unit, depend on the format alone.
    if (formatIndex == 0)
        r.optionShown = false;
    else if (formatIndex >= 4 && formatIndex <= 6)
        r.optionUnit = kFramesUnit;

    const std::optional<double> bpm = tempo(bpmText);
    if (!bpm)
        return r; // no meaningful delay: both texts stay empty
    // Quotient first, then the product: at 112 BPM a double-dotted quarter is exactly 937.5 ms,
    // but 60000 / 112 * 1.75 is 937.4999999999999 in doubles, and that must show 937.
    const double raw = (60000.0 / *bpm) * factor;
    if (!std::isfinite(raw))
        return r; // a tempo so close to zero that the note never ends
    r.delayText = spacedText(std::floor(raw + 0.5));

    double option = 0;
    if (formatIndex >= 1 && formatIndex <= 3) {
        // Cut down, never rounded: a ninth of a quarter at 480 is 53 ticks, not 53.33.
        option = std::floor(factor * kTimebases[static_cast<std::size_t>(formatIndex - 1)]);
    } else if (formatIndex >= 4 && formatIndex <= 6) {
        // From the unrounded milliseconds, so the frames do not inherit the millisecond rounding.
        const double x = (raw / 1000.0) * kFrameRates[static_cast<std::size_t>(formatIndex - 4)];
        option = twoDecimals(x);
    }
    r.optionText = spacedText(option);
    return r;
}

} // namespace korvo::delay
