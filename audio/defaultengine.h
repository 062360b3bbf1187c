#pragma once

#include "audio/engine.h"

namespace korvo::audio {

// The engine the module gives: files through libsndfile, the sound card through PortAudio.
class DefaultEngine final : public Engine
{
public:
    std::shared_ptr<const Loop> load(const std::filesystem::path& file, LoadFailure& failure,
                                     const Progress& progress) override;
    std::unique_ptr<Playback> play(std::shared_ptr<const Loop> loop, Mode mode, double speed,
                                   PlayFailure& failure) override;
    WriteFailure render(const Loop& loop, Mode mode, double speed, const LoopInfo& info,
                        const std::filesystem::path& file, const Progress& progress, bool replace) override;
};

} // namespace korvo::audio
