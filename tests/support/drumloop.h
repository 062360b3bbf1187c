#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <sndfile.h>
#include <string>
#include <vector>

// Drum-like test audio, written with libsndfile: a kick on every beat (or, as a backbeat, on one and
// three only), a snare on two and four, a closed hi-hat on every eighth. The noise comes from a fixed
// generator, so every run writes the same bytes.
namespace korvo::test {

struct DrumLoop
{
    double bpm = 120;
    double seconds = 8; // the length, cut wherever it falls unless `beats` is given
    int beats = 0;      // a loop of exactly this many beats (frames rounded to the nearest)
    int sampleRate = 44100;
    int channels = 2;
    double silenceAfter = 0; // seconds of silence appended
    bool backbeat = false;   // kick on one and three only: the estimate then often hears half the tempo
};

inline std::int64_t loopFrames(const DrumLoop& loop)
{
    return loop.beats > 0 ? std::llround(60.0 * loop.beats * loop.sampleRate / loop.bpm)
                          : std::llround(loop.seconds * loop.sampleRate);
}

// The mono signal of the loop, before it is spread over the channels.
inline std::vector<float> drumSignal(const DrumLoop& loop)
{
    const std::int64_t frames = loopFrames(loop);
    const auto silence = std::llround(loop.silenceAfter * loop.sampleRate);
    std::vector<float> out(static_cast<std::size_t>(frames + silence), 0.0f);
    const double rate = loop.sampleRate;
    const double beat = 60.0 / loop.bpm;
    std::uint32_t noise = 22222;
    const auto nextNoise = [&noise] {
        noise = noise * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<double>(noise >> 8) / 8388608.0 - 1.0);
    };
    for (std::int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double inBeat = std::fmod(t, beat);
        const auto beatIndex = static_cast<std::int64_t>(std::floor(t / beat));
        const double inEighth = std::fmod(t, beat / 2);
        const float n = nextNoise();
        float s = 0;
        const bool odd = beatIndex % 2 == 1;
        if (!loop.backbeat || !odd) // kick: a falling sine with a quick decay
            s += static_cast<float>(
                0.6 * std::exp(-inBeat * 18) *
                std::sin(2 * std::numbers::pi * (50 * inBeat + 60 * (1 - std::exp(-inBeat * 30)))));
        if (odd) // snare: noise with a body
            s += static_cast<float>(std::exp(-inBeat * 25) *
                                    (0.9 * n + 0.3 * std::sin(2 * std::numbers::pi * 190 * inBeat)));
        s += static_cast<float>(0.15 * std::exp(-inEighth * 120) * n); // hi-hat
        out[static_cast<std::size_t>(i)] = s;
    }
    return out;
}

// Writes the loop, as a 16-bit WAV unless another libsndfile format is given; false when libsndfile
// refused.
inline bool writeDrumLoop(const std::string& path, const DrumLoop& loop,
                          int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16)
{
    const std::vector<float> mono = drumSignal(loop);
    std::vector<float> frames(mono.size() * static_cast<std::size_t>(loop.channels));
    for (std::size_t i = 0; i < mono.size(); ++i)
        for (int c = 0; c < loop.channels; ++c)
            frames[i * static_cast<std::size_t>(loop.channels) + static_cast<std::size_t>(c)] = mono[i];
    SF_INFO info{};
    info.samplerate = loop.sampleRate;
    info.channels = loop.channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    // The drums peak above full scale. The WAVs keep the wrapped samples their tests were measured
    // with; libFLAC refuses a sample beyond its bit depth and would end the file there.
    if ((format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAV)
        sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const auto count = static_cast<sf_count_t>(mono.size());
    const bool written = sf_writef_float(file, frames.data(), count) == count;
    return sf_close(file) == 0 && written;
}

} // namespace korvo::test
