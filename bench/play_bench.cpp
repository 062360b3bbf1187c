// What playing a loop costs the whole program. The sample window is shown with an eight-beat drum
// loop playing from 120 to 130 BPM into a stand-in for the sound card that takes ten milliseconds of
// sound every ten milliseconds, as a card does; the process's CPU time over the run (60 s unless
// KORVO_PLAY_SECONDS says otherwise) is its share of one core, playhead and drawing included. Then
// the real PortAudio output is opened on ALSA's null device, through an ALSA configuration of the
// benchmark's own, and the latency it reports is what the sound card's buffer holds. Run with
// `make bench`.
#include "audio/defaultengine.h"
#include "audio/engineloader.h"
#include "audio/playback.h"
#include "audio/portaudiosink.h"
#include "drumloop.h"
#include "sample/samplewindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

namespace {

double processSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Takes sound at the pace of a card: one buffer of ten milliseconds every ten milliseconds.
class PacedSink final : public korvo::audio::Sink
{
public:
    ~PacedSink() override { stop(); }
    korvo::audio::PlayFailure start(int rate, int channels, korvo::audio::Fill fill) override
    {
        m_running = true;
        m_thread = std::thread([this, rate, channels, fill = std::move(fill)] {
            const int frames = rate / 100;
            std::vector<float> buffer(std::size_t(frames * channels));
            auto next = std::chrono::steady_clock::now();
            while (m_running) {
                fill(buffer.data(), frames);
                next += std::chrono::milliseconds(10);
                std::this_thread::sleep_until(next);
            }
        });
        return korvo::audio::PlayFailure::None;
    }
    void stop() override
    {
        m_running = false;
        if (m_thread.joinable())
            m_thread.join();
    }
    bool failed() const override { return false; }

private:
    std::atomic_bool m_running{false};
    std::thread m_thread;
};

class PacedEngine final : public korvo::audio::Engine
{
public:
    std::shared_ptr<const korvo::audio::Loop> load(const std::filesystem::path& file,
                                                   korvo::audio::LoadFailure& failure,
                                                   const korvo::audio::Progress& progress) override
    {
        return m_files.load(file, failure, progress);
    }
    std::unique_ptr<korvo::audio::Playback> play(std::shared_ptr<const korvo::audio::Loop> loop,
                                                 korvo::audio::Mode mode, double speed,
                                                 korvo::audio::PlayFailure& failure) override
    {
        auto playback =
            std::make_unique<korvo::audio::LoopPlayback>(loop, mode, speed, std::make_unique<PacedSink>());
        failure = playback->start();
        return playback;
    }
    korvo::audio::WriteFailure render(const korvo::audio::Loop&, korvo::audio::Mode, double,
                                      const korvo::audio::LoopInfo&, const std::filesystem::path&,
                                      const korvo::audio::Progress&, bool) override
    {
        return korvo::audio::WriteFailure::CannotWrite;
    }

private:
    korvo::audio::DefaultEngine m_files;
};

double playingShare(const QString& file, korvo::audio::Mode mode, int seconds)
{
    korvo::SampleWindow window;
    window.setSample({file, "120", 120, 8, 4.0});
    window.setTempos(120, 130);
    window.show();
    if (mode == korvo::audio::Mode::KeepPitch)
        window.findChild<QRadioButton*>("OptionMode1")->setChecked(true);
    QCoreApplication::processEvents();
    window.CommandPlay_Click();
    const double cpuBefore = processSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    QEventLoop loop; // quitting the application would close the window first
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const double cpu = processSeconds() - cpuBefore;
    if (!window.isPlaying())
        return -1;
    window.CommandPlay_Click();
    return cpu / wall;
}

// The latency PortAudio reports for the default output, on ALSA's null device.
double deviceLatency(const QTemporaryDir& home)
{
    QFile config(home.filePath(".asoundrc"));
    if (!config.open(QIODevice::WriteOnly))
        return -1;
    config.write("pcm.!default { type plug slave.pcm \"null\" }\n");
    config.close();
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    qputenv("PULSE_SERVER", "unix:/nonexistent");
    qputenv("JACK_NO_START_SERVER", "1");
    double latency = -1;
    {
        korvo::audio::PortAudioSink sink;
        if (sink.start(44100, 2, [](float* out, int frames) { std::fill(out, out + frames * 2, 0.0f); }) ==
            korvo::audio::PlayFailure::None)
            latency = sink.outputLatency();
    }
    qputenv("HOME", oldHome);
    return latency;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int seconds = qEnvironmentVariableIsSet("KORVO_PLAY_SECONDS")
                            ? qEnvironmentVariableIntValue("KORVO_PLAY_SECONDS")
                            : 60;
    QTemporaryDir folder;
    const QString file = folder.filePath("drums 120bpm.wav");
    korvo::test::DrumLoop drums;
    drums.beats = 8;
    if (!korvo::test::writeDrumLoop(file.toStdString(), drums)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(file));
        return 1;
    }
    PacedEngine engine;
    korvo::audio::setEngine(&engine);
    const double withPitch = playingShare(file, korvo::audio::Mode::WithPitch, seconds);
    const double keepPitch = playingShare(file, korvo::audio::Mode::KeepPitch, seconds);
    korvo::audio::setEngine(nullptr);
    std::printf("playing, sample window shown, %d s each (goal <= 5 %% of one core):\n", seconds);
    std::printf("  the sampler's way   %5.2f %% of one core\n", withPitch * 100);
    std::printf("  keeping the pitch   %5.2f %% of one core\n", keepPitch * 100);
    const double latency = deviceLatency(folder);
    if (latency < 0)
        std::printf("sound card buffer: no ALSA null device to open\n");
    else
        std::printf("sound card buffer: %.1f ms reported by PortAudio (goal <= 50 ms)\n", latency * 1000);
    return withPitch < 0 || keepPitch < 0 ? 1 : 0;
}
