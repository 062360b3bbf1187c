#pragma once

#include "audio/engine.h"

namespace korvo::audio {

// The whole of a sound file, decoded to floating point. More than an hour of sound is refused:
// a loop to play and render is never that long, and holding it would take gigabytes. `progress`,
// when given, hears of the reading and decoding as they go, and may stop them.
std::shared_ptr<const Loop> decodeLoop(const std::filesystem::path& file, LoadFailure& failure,
                                       const Progress& progress = {});

inline constexpr double kLongestSeconds = 3600;

} // namespace korvo::audio
