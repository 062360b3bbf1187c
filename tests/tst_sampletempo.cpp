#include "drumloop.h"
#include "fakeplatform.h"
#include "sample/sampleanalysis.h"
#include "sample/sampletempo.h"
#include "windowtest.h"

#include <QDir>
#include <QFile>
#include <QOperatingSystemVersion>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <cmath>
#include <memory>

using korvo::test::DrumLoop;
Q_DECLARE_METATYPE(DrumLoop)

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
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
    void failures_data();
    void failures();
    void tempoCommandNeedsNoDisplay();
    void slowReadingShowsProgressAndStops();

private:
    QString write(const DrumLoop& loop, const QString& name);
};

void TestSampleTempo::init()
{
    startWindowTest();
}

void TestSampleTempo::cleanup()
{
    endWindowTest();
}

QString TestSampleTempo::write(const DrumLoop& loop, const QString& name)
{
    const QString path = m_dir->filePath(name);
    if (!korvo::test::writeDrumLoop(path.toStdString(), loop))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestSampleTempo::choice_data()
{
    // A generated drum loop, read as a dropped file is. "tempo" is the text written into the entry,
    // "beats" the reading's (0: a tempo heard in the beat), "offered" readings that must stand among
    // the others, in any order, and "first" the one that must come first among them (empty: any).
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
    QTest::newRow("2 bars at 90") << loop(90, 8, plain) << R::Loop << "90" << 8 << "45 180"
                                  << "";
    QTest::newRow("4 bars at 174: not halved to 87") << loop(174, 16, plain) << R::Loop << "174" << 16 << "87"
                                                     << "";
    QTest::newRow("2 bars at 133.3333: thirds before a third decimal")
        << loop(133.3333, 8, plain) << R::Loop << "133.3333" << 8 << "66.6667"
        << "";
    QTest::newRow("2 bars at 87.25 to the frame: the quarter stands")
        << loop(87.25, 8, plain) << R::Loop << "87.25" << 8 << ""
        << "";
    QTest::newRow("one bar at 80: not doubled to 160") << loop(80, 4, plain) << R::Loop << "80" << 4 << "160"
                                                       << "";
    QTest::newRow("backbeat at 140, a kick on one only: not halved")
        << loop(140, 8, [](DrumLoop& l) { l.backbeat = true; }) << R::Loop << "140" << 8 << "70"
        << "";
    QTest::newRow("swung 2 bars at 95")
        << loop(95, 8, [](DrumLoop& l) { l.swing = 0.62; }) << R::Loop << "95" << 8 << ""
        << "";
    QTest::newRow("4 bars of 3/4 at 160: 12 beats, the 4/4 reading one click away")
        << loop(160, 12, [](DrumLoop& l) { l.beatsPerBar = 3; }) << R::Loop << "160" << 12 << "106.6667"
        << "";
    QTest::newRow("2 bars of 3/4 at 90: 6 beats")
        << loop(90, 6, [](DrumLoop& l) { l.beatsPerBar = 3; }) << R::Loop << "90" << 6 << ""
        << "";
    QTest::newRow("48 kHz mono, 2 bars at 120") << loop(120, 8,
                                                        [](DrumLoop& l) {
                                                            l.sampleRate = 48000;
                                                            l.channels = 1;
                                                        })
                                                << R::Loop << "120" << 8 << ""
                                                << "";
    QTest::newRow("trimmed 5 ms long: 120 first, the exact length next")
        << loop(120, 8, [](DrumLoop& l) { l.trim = 0.005; }) << R::Loop << "120" << 8 << "119.85"
        << "119.85";
    QTest::newRow("trimmed 12 ms short: 120")
        << loop(120, 8, [](DrumLoop& l) { l.trim = -0.012; }) << R::Loop << "120" << 8 << ""
        << "";
    QTest::newRow("87.25 trimmed 10 ms long: the onsets keep it from 87")
        << loop(87.25, 8, [](DrumLoop& l) { l.trim = 0.01; }) << R::Loop << "87.25" << 8 << ""
        << "";
    QTest::newRow("40 ms of silence before 4 bars at 128")
        << loop(128, 16, [](DrumLoop& l) { l.silenceBefore = 0.04; }) << R::Loop << "128" << 16 << ""
        << "";
    QTest::newRow("50 ms of silence after 2 bars at 120: the beat's tempo, the length off")
        << loop(120, 8, [](DrumLoop& l) { l.silenceAfter = 0.05; }) << R::Mismatch << "120" << 8 << ""
        << "";
    QTest::newRow("a crash ringing 1.5 s past 2 bars at 100: the beat's tempo")
        << loop(100, 8, [](DrumLoop& l) { l.crashTail = 1.5; }) << R::Estimate << "100" << 0 << "50 200"
        << "";
    QTest::newRow("16.3 s take at 120: its half and double, no loop readings")
        << loop(120, 0, [](DrumLoop& l) { l.seconds = 16.3; }) << R::Estimate << "120" << 0 << "60 240"
        << "";
}

void TestSampleTempo::choice()
{
    QFETCH(DrumLoop, loop);
    const QString file = write(loop, "loop.wav");
    const korvo::sample::Analysis a = korvo::sample::analyseFile(file.toStdString());
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
    } else if (content.startsWith("cut-")) {
        write(loop, name);
        QVERIFY(QFile::resize(path, content == "cut-data" ? 100000 : 30));
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

void TestSampleTempo::tempoCommandNeedsNoDisplay()
{
    DrumLoop loop;
    loop.bpm = 174;
    loop.beats = 16;
    write(loop, "loop.wav");
    // A name outside the ANSI code page reaches the program whole on Windows too.
    QVERIFY(QFile::copy(m_dir->filePath("loop.wav"), m_dir->filePath("ループ.wav")));
    QFile text(m_dir->filePath("notes.wav"));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not sound\n") == 10);
    text.close();

    QProcess korvo;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    korvo.setProcessEnvironment(environment);
    korvo.setWorkingDirectory(m_dir->path());
    korvo.start(KORVO_EXECUTABLE, {"--tempo", "loop.wav", "notes.wav", "ループ.wav"});
    QVERIFY(korvo.waitForFinished(20000));
    // Text lines end as the system's do: CR LF on Windows.
    const QString end =
        QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows ? "\r\n" : "\n";
    const QString output = QString::fromUtf8(korvo.readAllStandardOutput());
    QVERIFY(output.endsWith(end));
    const QStringList lines = output.split(end, Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QString("loop.wav\t5.517秒\t推定 174.05\tテンポ 174\t16拍のループ（推定と一致）"));
    QCOMPARE(lines[1], QString("notes.wav\t読み取れません: 対応していないファイル形式です。"));
    QCOMPARE(lines[2], QString("ループ.wav\t5.517秒\t推定 174.05\tテンポ 174\t16拍のループ（推定と一致）"));
    QCOMPARE(korvo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(korvo.exitCode(), 1); // one file could not be read
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

    QPushButton* stop = reader.progressDialog()->findChild<QPushButton*>();
    QCOMPARE(stop->text(), QString("中止"));
    QTest::mouseClick(stop, Qt::LeftButton);
    QVERIFY(finished.wait(5000));
    QVERIFY(!reader.busy());
    QVERIFY(!reader.progressDialog());
    QVERIFY(!reader.dialog());
    QVERIFY(m_platform->messages.isEmpty());
}

#include "testmain.h"
KORVO_TEST_MAIN(TestSampleTempo)
#include "tst_sampletempo.moc"
