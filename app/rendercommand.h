#pragma once

#include "audio/engine.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace korvo {

// `korvo --render TEMPO FILE... [--keep-pitch] [--from TEMPO]`: every file rendered at TEMPO,
// beside itself, with no window.
struct RenderRequest
{
    std::string tempo;              // as typed
    std::vector<std::string> files; // as typed, UTF-8; wildcards are expanded as for --tempo
    bool keepPitch = false;
    std::string from; // every file's own tempo, as typed; empty: each file's own reading
};

// One line per file rendered: its tempo, the target, the semitones and the written file, in
// tab-separated columns; a file that failed is told on `err`. Gives the exit status: 0, 1 when any
// file failed, 2 when the tempos are no tempos. `engine` nullptr: the audio module is missing.
int renderCommand(const RenderRequest& request, audio::Engine* engine, std::FILE* out, std::FILE* err);

// Where a render of `source` at `tempo` goes: "<name> <tempo>bpm.wav" beside it, and with " (2)",
// " (3)", ... from the second attempt on, when the name is taken.
std::filesystem::path renderPath(const std::filesystem::path& source, double tempo, int attempt = 1);

} // namespace korvo
