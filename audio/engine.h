#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

// Hearing a loop at another tempo and writing it out: decoding, resampling (libsoxr), stretching
// (SoundTouch) and the sound card (PortAudio). These libraries are large and needed only once a
// loop is played or rendered, so they live in a module of their own that the program loads on first
// use (audio/engineloader.h); the start of the program never pays for them. Plain C++ without Qt.
namespace korvo::audio {

// How a loop reaches another tempo.
enum class Mode
{
    WithPitch, // a sampler's way: speed and pitch move together
    KeepPitch  // the tempo changes and the pitch stays
};

// The speeds a loop is played and rendered at: four octaves either way.
inline constexpr double kSlowestSpeed = 1.0 / 16;
inline constexpr double kFastestSpeed = 16;

// A decoded sample, every channel interleaved.
struct Loop
{
    int sampleRate = 0;
    int channels = 0;
    bool floatSamples = false; // the file held floating-point samples: an export keeps them
    std::vector<float> samples;

    std::int64_t frames() const { return channels > 0 ? std::int64_t(samples.size()) / channels : 0; }
};

enum class LoadFailure
{
    None,
    CannotOpen, // missing, no permission, or no sound this build reads
    TooLong,    // more than an hour: too much to hold for playing
    Cancelled   // the progress said to stop
};

enum class PlayFailure
{
    None,
    NoDevice,    // no sound output at all
    DeviceFailed // an output that would not start
};

// Why an export wrote nothing. An export never leaves a part-written file behind.
enum class WriteFailure
{
    None,
    Exists,       // the file is there already: never replaced
    NoPermission, // the folder cannot be written to
    DiskFull,
    CannotWrite, // any other failure to write
    Cancelled
};

// What a loop library's ACID chunk tells a host of an exported loop.
struct LoopInfo
{
    double tempo = 0;
    int beats = 0; // quarter notes
};

// Told how far a render has got, from 0 to 1; returning false cancels it.
using Progress = std::function<bool(double done)>;

// A loop that plays, over and over, until the object is gone.
class Playback
{
public:
    virtual ~Playback() = default;
    // The tempo ratio the loop plays at (BPM 2 / BPM 1): the sound glides to a new one rather than
    // jumping, so a dragged slider never clicks.
    virtual void setSpeed(double speed) = 0;
    // The frame of the loop that is heard now.
    virtual std::int64_t position() const = 0;
    // The output failed while playing (a device unplugged).
    virtual bool failed() const = 0;
};

class Engine
{
public:
    virtual ~Engine() = default;
    // The whole file decoded; `progress`, when given, is told how far the decoding has got and may
    // stop it. It is called on the thread that loads, which need not be the program's main thread.
    virtual std::shared_ptr<const Loop> load(const std::filesystem::path& file, LoadFailure& failure,
                                             const Progress& progress) = 0;
    virtual std::unique_ptr<Playback> play(std::shared_ptr<const Loop> loop, Mode mode, double speed,
                                           PlayFailure& failure) = 0;
    // The loop at `speed` times its tempo as a WAV file of the same rate and channels (24-bit, or
    // float when the source is), with `info` in its ACID chunk. An existing file is replaced only
    // when `replace` says so, and only once the new one is written whole.
    virtual WriteFailure render(const Loop& loop, Mode mode, double speed, const LoopInfo& info,
                                const std::filesystem::path& file, const Progress& progress,
                                bool replace) = 0;
};

} // namespace korvo::audio
