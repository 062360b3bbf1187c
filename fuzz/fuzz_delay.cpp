// The delay computation on arbitrary inputs. Bytes 0, 1 and 2 are the note, modifier and format
// positions as signed bytes, so -1 (nothing selected) and positions past the lists come up as
// often as real ones; the rest is the tempo text. Bytes 3 to 10, when present, also serve as a
// raw double for the two-decimal rounding of the frame count.
#include "check.h"
#include "delay/delaycalc.h"
#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

// A result box's text as a number: one blank, then a plain number that is not negative.
double shownValue(const std::string& text)
{
    KORVO_FUZZ_CHECK(text.size() >= 2 && text.front() == ' ', "a result starts with one blank");
    const std::optional<double> value = korvo::readStrict(text);
    KORVO_FUZZ_CHECK(value && std::isfinite(*value) && *value >= 0,
                     "a result is a finite number, not negative");
    return *value;
}

std::size_t decimalsOf(const std::string& text)
{
    const std::size_t point = text.find('.');
    return point == std::string::npos ? 0 : text.size() - point - 1;
}

void checkResult(std::string_view bpmText, int note, int modifier, int format)
{
    const korvo::delay::Result r = korvo::delay::compute(bpmText, note, modifier, format);

    KORVO_FUZZ_CHECK(r.optionShown == (format != 0), "the option box is hidden for format 0 only");
    const bool frames = format >= 4 && format <= 6;
    KORVO_FUZZ_CHECK(r.optionUnit == (frames ? korvo::delay::kFramesUnit : korvo::delay::kTicksUnit),
                     "frames for a frame rate, ticks otherwise");

    KORVO_FUZZ_CHECK(r.delayText.empty() == r.optionText.empty(), "both results are shown or neither");
    const std::optional<double> bpm = korvo::readStrict(bpmText);
    if (bpm && korvo::bpm::inRange(*bpm))
        KORVO_FUZZ_CHECK(!r.delayText.empty(), "every tempo the main window accepts gives a delay");
    if (r.delayText.empty())
        return;

    const double delay = shownValue(r.delayText);
    KORVO_FUZZ_CHECK(delay == std::floor(delay), "the delay is in whole milliseconds");
    const double option = shownValue(r.optionText);
    if (frames)
        KORVO_FUZZ_CHECK(decimalsOf(r.optionText) <= 2, "frames show at most two decimals");
    else
        KORVO_FUZZ_CHECK(option == std::floor(option) && option <= 4 * 3 * 480,
                         "ticks are whole and bounded");
}

// The frame count's rounding on any value: two decimals at most, off by at most half a hundredth,
// and halves away from zero on both sides alike.
void checkTwoDecimals(double x)
{
    if (!std::isfinite(x) || std::fabs(x) >= 1e12)
        return; // beyond 15 digits in all the hundredths are no longer written
    const double y = korvo::delay::twoDecimals(x);
    KORVO_FUZZ_CHECK(std::fabs(y - x) <= 0.005 + std::fabs(x) * 1e-14,
                     "two decimals move a value by half a hundredth at most");
    KORVO_FUZZ_CHECK(decimalsOf(korvo::numberText(y)) <= 2, "two decimals leave at most two decimals");
    KORVO_FUZZ_CHECK(korvo::delay::twoDecimals(-x) == -y,
                     "rounding is the same for a value and its negative");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const int note = static_cast<std::int8_t>(data[0]);
    const int modifier = static_cast<std::int8_t>(data[1]);
    const int format = static_cast<std::int8_t>(data[2]);
    const std::string_view bpmText(reinterpret_cast<const char*>(data + 3), size - 3);
    checkResult(bpmText, note, modifier, format);

    if (size >= 11) {
        double x = 0;
        std::memcpy(&x, data + 3, sizeof x);
        checkTwoDecimals(x);
    }
    return 0;
}
