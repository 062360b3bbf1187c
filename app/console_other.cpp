#include "app/console.h"

namespace korvo {

std::vector<std::string> utf8Arguments(int argc, char* argv[])
{
    return {argv, argv + argc};
}

ConsoleStreams useStartingConsole()
{
    return {};
}

} // namespace korvo
