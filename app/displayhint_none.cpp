#include "app/displayhint.h"

namespace korvo {

bool reportMissingDisplay(const char*)
{
    return false;
}

} // namespace korvo
