// The settings file on arbitrary bytes: whatever is on disk, reading it must give values the
// windows can take, and saving what was read must read back the same.
#include "check.h"
#include "pitch/numbertext.h"
#include "settings/settingsformat.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace {

using korvo::settings::Stored;
using korvo::settings::ToSave;

// The delay window's own positions, which it keeps when the file gives none.
constexpr int kDefaultNote = 3;
constexpr int kDefaultModifier = 0;
constexpr int kDefaultFormat = 0;

bool inList(const std::optional<int>& index, int last)
{
    return !index || (*index >= 0 && *index <= last);
}

// C0 controls, DEL and the C1 controls (U+0080..U+009F, C2 80..C2 9F in UTF-8). A tab is left
// out: every tempo reading treats it as a blank, like a space.
bool hasControl(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F)
            return true;
        if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F)
            return true;
    }
    return false;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

void checkTempoText(const std::optional<std::string>& text)
{
    if (!text)
        return;
    // An empty text is fine: an empty item goes into its box as it is, for the range check.
    KORVO_FUZZ_CHECK(!hasControl(*text), "a tempo text has no control characters");
    KORVO_FUZZ_CHECK(text->empty() || (!isBlank(text->front()) && !isBlank(text->back())),
                     "a tempo text has no blanks around it");
    const std::optional<double> value = korvo::readStrict(*text);
    if (value && std::isfinite(*value))
        KORVO_FUZZ_CHECK(korvo::numberText(*value) == *text, "a numeric tempo comes in its shortest form");
}

// What the main window would save for a tempo box holding this text.
double savedTempo(const std::optional<std::string>& text)
{
    return text ? korvo::readLenient(*text) : 120.0;
}

// Seven significant digits name one single-precision value only where the singles lie closer
// together than a unit of the seventh digit: from the smallest normal single up to 2^33. Among
// the subnormals the spacing stays 1.4e-45 however small the value, and above 2^33 it outgrows
// the seventh digit, so there a saved tempo may move by one single each time it is loaded and
// saved. The windows never save such a tempo: only 1 to 250 gets past the range check.
bool sevenDigitsIdentify(double tempo)
{
    if (!std::isfinite(tempo) || std::fabs(tempo) > std::numeric_limits<float>::max())
        return false;
    const float magnitude = std::fabs(static_cast<float>(tempo));
    return magnitude == 0 || (magnitude >= std::numeric_limits<float>::min() && magnitude < 0x1p33f);
}

void checkFileShape(const std::string& bytes)
{
    std::size_t lines = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\r') {
            KORVO_FUZZ_CHECK(i + 1 < bytes.size() && bytes[i + 1] == '\n', "every line ends with CR LF");
            ++lines;
            ++i;
        } else {
            KORVO_FUZZ_CHECK(byte >= 0x20 && byte < 0x7F,
                             "a saved file is printable ASCII apart from line ends");
        }
    }
    KORVO_FUZZ_CHECK(lines == 5 && bytes.ends_with("\r\n"),
                     "a saved file is five lines, the last one ended too");
}

void checkRoundTrip(const Stored& stored)
{
    const ToSave saved{savedTempo(stored.bpm1), savedTempo(stored.bpm2), stored.note.value_or(kDefaultNote),
                       stored.modifier.value_or(kDefaultModifier), stored.format.value_or(kDefaultFormat)};
    const std::string bytes = korvo::settings::format(saved);
    checkFileShape(bytes);

    const Stored again = korvo::settings::parse(bytes);
    KORVO_FUZZ_CHECK(again.note == saved.note && again.modifier == saved.modifier &&
                         again.format == saved.format,
                     "saved positions read back unchanged");
    KORVO_FUZZ_CHECK(again.bpm1 && again.bpm2, "saved tempos read back as texts");
    checkTempoText(again.bpm1);
    checkTempoText(again.bpm2);

    // Loading and saving again must not drift, or each run of the program would change the file.
    if (sevenDigitsIdentify(saved.bpm1) && sevenDigitsIdentify(saved.bpm2)) {
        const ToSave resaved{savedTempo(again.bpm1), savedTempo(again.bpm2), *again.note, *again.modifier,
                             *again.format};
        KORVO_FUZZ_CHECK(korvo::settings::format(resaved) == bytes,
                         "saving what was loaded gives the same bytes");
    }
}

// Positions from outside the lists (nothing selected, a damaged window) are saved as they are;
// reading them back keeps exactly those inside the lists.
void checkPositions(int note, int modifier, int format)
{
    const Stored back = korvo::settings::parse(korvo::settings::format({120, 120, note, modifier, format}));
    const auto expected = [](int index, int last) {
        return index >= 0 && index <= last ? std::optional<int>(index) : std::nullopt;
    };
    KORVO_FUZZ_CHECK(back.note == expected(note, 6),
                     "a note position is kept exactly when it is in the list");
    KORVO_FUZZ_CHECK(back.modifier == expected(modifier, 10),
                     "a modifier position is kept exactly when it is in the list");
    KORVO_FUZZ_CHECK(back.format == expected(format, 6),
                     "a format position is kept exactly when it is in the list");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const Stored stored = korvo::settings::parse(bytes);

    KORVO_FUZZ_CHECK(inList(stored.note, 6), "a note position read is within 0..6");
    KORVO_FUZZ_CHECK(inList(stored.modifier, 10), "a modifier position read is within 0..10");
    KORVO_FUZZ_CHECK(inList(stored.format, 6), "a format position read is within 0..6");
    checkTempoText(stored.bpm1);
    checkTempoText(stored.bpm2);

    checkRoundTrip(stored);
    if (size >= 3)
        checkPositions(static_cast<std::int8_t>(data[0]), static_cast<std::int8_t>(data[1]),
                       static_cast<std::int8_t>(data[2]));
    return 0;
}
