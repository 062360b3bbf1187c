#include "app/displayhint.h"

#include <cstdio>
#include <cstdlib>

namespace korvo {

bool reportMissingDisplay(const char* program)
{
    const bool noDisplay =
        !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM");
    if (noDisplay)
        std::fprintf(stderr, "korvo: no display found; to run without a screen use: xvfb-run -a %s\n",
                     program);
    return noDisplay;
}

} // namespace korvo
