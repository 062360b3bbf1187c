#include "audio/playback.h"

#include "audio/render.h"

#include <SoundTouch.h>
#include <algorithm>
#include <cmath>
#include <soxr.h>

namespace korvo::audio {

namespace {

double reachable(double speed)
{
    return std::isfinite(speed) ? std::clamp(speed, kSlowestSpeed, kFastestSpeed) : 1.0;
}

constexpr std::size_t kFeed = 1024; // frames handed on at a time

} // namespace

LoopPlayback::LoopPlayback(std::shared_ptr<const Loop> loop, Mode mode, double speed,
                           std::unique_ptr<Sink> sink)
    : m_loop(std::move(loop)), m_mode(mode), m_sink(std::move(sink)), m_speed(reachable(speed)),
      m_resampler(nullptr, soxr_delete)
{
    m_applied = m_speed.load();
    const auto channels = static_cast<unsigned>(m_loop->channels);
    if (m_mode == Mode::WithPitch) {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, SOXR_VR);
        soxr_error_t error = nullptr;
        // A variable-rate resampler is made for the largest ratio it will be given.
        m_resampler.reset(soxr_create(kFastestSpeed, 1, channels, &error, &io, &quality, nullptr));
        if (error)
            m_resampler.reset();
        if (m_resampler) {
            soxr_set_io_ratio(m_resampler.get(), m_applied, 0);
            soxr_set_input_fn(m_resampler.get(), reinterpret_cast<soxr_input_fn_t>(&LoopPlayback::input),
                              this, kFeed);
        }
    } else {
        m_stretch = std::make_unique<soundtouch::SoundTouch>();
        m_stretch->setSampleRate(static_cast<unsigned>(m_loop->sampleRate));
        m_stretch->setChannels(channels);
        m_stretch->setTempo(m_applied);
    }
}

LoopPlayback::~LoopPlayback()
{
    if (m_sink)
        m_sink->stop();
}

PlayFailure LoopPlayback::start()
{
    if (m_mode == Mode::WithPitch ? !m_resampler : m_loop->channels > 16)
        return PlayFailure::DeviceFailed;
    return m_sink->start(m_loop->sampleRate, m_loop->channels,
                         [this](float* out, int frames) { fill(out, frames); });
}

void LoopPlayback::setSpeed(double speed)
{
    m_speed.store(reachable(speed));
}

std::int64_t LoopPlayback::position() const
{
    return m_heard.load();
}

bool LoopPlayback::failed() const
{
    return m_sink->failed();
}

std::size_t LoopPlayback::input(void* self, const void** data, std::size_t wanted)
{
    auto& playback = *static_cast<LoopPlayback*>(self);
    const Loop& loop = *playback.m_loop;
    const std::int64_t frames = loop.frames();
    const auto n =
        static_cast<std::size_t>(std::min<std::int64_t>(std::int64_t(wanted), frames - playback.m_read));
    *data = loop.samples.data() + playback.m_read * loop.channels;
    playback.m_read = (playback.m_read + std::int64_t(n)) % frames;
    return n;
}

void LoopPlayback::applySpeed()
{
    const double speed = m_speed.load();
    if (speed == m_applied)
        return;
    m_applied = speed;
    if (m_resampler) {
        // The ratio slides over the glide rather than jumping: a jump is heard as a click.
        const auto slew = static_cast<std::size_t>(kGlideSeconds * m_loop->sampleRate);
        soxr_set_io_ratio(m_resampler.get(), speed, slew);
    } else {
        m_stretch->setTempo(speed);
    }
}

void LoopPlayback::fill(float* out, int frames)
{
    applySpeed();
    const auto channels = static_cast<std::size_t>(m_loop->channels);
    const auto wanted = static_cast<std::size_t>(std::max(frames, 0));
    std::size_t made = 0;
    double pending = 0; // frames of the loop fed but not yet heard
    if (m_resampler) {
        while (made < wanted) {
            const std::size_t n = soxr_output(m_resampler.get(), out + made * channels, wanted - made);
            if (n == 0)
                break;
            made += n;
        }
        pending = soxr_delay(m_resampler.get()) * m_applied;
    } else {
        while (m_stretch->numSamples() < wanted) {
            const auto n = static_cast<std::size_t>(std::min<std::int64_t>(kFeed, m_loop->frames() - m_read));
            m_stretch->putSamples(m_loop->samples.data() + m_read * m_loop->channels,
                                  static_cast<unsigned>(n));
            m_read = (m_read + std::int64_t(n)) % m_loop->frames();
        }
        made = m_stretch->receiveSamples(out, static_cast<unsigned>(wanted));
        pending = m_stretch->numUnprocessedSamples() + m_stretch->numSamples() * m_applied;
    }
    std::fill(out + made * channels, out + wanted * channels, 0.0f);
    const std::int64_t frames64 = m_loop->frames();
    const std::int64_t heard = (m_read - std::llround(pending)) % frames64;
    m_heard.store(heard < 0 ? heard + frames64 : heard);
}

} // namespace korvo::audio
