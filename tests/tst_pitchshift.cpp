#include "pitch/pitchshift.h"

#include <QTest>

using namespace korvo;

class TestPitchShift : public QObject
{
    Q_OBJECT

private slots:
    void resultTexts_data();
    void resultTexts();
    void samplerFormComesFromRoundedAdjustment();
    void exactShiftOfTheWorkedPair();
};

void TestPitchShift::resultTexts_data()
{
    QTest::addColumn<double>("bpm1");
    QTest::addColumn<double>("bpm2");
    QTest::addColumn<QString>("adjustment");
    QTest::addColumn<QString>("semitones");
    QTest::addColumn<QString>("cents");

    QTest::newRow("120 to 130: up a bit over a semitone") << 120.0 << 130.0 << "+1.386"
                                                          << "+1"
                                                          << "+39";
    QTest::newRow("130 to 120: the mirror image") << 130.0 << 120.0 << "-1.386"
                                                  << "-1"
                                                  << "-39";
    QTest::newRow("same tempo: +0 everywhere") << 120.0 << 120.0 << "+0"
                                               << "+0"
                                               << "+0";
    QTest::newRow("double speed: an octave up") << 100.0 << 200.0 << "+12"
                                                << "+12"
                                                << "+0";
    QTest::newRow("half speed: an octave down") << 120.0 << 60.0 << "-12"
                                                << "-12"
                                                << "+0";
    QTest::newRow("120 to 121: leading zero under one") << 120.0 << 121.0 << "+0.144"
                                                        << "+0"
                                                        << "+14";
    QTest::newRow("120 to 119: fine part rounds over to the next semitone") << 120.0 << 119.0 << "-0.145"
                                                                            << "+0"
                                                                            << "-14";
    QTest::newRow("90 to 95: fine part above half moves up") << 90.0 << 95.0 << "+0.936"
                                                             << "+1"
                                                             << "-6";
    QTest::newRow("120 to 123.5: exactly half stays on the lower semitone") << 120.0 << 123.5 << "+0.498"
                                                                            << "+0"
                                                                            << "+50";
    QTest::newRow("120 to 116.5: negative adjustment, positive fine part") << 120.0 << 116.5 << "-0.512"
                                                                           << "-1"
                                                                           << "+49";
    QTest::newRow("120 to 122.2: sampler rounded from thousandths") << 120.0 << 122.2 << "+0.315"
                                                                    << "+0"
                                                                    << "+32";
    QTest::newRow("120 to 129.1: fine part just below .265") << 120.0 << 129.1 << "+1.265"
                                                             << "+1"
                                                             << "+26";
    QTest::newRow("120 to 73: fine part just below .395") << 120.0 << 73.0 << "-8.605"
                                                          << "-9"
                                                          << "+39";
    QTest::newRow("1 to 250: the widest step up") << 1.0 << 250.0 << "+95.589"
                                                  << "+96"
                                                  << "-41";
    QTest::newRow("250 to 1: the widest step down") << 250.0 << 1.0 << "-95.589"
                                                    << "-96"
                                                    << "+41";
    QTest::newRow("120 to 120.1: one slider arrow") << 120.0 << 120.1 << "+0.014"
                                                    << "+0"
                                                    << "+1";
    QTest::newRow("120 to 250: slider at the right end") << 120.0 << 250.0 << "+12.707"
                                                         << "+13"
                                                         << "-29";
    QTest::newRow("120 to 1: slider at the left end") << 120.0 << 1.0 << "-82.883"
                                                      << "-83"
                                                      << "+12";
}

void TestPitchShift::resultTexts()
{
    QFETCH(double, bpm1);
    QFETCH(double, bpm2);
    const PitchShift shift = pitchShift(bpm1, bpm2);
    QTEST(QString::fromStdString(shift.adjustmentText), "adjustment");
    QTEST(QString::fromStdString(shift.semitonesText), "semitones");
    QTEST(QString::fromStdString(shift.centsText), "cents");
}

void TestPitchShift::samplerFormComesFromRoundedAdjustment()
{
    // 31.45 cents exactly would show +31; the sampler form rounds the shown thousandths instead.
    const PitchShift shift = pitchShift(120, 122.2);
    QVERIFY(shift.semitonesExact < 0.3146);
    QCOMPARE(shift.adjustment, 0.315);
    QCOMPARE(shift.cents, 32.0);
}

void TestPitchShift::exactShiftOfTheWorkedPair()
{
    const PitchShift shift = pitchShift(120, 130);
    QVERIFY(qAbs(shift.semitonesExact - 1.385726609039) < 1e-11);
    QCOMPARE(shift.semitones, 1.0);
    QCOMPARE(shift.fine, 0.39);
}

#include "testmain.h"
KORVO_TEST_MAIN(TestPitchShift)
#include "tst_pitchshift.moc"
