#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"

#include <QTest>
#include <clocale>
#include <cmath>
#include <limits>

using namespace korvo;

class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void lenientReading_data();
    void lenientReading();
    void strictConversion_data();
    void strictConversion();
    void numberText_data();
    void numberText();
    void spacedAndSingle();
    void sliderToText_data();
    void sliderToText();
    void textToSlider_data();
    void textToSlider();
    void independentOfLocale();
};

void TestNumberText::lenientReading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("plain whole") << "120" << 120.0;
    QTest::newRow("fraction") << "98.5" << 98.5;
    QTest::newRow("blanks around") << "  130 \t" << 130.0;
    QTest::newRow("blanks between digits") << "1 2\t0" << 120.0;
    QTest::newRow("line feed inside") << "12\n5" << 125.0;
    QTest::newRow("trailing letters ignored") << "120abc" << 120.0;
    QTest::newRow("second point ends the number") << "1.2.3" << 1.2;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("plus sign") << "+42" << 42.0;
    QTest::newRow("minus sign") << "-7.25" << -7.25;
    QTest::newRow("sign then blank") << "- 3" << -3.0;
    QTest::newRow("E exponent") << "1.2E2" << 120.0;
    QTest::newRow("D exponent") << "25D1" << 250.0;
    QTest::newRow("lower-case exponent with sign") << "12500e-2" << 125.0;
    QTest::newRow("exponent without digits stops before E") << "12E" << 12.0;
    QTest::newRow("exponent sign without digits") << "12E+x" << 12.0;
    QTest::newRow("hexadecimal") << "&HFA" << 250.0;
    QTest::newRow("hexadecimal lower case") << "&hff" << 255.0;
    QTest::newRow("octal") << "&O17" << 15.0;
    QTest::newRow("hex marker without digits") << "&H" << 0.0;
    QTest::newRow("octal stops at 8") << "&O78" << 7.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("letters only") << "abc" << 0.0;
    QTest::newRow("point only") << "." << 0.0;
    QTest::newRow("comma is not a decimal point") << "120,5" << 120.0;
    QTest::newRow("full-width digits are not digits") << "１２０" << 0.0;
    QTest::newRow("huge exponent saturates") << "1E999" << std::numeric_limits<double>::infinity();
    QTest::newRow("tiny exponent underflows to zero") << "1E-999" << 0.0;
    QTest::newRow("a one after 400 zeros underflows, no exponent needed")
        << "0." + QString(400, '0') + "1" << 0.0;
    QTest::newRow("400 digits overflow despite a negative exponent")
        << "1" + QString(399, '0') + "e-2" << std::numeric_limits<double>::infinity();
    QTest::newRow("long digit string rounds to the nearest double")
        << "0." + QString(300, '0') + "17976931348623157" << 1.7976931348623157e-301;
    QTest::newRow("hexadecimal above 2^53 rounds once, to nearest")
        << "&H200000000000011" << 144115188075855904.0;
    QTest::newRow("octal above 2^53 rounds once, to nearest")
        << "&O10000000000000000021" << 144115188075855904.0;
}

void TestNumberText::lenientReading()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    const double read = readLenient(text.toStdString());
    QCOMPARE(read, value);
    // QCOMPARE forgives a unit in the last place; the reading must not.
    QVERIFY2(read == value, qPrintable(QString::number(read, 'g', 17)));
}

void TestNumberText::strictConversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");
    QTest::newRow("whole number") << "130" << true << 130.0;
    QTest::newRow("blanks around allowed") << " 120.25 " << true << 120.25;
    QTest::newRow("exponent") << "1.2E2" << true << 120.0;
    QTest::newRow("hexadecimal") << "&H78" << true << 120.0;
    QTest::newRow("trailing letters") << "120abc" << false << 0.0;
    QTest::newRow("blank between digits") << "1 20" << false << 0.0;
    QTest::newRow("dangling exponent") << "12E" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("point only") << "." << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
}

void TestNumberText::strictConversion()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    const std::optional<double> read = readStrict(text.toStdString());
    QCOMPARE(read.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*read, value);
}

void TestNumberText::numberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("digits");
    QTest::addColumn<bool>("zeroBeforePoint");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << 15 << false << "0";
    QTest::newRow("negative zero") << -0.0 << 15 << false << "0";
    QTest::newRow("whole") << 120.0 << 15 << false << "120";
    QTest::newRow("fraction without leading zero") << 0.25 << 15 << false << ".25";
    QTest::newRow("negative fraction") << -0.145 << 15 << false << "-.145";
    QTest::newRow("leading zero when asked") << 0.5 << 15 << true << "0.5";
    QTest::newRow("binary noise cut at 15 digits") << 0.1 + 0.2 << 15 << false << ".3";
    QTest::newRow("thousandths stay exact") << 1.386 << 15 << false << "1.386";
    QTest::newRow("large value has no exponent") << 1e20 << 15 << false << "100000000000000000000";
    QTest::newRow("small value has no exponent") << 1.5e-7 << 15 << false << ".00000015";
    QTest::newRow("fifteen digits kept") << 123456789.012345 << 15 << false << "123456789.012345";
    QTest::newRow("sixteenth digit rounded") << 0.1234567890123456 << 15 << false << ".123456789012346";
    QTest::newRow("seven digits") << double(133.33333f) << 7 << true << "133.3333";
    QTest::newRow("seven digits of 98.5") << double(98.5f) << 7 << true << "98.5";
    QTest::newRow("rounding carries into a new digit") << 9.9999999 << 7 << true << "10";
}

void TestNumberText::numberText()
{
    QFETCH(double, value);
    QFETCH(int, digits);
    QFETCH(bool, zeroBeforePoint);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(korvo::numberText(value, {digits, zeroBeforePoint})), text);
}

void TestNumberText::spacedAndSingle()
{
    QCOMPARE(spacedText(500), std::string(" 500"));
    QCOMPARE(spacedText(0.04), std::string(" .04"));
    QCOMPARE(spacedText(0), std::string(" 0"));
    QCOMPARE(spacedText(-3), std::string("-3"));
    QCOMPARE(singleText(133.33333f), std::string("133.3333"));
    QCOMPARE(singleText(120.0f), std::string("120"));
}

void TestNumberText::sliderToText_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::newRow("lowest") << 10 << "1";
    QTest::newRow("a tenth") << 1205 << "120.5";
    QTest::newRow("whole") << 1200 << "120";
    QTest::newRow("highest") << 2500 << "250";
    QTest::newRow("a tenth that binary cannot hold") << 1201 << "120.1";
}

void TestNumberText::sliderToText()
{
    QFETCH(int, position);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(bpm::textForPosition(position)), text);
}

void TestNumberText::textToSlider_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::newRow("whole") << "130" << 1300;
    QTest::newRow("half below stays (to even)") << "120.05" << 1200;
    QTest::newRow("half above goes to even") << "120.25" << 1202;
    QTest::newRow("119.95 rounds to even") << "119.95" << 1200;
    QTest::newRow("lower bound") << "1" << 10;
    QTest::newRow("upper bound") << "250" << 2500;
    QTest::newRow("trailing letters use the lenient value") << "120abc" << 1200;
    QTest::newRow("blank between digits uses the lenient value") << "12 5" << 1250;
    QTest::newRow("lenient fraction") << "98.5kg" << 985;
    QTest::newRow("out of range is clamped") << "300" << 2500;
}

void TestNumberText::textToSlider()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QCOMPARE(bpm::positionForText(text.toStdString()), position);
}

void TestNumberText::independentOfLocale()
{
    const char* commaLocales[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "C.UTF-8"};
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    const char* chosen = nullptr;
    for (const char* name : commaLocales)
        if ((chosen = std::setlocale(LC_ALL, name)))
            break;
    if (!chosen || std::string(chosen).rfind("C", 0) == 0)
        QSKIP("no comma-decimal locale is installed");
    const bool commaDecimal = std::localeconv()->decimal_point[0] == ',';
    const double lenient = readLenient("98.5");
    const std::string text = korvo::numberText(98.5);
    const std::optional<double> strict = readStrict("120.25");
    std::setlocale(LC_ALL, saved.c_str());
    QVERIFY(commaDecimal);
    QCOMPARE(lenient, 98.5);
    QCOMPARE(text, std::string("98.5"));
    QCOMPARE(strict.value_or(0), 120.25);
}

#include "testmain.h"
KORVO_TEST_MAIN(TestNumberText)
#include "tst_numbertext.moc"
