#pragma once

#include <cstdint>
#include <span>
#include <vector>

// What the sample window draws of a loop: its sound squeezed into the columns of its place, and
// the grid of the beats it was read as. Plain C++, so the drawing's geometry can be tried on its own.
namespace korvo::sample {

// The lowest and highest sample over every channel of one column.
struct Peak
{
    float low = 0;
    float high = 0;
};

// The loop's `samples` (`channels` interleaved) cut into `columns` stretches of as near the same
// number of frames as whole frames allow, the first at the loop's start; each column's lowest and
// highest sample. A column that falls between two frames (a loop shorter than its columns) takes
// the frame it lies in.
std::vector<Peak> peaks(std::span<const float> samples, int channels, int columns);

struct GridLine
{
    double x = 0;     // from the left edge of the drawing, in its pixels
    bool bar = false; // the first beat of a bar
};

// Beats to the bar in a loop of `beats` beats: three where the beats come in threes and not in
// fours (6, 9, 18), four otherwise.
int beatsPerBar(int beats);

// Lines closer than this many pixels run into one another; see beatGrid.
inline constexpr double kGridSpacing = 3;

// The beat grid over a loop of `frames` frames drawn `width` pixels wide: a line at the first frame
// and one every beat at `tempo` from there, to the loop's end, every bar's first beat marked (see
// beatsPerBar). Where beats would stand closer than kGridSpacing, only the bars are given, and
// nothing where the bars would too.
std::vector<GridLine> beatGrid(std::int64_t frames, int sampleRate, double tempo, int beats, double width);

} // namespace korvo::sample
