#pragma once

#include <cstdio>
#include <optional>

namespace korvo {

// Whether the arguments ask for `korvo --tempo`.
bool isTempoCommand(int argc, char* argv[]);

// `korvo --tempo FILE...`: one line per file with its name, length in seconds, the estimate, the
// tempo chosen and why, then the program ends; no window, no display needed. Gives the exit status
// (non-zero when a file could not be read), or nothing when the arguments ask for something else.
// The file names are UTF-8 on every system (see app/console.h for Windows).
std::optional<int> tempoCommand(int argc, char* argv[], std::FILE* out = stdout, std::FILE* err = stderr);

} // namespace korvo
