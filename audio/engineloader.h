#pragma once

#include "audio/engine.h"

#include <QString>
#include <string>

// The audio module, loaded the first time a loop is played or rendered: from the program's own
// folder (a build tree, the Windows package) or from the folder the Linux package installs it in.
namespace korvo::audio {

// The engine, or nullptr when the module cannot be loaded (the program then plays nothing and says
// so). Loaded once; lives as long as the program.
Engine* engine();

// Tests put an engine of their own in its place (nullptr: the module again).
void setEngine(Engine* standIn);

// Why an export wrote nothing, in a short sentence in the interface's language, for the window and the
// command line alike.
QString writeFailureReason(WriteFailure failure);

} // namespace korvo::audio
