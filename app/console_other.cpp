#include "app/console.h"

namespace korvo {

ConsoleStreams useStartingConsole(int&, char**&)
{
    return {};
}

} // namespace korvo
