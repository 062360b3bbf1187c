#include "audio/quietoutput.h"

// PortAudio's Windows back ends print nothing of their own: there is nothing to set aside.
namespace korvo::audio {

QuietOutput::QuietOutput() = default;

QuietOutput::~QuietOutput() = default;

} // namespace korvo::audio
