#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The bytes of bpm_data.ini: five values, one per line, kept between runs. Both tempos first, then
// the delay window's note, modifier and time-format positions. Plain C++, so the format can be
// tested without a file system or a window.
namespace korvo::settings {

inline constexpr const char* kFileName = "bpm_data.ini";

// Only this much of a file is looked at, by the store and the format alike; a genuine file is
// about forty bytes.
inline constexpr std::size_t kReadLimit = 4096;

// What a file gave; nullopt = missing or unusable, and the window then keeps its own value.
struct Stored
{
    // Texts for the tempo boxes: every item the file holds, empty or not a number included, cut
    // before the first byte a box cannot show. Missing only when the file ends before it.
    std::optional<std::string> bpm1, bpm2;
    std::optional<int> note, modifier, format; // validated: an index into the delay window's list
};

// Never fails: damaged or foreign content only leaves fields empty.
Stored parse(std::string_view bytes);

struct ToSave
{
    double bpm1, bpm2;
    int note, modifier, format;
};

// Five lines, each ended by "\r\n"; the same bytes whatever the process locale.
std::string format(const ToSave& values);

} // namespace korvo::settings
