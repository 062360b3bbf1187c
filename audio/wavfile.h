#pragma once

#include "audio/engine.h"

#include <span>

namespace korvo::audio {

struct WavFormat
{
    int sampleRate = 0;
    int channels = 0;
    bool floatSamples = false; // 32-bit float; otherwise 24-bit PCM
};

// Writes interleaved samples as a WAV file with an ACID chunk that tells a loop library's host the
// loop's tempo and beats (4/4, or 3/4 when the beats divide by three and not by four). The file
// appears whole or not at all, and replaces an existing one only when `replace` says so.
WriteFailure writeWav(const std::filesystem::path& file, const WavFormat& format,
                      std::span<const float> samples, const LoopInfo& info, bool replace);

} // namespace korvo::audio
