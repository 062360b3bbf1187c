#include "delay/delaycalc.h"
#include "pitch/bpmvalue.h"

#include <QStringList>
#include <QTest>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

// Every tempo the sliders can reach, with every note, modifier and format, held against exact
// rational arithmetic.
namespace {

struct Fraction
{
    std::int64_t num;
    std::int64_t den;
};

// The same lengths as the lists, as exact fractions of a quarter note.
constexpr Fraction kNotes[] = {{4, 1}, {2, 1}, {1, 1}, {1, 2}, {1, 4}, {1, 8}, {1, 16}};
constexpr Fraction kModifiers[] = {{1, 1}, {3, 2}, {7, 4}, {2, 1}, {3, 1}, {1, 2},
                                   {1, 3}, {2, 3}, {1, 5}, {1, 7}, {1, 9}};
constexpr std::int64_t kTimebases[] = {480, 96, 48};
constexpr Fraction kFrameRates[] = {{24, 1}, {2997, 100}, {30, 1}};

// A result text read back on its own terms: one blank, then a plain decimal.
std::optional<double> valueOf(const std::string& text)
{
    if (text.size() < 2 || text.front() != ' ')
        return std::nullopt;
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data() + 1, end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

std::size_t decimals(const std::string& text)
{
    const std::size_t point = text.find('.');
    return point == std::string::npos ? 0 : text.size() - point - 1;
}

// One choice at one tempo; what is wrong with its result, or nothing.
std::string problem(const std::string& bpm, std::int64_t tenths, int note, int modifier, int format)
{
    const std::int64_t num = kNotes[note].num * kModifiers[modifier].num;
    const std::int64_t den = kNotes[note].den * kModifiers[modifier].den;
    // Exact milliseconds, 60000 / (tenths / 10) * num / den, as msNum / msDen.
    const std::int64_t msNum = 600000 * num;
    const std::int64_t msDen = tenths * den;

    const korvo::delay::Result r = korvo::delay::compute(bpm, note, modifier, format);

    const std::optional<double> delay = valueOf(r.delayText);
    if (!delay || decimals(r.delayText) != 0)
        return "delay text '" + r.delayText + "'";
    // Halves round up; the double quotient may put an exact half a hair below it, nothing else.
    const std::int64_t roundedUp = (2 * msNum + msDen) / (2 * msDen);
    const bool onHalf = (2 * msNum + msDen) % (2 * msDen) == 0;
    const auto ms = static_cast<std::int64_t>(*delay);
    if (ms != roundedUp && !(onHalf && ms == roundedUp - 1))
        return "delay " + r.delayText + ", exact rounding " + std::to_string(roundedUp);

    const std::optional<double> option = valueOf(r.optionText);
    if (!option)
        return "option text '" + r.optionText + "'";
    if (r.optionShown != (format != 0))
        return "option box shown wrongly";
    if (format >= 1 && format <= 3) {
        const std::int64_t exactTicks = num * kTimebases[format - 1] / den;
        if (decimals(r.optionText) != 0 || static_cast<std::int64_t>(*option) != exactTicks ||
            r.optionUnit != korvo::delay::kTicksUnit)
            return "ticks " + r.optionText + ", exact " + std::to_string(exactTicks);
    } else if (format >= 4) {
        const Fraction rate = kFrameRates[format - 4];
        const double exactFrames =
            static_cast<double>(msNum * rate.num) / static_cast<double>(msDen * 1000 * rate.den);
        if (decimals(r.optionText) > 2 || std::fabs(*option - exactFrames) > 0.005 + 1e-9 ||
            r.optionUnit != korvo::delay::kFramesUnit)
            return "frames " + r.optionText + ", exact " + std::to_string(exactFrames);
    }
    return {};
}

} // namespace

class TestDelaySweep : public QObject
{
    Q_OBJECT

private slots:
    void everyTempoNoteModifierAndFormat();
};

void TestDelaySweep::everyTempoNoteModifierAndFormat()
{
    QStringList failures;
    long checked = 0;
    for (int position = korvo::bpm::kSliderMinimum; position <= korvo::bpm::kSliderMaximum; ++position) {
        const std::string bpm = korvo::bpm::textForPosition(position); // "120.5", "120"
        for (int note = 0; note < 7; ++note) {
            for (int modifier = 0; modifier < 11; ++modifier) {
                for (int format = 0; format < 7; ++format) {
                    ++checked;
                    std::string what;
                    try {
                        what = problem(bpm, position, note, modifier, format);
                    } catch (...) {
                        what = "threw";
                    }
                    if (!what.empty() && failures.size() < 20)
                        failures << QStringLiteral("%1 BPM, note %2, modifier %3, format %4: %5")
                                        .arg(QString::fromStdString(bpm))
                                        .arg(note)
                                        .arg(modifier)
                                        .arg(format)
                                        .arg(QString::fromStdString(what));
                }
            }
        }
    }
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
    QCOMPARE(checked, 2491L * 7 * 11 * 7);
}

#include "testmain.h"
KORVO_TEST_MAIN(TestDelaySweep)
#include "tst_delaysweep.moc"
