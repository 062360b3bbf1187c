#pragma once

#include "audio/engine.h"

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

// A steady tone to play and render, and its frequency read back.
namespace korvo::test {

inline std::shared_ptr<audio::Loop> sine(double hertz, double seconds, int channels = 2, int rate = 44100)
{
    auto loop = std::make_shared<audio::Loop>();
    loop->sampleRate = rate;
    loop->channels = channels;
    const auto frames = static_cast<std::size_t>(seconds * rate);
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            loop->samples.push_back(float(0.5 * std::sin(2 * std::numbers::pi * hertz * double(i) / rate)));
    return loop;
}

// The frequency of the first channel between two frames, from its upward zero crossings placed
// between samples.
inline double frequencyOf(const std::vector<float>& samples, int channels, int rate, std::size_t from,
                          std::size_t to)
{
    const auto at = [&](std::size_t i) { return double(samples[i * static_cast<std::size_t>(channels)]); };
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = from; i + 1 < to; ++i) {
        const double a = at(i), b = at(i + 1);
        if (a < 0 && b >= 0) {
            const double crossing = double(i) + a / (a - b);
            first < 0 ? first = crossing : ++crossings;
            last = crossing;
        }
    }
    return crossings > 0 ? crossings * rate / (last - first) : 0;
}

// The same away from the ends, where a filter or a stretch settles.
inline double frequencyOf(const std::vector<float>& samples, int channels, int rate)
{
    const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
    return frequencyOf(samples, channels, rate, frames / 5, frames * 4 / 5);
}

inline double cents(double a, double b)
{
    return 1200 * std::log2(a / b);
}

} // namespace korvo::test
