#include "app/tempocommand.h"

#include "pitch/numbertext.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

namespace korvo {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `bytes`, 0 when there is none there
// (a stray continuation byte, a lead byte of a sequence cut short, an overlong form, a surrogate or
// a code point above U+10FFFF).
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

// Joined by ", ": "87 (8拍), 58 (4拍)", with the beats only for a reading of a whole number of them.
std::string othersText(const sample::TempoChoice& choice)
{
    std::string text;
    for (const sample::TempoCandidate& other : choice.others) {
        if (!text.empty())
            text += ", ";
        text += other.text;
        if (other.beats > 0)
            text += " (" + std::to_string(other.beats) + "拍)";
    }
    return text;
}

bool writeLine(std::FILE* out, const std::string& line)
{
    return std::fwrite(line.data(), 1, line.size(), out) == line.size() && std::fputc('\n', out) != EOF;
}

} // namespace

bool isTempoCommand(int argc, char* argv[])
{
    return argc >= 2 && std::strcmp(argv[1], "--tempo") == 0;
}

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

std::string tempoLine(const std::string& shownPath, const sample::Analysis& a)
{
    if (a.failure != sample::Failure::None)
        return shownPath + "\t読み取れません: " + sample::failureReason(a.failure);
    const std::string estimate = a.estimate > 0 ? roundedText(a.estimate, 2) : "なし";
    return shownPath + "\t" + roundedText(a.seconds, 3) + "秒\t推定 " + estimate + "\tテンポ " +
           a.choice.text + "\t" + sample::choiceReason(a) + "\t" + othersText(a.choice);
}

std::optional<int> tempoCommand(int argc, char* argv[], std::FILE* out, std::FILE* err)
{
    if (!isTempoCommand(argc, argv))
        return std::nullopt;
    if (argc == 2) {
        std::fprintf(err, "korvo: --tempo のあとに音声ファイルを指定してください（korvo --tempo FILE...）\n");
        return 2;
    }
    int status = 0;
    // A script reading the lines must not take a cut list for the whole one: a failed write (a full
    // disk) stops the run, and what is still buffered is checked once it is flushed.
    bool written = true;
    for (int i = 2; i < argc && written; ++i) {
        // A path from a char string would be read in the Windows code page.
        const std::filesystem::path file(std::u8string_view(reinterpret_cast<const char8_t*>(argv[i])));
        const sample::Analysis a = sample::analyseFile(file);
        if (a.failure != sample::Failure::None)
            status = 1;
        written = writeLine(out, tempoLine(shownPath(argv[i]), a));
    }
    if (!written || std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(err, "korvo: 結果を書き出せませんでした。\n");
        return 1;
    }
    return status;
}

} // namespace korvo
