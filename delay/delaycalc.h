#pragma once

#include <array>
#include <string>
#include <string_view>

// How long a note lasts at a tempo: in milliseconds, and on request in MIDI ticks or video frames.
namespace korvo::delay {

// The items of the three lists, in list order; the index of an item is what the computation reads.
inline constexpr std::array<const char*, 7> kNoteItems = {
    "全音符 whole",  "2分音符 half",  "4分音符 quarter", "8分音符 8th",
    "16分音符 16th", "32分音符 32th", "64分音符 64th",
};

inline constexpr std::array<const char*, 11> kModifierItems = {
    "ちょうど just", "付点( . )",         "付々点 ( . . )", "2倍", "3倍",
    "1/2",           "1/3(三連 triplet)", "2/3(三連)",      "1/5", "1/7",
    "1/9",
};

// Full-width "Ｍｉｄｉ", and a blank before the two-digit timebases so the numbers line up.
inline constexpr std::array<const char*, 7> kFormatItems = {
    "タイム・フォーマット(なし)", "Ｍｉｄｉ タイムベース=480", "Ｍｉｄｉ タイムベース= 96",
    "Ｍｉｄｉ タイムベース= 48",  "フレームレート = 24",       "フレームレート = 29.97",
    "フレームレート = 30",
};

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
