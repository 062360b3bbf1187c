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
    NoBeat,      // sound without a beat: a tone, a pad, noise
    NoTempo,     // no reading in the tempo range
    Cancelled    // the user stopped it
};

struct Analysis
{
    Failure failure = Failure::None;
    std::int64_t frames = 0;
    int sampleRate = 0;
    double seconds = 0;
    double estimate = 0; // the tempo heard in the beat; 0: none
    TempoChoice choice;
};

// Told how far the reading has got, from 0 to 1; returning false cancels it.
using Progress = std::function<bool(double done)>;

// The whole analysis of a file, its name's BPM among the hints. Never throws and never crashes on a
// malformed file.
Analysis analyseFile(const std::filesystem::path& file, const Progress& progress = {});

// The same for a file already in memory (what the fuzz target feeds), with the BPM its name would
// give (0: none).
Analysis analyseBytes(std::string_view bytes, double nameTempo = 0, const Progress& progress = {});

// A sample shorter than this many seconds is too short: one beat at 250 BPM.
inline constexpr double kShortestSeconds = 60.0 / 250.0;
// A sample whose loudest sample stays below this (-66 dB, sixteen steps of 16-bit audio) is silent:
// dither and the hiss of a quiet room never reach it.
inline constexpr float kSilence = 1.0f / 2048;
// Sound starts and ends where it first and last rises above this share of its peak (-60 dB).
inline constexpr float kSoundFloor = 0.001f;

// Whether this build of libsndfile reads a major format (SF_FORMAT_FLAC, ...): a build without
// the codecs reads no FLAC, Ogg or MP3. A test stands in for a build without one through the setter
// (nullptr: the library's own answer again); set it only while no analysis runs.
bool readsFormat(int major);
void setReadsFormat(bool (*standIn)(int major));

// The file name endings of the formats this build of libsndfile reads ("wav", "aiff", ...).
std::vector<std::string> readableExtensions();

} // namespace korvo::sample
