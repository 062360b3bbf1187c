#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Which tempo a sample has, from its length alone and from an estimate of its beat. Plain C++: the
// audio is decoded and estimated elsewhere, so the rule can be tried on any length and estimate.
namespace korvo::sample {

// One reading of the sample as a loop of whole beats.
struct TempoCandidate
{
    int beats = 0;
    double tempo = 0;    // the simplest tempo whose length for these beats is the sample's length
    std::string text;    // that tempo as a tempo box takes it ("174", "133.3333")
    bool agrees = false; // with the estimate (every candidate does when there is none)
};

enum class ChoiceReason
{
    Loop,     // a candidate that agrees with the estimate, or any candidate without an estimate
    Estimate, // no candidate agrees: the sample is not a loop, its tempo is the estimate's
    NotFound  // no estimate and no candidate in the tempo range
};

struct TempoChoice
{
    ChoiceReason reason = ChoiceReason::NotFound;
    double tempo = 0;
    std::string text;
    int beats = 0; // of the chosen candidate; 0 when the tempo comes from the estimate
    // Every reading from 1 to 250 BPM, fewest beats first, the chosen one included.
    std::vector<TempoCandidate> candidates;
    // The other readings worth offering, likeliest first, at most four, the chosen one not among them.
    std::vector<TempoCandidate> others;
};

// The numbers of beats a loop is read as; 1 and 2 only when no other fits the tempo range.
inline constexpr int kLoopBeats[] = {4, 8, 12, 16, 24, 32, 48, 64};
inline constexpr int kShortLoopBeats[] = {1, 2};
// Readings within this share of the estimate (or of its double, half, triple or third) agree.
inline constexpr double kAgreement = 0.01;
// The tempos a person most likely means; the upper bound is not included, and a reading within the
// agreement share below it counts as the bound itself (a loop read as 180 with a few milliseconds
// of silence after it reads 179.8, and is still the 90 it was).
inline constexpr double kUsualLowest = 70;
inline constexpr double kUsualAbove = 180;

// The tempo of a sample of `frames` frames at `sampleRate`, given an estimate of its beat in BPM
// (0, negative or not finite: none). Never fails; frames or rate of 0 or less give NotFound.
TempoChoice chooseTempo(std::int64_t frames, int sampleRate, double estimate);

// The simplest tempo whose ideal length of `beats` beats rounds to `frames` frames: the fewest
// decimals, at most four, with a whole number of thirds of a BPM coming just before three decimals;
// the tempo to four decimals when none fits.
double simplestTempo(std::int64_t frames, int sampleRate, int beats);

} // namespace korvo::sample
