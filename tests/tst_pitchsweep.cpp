#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"
#include "pitch/pitchshift.h"

#include <QTest>
#include <cmath>

using namespace korvo;

// Every pair of slider positions, 1.0 to 250.0 BPM in tenths on both sides: the shown texts must
// agree with each other and with the pitch they stand for.
class TestPitchSweep : public QObject
{
    Q_OBJECT

private slots:
    void everySliderPair();
};

namespace {

// The sign a text starts with, and the value its digits give.
double signedValue(const std::string& text)
{
    return readStrict(text).value_or(std::nan(""));
}

} // namespace

void TestPitchSweep::everySliderPair()
{
    long checked = 0;
    for (int p1 = bpm::kSliderMinimum; p1 <= bpm::kSliderMaximum; ++p1) {
        const double bpm1 = readLenient(bpm::textForPosition(p1));
        for (int p2 = bpm::kSliderMinimum; p2 <= bpm::kSliderMaximum; ++p2) {
            const double bpm2 = readLenient(bpm::textForPosition(p2));
            const PitchShift s = pitchShift(bpm1, bpm2);
            const auto where = [&] { return qPrintable(QString("%1 to %2").arg(bpm1).arg(bpm2)); };

            if (s.cents < -49 || s.cents > 50)
                QFAIL(where());
            // The sampler form never strays more than half a cent from the shown adjustment.
            if (std::fabs(s.semitones + s.cents / 100.0 - s.adjustment) > 0.005 + 1e-9)
                QFAIL(where());
            // Every text reads back to its value, the sign prefix included.
            if (signedValue(s.adjustmentText) != s.adjustment ||
                signedValue(s.semitonesText) != s.semitones || signedValue(s.centsText) != s.cents)
                QFAIL(where());
            // Signs: the adjustment always shows one and a digit before its point.
            const char first = s.adjustmentText.front();
            if ((s.adjustment >= 0) != (first == '+') || s.adjustmentText[1] == '.')
                QFAIL(where());
            if ((s.semitones >= 0) != (s.semitonesText.front() == '+'))
                QFAIL(where());
            if ((s.fine >= 0) != (s.centsText.front() == '+'))
                QFAIL(where());
            if (p1 == p2 && (s.adjustmentText != "+0" || s.semitonesText != "+0" || s.centsText != "+0"))
                QFAIL(where());
            ++checked;
        }
    }
    QCOMPARE(checked, 2491L * 2491L);
}

#include "testmain.h"
KORVO_TEST_MAIN(TestPitchSweep)
#include "tst_pitchsweep.moc"
