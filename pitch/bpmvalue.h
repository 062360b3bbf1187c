#pragma once

#include <string>
#include <string_view>

// How a tempo is held: as the text of its box and as a slider position in tenths of a BPM.
namespace korvo::bpm {

inline constexpr double kMinimum = 1.0;
inline constexpr double kMaximum = 250.0;
inline constexpr int kSliderMinimum = 10;   // 1.0 BPM
inline constexpr int kSliderMaximum = 2500; // 250.0 BPM
inline constexpr int kSliderStep = 1;       // arrow: 0.1 BPM
inline constexpr int kSliderPage = 10;      // track click: 1 BPM
inline constexpr const char* kInitialText = "120";

// Both bounds are accepted.
bool inRange(double value);

// The text a slider writes into its box: the position divided by ten ("120.5", "120", "1").
std::string textForPosition(int position);

// The slider position of a tempo: ten times the value, nearest integer with halves to even
// (120.05 stays at 1200, 120.25 goes to 1202), kept within the slider's range.
int positionForValue(double value);

// The position that lines a slider up with its box's text. A text that is a number as a whole
// gives that number's position; one that is only accepted by the lenient reading ("120abc",
// "1 20") is placed by the value the lenient reading found, the same value the pitch was
// computed from, so slider and results never disagree.
int positionForText(std::string_view text);

} // namespace korvo::bpm
