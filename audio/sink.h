#pragma once

#include "audio/engine.h"

#include <functional>

namespace korvo::audio {

// Fills `frames` interleaved frames of sound; called on the output's own thread.
using Fill = std::function<void(float* out, int frames)>;

// Where sound goes: the sound card (portaudiosink.cpp) or, in tests, a stand-in that takes it
// as fast as it is made.
class Sink
{
public:
    virtual ~Sink() = default;
    virtual PlayFailure start(int sampleRate, int channels, Fill fill) = 0;
    // Returns once `fill` is no longer called.
    virtual void stop() = 0;
    virtual bool failed() const = 0;
};

} // namespace korvo::audio
