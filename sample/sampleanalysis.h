#pragma once

#include "sample/tempochoice.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reading a sample's tempo from the sample itself: decode it, mix it to one channel, estimate its
// beat, and choose the tempo by its length (tempochoice.h). Plain C++ without Qt, so the command
// line, the window and the fuzz target share it.
namespace korvo::sample {

// Estimates the beat of one channel of sound, fed in pieces.
class BeatEstimator
{
public:
    virtual ~BeatEstimator() = default;
    virtual void add(std::span<const float> mono) = 0;
    // BPM; 0 when it found none.
    virtual double bpm() = 0;
};

// Makes the estimator for a sample of the given rate; analyse() asks once per sample.
using EstimatorFactory = std::function<std::unique_ptr<BeatEstimator>(int sampleRate)>;

// The estimate analyseFile() and the window use unless told otherwise: for now one that hears
// nothing, until Korvo's own spectral estimate (with KissFFT) is in. Outside these rates no estimate
// hears anything.
inline constexpr int kLowestEstimateRate = 8000;
inline constexpr int kHighestEstimateRate = 768000;
std::unique_ptr<BeatEstimator> defaultEstimator(int sampleRate);

// Why a sample gave no tempo.
enum class Failure
{
    None,
    CannotOpen,  // missing, a folder, no permission
    Unsupported, // not a sound format this build reads
    Damaged,     // a sound format, but broken or cut short
    Empty,       // no sound at all: zero bytes or zero frames
    Silent,      // every sample (next to) zero
    TooShort,    // shorter than one beat at the fastest tempo
    NoTempo,     // no estimate and no reading in the tempo range
    Cancelled    // the user stopped it
};

struct Analysis
{
    Failure failure = Failure::None;
    std::int64_t frames = 0;
    int sampleRate = 0;
    double seconds = 0;
    double estimate = 0; // 0: none
    TempoChoice choice;
};

// Told how far the reading has got, from 0 to 1; returning false cancels it.
using Progress = std::function<bool(double done)>;

// The whole analysis of a file. Never throws and never crashes on a malformed file.
Analysis analyseFile(const std::filesystem::path& file, const EstimatorFactory& estimator = defaultEstimator,
                     const Progress& progress = {});

// The same for a file already in memory (what the fuzz target feeds).
Analysis analyseBytes(std::string_view bytes, const EstimatorFactory& estimator = defaultEstimator,
                      const Progress& progress = {});

// A sample shorter than this many seconds is too short: one beat at 250 BPM.
inline constexpr double kShortestSeconds = 60.0 / 250.0;
// A sample whose loudest sample stays below this (about -90 dB) is silent.
inline constexpr float kSilence = 1.0f / 32768;

// The file name endings of the formats this build of libsndfile reads ("wav", "aiff", ...).
std::vector<std::string> readableExtensions();

// The reason in a few Japanese words, for a message or the command line.
std::string failureReason(Failure failure);
// Why the tempo was chosen, in a few Japanese words.
std::string choiceReason(const Analysis& analysis);

} // namespace korvo::sample
