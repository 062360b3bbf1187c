#include "sample/namehint.h"

#include <charconv>
#include <string>

namespace korvo::sample {
namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isSeparator(char c)
{
    return c == ' ' || c == '_' || c == '-';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The value of digits with at most one decimal point or comma ("97,5" is 97.5).
double valueOf(std::string_view number)
{
    std::string text(number);
    for (char& c : text)
        if (c == ',')
            c = '.';
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

// The number that ends at `end`, or just before one separator there: "97.5" in "97.5 BPM".
double numberBefore(std::string_view name, std::size_t end)
{
    if (end > 0 && isSeparator(name[end - 1]))
        --end;
    std::size_t begin = end;
    while (begin > 0 && isDigit(name[begin - 1]))
        --begin;
    if (begin == end)
        return 0;
    if (begin >= 2 && (name[begin - 1] == '.' || name[begin - 1] == ',') && isDigit(name[begin - 2])) {
        begin -= 2;
        while (begin > 0 && isDigit(name[begin - 1]))
            --begin;
    }
    return valueOf(name.substr(begin, end - begin));
}

// The number that begins at `begin`, or just after one separator there: "120" in "bpm_120".
double numberAfter(std::string_view name, std::size_t begin)
{
    if (begin < name.size() && isSeparator(name[begin]))
        ++begin;
    std::size_t end = begin;
    while (end < name.size() && isDigit(name[end]))
        ++end;
    if (end == begin)
        return 0;
    if (end + 1 < name.size() && (name[end] == '.' || name[end] == ',') && isDigit(name[end + 1])) {
        end += 2;
        while (end < name.size() && isDigit(name[end]))
            ++end;
    }
    return valueOf(name.substr(begin, end - begin));
}

bool named(double tempo)
{
    return tempo >= kLowestNamedTempo && tempo <= kHighestNamedTempo;
}

} // namespace

double tempoInName(std::string_view name)
{
    // The extension needs no cutting off: a dot joins no number to the word, and "bpm" as a whole
    // extension has a dot before it.
    double found = 0;
    // Each "bpm" that is a word of its own, not part of a longer one ("bpms" is not read).
    for (std::size_t at = 0; at + 3 <= name.size(); ++at) {
        if (lower(name[at]) != 'b' || lower(name[at + 1]) != 'p' || lower(name[at + 2]) != 'm')
            continue;
        if ((at > 0 && isLetter(name[at - 1])) || (at + 3 < name.size() && isLetter(name[at + 3])))
            continue;
        // "120bpm" is the usual way round; "bpm120" only when no tempo comes before.
        double tempo = numberBefore(name, at);
        if (!named(tempo))
            tempo = numberAfter(name, at + 3);
        if (named(tempo))
            found = tempo;
    }
    return found;
}

} // namespace korvo::sample
