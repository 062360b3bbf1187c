#include "app/rendercommand.h"
#include "audio/defaultengine.h"
#include "audio/loopfile.h"
#include "audio/playback.h"
#include "audio/render.h"
#include "audio/wavfile.h"
#include "drumloop.h"
#include "sample/sampleanalysis.h"
#include "testmain.h"
#include "tone.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <numbers>
#ifdef __linux__
#include "filesizelimit.h"
#endif

using korvo::audio::Mode;
using korvo::audio::WriteFailure;
using korvo::test::cents;
using korvo::test::frequencyOf;
using korvo::test::sine;

namespace {

// Takes what a playback makes as fast as it is asked for.
class TakingSink final : public korvo::audio::Sink
{
public:
    korvo::audio::PlayFailure start(int, int, korvo::audio::Fill fill) override
    {
        m_fill = std::move(fill);
        return korvo::audio::PlayFailure::None;
    }
    void stop() override {}
    bool failed() const override { return false; }
    std::vector<float> take(int frames, int channels)
    {
        std::vector<float> out(static_cast<std::size_t>(frames * channels));
        for (int at = 0; at < frames; at += 441)
            m_fill(out.data() + at * channels, std::min(441, frames - at));
        return out;
    }

private:
    korvo::audio::Fill m_fill;
};

} // namespace

class TestAudio : public QObject
{
    Q_OBJECT

private slots:
    void rendered_data();
    void rendered();
    void exportedLoopReadsAtItsNewTempo();
    void writing_data();
    void writing();
    void playbackFollowsTheSpeed_data();
    void playbackFollowsTheSpeed();
    void renderCommand();
};

void TestAudio::rendered_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<int>("rate");
    QTest::addColumn<double>("hertz");
    QTest::addColumn<double>("tolerance"); // cents
    QTest::newRow("sampler's way, 120 to 130: the tone rises with the tempo")
        << Mode::WithPitch << 120.0 << 130.0 << 44100 << 1000.0 * 130 / 120 << 0.1;
    QTest::newRow("sampler's way, 174 to 87 at 48 kHz: an octave down")
        << Mode::WithPitch << 174.0 << 87.0 << 48000 << 500.0 << 0.1;
    QTest::newRow("keeping the pitch, 120 to 130")
        << Mode::KeepPitch << 120.0 << 130.0 << 44100 << 1000.0 << 1.0;
    QTest::newRow("keeping the pitch, 133.3333 to 97.5")
        << Mode::KeepPitch << 133.3333 << 97.5 << 44100 << 1000.0 << 1.0;
}

void TestAudio::rendered()
{
    QFETCH(Mode, mode);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(int, rate);
    QFETCH(double, hertz);
    QFETCH(double, tolerance);
    const auto loop = sine(1000, 3, 2, rate);
    const auto out = korvo::audio::renderSamples(*loop, mode, to / from, {});
    QVERIFY(out);
    QCOMPARE(std::int64_t(out->size() / 2), std::llround(double(loop->frames()) * from / to));
    const double heard = frequencyOf(*out, 2, rate);
    QVERIFY2(std::fabs(cents(heard, hertz)) < tolerance, qPrintable(QString::number(heard, 'f', 4)));
}

void TestAudio::exportedLoopReadsAtItsNewTempo()
{
    QTemporaryDir dir;
    const QString source = dir.filePath("break.wav");
    korvo::test::DrumLoop drums;
    drums.bpm = 120;
    drums.beats = 8;
    QVERIFY(korvo::test::writeDrumLoop(source.toStdString(), drums, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    korvo::audio::LoadFailure failure;
    const auto loop = korvo::audio::decodeLoop(source.toStdString(), failure);
    QVERIFY(loop);
    QVERIFY(loop->floatSamples);
    // Decoding tells how far it has got, all the way, and stops when told to.
    double last = 0;
    bool rising = true;
    QVERIFY(korvo::audio::decodeLoop(source.toStdString(), failure, [&](double done) {
        rising = rising && done >= last;
        last = done;
        return true;
    }));
    QVERIFY(rising);
    QCOMPARE(last, 1.0);
    QVERIFY(!korvo::audio::decodeLoop(source.toStdString(), failure, [](double done) { return done < 0.5; }));
    QCOMPARE(failure, korvo::audio::LoadFailure::Cancelled);
    korvo::audio::DefaultEngine engine;
    const QString out = dir.filePath("break 130bpm.wav");
    QCOMPARE(engine.render(*loop, Mode::WithPitch, 130.0 / 120, {130, 8}, out.toStdString(), {}, false),
             WriteFailure::None);
    const korvo::sample::Analysis read = korvo::sample::analyseFile(out.toStdString());
    QCOMPARE(read.choice.tempo, 130.0);
    QCOMPARE(read.choice.beats, 8);
    QCOMPARE(read.frames, std::llround(double(loop->frames()) * 120 / 130));
    // The same loop with its ACID chunk taken away: its length alone says 130 too.
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    bytes.replace("acid", "junk");
    file.seek(0);
    file.write(bytes);
    file.close();
    QCOMPARE(korvo::sample::analyseFile(out.toStdString()).choice.tempo, 130.0);
}

void TestAudio::writing_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<bool>("full");
    QTest::addColumn<WriteFailure>("failure");
    QTest::newRow("a new file") << false << false << false << WriteFailure::None;
    QTest::newRow("an existing file is never replaced unasked")
        << true << false << false << WriteFailure::Exists;
    QTest::newRow("an existing file replaced when asked") << true << true << false << WriteFailure::None;
#ifdef __linux__
    QTest::newRow("a full disk leaves nothing behind, the old file intact")
        << true << true << true << WriteFailure::DiskFull;
#endif
}

void TestAudio::writing()
{
    QFETCH(bool, existing);
    QFETCH(bool, replace);
    QFETCH(bool, full);
    QTemporaryDir dir;
    const QString path = dir.filePath("out.wav");
    if (existing) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    const auto loop = sine(440, 1);
    WriteFailure failure;
    {
#ifdef __linux__
        std::optional<FileSizeLimit> limit;
        if (full)
            limit.emplace(100000);
#else
        Q_UNUSED(full); // no per-process file size limit to fill the disk with here
#endif
        failure =
            korvo::audio::writeWav(path.toStdString(), {44100, 2, false}, loop->samples, {120, 2}, replace);
    }
    QTEST(failure, "failure");
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.wav"}); // no part left over
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    if (failure == WriteFailure::None)
        QCOMPARE(written.size(), 44 + 32 + 44100 * 2 * 3);
    else
        QCOMPARE(written.readAll(), QByteArray("old"));
}

void TestAudio::playbackFollowsTheSpeed_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<double>("tolerance"); // cents
    QTest::newRow("sampler's way") << Mode::WithPitch << 0.5;
    QTest::newRow("keeping the pitch") << Mode::KeepPitch << 2.0;
}

void TestAudio::playbackFollowsTheSpeed()
{
    QFETCH(Mode, mode);
    QFETCH(double, tolerance);
    auto sink = std::make_unique<TakingSink>();
    TakingSink& taking = *sink;
    const auto loop = sine(1000, 0.5);
    korvo::audio::LoopPlayback playback(loop, mode, 1.0, std::move(sink));
    QCOMPARE(playback.start(), korvo::audio::PlayFailure::None);
    QVERIFY(std::fabs(cents(frequencyOf(taking.take(22050, 2), 2, 44100), 1000)) < tolerance);
    playback.setSpeed(130.0 / 120);
    taking.take(4410, 2); // a tenth of a second: the change has been heard in full
    const double expected = mode == Mode::WithPitch ? 1000.0 * 130 / 120 : 1000.0;
    const double heard = frequencyOf(taking.take(22050, 2), 2, 44100);
    QVERIFY2(std::fabs(cents(heard, expected)) < tolerance, qPrintable(QString::number(heard, 'f', 3)));
    QVERIFY(playback.position() >= 0 && playback.position() < loop->frames());
}

void TestAudio::renderCommand()
{
    QTemporaryDir dir;
    const QString source = dir.filePath("loop.wav");
    korvo::test::DrumLoop drums;
    drums.bpm = 120;
    drums.beats = 8;
    QVERIFY(korvo::test::writeDrumLoop(source.toStdString(), drums));
    korvo::audio::DefaultEngine engine;
    std::FILE* out = std::fopen(QFile::encodeName(dir.filePath("out.txt")).constData(), "w+b");
    std::FILE* err = std::fopen(QFile::encodeName(dir.filePath("err.txt")).constData(), "w+b");
    QVERIFY(out && err);
    const korvo::RenderRequest request{"97.5", {source.toStdString()}, false, ""};
    QCOMPARE(korvo::renderCommand(request, &engine, out, err), 0);
    QCOMPARE(korvo::renderCommand(request, &engine, out, err), 0); // the first is never replaced
    QCOMPARE(korvo::renderCommand({"300", {source.toStdString()}, false, ""}, &engine, out, err), 2);
    QCOMPARE(
        korvo::renderCommand({"130", {dir.filePath("none.wav").toStdString()}, false, ""}, &engine, out, err),
        1);
    std::rewind(out);
    char text[4096] = {};
    const QString lines =
        QDir::fromNativeSeparators(QString::fromUtf8(text, int(std::fread(text, 1, sizeof text - 1, out))));
    const QString first = dir.filePath("loop 97.5bpm.wav"), second = dir.filePath("loop 97.5bpm (2).wav");
    QCOMPARE(lines, "120\t97.5\t-3.595\t" + first + "\n120\t97.5\t-3.595\t" + second + "\n");
    QCOMPARE(korvo::sample::analyseFile(second.toStdString()).choice.tempo, 97.5);
    std::fclose(out);
    std::fclose(err);
}

KORVO_TEST_MAIN(TestAudio)
#include "tst_audio.moc"
