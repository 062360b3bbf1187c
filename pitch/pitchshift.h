#pragma once

#include <string>

namespace korvo {

// The pitch change that takes a sample from one tempo to another, with the three texts of the
// result boxes: the adjustment in semitones to thousandths, and the sampler form of whole
// semitones plus cents.
struct PitchShift
{
    double semitonesExact = 0; // 12 log2(bpm2 / bpm1)
    double adjustment = 0;     // rounded to thousandths
    double semitones = 0;      // whole semitones of the sampler form
    double fine = 0;           // fine part in semitones, -0.49 to +0.50
    double cents = 0;          // fine part in cents, -49 to +50

    std::string adjustmentText; // "+1.386", "+0.498", "-0.145", "+0"
    std::string semitonesText;  // "+1", "+0", "-9"
    std::string centsText;      // "+39", "-14", "+50"
};

// Both tempos must lie within the valid range; the caller checks that first.
PitchShift pitchShift(double bpm1, double bpm2);

} // namespace korvo
