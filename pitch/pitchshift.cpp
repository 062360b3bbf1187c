#include "pitch/pitchshift.h"

#include "pitch/numbertext.h"

#include <cmath>

namespace korvo {

PitchShift pitchShift(double bpm1, double bpm2)
{
    PitchShift p;
    // The displayed digits depend on this exact order of double operations.
    p.semitonesExact = (std::log(bpm2 / bpm1) * 12.0) / std::log(2.0);

    // Thousandths, biased by 0.00051 rather than 0.0005, so a remainder of 0.00049 already rounds up.
    p.adjustment = std::floor((p.semitonesExact + 0.00051) * 1000.0) / 1000.0;

    // The sampler form starts from the rounded adjustment, not from the exact shift.
    double n = std::floor(p.adjustment);
    double f = p.adjustment - n;
    f = std::floor(f * 100.0 + 0.5) / 100.0;
    if (f > 0.5) { // exactly 0.50 stays on the lower semitone as +50
        n = n + 1.0;
        f = f - 1.0;
    }
    p.semitones = n;
    p.fine = f;
    // f * 100 can land a hair below the whole cent (0.29 * 100 = 28.999...); 0.00001 lifts it back.
    p.cents = std::floor(f * 100.0 + 0.00001);

    const double t = p.adjustment;
    const char* tSign = t >= 1 ? "+" : t > 0 ? "+0" : t == 0 ? "+" : t > -1 ? "-0" : "-";
    p.adjustmentText = tSign + numberText(std::fabs(t));
    p.semitonesText = (n >= 0 ? "+" : "") + numberText(n);
    p.centsText = (f >= 0 ? "+" : "") + numberText(p.cents);
    return p;
}

} // namespace korvo
