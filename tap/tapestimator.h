#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace korvo {

// What a counted tap puts on screen.
struct TapShown
{
    std::string value; // the estimate cut down to one decimal: the own box and the target entry
    // Label1 to Label5: the reading, the interval, the tempo of that interval alone, the text the
    // entry had at the start, the full estimate.
    std::array<std::string, 5> labels;
};

// The running tap-tempo estimate. Every new interval counts one quarter and the previous estimate
// three quarters, starting from the tempo the entry held, so the estimate creeps towards the
// tapped tempo from the side of the starting value and never overshoots it.
class TapEstimator
{
public:
    // Starts from the text of the entry being tapped and waits for a first tap. The clock readings
    // are kept: the first tap after a start never uses an interval anyway.
    void start(std::string_view entryText);

    // One tap at a clock reading in seconds. Nothing to show for the first tap after a start or a
    // start-over, nor for a reading equal to the previous one (counted, but no interval).
    std::optional<TapShown> tap(double reading);

    // Waits for a first tap again and gives back the entry's text from the start. The estimate
    // is kept, so the next run carries on averaging from where the last one got to.
    const std::string& startOver();

    // ⌊10 × estimate⌋ / 10 as text: cut down, never rounded up to the nearest tenth ("108.7" for
    // 108.75), with the zero before the point ("0.5").
    static std::string shownText(double estimate);

    // The tap state under the names the tap window's design gives it, in its order. Open to read;
    // only the calls above change it.
    double tapnum = 0;       // taps since the start or the last start-over; only tested for zero
    std::optional<double> T; // reading of the latest tap
    std::optional<double> S; // reading of the tap before it; none counts as 0
    std::string tapbpmbuf;   // the entry's text at the start
    double tapbpm_new = 0;   // the running estimate in BPM
};

} // namespace korvo
