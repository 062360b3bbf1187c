#include "delay/delaycalc.h"

#include <QTest>
#include <cmath>

namespace {

// List indexes, named so a row reads like the choice a user makes.
enum Note
{
    Whole,
    Half,
    Quarter,
    Eighth,
    Sixteenth,
    ThirtySecond,
    SixtyFourth
};
enum Modifier
{
    Just,
    Dotted,
    DoubleDotted,
    Twice,
    Thrice,
    Half_,
    Third,
    TwoThirds,
    Fifth,
    Seventh,
    Ninth
};
enum Format
{
    NoFormat,
    Tb480,
    Tb96,
    Tb48,
    Fps24,
    Fps2997,
    Fps30
};

const QString ticks = QStringLiteral("(ticks)");
const QString frames = QStringLiteral("(frms)");

} // namespace

class TestDelayCalc : public QObject
{
    Q_OBJECT

private slots:
    void compute_data();
    void compute();
    void noMeaningfulDelay_data();
    void noMeaningfulDelay();
    void twoDecimals_data();
    void twoDecimals();
    void ticksIgnoreTempo_data();
    void ticksIgnoreTempo();
};

void TestDelayCalc::compute_data()
{
    QTest::addColumn<QString>("bpm");
    QTest::addColumn<int>("note");
    QTest::addColumn<int>("modifier");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("delay");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("option");

    // Edge cases first.
    QTest::newRow("112 double-dotted quarter: 937.5 exactly, but the double quotient first makes 937")
        << "112" << +Quarter << +DoubleDotted << +NoFormat << " 937" << false << ticks << " 0";
    QTest::newRow("120 dotted 16th: 187.5 ms rounds half up to 188")
        << "120" << +Sixteenth << +Dotted << +Tb480 << " 188" << true << ticks << " 180";
    QTest::newRow("120 quarter at 29.97 fps: 14.984999... rounds to 14.99 through its 15 digits")
        << "120" << +Quarter << +Just << +Fps2997 << " 500" << true << frames << " 14.99";
    QTest::newRow("quarter ninth at 480: 53.33 ticks cut down to 53")
        << "120" << +Quarter << +Ninth << +Tb480 << " 56" << true << ticks << " 53";
    QTest::newRow("64th ninth at 48: a third of a tick cut down to 0")
        << "120" << +SixtyFourth << +Ninth << +Tb48 << " 3" << true << ticks << " 0";
    QTest::newRow("250 64th ninth at 24 fps: a fraction of a frame has no leading zero")
        << "250" << +SixtyFourth << +Ninth << +Fps24 << " 2" << true << frames << " .04";
    QTest::newRow("120.5 quarter: a tempo with a decimal part gives 497.93, shown 498")
        << "120.5" << +Quarter << +Just << +NoFormat << " 498" << false << ticks << " 0";
    QTest::newRow("blanks around the tempo are allowed")
        << "  120 " << +Eighth << +Just << +NoFormat << " 250" << false << ticks << " 0";
    QTest::newRow("a hexadecimal tempo is a number too")
        << "&H78" << +Eighth << +Just << +NoFormat << " 250" << false << ticks << " 0";
    QTest::newRow("2500 BPM 64th ninth at 24 fps: 0.004 frames shows 0")
        << "2500" << +SixtyFourth << +Ninth << +Fps24 << " 0" << true << frames << " 0";
    QTest::newRow("2000 BPM 64th ninth at 24 fps: 0.005 frames rounds up to .01")
        << "2000" << +SixtyFourth << +Ninth << +Fps24 << " 0" << true << frames << " .01";
    QTest::newRow("a tempo above 250 is computed like any other")
        << "300" << +Quarter << +Just << +Fps30 << " 200" << true << frames << " 6";

    // Indexes outside the lists, as while the window loads.
    QTest::newRow("no note selected: length 0") << "120" << -1 << -1 << -1 << " 0" << true << ticks << " 0";
    QTest::newRow("note index past the list: length 0")
        << "120" << 7 << +Just << +Fps30 << " 0" << true << frames << " 0";
    QTest::newRow("no modifier selected: the note unchanged")
        << "120" << +Quarter << -1 << +Tb480 << " 500" << true << ticks << " 480";
    QTest::newRow("modifier index past the list: the note unchanged")
        << "120" << +Quarter << 11 << +Tb96 << " 500" << true << ticks << " 96";
    QTest::newRow("no format selected: box shown with 0 ticks")
        << "120" << +Quarter << +Just << -1 << " 500" << true << ticks << " 0";
    QTest::newRow("format index past the list: box shown with 0 ticks")
        << "120" << +Quarter << +Just << 7 << " 500" << true << ticks << " 0";

    // A quarter note at 120 in every format.
    QTest::newRow("120 quarter, no format: box hidden")
        << "120" << +Quarter << +Just << +NoFormat << " 500" << false << ticks << " 0";
    QTest::newRow("120 quarter at 480")
        << "120" << +Quarter << +Just << +Tb480 << " 500" << true << ticks << " 480";
    QTest::newRow("120 quarter at 96")
        << "120" << +Quarter << +Just << +Tb96 << " 500" << true << ticks << " 96";
    QTest::newRow("120 quarter at 48")
        << "120" << +Quarter << +Just << +Tb48 << " 500" << true << ticks << " 48";
    QTest::newRow("120 quarter at 24 fps")
        << "120" << +Quarter << +Just << +Fps24 << " 500" << true << frames << " 12";
    QTest::newRow("120 quarter at 30 fps")
        << "120" << +Quarter << +Just << +Fps30 << " 500" << true << frames << " 15";

    // The other worked examples.
    QTest::newRow("120 8th at 30 fps: 7.50 loses its zero")
        << "120" << +Eighth << +Just << +Fps30 << " 250" << true << frames << " 7.5";
    QTest::newRow("120 8th at 29.97 fps: 7.4925 rounds down")
        << "120" << +Eighth << +Just << +Fps2997 << " 250" << true << frames << " 7.49";
    QTest::newRow("120 quarter seventh at 480: 68.57 ticks cut down")
        << "120" << +Quarter << +Seventh << +Tb480 << " 71" << true << ticks << " 68";
    QTest::newRow("120 quarter seventh at 48")
        << "120" << +Quarter << +Seventh << +Tb48 << " 71" << true << ticks << " 6";
    QTest::newRow("120 8th triplet at 480")
        << "120" << +Eighth << +Third << +Tb480 << " 83" << true << ticks << " 80";
    QTest::newRow("120 whole three times at 30 fps")
        << "120" << +Whole << +Thrice << +Fps30 << " 6000" << true << frames << " 180";
    QTest::newRow("90 8th triplet at 29.97 fps")
        << "90" << +Eighth << +Third << +Fps2997 << " 111" << true << frames << " 3.33";
    QTest::newRow("128 16th at 29.97 fps")
        << "128" << +Sixteenth << +Just << +Fps2997 << " 117" << true << frames << " 3.51";
    QTest::newRow("250 64th ninth at 48")
        << "250" << +SixtyFourth << +Ninth << +Tb48 << " 2" << true << ticks << " 0";
    QTest::newRow("1 BPM whole three times at 30 fps: the longest delay")
        << "1" << +Whole << +Thrice << +Fps30 << " 720000" << true << frames << " 21600";

    // Every note length at 120.
    QTest::newRow("120 whole") << "120" << +Whole << +Just << +NoFormat << " 2000" << false << ticks << " 0";
    QTest::newRow("120 half") << "120" << +Half << +Just << +NoFormat << " 1000" << false << ticks << " 0";
    QTest::newRow("120 32nd: 62.5 rounds up")
        << "120" << +ThirtySecond << +Just << +NoFormat << " 63" << false << ticks << " 0";
    QTest::newRow("120 64th: 31.25 rounds down")
        << "120" << +SixtyFourth << +Just << +NoFormat << " 31" << false << ticks << " 0";

    // Every modifier on a quarter at 120, with its ticks at 480.
    QTest::newRow("120 dotted quarter")
        << "120" << +Quarter << +Dotted << +Tb480 << " 750" << true << ticks << " 720";
    QTest::newRow("120 double-dotted quarter")
        << "120" << +Quarter << +DoubleDotted << +Tb480 << " 875" << true << ticks << " 840";
    QTest::newRow("120 quarter twice")
        << "120" << +Quarter << +Twice << +Tb480 << " 1000" << true << ticks << " 960";
    QTest::newRow("120 quarter three times")
        << "120" << +Quarter << +Thrice << +Tb480 << " 1500" << true << ticks << " 1440";
    QTest::newRow("120 half a quarter")
        << "120" << +Quarter << +Half_ << +Tb480 << " 250" << true << ticks << " 240";
    QTest::newRow("120 quarter triplet: 166.67 ms")
        << "120" << +Quarter << +Third << +Tb480 << " 167" << true << ticks << " 160";
    QTest::newRow("120 two quarter triplets: a third doubled is still 320 ticks")
        << "120" << +Quarter << +TwoThirds << +Tb480 << " 333" << true << ticks << " 320";
    QTest::newRow("120 quarter fifth")
        << "120" << +Quarter << +Fifth << +Tb480 << " 100" << true << ticks << " 96";
    QTest::newRow("half-note triplet at 96")
        << "120" << +Half << +Third << +Tb96 << " 333" << true << ticks << " 64";

    // Frames follow the tempo.
    QTest::newRow("60 quarter at 30 fps")
        << "60" << +Quarter << +Just << +Fps30 << " 1000" << true << frames << " 30";
    QTest::newRow("240 quarter at 30 fps")
        << "240" << +Quarter << +Just << +Fps30 << " 250" << true << frames << " 7.5";
}

void TestDelayCalc::compute()
{
    QFETCH(QString, bpm);
    QFETCH(int, note);
    QFETCH(int, modifier);
    QFETCH(int, format);
    QFETCH(QString, delay);
    QFETCH(bool, shown);
    QFETCH(QString, unit);
    QFETCH(QString, option);

    const korvo::delay::Result r = korvo::delay::compute(bpm.toStdString(), note, modifier, format);
    QCOMPARE(QString::fromStdString(r.delayText), delay);
    QCOMPARE(r.optionShown, shown);
    QCOMPARE(QString::fromStdString(r.optionUnit), unit);
    QCOMPARE(QString::fromStdString(r.optionText), option);
}

void TestDelayCalc::noMeaningfulDelay_data()
{
    QTest::addColumn<QString>("bpm");
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("unit");

    QTest::newRow("empty") << "" << +NoFormat << false << ticks;
    QTest::newRow("blanks only") << "   " << +Tb480 << true << ticks;
    QTest::newRow("zero") << "0" << +Tb480 << true << ticks;
    QTest::newRow("negative zero") << "-0" << +Fps24 << true << frames;
    QTest::newRow("negative") << "-120" << +Fps30 << true << frames;
    QTest::newRow("letters after the digits") << "120abc" << +Tb96 << true << ticks;
    QTest::newRow("a blank inside the number") << "1 20" << +NoFormat << false << ticks;
    QTest::newRow("a lone point") << "." << +Tb48 << true << ticks;
    QTest::newRow("a comma for the point") << "120,5" << +Fps2997 << true << frames;
    QTest::newRow("too large to be a double") << "1E999" << +Fps24 << true << frames;
    QTest::newRow("so close to zero the quotient overflows") << "1E-320" << +Tb480 << true << ticks;
}

void TestDelayCalc::noMeaningfulDelay()
{
    QFETCH(QString, bpm);
    QFETCH(int, format);
    QFETCH(bool, shown);
    QFETCH(QString, unit);

    const korvo::delay::Result r = korvo::delay::compute(bpm.toStdString(), Quarter, Just, format);
    QCOMPARE(QString::fromStdString(r.delayText), QString());
    QCOMPARE(QString::fromStdString(r.optionText), QString());
    // The box and its unit still follow the chosen format.
    QCOMPARE(r.optionShown, shown);
    QCOMPARE(QString::fromStdString(r.optionUnit), unit);
}

void TestDelayCalc::twoDecimals_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected");

    QTest::newRow("zero") << 0.0 << 0.0;
    QTest::newRow("far below a hundredth") << 1e-20 << 0.0;
    QTest::newRow("just below half a hundredth") << 0.004999 << 0.0;
    QTest::newRow("half a hundredth goes up") << 0.005 << 0.01;
    QTest::newRow("14.984999999999999 is 14.985 to 15 digits") << 14.984999999999999 << 14.99;
    QTest::newRow("2.675 is a hair below the half as a double, not to 15 digits") << 2.675 << 2.68;
    QTest::newRow("7.4925 goes down") << 7.4925 << 7.49;
    QTest::newRow("carry into the units") << 0.995 << 1.0;
    QTest::newRow("carry into a new digit") << 99.995 << 100.0;
    QTest::newRow("two decimals stay") << 3.51 << 3.51;
    QTest::newRow("a whole number stays") << 21600.0 << 21600.0;
    QTest::newRow("a negative half goes away from zero") << -0.005 << -0.01;
}

void TestDelayCalc::twoDecimals()
{
    QFETCH(double, x);
    QFETCH(double, expected);
    QCOMPARE(korvo::delay::twoDecimals(x), expected);
}

void TestDelayCalc::ticksIgnoreTempo_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("timebase 480") << +Tb480;
    QTest::newRow("timebase 96") << +Tb96;
    QTest::newRow("timebase 48") << +Tb48;
}

void TestDelayCalc::ticksIgnoreTempo()
{
    QFETCH(int, format);
    for (int note = 0; note < 7; ++note) {
        for (int modifier = 0; modifier < 11; ++modifier) {
            const std::string atOne = korvo::delay::compute("1", note, modifier, format).optionText;
            for (const char* bpm : {"37.3", "120", "120.5", "250", "9999"}) {
                const std::string other = korvo::delay::compute(bpm, note, modifier, format).optionText;
                if (other != atOne)
                    QFAIL(qPrintable(QStringLiteral("note %1 modifier %2 at %3 BPM: %4 ticks, %5 at 1 BPM")
                                         .arg(note)
                                         .arg(modifier)
                                         .arg(QString::fromUtf8(bpm), QString::fromStdString(other),
                                              QString::fromStdString(atOne))));
            }
        }
    }
}

#include "testmain.h"
KORVO_TEST_MAIN(TestDelayCalc)
#include "tst_delaycalc.moc"
