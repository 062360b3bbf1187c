#include "settings/settingsformat.h"

#include "delay/delaycalc.h"
#include "pitch/numbertext.h"

#include <cmath>
#include <limits>
#include <vector>

namespace korvo::settings {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view item)
{
    while (!item.empty() && isBlank(item.front()))
        item.remove_prefix(1);
    while (!item.empty() && isBlank(item.back()))
        item.remove_suffix(1);
    return item;
}

// The first five items. An item ends at a comma or a line end (CR LF, LF or CR), so an empty line
// is an empty item. When the file goes on past the part we look at, the item cut off there is
// incomplete and is dropped rather than guessed at.
std::vector<std::string_view> firstItems(std::string_view bytes, std::size_t wanted)
{
    if (bytes.starts_with(kByteOrderMark))
        bytes.remove_prefix(kByteOrderMark.size());
    const bool cutOff = bytes.size() > kReadLimit;
    if (cutOff)
        bytes = bytes.substr(0, kReadLimit);

    std::vector<std::string_view> items;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size() && items.size() < wanted; ++i) {
        const char c = bytes[i];
        if (c != ',' && c != '\r' && c != '\n')
            continue;
        items.push_back(trimmed(bytes.substr(start, i - start)));
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (!cutOff && start < bytes.size() && items.size() < wanted)
        items.push_back(trimmed(bytes.substr(start)));
    return items;
}

// How many leading bytes of an item are text a box can show: whole UTF-8 characters without
// control characters (a tab is a blank). A NUL, DEL, a stray byte from another code page or a
// cut-off character ends it.
std::size_t showableLength(std::string_view item)
{
    std::size_t i = 0;
    while (i < item.size()) {
        const auto byte = static_cast<unsigned char>(item[i]);
        if (byte < 0x80) {
            if ((byte < 0x20 && byte != '\t') || byte == 0x7F)
                return i;
            ++i;
            continue;
        }
        // Lead byte, then continuation bytes; overlong forms and surrogates are refused as well.
        std::size_t length = 0;
        unsigned min = 0;
        unsigned code = 0;
        if (byte >= 0xC2 && byte <= 0xDF) {
            length = 2, min = 0x80, code = byte & 0x1Fu;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            length = 3, min = 0x800, code = byte & 0x0Fu;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            length = 4, min = 0x10000, code = byte & 0x07u;
        } else {
            return i;
        }
        if (i + length > item.size())
            return i;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(item[i + k]);
            if ((next & 0xC0u) != 0x80u)
                return i;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return i;
        if (code <= 0x9F) // the second set of control characters, U+0080 to U+009F
            return i;
        i += length;
    }
    return i;
}

std::optional<std::string> tempoText(std::optional<std::string_view> item)
{
    if (!item)
        return std::nullopt; // the file ended before this item: the box keeps its design text
    // Every item goes into its box, an empty one too, so that the start-up calculation reads it
    // as it reads a typed text, or rejects it with its message. Bytes a box cannot show would only
    // reach it as garbage, so the item is cut before the first of them ("98.5" of "98.5\xB0"),
    // which is also where the reading of the number stops.
    const std::string_view shown = trimmed(item->substr(0, showableLength(*item)));
    // "120.0" comes back as "120"; anything else is handed over as it stands, and the main window's
    // range check then deals with it exactly as with a typed text.
    const std::optional<double> value = readStrict(shown);
    if (value && std::isfinite(*value))
        return numberText(*value);
    return std::string(shown);
}

// An index into a list of `count` items.
std::optional<int> index(std::string_view item, std::size_t count)
{
    const std::optional<double> value = readStrict(item);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    const double whole = std::nearbyint(*value); // halves to the even neighbour
    if (whole < 0 || whole >= static_cast<double>(count))
        return std::nullopt;
    return static_cast<int>(whole);
}

std::string singleLine(double tempo)
{
    // Beyond the float range the conversion itself would be undefined; saturate as the FPU would.
    constexpr double largest = std::numeric_limits<float>::max();
    float single = 0;
    if (std::isnan(tempo))
        single = std::numeric_limits<float>::quiet_NaN();
    else if (tempo > largest || tempo < -largest)
        single = tempo > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    else
        single = static_cast<float>(tempo);
    return singleText(single);
}

} // namespace

Stored parse(std::string_view bytes)
{
    const std::vector<std::string_view> items = firstItems(bytes, 5);
    const auto item = [&items](std::size_t i) {
        return i < items.size() ? std::optional<std::string_view>(items[i]) : std::nullopt;
    };

    Stored stored;
    stored.bpm1 = tempoText(item(0));
    stored.bpm2 = tempoText(item(1));
    stored.note = index(item(2).value_or(""), delay::kNoteCount);
    stored.modifier = index(item(3).value_or(""), delay::kModifierCount);
    stored.format = index(item(4).value_or(""), delay::kFormatCount);
    return stored;
}

std::string format(const ToSave& values)
{
    std::string out;
    for (const std::string& line :
         {singleLine(values.bpm1), singleLine(values.bpm2), std::to_string(values.note),
          std::to_string(values.modifier), std::to_string(values.format)}) {
        out += line;
        out += "\r\n";
    }
    return out;
}

} // namespace korvo::settings
