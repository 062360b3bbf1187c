#pragma once

#include "audio/sink.h"

#include <atomic>
#include <memory>

namespace korvo::audio {

// The system's default sound output through PortAudio, with a buffer of at most a few tens of
// milliseconds, so that a moved slider is heard at once.
class PortAudioSink final : public Sink
{
public:
    PortAudioSink();
    ~PortAudioSink() override;

    PlayFailure start(int sampleRate, int channels, Fill fill) override;
    void stop() override;
    bool failed() const override { return m_failed.load(); }
    // What the device holds of the sound once filled, in seconds, as PortAudio reports it while the
    // output plays; 0 when it does not.
    double outputLatency() const;

    // The longest the output may hold of what was filled.
    static constexpr double kLatencySeconds = 0.03;

    // What PortAudio's callbacks, on its own thread, hand on to.
    void fillOutput(float* out, int frames) { m_fill(out, frames); }
    void streamFinished();

private:
    Fill m_fill;
    void* m_stream = nullptr;
    bool m_initialized = false;
    std::atomic_bool m_failed{false};
    std::atomic_bool m_stopping{false};
};

} // namespace korvo::audio
