#include "app/tempocommand.h"

#include "pitch/numbertext.h"
#include "sample/samplewords.h"

#include <QCoreApplication>
#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace korvo {

std::size_t utf8Length(std::string_view bytes)
{
    const auto at = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80; // the range the second byte must lie in, narrower after some leads
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (at(i) < 0x80 || at(i) > 0xBF)
            return 0;
    return length;
}

namespace {

// The command's words in the interface's language; its columns and numbers never change with it.
std::string said(const char* text)
{
    return QCoreApplication::translate("TempoCommand", text).toStdString();
}

// Joined by ", ": "87 (8拍), 58 (4拍)", with the beats only for a reading of a whole number of them.
std::string othersText(const sample::TempoChoice& choice)
{
    std::string text;
    for (const sample::TempoCandidate& other : choice.others) {
        if (!text.empty())
            text += ", ";
        text += other.text;
        if (other.beats > 0)
            text += " (" +
                    QCoreApplication::translate("TempoCommand", "%n拍", nullptr, other.beats).toStdString() +
                    ")";
    }
    return text;
}

// A letter in upper case, as Windows compares file names: the Latin letters a sample's name is likely
// to hold, plain, accented (Latin-1) and full width. Other scripts' cases stay apart.
char32_t upper(char32_t c)
{
    if ((c >= U'a' && c <= U'z') || (c >= U'\u00e0' && c <= U'\u00fe' && c != U'\u00f7') ||
        (c >= U'\uff41' && c <= U'\uff5a'))
        return c - 0x20;
    return c;
}

// The characters of a UTF-8 text in upper case. A byte that begins no valid sequence stands for
// itself, as U+DC80 to U+DCFF, so that it matches only itself.
std::u32string upperCharacters(std::string_view text)
{
    std::u32string characters;
    while (!text.empty()) {
        const auto lead = static_cast<unsigned char>(text.front());
        const std::size_t length = utf8Length(text);
        char32_t c = 0;
        if (length == 0) {
            c = 0xDC00 + lead;
        } else {
            static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
            c = lead & kLeadBits[length];
            for (std::size_t i = 1; i < length; ++i)
                c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        }
        characters.push_back(upper(c));
        text.remove_prefix(std::max<std::size_t>(length, 1));
    }
    return characters;
}

// A star takes as little as it can, and one more character each time the rest fails to match, from
// the last star on: no earlier star needs to give back what a later one can take.
bool matches(std::u32string_view pattern, std::u32string_view name)
{
    // What is left of the pattern at the end of the name may match nothing: stars, and a dot before
    // them, as "loop.*" takes "loop", the name without an extension.
    const auto emptyAtTheEnd = [](std::u32string_view rest) {
        if (rest.size() >= 2 && rest.front() == U'.' && rest[1] == U'*')
            rest.remove_prefix(1);
        return rest.find_first_not_of(U'*') == std::u32string_view::npos;
    };
    constexpr std::size_t kNone = std::u32string_view::npos;
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = kNone; // the last star passed, and where in the name its run ends
    std::size_t starEnd = 0;
    for (;;) {
        if (p < pattern.size() && pattern[p] == U'*') {
            star = p++;
            starEnd = n;
        } else if (p < pattern.size() && n < name.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (n == name.size() && emptyAtTheEnd(pattern.substr(p))) {
            return true;
        } else if (star == kNone || starEnd == name.size()) {
            return false;
        } else {
            p = star + 1;
            n = ++starEnd;
        }
    }
}

bool writeLine(std::FILE* out, const std::string& line)
{
    return std::fwrite(line.data(), 1, line.size(), out) == line.size() && std::fputc('\n', out) != EOF;
}

} // namespace

std::string escapedPath(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(bytes.size());
    while (!bytes.empty()) {
        const auto byte = static_cast<unsigned char>(bytes.front());
        std::size_t length = utf8Length(bytes);
        if (byte == '\t') {
            shown += "\\t";
        } else if (byte == '\n') {
            shown += "\\n";
        } else if (byte == '\\') {
            shown += "\\\\";
        } else if (length == 0 || byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xF];
            length = 1; // the next byte may begin a valid sequence
        } else {
            shown.append(bytes.substr(0, length));
        }
        bytes.remove_prefix(length);
    }
    return shown;
}

std::vector<std::string> matchingNames(std::string_view pattern, std::vector<std::string> names)
{
    const std::u32string wanted = upperCharacters(pattern);
    std::vector<std::pair<std::u32string, std::string>> matched;
    for (std::string& name : names) {
        std::u32string key = upperCharacters(name);
        if (matches(wanted, key))
            matched.emplace_back(std::move(key), std::move(name));
    }
    // Names alike but for case (possible on a case-sensitive folder) keep one order.
    std::sort(matched.begin(), matched.end());
    std::vector<std::string> sorted;
    sorted.reserve(matched.size());
    for (auto& [key, name] : matched)
        sorted.push_back(std::move(name));
    return sorted;
}

std::string tempoLine(const std::string& shownPath, const sample::Analysis& a)
{
    if (a.failure != sample::Failure::None)
        return shownPath + "\t" + said(QT_TRANSLATE_NOOP("TempoCommand", "読み取れません: ")) +
               SampleWords::failureReason(a.failure).toStdString();
    const std::string estimate =
        a.estimate > 0 ? roundedText(a.estimate, 2) : said(QT_TRANSLATE_NOOP("TempoCommand", "なし"));
    return shownPath + "\t" + roundedText(a.seconds, 3) + said(QT_TRANSLATE_NOOP("TempoCommand", "秒")) +
           "\t" + said(QT_TRANSLATE_NOOP("TempoCommand", "推定 ")) + estimate + "\t" +
           said(QT_TRANSLATE_NOOP("TempoCommand", "テンポ ")) + a.choice.text + "\t" +
           SampleWords::choiceReason(a).toStdString() + "\t" + othersText(a.choice);
}

int tempoCommand(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err)
{
    if (arguments.empty()) {
        std::fprintf(
            err, "korvo: %s\n",
            said(QT_TRANSLATE_NOOP("TempoCommand",
                                   "--tempo のあとに音声ファイルを指定してください（korvo --tempo FILE...）"))
                .c_str());
        return 2;
    }
    int status = 0;
    // A script reading the lines must not take a cut list for the whole one: a failed write (a full
    // disk) stops the run, and what is still buffered is checked once it is flushed.
    bool written = true;
    for (std::size_t i = 0; i < arguments.size() && written; ++i) {
        const std::vector<std::string> files = filesNamed(arguments[i].c_str());
        if (files.empty()) {
            std::fprintf(err, "korvo: %s\n",
                         QCoreApplication::translate("TempoCommand", "%1 に一致するファイルがありません。")
                             .arg(QString::fromStdString(shownPath(arguments[i].c_str())))
                             .toStdString()
                             .c_str());
            status = 1;
        }
        for (std::size_t f = 0; f < files.size() && written; ++f) {
            // A path from a char string would be read in the Windows code page.
            const std::filesystem::path file(
                std::u8string_view(reinterpret_cast<const char8_t*>(files[f].data()), files[f].size()));
            const sample::Analysis a = sample::analyseFile(file);
            if (a.failure != sample::Failure::None)
                status = 1;
            written = writeLine(out, tempoLine(shownPath(files[f].c_str()), a));
        }
    }
    if (!written || std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(err, "korvo: %s\n",
                     said(QT_TRANSLATE_NOOP("TempoCommand", "結果を書き出せませんでした。")).c_str());
        return 1;
    }
    return status;
}

} // namespace korvo
