#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// How long a note lasts at a tempo: in milliseconds, and on request in MIDI ticks or video frames.
namespace korvo::delay {

// How many items the three lists hold (delay/delaywords.h has their words); the index of an item
// is what the computation reads.
inline constexpr std::size_t kNoteCount = 7;      // whole note to 64th
inline constexpr std::size_t kModifierCount = 11; // just, dotted, ... 1/9
inline constexpr std::size_t kFormatCount = 7;    // none, three MIDI timebases, three frame rates

inline constexpr int kDefaultNote = 3;     // eighth note
inline constexpr int kDefaultModifier = 0; // just
inline constexpr int kDefaultFormat = 0;   // no time format

inline constexpr const char* kTicksUnit = "(ticks)";
inline constexpr const char* kFramesUnit = "(frms)";

// Length of a note value in quarter-note beats. A note index outside the list (nothing selected)
// gives 0; a modifier index outside the list leaves the length as it is.
double beatFactor(int noteIndex, int modifierIndex);

// The two-decimal text pattern of the frame count, read back as a number: x is written with 15
// significant digits and that decimal is rounded to two places, halves away from zero.
double twoDecimals(double x);

// What the window shows for one set of inputs.
struct Result
{
    std::string delayText;   // whole milliseconds, spaced (" 250")
    bool optionShown = true; // the option box and its unit
    std::string optionUnit = kTicksUnit;
    std::string optionText; // ticks or frames, spaced; written even while hidden
};

// The delay of the chosen note value at the tempo in bpmText, which must be a positive number as a
// whole (blanks around it allowed). Indexes outside their lists (nothing selected yet) are not an
// error: see beatFactor; a format index outside its list shows the box with " 0" ticks.
Result compute(std::string_view bpmText, int noteIndex, int modifierIndex, int formatIndex);

} // namespace korvo::delay
