#include "audio/playback.h"
#include "audio/portaudiosink.h"
#include "testmain.h"
#include "tone.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <numbers>
#include <thread>
#include <unistd.h>

// The real PortAudio, on ALSA, with the default device a file: what the loop played is read back.
// ALSA's configuration is the test's own (a home folder of its own), and no sound server is asked.
namespace {

// Hands the real sink's callback on, counting the frames. The file sink takes sound as fast as it
// is made, so the sound waits at a gate halfway until the test has moved on, and once enough has
// been played it is silence.
class CountingSink final : public korvo::audio::Sink
{
public:
    CountingSink(std::atomic<long>& frames, std::atomic_bool& gate, long limit)
        : m_frames(frames), m_gate(gate), m_limit(limit)
    {}
    korvo::audio::PlayFailure start(int rate, int channels, korvo::audio::Fill fill) override
    {
        return m_sink.start(rate, channels, [this, fill, channels](float* out, int n) {
            while (m_frames.load() >= m_limit / 2 && !m_gate.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (m_frames.load() < m_limit)
                fill(out, n);
            else
                std::fill(out, out + n * channels, 0.0f);
            m_frames += n;
        });
    }
    void stop() override { m_sink.stop(); }
    bool failed() const override { return m_sink.failed(); }

private:
    korvo::audio::PortAudioSink m_sink;
    std::atomic<long>& m_frames;
    std::atomic_bool& m_gate;
    long m_limit;
};

} // namespace

class TestAudioDevice : public QObject
{
    Q_OBJECT

private slots:
    void playsThroughTheDefaultDevice();

private:
    QTemporaryDir m_home;
};

void TestAudioDevice::playsThroughTheDefaultDevice()
{
    const QString captured = m_home.filePath("played.raw");
    QFile config(m_home.filePath(".asoundrc"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("pcm.!default { type plug slave { pcm \"captured\" format S16_LE rate 44100 channels 2 } }\n"
                 "pcm.captured { type file slave.pcm \"null\" format \"raw\" file \"" +
                 captured.toUtf8() + "\" }\n");
    config.close();
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("PULSE_SERVER", "unix:/nonexistent");
    qputenv("JACK_NO_START_SERVER", "1");

    const auto loop = korvo::test::sine(1000, 1);
    std::atomic<long> frames{0};
    std::atomic_bool gate{false};
    const long half = 44100;
    {
        // What the back ends print while PortAudio looks for a device is kept from the terminal.
        const QString chatter = m_home.filePath("stderr.txt");
        std::fflush(stderr);
        const int terminal = dup(STDERR_FILENO);
        const int file = open(chatter.toUtf8().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(file, STDERR_FILENO);
        korvo::audio::LoopPlayback playback(loop, korvo::audio::Mode::WithPitch, 130.0 / 120,
                                            std::make_unique<CountingSink>(frames, gate, 2 * half));
        const korvo::audio::PlayFailure failure = playback.start();
        std::fflush(stderr);
        dup2(terminal, STDERR_FILENO);
        close(terminal);
        close(file);
        QCOMPARE(QFileInfo(chatter).size(), 0);
        if (failure == korvo::audio::PlayFailure::NoDevice)
            QSKIP("ALSA offers no device here");
        QCOMPARE(failure, korvo::audio::PlayFailure::None);
        QTRY_VERIFY_WITH_TIMEOUT(frames.load() >= half, 20000);
        playback.setSpeed(1.0); // a slider moved back to the sample's own tempo
        gate = true;
        QTRY_VERIFY_WITH_TIMEOUT(frames.load() >= 2 * half, 20000);
        QVERIFY(!playback.failed());
    }
    QFile played(captured);
    QVERIFY(played.open(QIODevice::ReadOnly));
    const QByteArray bytes = played.readAll();
    std::vector<float> stereo(static_cast<std::size_t>(bytes.size()) / 2);
    for (std::size_t i = 0; i < stereo.size(); ++i) {
        qint16 sample;
        std::memcpy(&sample, bytes.constData() + 2 * i, 2);
        stereo[i] = sample / 32768.0f;
    }
    QVERIFY(stereo.size() >= std::size_t(4 * half));
    // The first second at the new tempo, the second back at the sample's own, each away from the
    // change and from whatever the buffers held.
    const double before = korvo::test::frequencyOf(stereo, 2, 44100, 4410, half - 4410);
    const double after = korvo::test::frequencyOf(stereo, 2, 44100, half + 8820, 2 * half - 4410);
    QVERIFY2(std::fabs(korvo::test::cents(before, 1000.0 * 130 / 120)) < 1,
             qPrintable(QString::number(before)));
    QVERIFY2(std::fabs(korvo::test::cents(after, 1000.0)) < 1, qPrintable(QString::number(after)));
}

KORVO_TEST_MAIN(TestAudioDevice)
#include "tst_audiodevice.moc"
