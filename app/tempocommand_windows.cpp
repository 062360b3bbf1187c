#include "app/tempocommand.h"

#include <filesystem>
#include <system_error>

namespace korvo {

// Windows file names hold no tab, line feed or other control character, their backslashes are the
// separators a person typed, and useStartingConsole() made the arguments UTF-8.
std::string shownPath(const char* argument)
{
    return argument;
}

// No Windows file name holds `*` or `?`, so an argument with them is always a pattern, quoted or not
// (the quotes are gone by now anyway).
std::vector<std::string> filesNamed(const char* argument)
{
    const std::string_view path(argument);
    // The last part begins after the last separator, or after a drive's colon ("C:*.wav").
    const std::size_t cut = path.find_last_of("\\/:");
    const std::size_t start = cut == std::string_view::npos ? 0 : cut + 1;
    if (path.find_first_of("*?", start) == std::string_view::npos)
        return {std::string(path)};

    const std::string_view folder = path.substr(0, start);
    // No folder part is the current folder; a drive alone is that drive's current folder.
    std::u8string listed(reinterpret_cast<const char8_t*>(folder.data()), folder.size());
    if (listed.empty() || listed.back() == u8':')
        listed += u8'.';
    // A folder that cannot be listed has nothing in it to match.
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator entry(std::filesystem::path(listed), error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        const std::u8string name = entry->path().filename().u8string();
        names.emplace_back(reinterpret_cast<const char*>(name.data()), name.size());
    }

    std::vector<std::string> files = matchingNames(path.substr(start), std::move(names));
    for (std::string& file : files)
        file.insert(0, folder);
    return files;
}

} // namespace korvo
