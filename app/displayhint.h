#pragma once

namespace korvo {

// Where a program can be started without any display to show its windows on (a Linux console or
// a remote shell), Qt would abort with a long plugin message: this prints one plain line instead
// and says true. Elsewhere (Windows always has its desktop) it says false and prints nothing.
bool reportMissingDisplay(const char* program);

} // namespace korvo
