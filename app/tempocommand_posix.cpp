#include "app/tempocommand.h"

namespace korvo {

std::string shownPath(const char* argument)
{
    return escapedPath(argument);
}

// The shell has expanded the wildcards, and what it left is a name: `*` and `?` are letters in a
// POSIX file name.
std::vector<std::string> filesNamed(const char* argument)
{
    return {argument};
}

} // namespace korvo
