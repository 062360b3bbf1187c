#pragma once

#include "audio/engine.h"

#include <cstdio>
#include <filesystem>

// Writing a file that appears whole or not at all, and never over another: it is written under a
// name of its own in the same folder, then given its name only if that name is still free. Each
// system's part sits in a file of its own (newfile_posix.cpp, newfile_windows.cpp).
namespace korvo::audio {

// A new file opened for writing that did not exist before, or nullptr with the reason.
std::FILE* createNew(const std::filesystem::path& file, WriteFailure& failure);

// Writes what is buffered and what the system holds for `stream` to the disk.
bool flushToDisk(std::FILE* stream);

// Gives the written file `from` the name `to`: never over an existing file unless `replace`.
WriteFailure publish(const std::filesystem::path& from, const std::filesystem::path& to, bool replace);

// The reason for the C library's last error number, as writing a file meets it.
WriteFailure failureOfErrno(int error);

} // namespace korvo::audio
