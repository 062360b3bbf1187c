#include "sample/waveform.h"

#include <algorithm>

namespace korvo::sample {

std::vector<Peak> peaks(std::span<const float> samples, int channels, int columns)
{
    if (channels <= 0 || columns <= 0)
        return {};
    const auto frames = static_cast<std::int64_t>(samples.size()) / channels;
    std::vector<Peak> out(static_cast<std::size_t>(columns));
    if (frames == 0)
        return out;
    for (int c = 0; c < columns; ++c) {
        const std::int64_t first = frames * c / columns;
        const std::int64_t end = std::max(first + 1, frames * (c + 1) / columns);
        const auto from = samples.begin() + first * channels;
        const auto [low, high] = std::minmax_element(from, samples.begin() + end * channels);
        out[static_cast<std::size_t>(c)] = {*low, *high};
    }
    return out;
}

int beatsPerBar(int beats)
{
    return beats > 0 && beats % 3 == 0 && beats % 4 != 0 ? 3 : 4;
}

std::vector<GridLine> beatGrid(std::int64_t frames, int sampleRate, double tempo, int beats, double width)
{
    if (frames <= 0 || sampleRate <= 0 || tempo <= 0 || width <= 0)
        return {};
    const double beatFrames = 60.0 * sampleRate / tempo;
    const double pixelsPerFrame = width / static_cast<double>(frames);
    const int perBar = beatsPerBar(beats);
    const bool everyBeat = beatFrames * pixelsPerFrame >= kGridSpacing;
    if (!everyBeat && beatFrames * perBar * pixelsPerFrame < kGridSpacing)
        return {};
    std::vector<GridLine> lines;
    // Half a frame short of the end: a loop of exactly its beats has its next first beat there, at
    // the start again, not a line at its right edge.
    for (std::int64_t b = 0; static_cast<double>(b) * beatFrames < static_cast<double>(frames) - 0.5; ++b) {
        const bool bar = b % perBar == 0;
        if (bar || everyBeat)
            lines.push_back({static_cast<double>(b) * beatFrames * pixelsPerFrame, bar});
    }
    return lines;
}

} // namespace korvo::sample
