#include "audio/defaultengine.h"

#include "audio/loopfile.h"
#include "audio/playback.h"
#include "audio/portaudiosink.h"
#include "audio/render.h"
#include "audio/wavfile.h"

namespace korvo::audio {

std::shared_ptr<const Loop> DefaultEngine::load(const std::filesystem::path& file, LoadFailure& failure,
                                                const Progress& progress)
{
    return decodeLoop(file, failure, progress);
}

std::unique_ptr<Playback> DefaultEngine::play(std::shared_ptr<const Loop> loop, Mode mode, double speed,
                                              PlayFailure& failure)
{
    auto playback =
        std::make_unique<LoopPlayback>(std::move(loop), mode, speed, std::make_unique<PortAudioSink>());
    failure = playback->start();
    if (failure != PlayFailure::None)
        return nullptr;
    return playback;
}

WriteFailure DefaultEngine::render(const Loop& loop, Mode mode, double speed, const LoopInfo& info,
                                   const std::filesystem::path& file, const Progress& progress, bool replace)
{
    std::error_code error;
    if (!replace && std::filesystem::exists(file, error))
        return WriteFailure::Exists;
    bool cancelled = false;
    const Progress watched = [&](double done) { return !(cancelled = progress && !progress(done)); };
    const std::optional<std::vector<float>> samples = renderSamples(loop, mode, speed, watched);
    if (!samples)
        return cancelled ? WriteFailure::Cancelled : WriteFailure::CannotWrite;
    const WavFormat format{loop.sampleRate, loop.channels, loop.floatSamples};
    const WriteFailure failure = writeWav(file, format, *samples, info, replace);
    if (failure == WriteFailure::None && progress)
        progress(1.0);
    return failure;
}

} // namespace korvo::audio
