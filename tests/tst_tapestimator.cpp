#include "tap/tapestimator.h"

#include <QTest>
#include <string>

using korvo::TapEstimator;
using korvo::TapShown;

namespace {

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

} // namespace

class TestTapEstimator : public QObject
{
    Q_OBJECT

private slots:
    void shownText_data();
    void shownText();
    void firstTapShowsNothing();
    void steadyHalfSecondTaps_data();
    void steadyHalfSecondTaps();
    void labelsAfterTheSeventhTap();
    void startOverRestoresTextButKeepsEstimate();
    void startOverBeforeAnyTap();
    void equalReadingIsCountedAndIgnored();
    void fastTapsGoBeyondTheRange();
    void startingText_data();
    void startingText();
    void restartNeverUsesTheOldReading();
    void closeReadingsLateInTheDayAreToldApart();
};

void TestTapEstimator::shownText_data()
{
    QTest::addColumn<double>("estimate");
    QTest::addColumn<QString>("shown");

    QTest::newRow("108.75 is cut to 108.7, not rounded to 108.8") << 108.75 << "108.7";
    QTest::newRow("119.99 is cut to 119.9, never 120") << 119.99 << "119.9";
    QTest::newRow("249.999 stays under the top of the range") << 249.999 << "249.9";
    QTest::newRow("a whole value has no point") << 105.0 << "105";
    QTest::newRow("a value below one keeps its zero") << 0.56 << "0.5";
    QTest::newRow("below a tenth shows a bare zero") << 0.09 << "0";
    QTest::newRow("an exact tenth stays as it is") << 111.5 << "111.5";
    QTest::newRow("a long fraction is cut after one decimal") << 116.4404296875 << "116.4";
    QTest::newRow("beyond the range is shown all the same") << 366.0 << "366";
}

void TestTapEstimator::shownText()
{
    QFETCH(double, estimate);
    QFETCH(QString, shown);
    QCOMPARE(q(TapEstimator::shownText(estimate)), shown);
}

void TestTapEstimator::firstTapShowsNothing()
{
    TapEstimator tap;
    tap.start("100");
    QVERIFY(!tap.tap(1000.0));
    QCOMPARE(tap.tapbpm_new, 100.0);
    QCOMPARE(tap.tapnum, 1.0);
}

// Taps every half second (120 BPM) from an entry of 100; the row is the last tap of the run.
void TestTapEstimator::steadyHalfSecondTaps_data()
{
    QTest::addColumn<int>("taps");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QString>("estimate");

    QTest::newRow("tap 2: 105") << 2 << "105"
                                << "1000.5"
                                << "105";
    QTest::newRow("tap 3: 108.75 shows 108.7") << 3 << "108.7"
                                               << "1001"
                                               << "108.75";
    QTest::newRow("tap 4: 111.5625 shows 111.5") << 4 << "111.5"
                                                 << "1001.5"
                                                 << "111.5625";
    QTest::newRow("tap 5: 113.671875 shows 113.6") << 5 << "113.6"
                                                   << "1002"
                                                   << "113.671875";
    QTest::newRow("tap 6: 115.25390625 shows 115.2") << 6 << "115.2"
                                                     << "1002.5"
                                                     << "115.25390625";
    QTest::newRow("tap 7: 116.4404296875 shows 116.4") << 7 << "116.4"
                                                       << "1003"
                                                       << "116.4404296875";
}

void TestTapEstimator::steadyHalfSecondTaps()
{
    QFETCH(int, taps);
    QFETCH(QString, shown);
    QFETCH(QString, reading);
    QFETCH(QString, estimate);

    TapEstimator tap;
    tap.start("100");
    std::optional<TapShown> last;
    for (int n = 0; n < taps; ++n)
        last = tap.tap(1000.0 + 0.5 * n);

    QVERIFY(last);
    QCOMPARE(q(last->value), shown);
    QCOMPARE(q(last->labels[0]), reading);
    QCOMPARE(q(last->labels[1]), QString("0.5"));
    QCOMPARE(q(last->labels[2]), QString("120"));
    QCOMPARE(q(last->labels[3]), QString("100"));
    QCOMPARE(q(last->labels[4]), estimate);
}

void TestTapEstimator::labelsAfterTheSeventhTap()
{
    TapEstimator tap;
    tap.start("100");
    std::optional<TapShown> last;
    for (double t = 1000.0; t <= 1003.0; t += 0.5)
        last = tap.tap(t);

    QVERIFY(last);
    const QStringList labels{q(last->labels[0]), q(last->labels[1]), q(last->labels[2]), q(last->labels[3]),
                             q(last->labels[4])};
    QCOMPARE(labels, QStringList({"1003", "0.5", "120", "100", "116.4404296875"}));
    QCOMPARE(tap.tapbpm_new, 116.4404296875);
}

void TestTapEstimator::startOverRestoresTextButKeepsEstimate()
{
    TapEstimator tap;
    tap.start("100");
    for (double t = 1000.0; t <= 1003.0; t += 0.5)
        tap.tap(t);

    QCOMPARE(q(tap.startOver()), QString("100"));
    QCOMPARE(tap.tapnum, 0.0);
    QCOMPARE(tap.tapbpm_new, 116.4404296875);

    QVERIFY2(!tap.tap(1010.0), "the first tap after a start-over only takes its reading");
    const std::optional<TapShown> next = tap.tap(1010.5);
    QVERIFY(next);
    QCOMPARE(q(next->value), QString("117.3"));
    QCOMPARE(q(next->labels[4]), QString("117.330322265625"));
    QCOMPARE(q(next->labels[3]), QString("100"));
}

void TestTapEstimator::startOverBeforeAnyTap()
{
    TapEstimator tap;
    tap.start("98.5");
    QCOMPARE(q(tap.startOver()), QString("98.5"));
    QVERIFY(!tap.tap(3.0));
    QCOMPARE(tap.tapbpm_new, 98.5);
}

void TestTapEstimator::equalReadingIsCountedAndIgnored()
{
    TapEstimator tap;
    tap.start("100");
    tap.tap(10.0);
    QVERIFY(tap.tap(10.5));

    QVERIFY2(!tap.tap(10.5), "a zero interval must not divide");
    QCOMPARE(tap.tapbpm_new, 105.0);
    QCOMPARE(tap.tapnum, 3.0);

    // The next interval is measured from the repeated reading.
    const std::optional<TapShown> next = tap.tap(11.0);
    QVERIFY(next);
    QCOMPARE(q(next->value), QString("108.7"));
    QCOMPARE(q(next->labels[1]), QString("0.5"));
}

void TestTapEstimator::fastTapsGoBeyondTheRange()
{
    TapEstimator tap;
    tap.start("120");
    tap.tap(500.0);
    QStringList shown;
    for (int n = 1; n <= 4; ++n)
        if (const std::optional<TapShown> s = tap.tap(500.0 + 0.125 * n))
            shown << q(s->value);
    QCOMPARE(shown, QStringList({"210", "277.5", "328.1", "366"}));
}

void TestTapEstimator::startingText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("firstShown");

    QTest::newRow("a plain number") << "100" << 100.0 << "105";
    QTest::newRow("blanks around the number") << " 100 " << 100.0 << "105";
    QTest::newRow("a fraction") << "99.5" << 99.5 << "104.6";
    QTest::newRow("trailing letters fall back to the leading number") << "100abc" << 100.0 << "105";
    QTest::newRow("a blank between digits falls back to the joined digits") << "1 00" << 100.0 << "105";
}

void TestTapEstimator::startingText()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(QString, firstShown);

    TapEstimator tap;
    tap.start(text.toStdString());
    QCOMPARE(tap.tapbpm_new, value);
    QCOMPARE(q(tap.tapbpmbuf), text);

    tap.tap(0.0);
    const std::optional<TapShown> s = tap.tap(0.5);
    QVERIFY(s);
    QCOMPARE(q(s->value), firstShown);
    QCOMPARE(q(s->labels[3]), text); // the text as it was, not its value
    QCOMPARE(q(tap.startOver()), text);
}

void TestTapEstimator::restartNeverUsesTheOldReading()
{
    TapEstimator tap;
    tap.start("100");
    tap.tap(5.0);
    QVERIFY(tap.tap(5.5));

    tap.start("140");
    QVERIFY2(!tap.tap(6.0), "the first tap after a start has no interval, even with a reading kept");
    QCOMPARE(tap.tapbpm_new, 140.0);
    const std::optional<TapShown> s = tap.tap(6.5);
    QVERIFY(s);
    QCOMPARE(q(s->value), QString("135")); // (120 + 3 * 140) / 4
}

// Seconds since midnight in single precision only resolve 7.8 ms in the evening; the double clock
// resolves far better.
void TestTapEstimator::closeReadingsLateInTheDayAreToldApart()
{
    TapEstimator tap;
    tap.start("100");
    tap.tap(72000.0);
    const std::optional<TapShown> half = tap.tap(72000.5);
    QVERIFY(half);
    QCOMPARE(q(half->labels[0]), QString("72000.5"));
    QCOMPARE(q(half->labels[1]), QString("0.5"));
    QCOMPARE(q(half->labels[2]), QString("120"));
    QCOMPARE(q(half->value), QString("105"));

    // 4 ms apart: one instant in single precision, a 15000 BPM interval here.
    tap.startOver();
    tap.tap(72001.0);
    const std::optional<TapShown> close = tap.tap(72001.004);
    QVERIFY2(close, "two readings 4 ms apart must not count as one");
    QVERIFY(qAbs(QString::fromStdString(close->labels[2]).toDouble() - 15000.0) < 1e-3);
}

#include "testmain.h"
KORVO_TEST_MAIN(TestTapEstimator)
#include "tst_tapestimator.moc"
