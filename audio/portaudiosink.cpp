#include "audio/portaudiosink.h"

#include "audio/quietoutput.h"

#include <portaudio.h>

namespace korvo::audio {

PortAudioSink::PortAudioSink()
{
    // PortAudio counts its users: every sink holds the library open while it lives.
    const QuietOutput quiet;
    m_initialized = Pa_Initialize() == paNoError;
}

PortAudioSink::~PortAudioSink()
{
    stop();
    if (m_initialized)
        Pa_Terminate();
}

namespace {

int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
             PaStreamCallbackFlags, void* self)
{
    static_cast<PortAudioSink*>(self)->fillOutput(static_cast<float*>(output), static_cast<int>(frames));
    return paContinue;
}

void finished(void* self)
{
    static_cast<PortAudioSink*>(self)->streamFinished();
}

} // namespace

void PortAudioSink::streamFinished()
{
    // A stream that ends without being asked to has lost its device.
    if (!m_stopping.load())
        m_failed.store(true);
}

PlayFailure PortAudioSink::start(int sampleRate, int channels, Fill fill)
{
    if (!m_initialized)
        return PlayFailure::NoDevice;
    const QuietOutput quiet; // opening a device on ALSA says as much as looking for one
    const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
    if (device == paNoDevice)
        return PlayFailure::NoDevice;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    if (!info || info->maxOutputChannels <= 0)
        return PlayFailure::NoDevice;
    m_fill = std::move(fill);
    PaStreamParameters out{};
    out.device = device;
    out.channelCount = channels;
    out.sampleFormat = paFloat32;
    out.suggestedLatency = kLatencySeconds;
    PaStream* stream = nullptr;
    // Buffers of about ten milliseconds: small enough that a change is heard at once, large enough
    // for a desktop's scheduler.
    const auto perBuffer = static_cast<unsigned long>(sampleRate / 100);
    if (Pa_OpenStream(&stream, nullptr, &out, sampleRate, perBuffer, paNoFlag, &callback, this) != paNoError)
        return PlayFailure::DeviceFailed;
    m_stream = stream;
    m_stopping.store(false);
    m_failed.store(false);
    Pa_SetStreamFinishedCallback(stream, &finished);
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        m_stream = nullptr;
        return PlayFailure::DeviceFailed;
    }
    return PlayFailure::None;
}

double PortAudioSink::outputLatency() const
{
    const PaStreamInfo* info = m_stream ? Pa_GetStreamInfo(static_cast<PaStream*>(m_stream)) : nullptr;
    return info ? info->outputLatency : 0;
}

void PortAudioSink::stop()
{
    if (!m_stream)
        return;
    m_stopping.store(true);
    auto* stream = static_cast<PaStream*>(m_stream);
    Pa_AbortStream(stream);
    Pa_CloseStream(stream);
    m_stream = nullptr;
}

} // namespace korvo::audio
