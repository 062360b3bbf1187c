#include "settings/settingsformat.h"

#include <QRandomGenerator>
#include <QTest>
#include <clocale>
#include <locale>
#include <optional>
#include <string>

using korvo::settings::format;
using korvo::settings::parse;
using korvo::settings::Stored;
using korvo::settings::ToSave;

namespace {

// A missing field is a null QVariant in the tables below.
QVariant text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QVariant asVariant(const std::optional<std::string>& value)
{
    return value ? QVariant(QString::fromStdString(*value)) : QVariant();
}

QVariant asVariant(const std::optional<int>& value)
{
    return value ? QVariant(*value) : QVariant();
}

std::string bytesOf(const QByteArray& data)
{
    return data.toStdString();
}

const QVariant none;

// Process locales whose decimal separator is a comma; the first one installed is used.
const char* const kCommaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"};

} // namespace

class TestSettingsFormat : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void writing_data();
    void writing();
    void writingIgnoresTheLocale_data();
    void writingIgnoresTheLocale();
    void roundTrip_data();
    void roundTrip();
    void reading_data();
    void reading();
    void readingIgnoresTheLocale_data();
    void readingIgnoresTheLocale();
    void randomBytesGiveOnlyUsableFields();
};

void TestSettingsFormat::init()
{
    std::setlocale(LC_ALL, "C");
    std::locale::global(std::locale::classic());
}

void TestSettingsFormat::cleanup()
{
    init();
}

void TestSettingsFormat::writing_data()
{
    QTest::addColumn<double>("bpm1");
    QTest::addColumn<double>("bpm2");
    QTest::addColumn<int>("note");
    QTest::addColumn<int>("modifier");
    QTest::addColumn<int>("timeFormat");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("lowest tempos and first positions")
        << 1.0 << 1.0 << 0 << 0 << 0 << QByteArray("1\r\n1\r\n0\r\n0\r\n0\r\n");
    QTest::newRow("highest tempos and last positions")
        << 250.0 << 250.0 << 6 << 10 << 6 << QByteArray("250\r\n250\r\n6\r\n10\r\n6\r\n");
    QTest::newRow("first run: both 120, eighth note, just, no format")
        << 120.0 << 120.0 << 3 << 0 << 0 << QByteArray("120\r\n120\r\n3\r\n0\r\n0\r\n");
    QTest::newRow("98.5 and 133.33333, quarter dotted at timebase 480")
        << 98.5 << 133.33333 << 2 << 1 << 1 << QByteArray("98.5\r\n133.3333\r\n2\r\n1\r\n1\r\n");
    QTest::newRow("a tenth from a slider keeps its single-precision digits")
        << 120.1 << 0.1 << 3 << 0 << 0 << QByteArray("120.1\r\n0.1\r\n3\r\n0\r\n0\r\n");
    QTest::newRow("249.99999 rounds up to 250 in single precision")
        << 249.99999 << 120.0 << 3 << 0 << 0 << QByteArray("250\r\n120\r\n3\r\n0\r\n0\r\n");
    QTest::newRow("seven significant digits: 123.456789 gives 123.4568")
        << 123.456789 << 120.0 << 3 << 0 << 0 << QByteArray("123.4568\r\n120\r\n3\r\n0\r\n0\r\n");
    QTest::newRow("nothing selected writes -1, which reads back as missing")
        << 120.0 << 120.0 << -1 << -1 << -1 << QByteArray("120\r\n120\r\n-1\r\n-1\r\n-1\r\n");
}

void TestSettingsFormat::writing()
{
    QFETCH(double, bpm1);
    QFETCH(double, bpm2);
    QFETCH(int, note);
    QFETCH(int, modifier);
    QFETCH(int, timeFormat);
    QFETCH(QByteArray, expected);

    QCOMPARE(QByteArray::fromStdString(format(ToSave{bpm1, bpm2, note, modifier, timeFormat})), expected);
}

void TestSettingsFormat::writingIgnoresTheLocale_data()
{
    QTest::addColumn<QByteArray>("localeName");
    QTest::newRow("C locale") << QByteArray("C");
    for (const char* name : kCommaLocales)
        QTest::newRow(name) << QByteArray(name);
}

void TestSettingsFormat::writingIgnoresTheLocale()
{
    QFETCH(QByteArray, localeName);
    if (!std::setlocale(LC_ALL, localeName.constData()))
        QSKIP("this locale is not installed");
    try {
        std::locale::global(std::locale(localeName.constData()));
    } catch (const std::runtime_error&) {
        QSKIP("this locale is not available to C++ streams");
    }

    QCOMPARE(QByteArray::fromStdString(format(ToSave{98.5, 133.33333, 2, 1, 1})),
             QByteArray("98.5\r\n133.3333\r\n2\r\n1\r\n1\r\n"));
}

void TestSettingsFormat::roundTrip_data()
{
    QTest::addColumn<double>("saved");
    QTest::addColumn<QString>("restored");

    QTest::newRow("lowest tempo 1") << 1.0 << "1";
    QTest::newRow("highest tempo 250") << 250.0 << "250";
    QTest::newRow("whole tempo 120") << 120.0 << "120";
    QTest::newRow("98.5 stays 98.5") << 98.5 << "98.5";
    QTest::newRow("133.33333 comes back as 133.3333") << 133.33333 << "133.3333";
    QTest::newRow("slider tenth 0.1 above 120") << 120.1 << "120.1";
}

void TestSettingsFormat::roundTrip()
{
    QFETCH(double, saved);
    QFETCH(QString, restored);

    const Stored back = parse(format(ToSave{saved, saved, 6, 10, 6}));
    QCOMPARE(asVariant(back.bpm1), QVariant(restored));
    QCOMPARE(asVariant(back.bpm2), QVariant(restored));
    QCOMPARE(asVariant(back.note), QVariant(6));
    QCOMPARE(asVariant(back.modifier), QVariant(10));
    QCOMPARE(asVariant(back.format), QVariant(6));
}

void TestSettingsFormat::reading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QVariant>("bpm1");
    QTest::addColumn<QVariant>("bpm2");
    QTest::addColumn<QVariant>("note");
    QTest::addColumn<QVariant>("modifier");
    QTest::addColumn<QVariant>("timeFormat");

    // Edge cases first: nothing, next to nothing, cut short.
    QTest::newRow("empty file") << QByteArray() << none << none << none << none << none;
    QTest::newRow("only line ends and blanks: empty tempo texts, no positions")
        << QByteArray(" \r\n\r\n\t\r\n") << text("") << text("") << none << none << none;
    QTest::newRow("byte-order mark alone")
        << QByteArray("\xEF\xBB\xBF") << none << none << none << none << none;
    QTest::newRow("one tempo only") << QByteArray("98.5\r\n") << text("98.5") << none << none << none << none;
    QTest::newRow("two tempos, no positions")
        << QByteArray("98.5\r\n100\r\n") << text("98.5") << text("100") << none << none << none;
    QTest::newRow("last line without its line end")
        << QByteArray("120\r\n120\r\n3\r\n0\r\n5") << text("120") << text("120") << QVariant(3) << QVariant(0)
        << QVariant(5);

    // What the program itself writes.
    QTest::newRow("first-run file") << QByteArray("120\r\n120\r\n3\r\n0\r\n0\r\n") << text("120")
                                    << text("120") << QVariant(3) << QVariant(0) << QVariant(0);
    QTest::newRow("98.5, 133.3333, quarter, dotted, timebase 480")
        << QByteArray("98.5\r\n133.3333\r\n2\r\n1\r\n1\r\n") << text("98.5") << text("133.3333")
        << QVariant(2) << QVariant(1) << QVariant(1);
    QTest::newRow("lines after the fifth ignored")
        << QByteArray("120\r\n130\r\n3\r\n0\r\n0\r\n7\r\nabc\r\n-5\r\n") << text("120") << text("130")
        << QVariant(3) << QVariant(0) << QVariant(0);

    // Tempo texts.
    QTest::newRow("120.0 comes back as 120")
        << QByteArray("120.0\r\n120.00\r\n3\r\n0\r\n0\r\n") << text("120") << text("120") << QVariant(3)
        << QVariant(0) << QVariant(0);
    QTest::newRow("98.50 loses its trailing zero, +0130 its sign and zero")
        << QByteArray("98.50\r\n+0130\r\n3\r\n0\r\n0\r\n") << text("98.5") << text("130") << QVariant(3)
        << QVariant(0) << QVariant(0);
    QTest::newRow("hexadecimal &H78 is 120, exponent 1.2E2 is 120")
        << QByteArray("&H78\r\n1.2E2\r\n3\r\n0\r\n0\r\n") << text("120") << text("120") << QVariant(3)
        << QVariant(0) << QVariant(0);
    QTest::newRow("300 and 0 handed over for the main window to reject")
        << QByteArray("300\r\n0\r\n3\r\n0\r\n0\r\n") << text("300") << text("0") << QVariant(3) << QVariant(0)
        << QVariant(0);
    QTest::newRow("abc and 12abc handed over unchanged")
        << QByteArray("abc\r\n12abc\r\n3\r\n0\r\n0\r\n") << text("abc") << text("12abc") << QVariant(3)
        << QVariant(0) << QVariant(0);
    QTest::newRow("1e999 is too large to be a number here: handed over unchanged")
        << QByteArray("1e999\r\n120\r\n3\r\n0\r\n0\r\n") << text("1e999") << text("120") << QVariant(3)
        << QVariant(0) << QVariant(0);
    QTest::newRow("full-width digits handed over unchanged")
        << QByteArray("１２０\r\n120\r\n3\r\n0\r\n0\r\n") << text("１２０") << text("120") << QVariant(3)
        << QVariant(0) << QVariant(0);
    QTest::newRow("empty tempo line goes into the box empty, for the range check to reject")
        << QByteArray("\r\n130\r\n3\r\n0\r\n0\r\n") << text("") << text("130") << QVariant(3) << QVariant(0)
        << QVariant(0);
    QTest::newRow("blanks only on a tempo line: an empty text")
        << QByteArray("120\r\n \t \r\n3\r\n0\r\n0\r\n") << text("120") << text("") << QVariant(3)
        << QVariant(0) << QVariant(0);

    // Bytes a box cannot show end the text; what comes before them is taken as any other item.
    QTest::newRow("DEL after a tempo: the tempo before it")
        << QByteArray("98.5\x7F\r\n130\r\n3\r\n0\r\n0\r\n") << text("98.5") << text("130") << QVariant(3)
        << QVariant(0) << QVariant(0);
    QTest::newRow("a Latin-1 degree sign after a tempo: the tempo before it")
        << QByteArray("98.5\xB0\r\n130\r\n3\r\n0\r\n0\r\n") << text("98.5") << text("130") << QVariant(3)
        << QVariant(0) << QVariant(0);
    QTest::newRow("NUL after a tempo: the tempo before it")
        << QByteArray("98.5\0\r\n130\r\n3\r\n0\r\n0\r\n", 21) << text("98.5") << text("130") << QVariant(3)
        << QVariant(0) << QVariant(0);
    QTest::newRow("98.50 and a blank before the stray byte: shortest form, no blank")
        << QByteArray("98.50 \x01\r\n130\r\n3\r\n0\r\n0\r\n") << text("98.5") << text("130") << QVariant(3)
        << QVariant(0) << QVariant(0);
    QTest::newRow("UTF-8 degree sign is text and stays")
        << QByteArray("98.5\xC2\xB0\r\n130\r\n3\r\n0\r\n0\r\n") << text("98.5°") << text("130") << QVariant(3)
        << QVariant(0) << QVariant(0);

    // Positions: range and rounding.
    QTest::newRow("non-numeric positions")
        << QByteArray("120\r\n120\r\nx\r\n1a\r\n.\r\n") << text("120") << text("120") << none << none << none;
    QTest::newRow("-1 is below every list") << QByteArray("120\r\n120\r\n-1\r\n-1\r\n-1\r\n") << text("120")
                                            << text("120") << none << none << none;
    QTest::newRow("6, 10, 6 are the last items")
        << QByteArray("120\r\n120\r\n6\r\n10\r\n6\r\n") << text("120") << text("120") << QVariant(6)
        << QVariant(10) << QVariant(6);
    QTest::newRow("7, 11, 7 are one past the last items")
        << QByteArray("120\r\n120\r\n7\r\n11\r\n7\r\n") << text("120") << text("120") << none << none << none;
    QTest::newRow("halves to even: 2.5 gives 2, 3.5 gives 4, 0.5 gives 0")
        << QByteArray("120\r\n120\r\n2.5\r\n3.5\r\n0.5\r\n") << text("120") << text("120") << QVariant(2)
        << QVariant(4) << QVariant(0);
    QTest::newRow("6.5 rounds to 6 and stays; 10.5 rounds to 10; 6.6 rounds to 7 and is out")
        << QByteArray("120\r\n120\r\n6.5\r\n10.5\r\n6.6\r\n") << text("120") << text("120") << QVariant(6)
        << QVariant(10) << none;
    QTest::newRow("-0.5 rounds to 0; -0.6 rounds to -1 and is out")
        << QByteArray("120\r\n120\r\n-0.5\r\n-0.6\r\n1e1\r\n") << text("120") << text("120") << QVariant(0)
        << none << none;

    // Line ends, separators, blanks, byte-order mark.
    const QVariant sample[] = {text("98.5"), text("133.3333"), QVariant(2), QVariant(1), QVariant(1)};
    const auto sampleRow = [&sample](const char* name, const QByteArray& bytes) {
        QTest::newRow(name) << bytes << sample[0] << sample[1] << sample[2] << sample[3] << sample[4];
    };
    sampleRow("UTF-8 byte-order mark skipped", "\xEF\xBB\xBF"
                                               "98.5\r\n133.3333\r\n2\r\n1\r\n1\r\n");
    sampleRow("LF-only line ends", "98.5\n133.3333\n2\n1\n1\n");
    sampleRow("CR-only line ends", "98.5\r133.3333\r2\r1\r1\r");
    sampleRow("mixed line ends", "98.5\r133.3333\n2\r\n1\r1");
    sampleRow("commas between items on one line", "98.5,133.3333,2,1,1\r\n");
    sampleRow("commas and lines mixed", "98.5,133.3333\r\n2,1\r\n1\r\n");
    sampleRow("blanks and tabs around items", "  98.5 \t\r\n\t133.3333  \r\n 2 \r\n1 ,  1\r\n");
    QTest::newRow("a comma makes an empty item") << QByteArray("98.5,,2\r\n1\r\n1\r\n") << text("98.5")
                                                 << text("") << QVariant(2) << QVariant(1) << QVariant(1);

    // Not text at all.
    static const char kWithNul[] = "12\0"
                                   "0\r\n130\r\n3\0\r\n0\r\n0\r\n";
    QTest::newRow("NUL byte inside a tempo and a position")
        << QByteArray(kWithNul, sizeof kWithNul - 1) << text("12") << text("130") << none << QVariant(0)
        << QVariant(0);
    QTest::newRow("file of NUL bytes") << QByteArray(64, '\0') << text("") << none << none << none << none;
    QTest::newRow("invalid UTF-8 in a tempo")
        << QByteArray("\xFF\xFE\r\n\xC0\xAF\r\n3\r\n0\r\n0\r\n") << text("") << text("") << QVariant(3)
        << QVariant(0) << QVariant(0);
    QTest::newRow("control character inside a tempo")
        << QByteArray("1\x1B[2J\r\n120\r\n3\r\n0\r\n0\r\n") << text("1") << text("120") << QVariant(3)
        << QVariant(0) << QVariant(0);
    QTest::newRow("control character from the upper set (U+009F) as a tempo")
        << QByteArray("\xC2\x9F\r\n\xC2\x80"
                      "90\r\n3\r\n0\r\n0\r\n")
        << text("") << text("") << QVariant(3) << QVariant(0) << QVariant(0);

    // Huge files: only the head counts, and an item cut off by that limit is not guessed at.
    QByteArray headThenJunk("98.5\r\n133.3333\r\n2\r\n1\r\n1\r\n");
    headThenJunk.append(QByteArray(1024 * 1024, 'x'));
    QTest::newRow("1 MiB file: a good head, then junk")
        << headThenJunk << sample[0] << sample[1] << sample[2] << sample[3] << sample[4];
    QTest::newRow("1 MiB file of digits on one line")
        << QByteArray(1024 * 1024, '1') << none << none << none << none << none;
    QByteArray shortHeadThenLongLine("98.5\r\n");
    shortHeadThenLongLine.append(QByteArray(1024 * 1024, '7'));
    QTest::newRow("1 MiB file: one tempo, then a line that never ends")
        << shortHeadThenLongLine << text("98.5") << none << none << none << none;
}

void TestSettingsFormat::reading()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QVariant, bpm1);
    QFETCH(QVariant, bpm2);
    QFETCH(QVariant, note);
    QFETCH(QVariant, modifier);
    QFETCH(QVariant, timeFormat);

    const Stored stored = parse(bytesOf(bytes));
    QCOMPARE(asVariant(stored.bpm1), bpm1);
    QCOMPARE(asVariant(stored.bpm2), bpm2);
    QCOMPARE(asVariant(stored.note), note);
    QCOMPARE(asVariant(stored.modifier), modifier);
    QCOMPARE(asVariant(stored.format), timeFormat);
}

void TestSettingsFormat::readingIgnoresTheLocale_data()
{
    writingIgnoresTheLocale_data();
}

void TestSettingsFormat::readingIgnoresTheLocale()
{
    QFETCH(QByteArray, localeName);
    if (!std::setlocale(LC_ALL, localeName.constData()))
        QSKIP("this locale is not installed");

    // Under a comma locale "98,5" must stay two items, and "98.5" one number.
    const Stored stored = parse("98.5\r\n98,5\r\n2.5\r\n1\r\n1\r\n");
    QCOMPARE(asVariant(stored.bpm1), text("98.5"));
    QCOMPARE(asVariant(stored.bpm2), text("98"));
    QCOMPARE(asVariant(stored.note), QVariant(5));
    QCOMPARE(asVariant(stored.modifier), QVariant(2));
    QCOMPARE(asVariant(stored.format), QVariant(1));
}

void TestSettingsFormat::randomBytesGiveOnlyUsableFields()
{
    // Whatever lands in the file, every field is either missing or something the windows accept:
    // positions inside their lists, tempo texts free of control characters (empty ones included).
    QRandomGenerator random(20240607);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes(static_cast<qsizetype>(random.bounded(200)), '\0');
        for (char& c : bytes) {
            // Mostly the characters of a real file, so that many blobs get past the first items.
            static const char kAlphabet[] = "0123456789.,-+ \t\r\nE&H";
            c = random.bounded(3) ? kAlphabet[random.bounded(int(sizeof kAlphabet - 1))]
                                  : static_cast<char>(random.bounded(256));
        }
        const Stored stored = parse(bytesOf(bytes));
        const QByteArray context = "bytes " + bytes.toHex();
        if (stored.note)
            QVERIFY2(*stored.note >= 0 && *stored.note <= 6, context.constData());
        if (stored.modifier)
            QVERIFY2(*stored.modifier >= 0 && *stored.modifier <= 10, context.constData());
        if (stored.format)
            QVERIFY2(*stored.format >= 0 && *stored.format <= 6, context.constData());
        for (const auto& tempo : {stored.bpm1, stored.bpm2}) {
            if (!tempo)
                continue;
            for (char c : *tempo)
                QVERIFY2(static_cast<unsigned char>(c) >= 0x20 || c == '\t', context.constData());
        }
    }
}

#include "testmain.h"
KORVO_TEST_MAIN(TestSettingsFormat)
#include "tst_settingsformat.moc"
