#pragma once

#include "audio/engine.h"

#include <optional>
#include <vector>

namespace korvo::audio {

// The loop at `speed` times its tempo, interleaved as the loop is: round(frames / speed) frames.
// The sampler's way is resampled at libsoxr's very high quality, wrapped around so that the
// rendered loop joins up as the original does; keeping the pitch, it is stretched by SoundTouch.
// Nothing when cancelled, or when the speed or the loop is out of reach.
std::optional<std::vector<float>> renderSamples(const Loop& loop, Mode mode, double speed,
                                                const Progress& progress);

// The frames a loop of `frames` has at `speed` times its tempo.
std::int64_t renderedFrames(std::int64_t frames, double speed);

} // namespace korvo::audio
