// The pitch computation on any pair of valid tempos. An input with a line feed holds the two box
// texts, read the way the main window reads them (pairs it would reject are skipped); otherwise
// sixteen bytes give two tempos spread evenly over 1..250, both bounds included, and four bytes
// two slider positions.
#include "check.h"
#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"
#include "pitch/pitchshift.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace {

double spread(const std::uint8_t* bytes)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, bytes, sizeof bits);
    const double fraction =
        static_cast<double>(bits) / static_cast<double>(std::numeric_limits<std::uint64_t>::max());
    return korvo::bpm::kMinimum + fraction * (korvo::bpm::kMaximum - korvo::bpm::kMinimum);
}

double sliderTempo(const std::uint8_t* bytes)
{
    const int position = korvo::bpm::kSliderMinimum + (bytes[0] | bytes[1] << 8) % 2491;
    return korvo::readStrict(korvo::bpm::textForPosition(position)).value_or(0);
}

bool isWhole(double value)
{
    return value == std::floor(value);
}

// A result box's text must carry a sign and read back as exactly the value computed.
void checkText(const std::string& text, double value, const char* property)
{
    KORVO_FUZZ_CHECK(text.size() >= 2 && (text[0] == '+' || text[0] == '-'), "every result shows a sign");
    KORVO_FUZZ_CHECK(text[1] >= '0' && text[1] <= '9', "every result has a digit after its sign");
    const std::optional<double> back = korvo::readStrict(text);
    KORVO_FUZZ_CHECK(back && *back == value, property);
    KORVO_FUZZ_CHECK((text[0] == '-') == (value < 0), "the sign shown is the sign of the value");
}

void checkShift(double bpm1, double bpm2)
{
    KORVO_FUZZ_CHECK(korvo::bpm::inRange(bpm1) && korvo::bpm::inRange(bpm2), "the tempos lie within 1..250");
    const korvo::PitchShift p = korvo::pitchShift(bpm1, bpm2);

    KORVO_FUZZ_CHECK(std::isfinite(p.semitonesExact) && std::fabs(p.semitonesExact) <= 95.59,
                     "the shift lies within the 1..250 extremes");
    KORVO_FUZZ_CHECK(p.adjustment - p.semitonesExact >= -0.00049 - 1e-12 &&
                         p.adjustment - p.semitonesExact <= 0.00051 + 1e-12,
                     "the adjustment is the shift to thousandths");
    KORVO_FUZZ_CHECK(isWhole(p.semitones) && isWhole(p.cents), "semitones and cents are whole");
    KORVO_FUZZ_CHECK(p.cents >= -49 && p.cents <= 50, "cents lie within -49..50");
    KORVO_FUZZ_CHECK(std::fabs(p.semitones + p.cents / 100 - p.adjustment) <= 0.005 + 1e-9,
                     "semitones and cents add up to the adjustment, to hundredths");

    checkText(p.adjustmentText, p.adjustment, "the adjustment text reads back as the adjustment");
    checkText(p.semitonesText, p.semitones, "the semitones text reads back as the semitones");
    checkText(p.centsText, p.cents, "the cents text reads back as the cents");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (const std::size_t split = input.find('\n'); split != std::string_view::npos) {
        const double bpm1 = korvo::readLenient(input.substr(0, split));
        const double bpm2 = korvo::readLenient(input.substr(split + 1));
        if (korvo::bpm::inRange(bpm1) && korvo::bpm::inRange(bpm2))
            checkShift(bpm1, bpm2);
    } else if (size >= 16) {
        checkShift(spread(data), spread(data + 8));
    } else if (size >= 4) {
        checkShift(sliderTempo(data), sliderTempo(data + 2));
    }
    return 0;
}
