#include "app/console.h"

namespace korvo {

void useStartingConsole(int&, char**&) {}

} // namespace korvo
