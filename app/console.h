#pragma once

#include <cstdio>

namespace korvo {

// Where a run that only prints writes its lines and its complaints.
struct ConsoleStreams
{
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// For a run that only prints (`korvo --tempo FILE...`): its output goes to the terminal it was
// started from, and its arguments are UTF-8, as tempoCommand() reads them. On Linux both hold
// already: this gives stdout and stderr and changes nothing. On Windows the program is a windowed
// one with no console of its own: it attaches to its parent's and prints UTF-8 there (output
// already redirected to a pipe or a file stays where it goes), and takes its arguments from the
// wide command line, since argv holds them in the ANSI code page, where a Japanese file name may
// not fit. argv then points to copies kept until the program ends.
ConsoleStreams useStartingConsole(int& argc, char**& argv);

} // namespace korvo
