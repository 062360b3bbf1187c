#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace korvo {

// Where a run that only prints writes its lines and its complaints.
struct ConsoleStreams
{
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// The program's arguments, its name first, in UTF-8, as CommandLine reads them. On Linux they are
// already and are taken as they are. On Windows argv holds them in the ANSI code page, where a
// Japanese file name may not fit: they come from the wide command line instead.
std::vector<std::string> utf8Arguments(int argc, char* argv[]);

// For a run that only prints (`korvo --tempo FILE...`, `korvo --help`): its output goes to the
// terminal it was started from. On Linux it goes there already: this gives stdout and stderr and
// changes nothing. On Windows the program is a windowed one with no console of its own: it attaches
// to its parent's and prints UTF-8 there (output already redirected to a pipe or a file stays where
// it goes).
ConsoleStreams useStartingConsole();

} // namespace korvo
