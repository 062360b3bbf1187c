#include "app/tempocommand.h"

namespace korvo {

std::string shownPath(const char* argument)
{
    return escapedPath(argument);
}

} // namespace korvo
