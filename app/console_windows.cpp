#include "app/console.h"

#include <cstdio>
#include <string>
#include <vector>
// windows.h before the shell's header, which needs its definitions.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

namespace korvo {
namespace {

bool unconnected(DWORD stream)
{
    const HANDLE handle = GetStdHandle(stream);
    return handle == nullptr || handle == INVALID_HANDLE_VALUE;
}

// The console's own code page comes back when the program ends, so the terminal is left as it was.
struct CodePage
{
    UINT before = GetConsoleOutputCP();
    ~CodePage()
    {
        std::fflush(stdout);
        std::fflush(stderr);
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

void useStartingConsole(int& argc, char**& argv)
{
    // Output redirected by whoever started the program (a pipe, `> file`) already has its place.
    const bool out = unconnected(STD_OUTPUT_HANDLE);
    const bool err = unconnected(STD_ERROR_HANDLE);
    if ((out || err) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (out)
            std::freopen("CONOUT$", "w", stdout);
        if (err)
            std::freopen("CONOUT$", "w", stderr);
    }
    static CodePage codePage;
    SetConsoleOutputCP(CP_UTF8);

    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return; // keep the ANSI arguments: ASCII names still work
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    for (int i = 0; i < count; ++i)
        arguments.push_back(utf8(wide[i]));
    LocalFree(wide);
    for (std::string& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    argc = count;
    argv = pointers.data();
}

} // namespace korvo
