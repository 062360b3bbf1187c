#include "app/console.h"

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>
// windows.h before the shell's header, which needs its definitions.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

namespace korvo {
namespace {

// Whether a stream should go to the console: it is one, or leads nowhere (no handle, or a console's
// handle passed down to a program not attached to that console). A pipe, a file or NUL keep it.
bool forConsole(DWORD stream)
{
    const HANDLE handle = GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return true;
    DWORD mode = 0;
    const DWORD type = GetFileType(handle);
    return type == FILE_TYPE_UNKNOWN || (type == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode));
}

// A stream of its own on the console, in UTF-8 as it stands: not freopen() on stdout, since a
// windowed program's stdout has no file descriptor and some C run-times refuse to reopen such a
// stream; binary, since some C run-times translate text written to a console from the ANSI code page
// (the console takes a bare LF as a new line).
std::FILE* openConsole()
{
    const HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE)
        return nullptr;
    const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(console), _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(console);
        return nullptr;
    }
    return _fdopen(descriptor, "wb");
}

// The console's own code page comes back when the program ends, so the terminal is left as it was;
// everything printed is out before.
struct CodePage
{
    UINT before = GetConsoleOutputCP();
    ~CodePage()
    {
        std::fflush(nullptr);
        if (before != 0)
            SetConsoleOutputCP(before);
    }
};

std::string utf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    bytes.resize(static_cast<std::size_t>(size) - 1); // the terminating zero
    return bytes;
}

} // namespace

std::vector<std::string> utf8Arguments(int argc, char* argv[])
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return {argv, argv + argc}; // the ANSI arguments: ASCII names still work
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(utf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

ConsoleStreams useStartingConsole()
{
    ConsoleStreams streams;
    if (!GetConsoleWindow())
        AttachConsole(ATTACH_PARENT_PROCESS);
    const bool out = forConsole(STD_OUTPUT_HANDLE);
    const bool err = forConsole(STD_ERROR_HANDLE);
    if (out || err) {
        if (std::FILE* console = openConsole()) {
            streams.out = out ? console : stdout;
            streams.err = err ? console : stderr;
        }
    }
    static CodePage codePage;
    SetConsoleOutputCP(CP_UTF8);
    return streams;
}

} // namespace korvo
