#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

// Where a sound's beats are: an onset-strength signal (the spectral flux of a short-time Fourier
// transform), how strongly a beat grid lines up with it, and the tempo its onsets repeat at. Plain
// C++ on KissFFT: the decoding is done elsewhere and fed in as one mono channel.
namespace korvo::sample {

// The tempos a beat is looked for at, and a grid tried at; whatever the tempo box takes, no reading
// outside them is made.
inline constexpr double kSlowest = 30;
inline constexpr double kFastest = 300;

// How much each moment of a sound sounds like the start of a note, a few hundred values a second.
struct OnsetSignal
{
    double rate = 0; // values per second
    // The strength above its surroundings, never negative.
    std::vector<float> strength;
    // The strongest value within a few milliseconds of each one, so a grid point that falls a hop
    // beside its onset still finds it; and their running sums, so a stretch's mean is one subtraction.
    std::vector<float> nearby;
    std::vector<double> nearbySums; // nearbySums[i] is the sum of nearby[0..i)
    // How much of each value's rise lies below 150 Hz, in 255ths: how much of a hit is a kick's.
    std::vector<std::uint8_t> lowShare;
    // The mean over the whole sound of a frame's log magnitudes summed: what a rise is measured
    // against, so a hit is told from the flicker of a steady tone or noise.
    double level = 0;

    std::size_t size() const { return strength.size(); }
    double seconds() const { return rate > 0 ? static_cast<double>(size()) / rate : 0; }
    // The mean of `nearby` from `from` to `to` seconds; 0 for an empty stretch.
    double meanNearby(double from, double to) const;
    // `nearby` at a time in seconds; 0 outside the signal.
    float nearbyAt(double seconds) const;
};

// Builds the onset signal of a sound fed in pieces of any size.
class OnsetDetector
{
public:
    explicit OnsetDetector(int sampleRate);
    ~OnsetDetector();
    OnsetDetector(const OnsetDetector&) = delete;
    OnsetDetector& operator=(const OnsetDetector&) = delete;

    void add(std::span<const float> mono);
    // The signal of everything added; the detector is spent afterwards.
    OnsetSignal finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// How well a beat grid (a point every `period` seconds from `phase`, over the stretch from `from` to
// `to`) lines up with the onsets: the mean strength at its points over the mean strength anywhere in
// the stretch. About 1 for a grid that ignores the beat; 2 and more where every point meets a hit.
double gridSupport(const OnsetSignal& onsets, double period, double phase, double from, double to);

// How likely a person means a tempo before hearing anything: a log-normal bell around 120 BPM.
double tempoPrior(double bpm);

// The tempo the onsets repeat at, the prior weighed in; 0 when nothing repeats.
struct Periodicity
{
    double bpm = 0;
    // How clearly: the normalised autocorrelation at that period, 0 to 1.
    double clarity = 0;
};
Periodicity periodicity(const OnsetSignal& onsets, double from, double to);

// The grid that lines up best with the onsets within `spread` (a share) of a tempo, phase free; at
// the tempo itself for a spread of 0.
struct FittedGrid
{
    double bpm = 0;
    double phase = 0;
    double support = 0;
};
FittedGrid fitGrid(const OnsetSignal& onsets, double bpm, double spread, double from, double to);

// The tempo that best explains where the onsets next to a grid's points lie: a weighted least-squares
// line through their times, to a fraction of a hop. 0 when fewer than three points meet an onset.
// The line's phase is free: onsets are heard a little after the attack, the same little for every
// hit, so a line held to the sound's first sample would tilt.
// The standard error of the line's slope, as a share of the tempo, goes to
// `standardError` when given.
double refineTempo(const OnsetSignal& onsets, double period, double phase, double from, double to,
                   double* standardError = nullptr);

// The tempo at which the onsets from `from` to `to` seconds best meet themselves `beats` beats later,
// searched within 2 % of `bpm`, to a fraction of a hop: a bar laid on the next one, kick on kick and
// snare on snare, so what differs between drums (where the onset of each peaks) cancels out. How well
// they meet there, as a correlation of 0 to 1, goes to `match`. 0 when the stretch holds no two bars.
double repeatTempo(const OnsetSignal& onsets, double bpm, int beats, double from, double to, double* match);

// How strongly a grid's points take turns between low hits and high ones, as a kick on one beat and a
// snare on the next do: 0 where they do not, up to 1. Counted a level too fast, a grid's points take
// turns between hits and the faint notes between them; a level too slow, they all land on kicks, or
// all on snares.
double backbeat(const OnsetSignal& onsets, double period, double phase, double from, double to);

// How much low rise a grid's points meet: the kick-like part of the onsets, at its strongest near each
// point, averaged over the points from `from` to `to` seconds.
double lowGridSupport(const OnsetSignal& onsets, double period, double phase, double from, double to);

// How closely the low hits over a loop from `from` to `to` seconds repeat `lag` seconds later, the
// loop wrapping round: the correlation of the kick-like part of the onsets with itself, -1 to 1.
// Nothing when the stretch is no longer than the lag or holds no low hits.
std::optional<double> lowRepetition(const OnsetSignal& onsets, double from, double to, double lag);

} // namespace korvo::sample
