#pragma once

#include "sample/beatanalysis.h"

#include <cstdint>
#include <string>
#include <vector>

// Which tempo a sample has: its length read as a loop of whole beats, weighed against where its
// onsets fall, and the hints a file may carry (a loop chunk, a BPM in its name). Plain C++: the
// audio is decoded elsewhere, so the rule can be tried on any length and onsets.
namespace korvo::sample {

// One reading of the sample.
struct TempoCandidate
{
    int beats = 0;     // 0: a tempo heard in the beat, not a whole number of beats of the file
    double tempo = 0;  // the simplest tempo that fits (see chooseTempo)
    std::string text;  // that tempo as a tempo box takes it ("174", "133.3333")
    double offset = 0; // seconds the loop's length is longer (negative: shorter) than these beats
    double score = 0;  // how well the beat backs it up, the prior weighed in; higher is likelier
};

enum class ChoiceReason
{
    Loop,     // a whole number of beats that the onsets back up
    Acid,     // the tempo a loop chunk in the file gives
    Name,     // the BPM in the file's name, which its length bears out
    Mismatch, // the beat of a loop-like sample whose length is no whole number of its beats
    Estimate, // not a loop: the tempo heard in the beat
    NoBeat,   // sound without a beat: tones, pads, noise
    NotFound  // no reading in the tempo range
};

struct TempoChoice
{
    ChoiceReason reason = ChoiceReason::NotFound;
    double tempo = 0;
    std::string text;
    int beats = 0;     // of the chosen reading; 0 when it is no whole number of beats of the file
    double offset = 0; // seconds the file is longer (negative: shorter) than the chosen beats
    // The tempo heard in the beat, wherever the length puts it; 0 when none was heard.
    double heard = 0;
    // The loop was read as a rounder tempo than its exact length gives (a loop trimmed by ear).
    bool rounded = false;
    // The other readings offered, likeliest first, at most four: the exact length where the choice
    // rounded it, half and double, the other metre.
    std::vector<TempoCandidate> others;
};

// What is known of a sample.
struct TempoEvidence
{
    std::int64_t frames = 0;
    int sampleRate = 0;
    // The stretch that holds sound: from its first sample above the noise floor to one past its last.
    std::int64_t soundStart = 0;
    std::int64_t soundEnd = 0;
    // Where the first sound's attack rises out of the silence before it, a little before soundStart;
    // -1: at soundStart.
    std::int64_t soundRise = -1;
    // The sound stops abruptly at soundEnd, as a loop cut off there does, and does not die away.
    bool soundCut = false;
    // Where the loop lies when the file says so (sampler loop points); both 0 otherwise.
    std::int64_t loopStart = 0;
    std::int64_t loopEnd = 0;
    const OnsetSignal* onsets = nullptr; // none: the length alone decides
    double nameTempo = 0;                // a BPM the file's name states; 0: none
    double acidTempo = 0;                // a loop chunk's tempo; 0: none
    double acidBeats = 0;                // its length in quarter notes; 0: not given
};

// The numbers of beats a loop is read as, in 4/4 and in 3/4; 1 and 2 for short files.
inline constexpr int kLoopBeats[] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64};
// A rounder tempo is offered for a loop whose length for the same beats is this close.
inline constexpr double kTrimTolerance = 0.025;
// A name's BPM counts when a whole number of beats at it lies this close (a share) to the length.
inline constexpr double kNameTolerance = 0.02;

// The tempo of a sample. Never fails; frames or rate of 0 or less give NotFound.
TempoChoice chooseTempo(const TempoEvidence& evidence);

// The simplest tempo whose ideal length of `beats` beats rounds to `frames` frames: the fewest
// decimals, at most four, with a whole number of thirds of a BPM coming just before three decimals;
// the tempo to four decimals when none fits.
double simplestTempo(std::int64_t frames, int sampleRate, int beats);

// Whether a tempo is a whole number, a half, a quarter or a third of a BPM: what a loop is made at.
bool isRoundTempo(double tempo);

} // namespace korvo::sample
