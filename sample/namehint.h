#pragma once

#include <string_view>

// The tempo a sample's file name states, as sample packs write it: "120bpm_loop", "Loop - 97.5 BPM",
// "drums_174_bpm", "bpm120". Plain C++, a hint beside what the sound itself tells.
namespace korvo::sample {

// The tempos a name may state; a number outside them next to "bpm" is something else.
inline constexpr double kLowestNamedTempo = 20;
inline constexpr double kHighestNamedTempo = 300;

// The BPM the file name (UTF-8, without its folder) states, 0 when it states none. A number counts
// only next to the word "bpm" (any case), on either side, with at most one space, underscore or
// hyphen between; it may have a decimal point or comma. Of two, the last counts. The extension
// never counts.
double tempoInName(std::string_view fileName);

} // namespace korvo::sample
