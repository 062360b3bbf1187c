#pragma once

namespace korvo {

// For a run that only prints (`korvo --tempo FILE...`): its output goes to the terminal it was
// started from, and its arguments are UTF-8, as tempoCommand() reads them. On Linux both hold
// already and this does nothing. On Windows the program is a windowed one: it has no console of its
// own, so it attaches to its parent's (unless its output already goes to a pipe or a file), prints
// UTF-8 there, and takes its arguments from the wide command line, since argv holds them in the
// ANSI code page, where a Japanese file name may not fit. argv then points to copies kept until the
// program ends.
void useStartingConsole(int& argc, char**& argv);

} // namespace korvo
