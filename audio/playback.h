#pragma once

#include "audio/engine.h"
#include "audio/sink.h"

#include <atomic>
#include <memory>

struct soxr;

namespace soundtouch {
class SoundTouch;
}

namespace korvo::audio {

// A loop played round and round into a sink at a speed that may change while it plays. The
// sampler's way resamples it at a variable rate that glides to a new speed over a short slew;
// keeping the pitch, it is stretched by SoundTouch, which takes each new tempo at its next block.
class LoopPlayback final : public Playback
{
public:
    LoopPlayback(std::shared_ptr<const Loop> loop, Mode mode, double speed, std::unique_ptr<Sink> sink);
    ~LoopPlayback() override;

    // Starts the sink; nothing plays when it fails.
    PlayFailure start();

    void setSpeed(double speed) override;
    std::int64_t position() const override;
    bool failed() const override;

    // What the sink calls: the next `frames` frames of sound.
    void fill(float* out, int frames);

    // How long a change of speed takes to be heard in full in the sampler's way.
    static constexpr double kGlideSeconds = 0.02;

private:
    static std::size_t input(void* self, const void** data, std::size_t wanted);
    void applySpeed();

    std::shared_ptr<const Loop> m_loop;
    Mode m_mode;
    std::unique_ptr<Sink> m_sink;
    std::atomic<double> m_speed;
    double m_applied = 0;
    std::unique_ptr<soxr, void (*)(soxr*)> m_resampler;
    std::unique_ptr<soundtouch::SoundTouch> m_stretch;
    std::int64_t m_read = 0; // the next frame of the loop to feed
    std::atomic<std::int64_t> m_heard{0};
};

} // namespace korvo::audio
