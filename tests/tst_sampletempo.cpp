#include "app/tempocommand.h"
#include "drumloop.h"
#include "fakeplatform.h"
#include "loopanalysis.h"
#include "sample/beatanalysis.h"
#include "sample/namehint.h"
#include "sample/sampleanalysis.h"
#include "sample/sampletempo.h"
#include "sample/sampletempodialog.h"
#include "sample/samplewords.h"
#include "windowtest.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QOperatingSystemVersion>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTreeWidget>
#include <QWidget>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>

using korvo::test::DrumLoop;
Q_DECLARE_METATYPE(DrumLoop)

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

// The program as started from a terminal with no display.
void withoutDisplay(QProcess& korvo)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    korvo.setProcessEnvironment(environment);
}

} // namespace

class TestSampleTempo : public QObject, WindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void choice_data();
    void choice();
    void backbeat_data();
    void backbeat();
    void fittedGrid();
    void grooveChoice_data();
    void grooveChoice();
    void failures_data();
    void failures();
    void wildFloats();
    void tempoInName_data();
    void tempoInName();
    void offsetText_data();
    void offsetText();
    void tempoLine_data();
    void tempoLine();
    void matchingNames_data();
    void matchingNames();
    void tempoCommandNeedsNoDisplay();
    void tempoCommandReportsAFailedWrite();
    void tempoCommandKeepsEveryByteOfAName();
    void commandLineWithoutWindow_data();
    void commandLineWithoutWindow();
    void slowReadingShowsProgressAndStops();
    void dialogShowsWhereTheFocusIs();

private:
    QString write(const DrumLoop& loop, const QString& name);
};

void TestSampleTempo::init()
{
    startWindowTest();
    korvo::sample::setReadsFormat(nullptr);
}

void TestSampleTempo::cleanup()
{
    endWindowTest();
}

// A failed write fails the running test; the path comes back all the same, so the test runs on to
// its end and the tests after it still run, instead of the whole binary stopping here.
QString TestSampleTempo::write(const DrumLoop& loop, const QString& name)
{
    const QString path = m_dir->filePath(name);
    const QString suffix = QFileInfo(name).suffix();
    const int format = suffix == "flac"   ? SF_FORMAT_FLAC | SF_FORMAT_PCM_16
                       : suffix == "ogg"  ? SF_FORMAT_OGG | SF_FORMAT_VORBIS
                       : suffix == "mp3"  ? SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III
                       : suffix == "aiff" ? SF_FORMAT_AIFF | SF_FORMAT_PCM_16
                                          : SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    if (!korvo::test::writeDrumLoop(path.toStdString(), loop, format))
        QTest::qFail(qPrintable("cannot write " + path), __FILE__, __LINE__);
    return path;
}

void TestSampleTempo::choice_data()
{
    // A generated drum loop, written as "file" (its ending gives the format) and read as a dropped
    // file is. "tempo" is the text written into the entry,
    // "beats" the reading's (0: a tempo heard in the beat), "offered" readings that must stand among
    // the others, in any order, and "first" the one that must come first among them (empty: any).
    QTest::addColumn<QString>("file");
    QTest::addColumn<DrumLoop>("loop");
    QTest::addColumn<korvo::sample::ChoiceReason>("reason");
    QTest::addColumn<QString>("tempo");
    QTest::addColumn<int>("beats");
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("first");
    using R = korvo::sample::ChoiceReason;
    const auto loop = [](double bpm, int beats, auto&& change) {
        DrumLoop l;
        l.bpm = bpm;
        l.beats = beats;
        change(l);
        return l;
    };
    const auto plain = [](DrumLoop&) {};
    QTest::newRow("2 bars at 90") << "loop.wav" << loop(90, 8, plain) << R::Loop << "90" << 8 << "45 180"
                                  << "";
    QTest::newRow("a bar at 168.25, heard a few per cent off: the length to the frame stands")
        << "loop.wav" << loop(168.25, 4, plain) << R::Loop << "168.25" << 4 << ""
        << "";
    QTest::newRow("4 bars at 174: not halved to 87")
        << "loop.wav" << loop(174, 16, plain) << R::Loop << "174" << 16 << "87"
        << "";
    QTest::newRow("2 bars at 133.3333: thirds before a third decimal")
        << "loop.wav" << loop(133.3333, 8, plain) << R::Loop << "133.3333" << 8 << "66.6667"
        << "";
    QTest::newRow("2 bars at 87.25 to the frame: the quarter stands")
        << "loop.wav" << loop(87.25, 8, plain) << R::Loop << "87.25" << 8 << ""
        << "";
    QTest::newRow("one bar at 80: not doubled to 160")
        << "loop.wav" << loop(80, 4, plain) << R::Loop << "80" << 4 << "160"
        << "";
    QTest::newRow("backbeat at 140, a kick on one only: not halved")
        << "loop.wav" << loop(140, 8, [](DrumLoop& l) { l.backbeat = true; }) << R::Loop << "140" << 8 << "70"
        << "";
    QTest::newRow("swung 2 bars at 95")
        << "loop.wav" << loop(95, 8, [](DrumLoop& l) { l.swing = 0.62; }) << R::Loop << "95" << 8 << ""
        << "";
    QTest::newRow("4 bars of 3/4 at 160: 12 beats, the 4/4 reading one click away")
        << "loop.wav" << loop(160, 12, [](DrumLoop& l) { l.beatsPerBar = 3; }) << R::Loop << "160" << 12
        << "106.6667"
        << "";
    QTest::newRow("4 bars of 3/4 at 150 with nothing between its beats: not halved")
        << "loop.wav"
        << loop(150, 12,
                [](DrumLoop& l) {
                    l.beatsPerBar = 3;
                    l.swing = 0;
                })
        << R::Loop << "150" << 12 << ""
        << "";
    QTest::newRow("2 bars of 3/4 at 90: 6 beats")
        << "loop.wav" << loop(90, 6, [](DrumLoop& l) { l.beatsPerBar = 3; }) << R::Loop << "90" << 6 << ""
        << "";
    QTest::newRow("48 kHz mono, 2 bars at 120") << "loop.wav"
                                                << loop(120, 8,
                                                        [](DrumLoop& l) {
                                                            l.sampleRate = 48000;
                                                            l.channels = 1;
                                                        })
                                                << R::Loop << "120" << 8 << ""
                                                << "";
    // Compressed files keep their length to the frame: the lossy encoders note their delay and padding.
    QTest::newRow("FLAC, 2 bars at 96") << "loop.flac" << loop(96, 8, plain) << R::Loop << "96" << 8 << ""
                                        << "";
    QTest::newRow("Ogg Vorbis, 2 bars at 128")
        << "loop.ogg" << loop(128, 8, plain) << R::Loop << "128" << 8 << ""
        << "";
    QTest::newRow("MP3, 4 bars at 174") << "loop.mp3" << loop(174, 16, plain) << R::Loop << "174" << 16 << ""
                                        << "";
    QTest::newRow("trimmed 5 ms long: 120 first, the exact length next")
        << "loop.wav" << loop(120, 8, [](DrumLoop& l) { l.trim = 0.005; }) << R::Loop << "120" << 8
        << "119.85"
        << "119.85";
    QTest::newRow("trimmed 12 ms short: 120")
        << "loop.wav" << loop(120, 8, [](DrumLoop& l) { l.trim = -0.012; }) << R::Loop << "120" << 8 << ""
        << "";
    QTest::newRow(
        "139.6667 trimmed 8 ms short: the onsets keep it from 139.5, 140 and its exact half offered")
        << "loop.wav" << loop(139 + 2.0 / 3, 16, [](DrumLoop& l) { l.trim = -0.008; }) << R::Loop
        << "139.6667" << 16 << "140 69.8333"
        << "";
    QTest::newRow("87.25 trimmed 10 ms long: the onsets keep it from 87, offered")
        << "loop.wav" << loop(87.25, 8, [](DrumLoop& l) { l.trim = 0.01; }) << R::Loop << "87.25" << 8 << "87"
        << "";
    QTest::newRow("a bar of funk at 181 cut 13 ms short, its hits rising and its hi-hats soft: not 182.75")
        << "loop.wav"
        << loop(181, 4,
                [](DrumLoop& l) {
                    l.funk = true;
                    l.hat = 0.03;
                    l.attack = 0.002;
                    l.rustle = 0.0003;
                    l.trim = -0.013;
                })
        << R::Loop << "181" << 4 << ""
        << "";
    QTest::newRow("2 bars at 168.25 cut 5 ms short: the onsets keep it, the length's 169 offered")
        << "loop.wav" << loop(168.25, 8, [](DrumLoop& l) { l.trim = -0.005; }) << R::Loop << "168.25" << 8
        << "169"
        << "";
    QTest::newRow("40 ms of silence before 4 bars at 128")
        << "loop.wav" << loop(128, 16, [](DrumLoop& l) { l.silenceBefore = 0.04; }) << R::Loop << "128" << 16
        << ""
        << "";
    QTest::newRow("50 ms of silence after 2 bars at 120: the beat's tempo, the length off")
        << "loop.wav" << loop(120, 8, [](DrumLoop& l) { l.silenceAfter = 0.05; }) << R::Mismatch << "120" << 8
        << ""
        << "";
    QTest::newRow("30 ms of silence after 4 bars at 149: 149, the length off")
        << "loop.wav" << loop(149, 16, [](DrumLoop& l) { l.silenceAfter = 0.03; }) << R::Loop << "149" << 16
        << ""
        << "";
    QTest::newRow(
        "30 ms of silence before a bar of funk at 117 under a wash, 3 ms short: its length, not 116.5")
        << "loop.wav"
        << loop(117, 4,
                [](DrumLoop& l) {
                    l.funk = true;
                    l.wash = 0.2;
                    l.silenceBefore = 0.03;
                    l.trim = -0.003;
                })
        << R::Loop << "117" << 4 << ""
        << "";
    QTest::newRow("silence before a bar of funk at 171.3333, each hit rising from under the floor: not 171")
        << "loop.wav"
        << loop(171 + 1.0 / 3, 4,
                [](DrumLoop& l) {
                    l.funk = true;
                    l.wash = 0.2;
                    l.silenceBefore = 0.04;
                    l.attack = 0.003;
                    l.rustle = 0.0003;
                })
        << R::Loop << "171.3333" << 4 << ""
        << "";
    QTest::newRow("a bar of funk at 146 under a wash cut off 3 ms short into silence: its length, not 145.5")
        << "loop.wav"
        << loop(146, 4,
                [](DrumLoop& l) {
                    l.funk = true;
                    l.wash = 0.2;
                    l.trim = -0.003;
                    l.silenceAfter = 0.04;
                })
        << R::Loop << "146" << 4 << ""
        << "";
    QTest::newRow("a bar of funk at 171.3333 between silences, its sound cut a frame past its end: not 171")
        << "loop.wav"
        << loop(171 + 1.0 / 3, 4,
                [](DrumLoop& l) {
                    l.funk = true;
                    l.wash = 0.2;
                    l.silenceBefore = 0.05;
                    l.silenceAfter = 0.05;
                    l.trim = 1.0 / l.sampleRate;
                })
        << R::Loop << "171.3333" << 4 << ""
        << "";
    QTest::newRow("a bar at 131 cut 2 ms short after 40 ms of silence: the whole BPM beside it, measured "
                  "without the silence")
        << "loop.wav"
        << loop(131, 4,
                [](DrumLoop& l) {
                    l.trim = -0.002;
                    l.silenceBefore = 0.04;
                })
        << R::Loop << "131" << 4 << "132"
        << "";
    QTest::newRow("a crash ringing 1.5 s past 2 bars at 100: the beat's tempo, the bars before the tail, the "
                  "other metre offered")
        << "loop.wav" << loop(100, 8, [](DrumLoop& l) { l.crashTail = 1.5; }) << R::Mismatch << "100" << 8
        << "50 200 75"
        << "";
    QTest::newRow("a crash ringing 0.8 s past 2 bars at 81: the beat heard, not a waltz's at 54 that the "
                  "length fits")
        << "loop.wav" << loop(81, 8, [](DrumLoop& l) { l.crashTail = 0.8; }) << R::Mismatch << "81" << 8 << ""
        << "";
    QTest::newRow("the same, each hit rustling 16 ms before it strikes: still the bars before the tail")
        << "loop.wav"
        << loop(100, 8,
                [](DrumLoop& l) {
                    l.crashTail = 1.5;
                    l.attack = 0.016;
                })
        << R::Mismatch << "100" << 8 << ""
        << "";
    QTest::newRow("4 bars at 62 ringing 1.2 s on: their beat, not 124, its half and double offered")
        << "loop.wav" << loop(62, 16, [](DrumLoop& l) { l.crashTail = 1.2; }) << R::Mismatch << "62" << 16
        << "31 124"
        << "";
    QTest::newRow("a bar at 104 ringing 1.4 s on: the line's 104, not the 104.25 its ringing halves give")
        << "loop.wav" << loop(104, 4, [](DrumLoop& l) { l.crashTail = 1.4; }) << R::Mismatch << "104" << 4
        << ""
        << "";
    QTest::newRow("a bar of funk at 88 ringing 1.3 s on: 88, the 88.25 its few hits give offered")
        << "loop.wav"
        << loop(88, 4,
                [](DrumLoop& l) {
                    l.funk = true;
                    l.crashTail = 1.3;
                })
        << R::Mismatch << "88" << 4 << "88.25"
        << "";
    QTest::newRow("a bar at 143.5 ringing 1.3 s on: not 143.3333")
        << "loop.wav" << loop(143.5, 4, [](DrumLoop& l) { l.crashTail = 1.3; }) << R::Mismatch << "143.5" << 4
        << ""
        << "";
    QTest::newRow("2 bars at 137.25 ringing 1.3 s on, their hits a twelfth of a BPM off: 137.25 offered")
        << "loop.wav" << loop(137.25, 8, [](DrumLoop& l) { l.crashTail = 1.3; }) << R::Mismatch << "137.3333"
        << 8 << "137.25"
        << "";
    QTest::newRow("2 bars at 97.5 ringing 1.2 s on, measured from their hits: a whole BPM beside offered")
        << "loop.wav" << loop(97.5, 8, [](DrumLoop& l) { l.crashTail = 1.2; }) << R::Mismatch << "97.5" << 8
        << "48.75 195 97"
        << "";
    QTest::newRow(
        "2 bars of funk at 146, a crash ringing on: not told at the kicks' dotted quarters, its half offered")
        << "loop.wav"
        << loop(146, 8,
                [](DrumLoop& l) {
                    l.funk = true;
                    l.crashTail = 1.5;
                })
        << R::Mismatch << "146" << 8 << "73"
        << "";
    QTest::newRow("4 bars of funk at 81 ringing 1.48 s on: the bars, not 24 beats at 108 over the ring")
        << "loop.wav"
        << loop(81, 16,
                [](DrumLoop& l) {
                    l.funk = true;
                    l.crashTail = 1.48;
                })
        << R::Mismatch << "81" << 16 << ""
        << "";
    QTest::newRow("2 bars at 120 under a loud ride's wash: its hits still a beat, no tone")
        << "loop.wav" << loop(120, 8, [](DrumLoop& l) { l.wash = 0.45; }) << R::Loop << "120" << 8 << ""
        << "";
    QTest::newRow("4 bars at 174 whose every hit rustles 16 ms before it strikes: not halved")
        << "loop.wav" << loop(174, 16, [](DrumLoop& l) { l.attack = 0.016; }) << R::Loop << "174" << 16 << ""
        << "";
    QTest::newRow("15 s take at 133.3333: no loop of 128, however round its length")
        << "loop.wav" << loop(133 + 1.0 / 3, 0, [](DrumLoop& l) { l.seconds = 15; }) << R::Estimate
        << "133.3333" << 0 << ""
        << "";
    QTest::newRow("15 s take at 80.3333: exactly its half and double, not the tenths near them")
        << "loop.wav" << loop(80 + 1.0 / 3, 0, [](DrumLoop& l) { l.seconds = 15; }) << R::Estimate
        << "80.3333" << 0 << "40.1667 160.6667"
        << "";
    QTest::newRow("16.3 s take at 120: its half and double, no loop readings")
        << "loop.wav" << loop(120, 0, [](DrumLoop& l) { l.seconds = 16.3; }) << R::Estimate << "120" << 0
        << "60 240"
        << "";
    // What a file says of itself comes first, and the dialog shows how far the length is off.
    QTest::newRow("an ACID chunk at 100 on a loop 30 ms long: 100, the length off")
        << "loop.wav"
        << loop(100, 8,
                [](DrumLoop& l) {
                    l.trim = 0.03;
                    l.acidTempo = 100;
                    l.acidBeats = 8;
                })
        << R::Acid << "100" << 8 << "50 200"
        << "";
    QTest::newRow("a one-shot's ACID chunk at 100 is no loop's: the sound's own 90")
        << "loop.wav"
        << loop(90, 8,
                [](DrumLoop& l) {
                    l.acidTempo = 100;
                    l.acidOneShot = true;
                })
        << R::Loop << "90" << 8 << ""
        << "";
    QTest::newRow("named Break 122BPM, 30 ms long: the name's 122, the length off")
        << "Break 122BPM.wav" << loop(122, 8, [](DrumLoop& l) { l.trim = 0.03; }) << R::Name << "122" << 8
        << "61 244"
        << "121.077";
    QTest::newRow("named Break 122BPM, but a bar at 90: no whole beats at 122 fit its length")
        << "Break 122BPM.wav" << loop(90, 4, plain) << R::Loop << "90" << 4 << ""
        << "";
    QTest::newRow("loop points around 2 bars at 120 in 6 s: the part between them")
        << "loop.wav"
        << loop(120, 0,
                [](DrumLoop& l) {
                    l.seconds = 6;
                    l.loopStart = 22050;
                    l.loopEnd = 22050 + 4 * 44100;
                })
        << R::Loop << "120" << 8 << ""
        << "";
}

void TestSampleTempo::choice()
{
    QFETCH(QString, file);
    QFETCH(DrumLoop, loop);
    const korvo::sample::Analysis a = korvo::sample::analyseFile(write(loop, file).toStdString());
    QCOMPARE(a.failure, korvo::sample::Failure::None);
    QCOMPARE(a.frames, qint64(korvo::test::drumSignal(loop).size()));
    QTEST(a.choice.reason, "reason");
    QTEST(q(a.choice.text), "tempo");
    QTEST(a.choice.beats, "beats");
    QStringList others;
    for (const korvo::sample::TempoCandidate& c : a.choice.others) {
        others << q(c.text);
        // Takes are read by their beat alone, never as 64 beats at some odd tempo.
        if (a.choice.reason == korvo::sample::ChoiceReason::Estimate)
            QCOMPARE(c.beats, 0);
    }
    QVERIFY(others.size() <= 4);
    QFETCH(QString, offered);
    for (const QString& reading : offered.split(' ', Qt::SkipEmptyParts))
        QVERIFY2(others.contains(reading), qPrintable(reading + " not among " + others.join(' ')));
    QFETCH(QString, first);
    if (!first.isEmpty())
        QCOMPARE(others.value(0), first);
}

// Onsets of a groove on sixteenths, one character a step (x: a hit), each pattern repeating at its own
// length: a kick mostly low, a snare mostly high, a faint hi-hat. A snare marked l peaks 25 ms late, as
// a clap's second peak may, and stronger than the kick under it; a hi-hat marked o is open, its noise
// rising more than a kick does.
static korvo::sample::OnsetSignal groove(double bpm, const char* kicks, const char* snares, const char* hats,
                                         double seconds)
{
    korvo::sample::OnsetSignal onsets;
    onsets.rate = 200;
    onsets.level = 100;
    const auto n = static_cast<std::size_t>(seconds * onsets.rate);
    onsets.strength.assign(n, 0.0f);
    onsets.lowShare.assign(n, 0);
    for (int step = 0;; ++step) {
        const auto i = static_cast<std::size_t>(std::lround(step * 15.0 / bpm * onsets.rate));
        if (i >= n)
            break;
        const auto at = [step](const char* pattern) { return pattern[step % std::strlen(pattern)]; };
        onsets.strength[i] = at(kicks) == 'x' || at(snares) == 'x' ? 10.0f
                             : at(hats) == 'o'                     ? 14.0f
                             : at(hats) == 'x'                     ? 2.0f
                                                                   : 0.0f;
        onsets.lowShare[i] = at(kicks) == 'x' ? 204 : at(snares) == 'x' ? 25 : 0;
        if (const std::size_t late = i + 5; at(snares) == 'l' && late < n) {
            onsets.strength[late] = 12.0f;
            onsets.lowShare[late] = 25;
        }
    }
    onsets.nearby = onsets.strength;
    onsets.nearbySums.assign(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i > 2 ? i - 2 : 0; j < std::min(n, i + 3); ++j)
            onsets.nearby[i] = std::max(onsets.nearby[i], onsets.strength[j]);
        onsets.nearbySums[i + 1] = onsets.nearbySums[i] + onsets.nearby[i];
    }
    return onsets;
}

void TestSampleTempo::backbeat_data()
{
    // 20 s at 120 of a kick and a snare taking turns on the beat, a faint hi-hat between, on a grid of
    // `times` the beat from `phase` beats in; "turns" whether it scores above 0.4.
    QTest::addColumn<double>("times");
    QTest::addColumn<double>("phase");
    QTest::addColumn<bool>("turns");
    QTest::newRow("at the beat, from the snare") << 1.0 << 1.0 << true;
    QTest::newRow("twice as fast: hits and the faint notes between") << 2.0 << 0.0 << false;
    QTest::newRow("half as fast, on the kicks") << 0.5 << 0.0 << false;
}

void TestSampleTempo::backbeat()
{
    QFETCH(double, times);
    QFETCH(double, phase);
    const korvo::sample::OnsetSignal onsets =
        groove(120, "x.......x.......", "....x.......x...", "..x...x...x...x.", 20);
    const double turns = korvo::sample::backbeat(onsets, 0.5 / times, 0.5 * phase, 0, 20);
    QTEST(turns > 0.4, "turns");
}

void TestSampleTempo::fittedGrid()
{
    // Of the many grids within 3 % either side that meet every hit of a bar at 180, its own.
    const auto onsets =
        groove(180, "x.......x.x.....", "....x.......x...", "x.x.x.x.x.x.x.x.", 60 * 4 / 180.0);
    QCOMPARE(std::lround(korvo::sample::fitGrid(onsets, 180, 0.03, 0, 60 * 4 / 180.0).bpm), 180L);
}

void TestSampleTempo::grooveChoice_data()
{
    // A groove at `bpm` with hi-hats on every sixteenth: 17.3 s of it is a take, whole bars a loop.
    QTest::addColumn<double>("bpm");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("kicks");
    QTest::addColumn<QString>("snares");
    QTest::addColumn<QString>("hats");
    const QString backbeat = "....x.......x...";
    const QString sixteenths = "xxxxxxxxxxxxxxxx";
    QTest::newRow("take, kicks on one and three")
        << 128.0 << 17.3 << "x.......x......." << backbeat << sixteenths;
    QTest::newRow("take, kicks three sixteenths apart, not heard a dotted quarter apart")
        << 128.0 << 17.3 << "x..x..x..x..x..." << backbeat << sixteenths;
    QTest::newRow("take, kicks three sixteenths apart, not heard a dotted eighth apart")
        << 97.0 << 17.3 << "x..x..x..x..x..." << backbeat << sixteenths;
    QTest::newRow("4 bars at 80 on sixteenths")
        << 80.0 << 12.0 << "x.....x...x....." << backbeat << sixteenths;
    QTest::newRow("4 bars of four on the floor at 80, open hi-hats between: not doubled")
        << 80.0 << 60 * 16 / 80.0 << "x...x...x...x..."
        << "..x.x.x...x.x.x." << sixteenths;
    QTest::newRow("2 bars of disco at 86, open hi-hats on the off-beats louder than the kicks: not doubled")
        << 86.0 << 60 * 8 / 86.0 << "x...x...x...x..." << backbeat << "x.o.x.o.x.o.x.o.";
    QTest::newRow("2 bars of rock at 190 on eighths: not halved")
        << 190.0 << 60 * 8 / 190.0 << "x.......x.x....." << backbeat << "x.x.x.x.x.x.x.x.";
    QTest::newRow("4 bars in half time at 160, the snare on three: not halved")
        << 160.0 << 6.0 << "x.....x...x....."
        << "........x......." << sixteenths;
    // 3/4: the snare on three, kicks on one (and on the and of two), hi-hats on the beats or the eighths.
    const QString three = "........x...", kickAndTwo = "x.....x.....", eighths = "x.x.x.x.x.x.";
    QTest::newRow("take in 3/4 at 180, heard a bar at a time: not 60")
        << 180.0 << 17.3 << "x..........." << three << "x...x...x...";
    QTest::newRow("2 bars of 3/4 at 136: not 4 beats at 90.6667")
        << 136.0 << 60 * 6 / 136.0 << kickAndTwo << three << eighths;
    QTest::newRow("take in 3/4 at 146: not 97.3333") << 146.0 << 17.3 << kickAndTwo << three << eighths;
    QTest::newRow("take in 3/4 at 140, a fill closing every fourth bar: not halved")
        << 140.0 << 19.0 << kickAndTwo << three + three + three + "x.x.x.x.x.x." << eighths;
    QTest::newRow("4 bars of 3/4 at 175: not halved")
        << 175.0 << 60 * 12 / 175.0 << kickAndTwo << three << eighths;
    QTest::newRow("2 bars at 62 on eighths, nothing between them: not doubled")
        << 62.0 << 60 * 8 / 62.0 << "x.......x.x....." << backbeat << "x.x.x.x.x.x.x.x.";
    QTest::newRow("a bar of a break at 88, its first grid's tempo well off: still a beat")
        << 88.0 << 60 * 4 / 88.0 << "x.x.......xx...."
        << "....x..x.x..x..x" << sixteenths;
    QTest::newRow("4 bars at 120 cut 18 ms short, kicks five sixteenths apart: a loop, not a take at 96")
        << 120.0 << 60 * 16 / 120.0 - 0.018 << "x....x....x....." << backbeat << sixteenths;
    QTest::newRow("4 bars at 150 cut 11 ms long, late strong claps in the last two: not 149.5")
        << 150.0 << 60 * 16 / 150.0 + 0.011 << "x...x...x...x..."
        << "....x.......x.......x.......x.......l.......l.......l.......l..."
        << "..x...x...x...x.";
}

void TestSampleTempo::grooveChoice()
{
    QFETCH(double, bpm);
    QFETCH(double, seconds);
    QFETCH(QString, kicks);
    QFETCH(QString, snares);
    QFETCH(QString, hats);
    const korvo::sample::OnsetSignal onsets =
        groove(bpm, qPrintable(kicks), qPrintable(snares), qPrintable(hats), seconds);
    korvo::sample::TempoEvidence e;
    e.sampleRate = 44100;
    e.frames = e.soundEnd = std::llround(seconds * e.sampleRate);
    e.onsets = &onsets;
    const korvo::sample::TempoChoice c = korvo::sample::chooseTempo(e);
    using R = korvo::sample::ChoiceReason;
    QCOMPARE(c.reason, seconds > 16 ? R::Estimate : R::Loop);
    QCOMPARE(q(c.text), QString::number(bpm));
}

void TestSampleTempo::failures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // "loop", "silent" and "short" are generated
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty file") << "empty.wav" << QByteArray() << "音が入っていません（長さが0です）。";
    QTest::newRow("text renamed .wav")
        << "notes.wav" << QByteArray("120 BPM, four bars\n") << "対応していないファイル形式です。";
    QTest::newRow("WAV cut in its sound data")
        << "cut.wav" << QByteArray("cut-data") << "ファイルが壊れているか、途中で切れています。";
    QTest::newRow("WAV cut in its header")
        << "header.wav" << QByteArray("cut-header") << "ファイルが壊れているか、途中で切れています。";
    QTest::newRow("WAV whose data chunk claims more than the file holds")
        << "long.wav" << QByteArray("long-data") << "ファイルが壊れているか、途中で切れています。";
    QTest::newRow("AIFF whose sound chunk claims more than the file holds")
        << "long.aiff" << QByteArray("long-data") << "ファイルが壊れているか、途中で切れています。";
    // The stream information says how many frames there are.
    QTest::newRow("FLAC cut in half")
        << "cut.flac" << QByteArray("cut-half") << "ファイルが壊れているか、途中で切れています。";
    // The Xing frame LAME writes first says how many frames there are.
    QTest::newRow("MP3 cut in half") << "cut.mp3" << QByteArray("cut-half")
                                     << "ファイルが壊れているか、途中で切れています。";
    // The formats a build without the codecs lacks are told from damaged files by their first bytes.
    QTest::newRow("FLAC, read by a build without FLAC")
        << "loop.flac" << QByteArray("without-flac") << "対応していないファイル形式です。";
    QTest::newRow("FLAC's marker before bytes of no stream")
        << "marker.flac" << QByteArray("fLaC and then no stream information")
        << "ファイルが壊れているか、途中で切れています。";
    QTest::newRow("silent WAV") << "silence.wav" << QByteArray("silent") << "無音です。";
    QTest::newRow("a tenth of a second") << "blip.wav" << QByteArray("short") << "短すぎます（0.24秒未満）。";
    QTest::newRow("a steady tone has no beat")
        << "tone.wav" << QByteArray("tone") << "拍が見つかりませんでした（持続音や雑音のようです）。";
    QTest::newRow("dither alone is silence") << "dither.wav" << QByteArray("dither") << "無音です。";
    QTest::newRow("missing file") << "gone.wav" << QByteArray("missing") << "ファイルを開けません。";
    QTest::newRow("a folder") << "folder.wav" << QByteArray("folder") << "ファイルを開けません。";
}

void TestSampleTempo::failures()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QString path = m_dir->filePath(name);
    DrumLoop loop;
    loop.beats = 8;
    if (content == "silent") {
        loop.bpm = 120;
        write(loop, name);
        // Overwrite the sound with zeros after the 44-byte header.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qint64 size = file.size();
        QVERIFY(file.seek(44));
        QVERIFY(file.write(QByteArray(size - 44, '\0')) == size - 44);
    } else if (content == "short") {
        loop.beats = 0;
        loop.seconds = 0.1;
        write(loop, name);
    } else if (content == "tone" || content == "dither") {
        loop.beats = 0;
        loop.seconds = 4;
        loop.sound = content == "tone" ? DrumLoop::Sound::Tone : DrumLoop::Sound::Dither;
        write(loop, name);
    } else if (content == "cut-half") {
        write(loop, name);
        QVERIFY(QFile::resize(path, QFileInfo(path).size() / 2));
    } else if (content == "without-flac") {
        write(loop, name);
        korvo::sample::setReadsFormat([](int major) { return major != SF_FORMAT_FLAC; });
    } else if (content.startsWith("cut-")) {
        write(loop, name);
        QVERIFY(QFile::resize(path, content == "cut-data" ? 100000 : 30));
    } else if (content == "long-data") {
        // The container's size stays right; the chunk of sound claims a thousand bytes more than follow.
        const bool aiff = name.endsWith(".aiff");
        write(loop, name);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray bytes = file.readAll();
        const qsizetype chunk = bytes.indexOf(aiff ? "SSND" : "data"); // the header comes first
        QVERIFY(chunk > 0);
        QVERIFY(file.seek(chunk + 4));
        const quint32 claimed = quint32(bytes.size() - chunk - 8 + 1000);
        char size[4];
        if (aiff)
            qToBigEndian(claimed, size);
        else
            qToLittleEndian(claimed, size);
        QCOMPARE(file.write(size, 4), 4);
    } else if (content == "folder") {
        QVERIFY(QDir(m_dir->path()).mkdir(name));
    } else if (content != "missing") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    }

    QWidget window;
    korvo::SampleTempo reader(&window);
    QSignalSpy chosen(&reader, &korvo::SampleTempo::tempoChosen);
    QSignalSpy finished(&reader, &korvo::SampleTempo::finished);
    reader.read(0, path);
    QVERIFY(finished.wait(20000));

    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->beeps, 1);
    const korvo::Message& message = m_platform->messages[0];
    QCOMPARE(message.icon, korvo::Message::Icon::Exclamation);
    QCOMPARE(message.title, QString("サンプルのテンポ"));
    QFETCH(QString, reason);
    QCOMPARE(message.text, name + " のテンポを読み取れませんでした。\n" + reason);
    QVERIFY(!reader.dialog());
    QCOMPARE(chosen.size(), 0);
}

void TestSampleTempo::wildFloats()
{
    // A float file may hold anything: its overs read clipped, infinities and NaNs as nothing, and its
    // beat stands.
    DrumLoop loop;
    loop.beats = 8;
    const std::string path = m_dir->filePath("wild.wav").toStdString();
    QVERIFY(korvo::test::writeDrumLoop(path, loop, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_RDWR, &info);
    const float inf = std::numeric_limits<float>::infinity();
    const float wild[] = {7.5f, -inf, std::nanf(""), inf, -3.0f, 1.5f};
    for (const sf_count_t at : {20000, 61000, 100000})
        QVERIFY(file && sf_seek(file, at, SEEK_SET) == at && sf_writef_float(file, wild, 3) == 3);
    QCOMPARE(sf_close(file), 0);
    const korvo::sample::Analysis a = korvo::sample::analyseFile(path);
    QCOMPARE(q(a.choice.text) + ' ' + QString::number(a.choice.beats), QString("120 8"));
}

void TestSampleTempo::tempoInName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("tempo"); // 0: none
    QTest::newRow("number then bpm") << "120bpm_loop.wav" << 120.0;
    QTest::newRow("a decimal point and a space") << "Loop - 97.5 BPM.wav" << 97.5;
    QTest::newRow("a decimal comma") << "Loop 97,5 BPM.wav" << 97.5;
    QTest::newRow("underscores") << "drums_174_bpm.flac" << 174.0;
    QTest::newRow("capitals, no separator") << "Break 122BPM.aiff" << 122.0;
    QTest::newRow("bpm then number") << "bpm120.wav" << 120.0;
    QTest::newRow("bpm, underscore, number") << "drums_bpm_90_take2.wav" << 90.0;
    QTest::newRow("a space") << "120 bpm" << 120.0;
    QTest::newRow("a hyphen") << "120-BPM.wav" << 120.0;
    QTest::newRow("mixed case") << "Groove 86Bpm.wav" << 86.0;
    QTest::newRow("a number on each side: the one before") << "120bpm_4bars.wav" << 120.0;
    QTest::newRow("two tempos: the last") << "Break 122BPM 130bpm.wav" << 130.0;
    QTest::newRow("Japanese around it") << "ドラム120BPMループ.wav" << 120.0;
    QTest::newRow("no extension, decimal kept") << "Loop 133.33bpm" << 133.33;
    QTest::newRow("lowest counted") << "20bpm.wav" << 20.0;
    QTest::newRow("highest counted") << "300bpm.wav" << 300.0;
    QTest::newRow("below the range") << "19.5bpm.wav" << 0.0;
    QTest::newRow("above the range") << "999bpm.wav" << 0.0;
    QTest::newRow("just above the range") << "300.5bpm.wav" << 0.0;
    QTest::newRow("bpm without a number") << "x_bpm.wav" << 0.0;
    QTest::newRow("two separators") << "120 _bpm.wav" << 0.0;
    QTest::newRow("bpm inside a longer word") << "120bpms.wav" << 0.0;
    QTest::newRow("bpm only as the extension") << "loop 120.bpm" << 0.0;
    QTest::newRow("a drum machine") << "kick_808.wav" << 0.0;
    QTest::newRow("a year") << "loop_2024.wav" << 0.0;
    QTest::newRow("a sample rate") << "44100.wav" << 0.0;
    QTest::newRow("a take") << "take 3.wav" << 0.0;
    QTest::newRow("a model") << "TR-909.wav" << 0.0;
    QTest::newRow("a bar") << "bar 16.wav" << 0.0;
    QTest::newRow("a tempo-like number without the word") << "120_loop.wav" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
}

void TestSampleTempo::tempoInName()
{
    QFETCH(QString, name);
    QTEST(korvo::sample::tempoInName(name.toStdString()), "tempo");
}

void TestSampleTempo::offsetText_data()
{
    QTest::addColumn<double>("offset");
    QTest::addColumn<QString>("text");
    QTest::newRow("a trim, in milliseconds") << -0.0072 << "16拍（4小節）より7ミリ秒短い";
    QTest::newRow("just under a second") << 0.9994 << "16拍（4小節）より999ミリ秒長い";
    QTest::newRow("a second and more, in seconds to a hundredth") << 3.2436 << "16拍（4小節）より3.24秒長い";
    QTest::newRow("trailing zeros dropped") << 1.5 << "16拍（4小節）より1.5秒長い";
    QTest::newRow("a hundredth that rounds up to a whole second") << 1.9996 << "16拍（4小節）より2秒長い";
    QTest::newRow("the length to the millisecond: nothing to say") << 0.0004 << "";
}

void TestSampleTempo::offsetText()
{
    QFETCH(double, offset);
    korvo::sample::TempoChoice choice;
    choice.beats = 16;
    choice.offset = offset;
    QTEST(korvo::SampleWords::offset(choice), "text");
}

void TestSampleTempo::tempoLine_data()
{
    // A 16-beat loop at 174 with the other readings given as "TEXT/BEATS" (0: not a whole number
    // of beats), printed under a path given as these bytes.
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("others");
    QTest::addColumn<QString>("line");
    const QString loop = "\t5.517秒\t推定 174.05\tテンポ 174\t16拍（4小節）のループ\t";
    QTest::newRow("no other readings: the sixth column is there, empty") << QByteArray("loop.wav") << ""
                                                                         << "loop.wav" + loop;
    QTest::newRow("other readings likeliest first, with their beats")
        << QByteArray("loop.wav") << "87/8 58/4"
        << "loop.wav" + loop + "87 (8拍), 58 (4拍)";
    QTest::newRow("a reading of no whole number of beats shows its tempo alone")
        << QByteArray("loop.wav") << "87/8 116.5/0 58/4 130.5/12"
        << "loop.wav" + loop + "87 (8拍), 116.5, 58 (4拍), 130.5 (12拍)";
    QTest::newRow("a path with a folder, as given") << QByteArray("loops/a.wav") << ""
                                                    << "loops/a.wav" + loop;
    QTest::newRow("Japanese as it is") << QByteArray("ループ.wav") << ""
                                       << "ループ.wav" + loop;
    QTest::newRow("a tab in a name") << QByteArray("a\tb.wav") << ""
                                     << "a\\tb.wav" + loop;
    QTest::newRow("a newline in a name") << QByteArray("a\nb.wav") << ""
                                         << "a\\nb.wav" + loop;
    QTest::newRow("a backslash in a name") << QByteArray("a\\b.wav") << ""
                                           << "a\\\\b.wav" + loop;
    QTest::newRow("byte 0xff, never UTF-8") << QByteArray("a\xff.wav") << ""
                                            << "a\\xff.wav" + loop;
    QTest::newRow("a carriage return, as another control character") << QByteArray("a\rb.wav") << ""
                                                                     << "a\\x0db.wav" + loop;
    QTest::newRow("UTF-8 cut short before a dot: only its bytes are escaped")
        << QByteArray("\xe3\x83.wav") << ""
        << "\\xe3\\x83.wav" + loop;
    QTest::newRow("an overlong slash") << QByteArray("\xc0\xaf.wav") << ""
                                       << "\\xc0\\xaf.wav" + loop;
    QTest::newRow("a surrogate half") << QByteArray("\xed\xa0\x80.wav") << ""
                                      << "\\xed\\xa0\\x80.wav" + loop;
}

void TestSampleTempo::tempoLine()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, others);
    korvo::sample::Analysis a;
    a.frames = 243310;
    a.sampleRate = 44100;
    a.seconds = 243310 / 44100.0;
    a.estimate = 174.049;
    a.choice.reason = korvo::sample::ChoiceReason::Loop;
    a.choice.tempo = 174;
    a.choice.text = "174";
    a.choice.beats = 16;
    for (const QString& other : others.split(' ', Qt::SkipEmptyParts)) {
        korvo::sample::TempoCandidate c;
        c.text = other.section('/', 0, 0).toStdString();
        c.tempo = other.section('/', 0, 0).toDouble();
        c.beats = other.section('/', 1, 1).toInt();
        a.choice.others.push_back(c);
    }
    QTEST(q(korvo::tempoLine(korvo::escapedPath(path.toStdString()), a)), "line");
}

void TestSampleTempo::matchingNames_data()
{
    // A folder's entries, in the order the system lists them, and the ones a wildcard takes.
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("matches");
    QTest::newRow("*.wav takes the WAV files, sorted")
        << "*.wav" << QStringList{"b.wav", "a.wav", "notes.txt", "a.wav.txt"}
        << QStringList{"a.wav", "b.wav"};
    QTest::newRow("letters of either case alike, in the order of their upper case")
        << "*.wav" << QStringList{"Loop.wav", "kick.WAV"} << QStringList{"kick.WAV", "Loop.wav"};
    QTest::newRow("upper case order: an underscore after the letters")
        << "*" << QStringList{"a_b.wav", "ab.wav"} << QStringList{"ab.wav", "a_b.wav"};
    QTest::newRow("? is one character, a Japanese one too")
        << "ループ?.wav" << QStringList{"ループ12.wav", "ループ1.wav", "ループ.wav"}
        << QStringList{"ループ1.wav"};
    QTest::newRow("a star takes dots too")
        << "break*.wav" << QStringList{"break.174.wav", "break.wav.bak"} << QStringList{"break.174.wav"};
    QTest::newRow("a later star gives way: *a?c")
        << "*a?c" << QStringList{"xac", "xabc", "abcabc"} << QStringList{"abcabc", "xabc"};
    QTest::newRow("*.* takes a name without an extension")
        << "*.*" << QStringList{"a.wav", "README"} << QStringList{"a.wav", "README"};
    QTest::newRow("name.* takes the name alone too")
        << "loop.*" << QStringList{"loops.wav", "loop.wav", "loop"} << QStringList{"loop", "loop.wav"};
    QTest::newRow("accented letters of either case alike")
        << "CAFÉ*" << QStringList{"café.wav", "cafe.wav"} << QStringList{"café.wav"};
    QTest::newRow("full-width letters of either case alike, never their half-width ones")
        << "ＢＲＥＡＫ*" << QStringList{"ｂｒｅａｋ.wav", "break.wav"} << QStringList{"ｂｒｅａｋ.wav"};
    QTest::newRow("nothing matches") << "*.flac" << QStringList{"a.wav"} << QStringList{};
    QTest::newRow("an empty folder") << "*" << QStringList{} << QStringList{};
}

void TestSampleTempo::matchingNames()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, names);
    std::vector<std::string> listing;
    for (const QString& name : names)
        listing.push_back(name.toStdString());
    QStringList matched;
    for (const std::string& name : korvo::matchingNames(pattern.toStdString(), listing))
        matched << q(name);
    QTEST(matched, "matches");
}

void TestSampleTempo::tempoCommandNeedsNoDisplay()
{
    DrumLoop loop;
    loop.bpm = 174;
    loop.beats = 16;
    write(loop, "loop.wav");
    // A name outside the ANSI code page reaches the program whole on Windows too.
    QVERIFY(QFile::copy(m_dir->filePath("loop.wav"), m_dir->filePath("ループ.wav")));
    QVERIFY(QDir(m_dir->path()).mkdir("sub"));
    QVERIFY(QFile::copy(m_dir->filePath("loop.wav"), m_dir->filePath("sub/loop.wav")));
    QFile text(m_dir->filePath("notes.wav"));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not sound\n") == 10);
    text.close();
    QStringList files = {"loop.wav", "notes.wav", "ループ.wav", "sub/loop.wav"};
    QStringList shown = files;
    const bool windows = QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows;
    if (!windows) { // only there can a name hold a tab, and a line split on it would shift
        QVERIFY(QFile::copy(m_dir->filePath("loop.wav"), m_dir->filePath("tab\there.wav")));
        files << "tab\there.wav";
        shown << "tab\\there.wav";
    }
    // There the program expands wildcards itself, in a path's last part; the folder stays as typed.
    QStringList nothingMatches;
    if (windows) {
        files << "sub\\*.WAV";
        shown << "sub\\loop.wav";
        nothingMatches << "*.flac";
    }

    QProcess korvo;
    withoutDisplay(korvo);
    korvo.setWorkingDirectory(m_dir->path());
    korvo.start(KORVO_EXECUTABLE, QStringList("--tempo") + files + nothingMatches);
    QVERIFY(korvo.waitForFinished(20000));
    // Text lines end as the system's do: CR LF on Windows.
    const QString end = windows ? "\r\n" : "\n";
    const QString output = QString::fromUtf8(korvo.readAllStandardOutput());
    QVERIFY(output.endsWith(end));
    const QStringList lines = output.split(end, Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), files.size());
    for (int i = 0; i < lines.size(); ++i) {
        if (files[i] == "notes.wav") {
            QCOMPARE(lines[i], QString("notes.wav\t読み取れません: 対応していないファイル形式です。"));
            continue;
        }
        // The sixth column, the other readings, is tempoLine()'s.
        QCOMPARE(lines[i].count('\t'), 5);
        QCOMPARE(lines[i].section('\t', 0, 4),
                 shown[i] + "\t5.517秒\t推定 174\tテンポ 174\t16拍（4小節）のループ");
    }
    if (windows)
        QCOMPARE(QString::fromUtf8(korvo.readAllStandardError()),
                 "korvo: *.flac に一致するファイルがありません。" + end);
    QCOMPARE(korvo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(korvo.exitCode(), 1); // one file could not be read
}

void TestSampleTempo::tempoCommandReportsAFailedWrite()
{
    if (!QFile::exists("/dev/full"))
        QSKIP("needs Linux's /dev/full, where every write fails for want of space");
    DrumLoop loop;
    loop.bpm = 174;
    loop.beats = 16;
    write(loop, "loop.wav");
    QProcess korvo;
    korvo.setWorkingDirectory(m_dir->path());
    korvo.setStandardOutputFile("/dev/full");
    korvo.start(KORVO_EXECUTABLE, {"--tempo", "loop.wav"});
    QVERIFY(korvo.waitForFinished(20000));
    QCOMPARE(korvo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(korvo.exitCode(), 1); // the file itself reads
    QCOMPARE(QString::fromUtf8(korvo.readAllStandardError()),
             QString("korvo: 結果を書き出せませんでした。\n"));
}

void TestSampleTempo::tempoCommandKeepsEveryByteOfAName()
{
    if (QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows)
        QSKIP("a Windows file name is always Unicode");
    DrumLoop loop;
    loop.bpm = 174;
    loop.beats = 16;
    write(loop, "loop.wav");
    // "café" in Latin-1, as an old archive leaves it: no UTF-8, and no QString can hold it, so the
    // shell names it to the program, and the test removes it, however it ends (QTemporaryDir cannot).
    struct Copy
    {
        std::filesystem::path path;
        ~Copy()
        {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
        }
    } copy{m_dir->path().toStdString() + "/caf\xe9.wav"};
    QVERIFY(std::filesystem::copy_file(m_dir->filePath("loop.wav").toStdString(), copy.path));
    QProcess korvo;
    korvo.setWorkingDirectory(m_dir->path());
    korvo.start("/bin/sh", {"-c", R"sh(exec "$0" --tempo "$(printf 'caf\351.wav')")sh", KORVO_EXECUTABLE});
    QVERIFY(korvo.waitForFinished(20000));
    QVERIFY(QString::fromUtf8(korvo.readAllStandardOutput()).startsWith("caf\\xe9.wav\t5.517秒\t推定 174"));
    QCOMPARE(korvo.exitCode(), 0);
}

void TestSampleTempo::commandLineWithoutWindow_data()
{
    // The arguments, the exit status, the first line of standard output (empty: none) and standard
    // error's line (empty: none).
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QString usage = "使い方: korvo [オプション] [FILE]";
    const QString version = QString("Korvo ") + KORVO_VERSION_TEXT;
    QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << "";
    QTest::newRow("-h after a Qt option and its value")
        << QStringList{"-platform", "offscreen", "-h"} << 0 << usage << "";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << version << "";
    QTest::newRow("an unknown option before a file")
        << QStringList{"--bogus", "loop.wav"} << 2 << ""
        << "korvo: 不明なオプションです: --bogus（使い方は korvo --help）";
    QTest::newRow("an unknown letter among --tempo's files")
        << QStringList{"--tempo", "loop.wav", "-x"} << 2 << ""
        << "korvo: 不明なオプションです: -x（使い方は korvo --help）";
    QTest::newRow("a value given to an option that takes none")
        << QStringList{"--version=2"} << 2 << ""
        << "korvo: オプションの値の指定が正しくありません（使い方は korvo --help）";
    QTest::newRow("two files for the window")
        << QStringList{"a.wav", "b.wav"} << 2 << ""
        << "korvo: ウィンドウで開けるファイルは一つだけです。"
           "複数のファイルのテンポは korvo --tempo FILE... で表示できます。";
    QTest::newRow("--tempo without a file")
        << QStringList{"--tempo"} << 2 << ""
        << "korvo: --tempo のあとに音声ファイルを指定してください（korvo --tempo FILE...）";
}

void TestSampleTempo::commandLineWithoutWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcess korvo;
    withoutDisplay(korvo);
    korvo.start(KORVO_EXECUTABLE, arguments);
    QVERIFY(korvo.waitForFinished(20000));
    const QString end =
        QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows ? "\r\n" : "\n";
    QCOMPARE(QString::fromUtf8(korvo.readAllStandardOutput()).section(end, 0, 0), out);
    QCOMPARE(QString::fromUtf8(korvo.readAllStandardError()), err.isEmpty() ? err : err + end);
    QCOMPARE(korvo.exitStatus(), QProcess::NormalExit);
    QTEST(korvo.exitCode(), "status");
}

void TestSampleTempo::slowReadingShowsProgressAndStops()
{
    DrumLoop loop;
    loop.seconds = 30; // 162 pieces of 20 ms: several seconds
    const QString file = write(loop, "long.wav");
    QWidget window;
    korvo::SampleTempo reader(&window);
    // As a long file on a slow machine reads: 20 ms a piece.
    reader.setPieceHook([](double) {
        QThread::msleep(20);
        return true;
    });
    QSignalSpy finished(&reader, &korvo::SampleTempo::finished);
    reader.read(1, file);

    // After a moment the progress shows, moving, in a window that leaves the others usable.
    QTRY_VERIFY_WITH_TIMEOUT(reader.progressDialog() && reader.progressDialog()->isVisible(), 5000);
    QCOMPARE(reader.progressDialog()->windowModality(), Qt::NonModal);
    QTRY_VERIFY(reader.progressDialog()->value() > 0);
    QVERIFY(finished.isEmpty());
    // A screen reader says what the percentage is of.
    auto* bar = reader.progressDialog()->findChild<QProgressBar*>();
    QVERIFY(bar);
    QAccessibleInterface* barIface = QAccessible::queryAccessibleInterface(bar);
    QVERIFY(!barIface->text(QAccessible::Name).isEmpty());
    QCOMPARE(barIface->text(QAccessible::Value).toInt(), reader.progressDialog()->value());

    QPushButton* stop = reader.progressDialog()->findChild<QPushButton*>();
    QCOMPARE(stop->text(), QString("中止"));
    QTest::mouseClick(stop, Qt::LeftButton);
    QVERIFY(finished.wait(5000));
    QVERIFY(!reader.busy());
    QVERIFY(!reader.progressDialog());
    QVERIFY(!reader.dialog());
    QVERIFY(m_platform->messages.isEmpty());
}

void TestSampleTempo::dialogShowsWhereTheFocusIs()
{
    korvo::SampleTempoDialog dialog("loop.wav", fourBarsAt174(), 0, nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), dialog.candidateList());

    // Tab round the dialog: each control the focus comes to must look different from a moment
    // before, the OK button too, which as the default button is marked before it has the focus.
    QList<QWidget*> controls{dialog.candidateList()};
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        controls << b;
    QCOMPARE(controls.size(), 3);
    const auto look = [&controls] {
        QList<QImage> images;
        for (QWidget* w : controls)
            images << w->grab().toImage();
        return images;
    };
    // In the list the mark must be plain to see: the current reading in the highlight colour while
    // the list has the focus, and only then.
    QTreeWidget* list = dialog.candidateList();
    const QColor highlight = QApplication::palette().color(QPalette::Active, QPalette::Highlight);
    const auto currentInHighlight = [list, &highlight] {
        const QRect row = list->visualItemRect(list->currentItem());
        const QColor drawn = list->viewport()->grab().toImage().pixelColor(row.left() + 1, row.center().y());
        // The style shades a selection a little.
        return std::abs(drawn.red() - highlight.red()) + std::abs(drawn.green() - highlight.green()) +
                   std::abs(drawn.blue() - highlight.blue()) <
               16;
    };
    QVERIFY(currentInHighlight());
    QStringList reached, unmarked;
    QList<QImage> before = look();
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const QList<QImage> now = look();
        const int focused = int(controls.indexOf(QApplication::focusWidget()));
        QVERIFY(focused >= 0);
        reached << controls[focused]->objectName();
        if (now[focused] == before[focused])
            unmarked << controls[focused]->objectName();
        QCOMPARE(currentInHighlight(), list->hasFocus());
        before = now;
    }
    QCOMPARE(QApplication::focusWidget(), dialog.candidateList());
    reached.sort();
    QCOMPARE(reached, QStringList({"cancel", "candidates", "ok"}));
    QVERIFY2(unmarked.isEmpty(), qPrintable("no focus shown: " + unmarked.join(", ")));
}

#include "testmain.h"
KORVO_TEST_MAIN(TestSampleTempo)
#include "tst_sampletempo.moc"
