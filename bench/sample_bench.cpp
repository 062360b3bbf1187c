// How long a dropped sample takes, and how much memory its reading needs. Google Benchmark times the
// whole analysis (decoding, the onsets, the choice) of a four-minute stereo WAV at 44.1 kHz and of a
// ten-minute stereo WAV at 96 kHz. Then `korvo --tempo` itself runs once on a one-second, a one-minute
// and the ten-minute file, each in a process of its own, and their peak resident memory is printed:
// the analysis must grow it by little, and by the same for any length. Run with `make bench`.
#include "audio/defaultengine.h"
#include "audio/loopfile.h"
#include "audio/playback.h"
#include "drumloop.h"
#include "sample/sampleanalysis.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

class Samples
{
public:
    Samples()
    {
        m_folder = std::filesystem::temp_directory_path() /
                   ("korvo-bench-" + std::to_string(std::random_device()()));
        std::filesystem::create_directories(m_folder);
        // Written by a child: the ten-minute file takes most of a gigabyte to make, and a program
        // started later would count this process's peak as its own.
        const pid_t child = fork();
        if (child == 0) {
            write("one-second.wav", 1, 44100);
            write("one-minute.wav", 60, 96000);
            write("four-minutes.wav", 240, 44100);
            write("ten-minutes.wav", 600, 96000);
            _exit(0);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            std::abort();
    }
    ~Samples() { std::filesystem::remove_all(m_folder); }
    std::filesystem::path path(const char* name) const { return m_folder / name; }

private:
    void write(const char* name, double seconds, int rate)
    {
        korvo::test::DrumLoop loop;
        loop.bpm = 120;
        loop.seconds = seconds;
        loop.sampleRate = rate;
        if (!korvo::test::writeDrumLoop(path(name).string(), loop))
            std::abort();
    }

    std::filesystem::path m_folder;
};

const Samples& samples()
{
    static const Samples s;
    return s;
}

void analyse(benchmark::State& state, const char* name)
{
    const auto path = samples().path(name);
    for (auto _ : state) {
        const korvo::sample::Analysis a = korvo::sample::analyseFile(path);
        benchmark::DoNotOptimize(a.choice.tempo);
    }
}
BENCHMARK_CAPTURE(analyse, fourMinutes44k, "four-minutes.wav")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(analyse, tenMinutes96k, "ten-minutes.wav")->Unit(benchmark::kMillisecond);

// Exporting the four-minute loop from 120 to 130: decoded once, then resampled at very high quality
// (or stretched) and written as a 24-bit WAV, each time to a new file.
void render(benchmark::State& state, korvo::audio::Mode mode)
{
    korvo::audio::LoadFailure failure;
    const auto loop = korvo::audio::decodeLoop(samples().path("four-minutes.wav"), failure);
    korvo::audio::DefaultEngine engine;
    const auto out = samples().path("rendered.wav");
    for (auto _ : state) {
        std::filesystem::remove(out);
        benchmark::DoNotOptimize(engine.render(*loop, mode, 130.0 / 120, {130, 480}, out, {}, false));
    }
}
BENCHMARK_CAPTURE(render, fourMinutesWithPitch, korvo::audio::Mode::WithPitch)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(render, fourMinutesKeepingPitch, korvo::audio::Mode::KeepPitch)
    ->Unit(benchmark::kMillisecond);

// Playing: the CPU one second of sound takes to make, in ten-millisecond buffers as the sound card
// asks for them. Its share of a second is the share of one core that playing takes.
class NoSink final : public korvo::audio::Sink
{
public:
    korvo::audio::PlayFailure start(int, int, korvo::audio::Fill fill) override
    {
        m_fill = std::move(fill);
        return korvo::audio::PlayFailure::None;
    }
    void stop() override {}
    bool failed() const override { return false; }
    korvo::audio::Fill m_fill;
};

void play(benchmark::State& state, korvo::audio::Mode mode)
{
    korvo::audio::LoadFailure failure;
    const auto loop = korvo::audio::decodeLoop(samples().path("one-second.wav"), failure);
    auto sink = std::make_unique<NoSink>();
    NoSink& no = *sink;
    korvo::audio::LoopPlayback playback(loop, mode, 130.0 / 120, std::move(sink));
    playback.start();
    std::vector<float> buffer(441 * 2);
    for (auto _ : state)
        for (int i = 0; i < 100; ++i)
            no.m_fill(buffer.data(), 441);
}
BENCHMARK_CAPTURE(play, oneSecondWithPitch, korvo::audio::Mode::WithPitch)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(play, oneSecondKeepingPitch, korvo::audio::Mode::KeepPitch)->Unit(benchmark::kMillisecond);

// `korvo --tempo FILE` in a process of its own: its peak resident memory in MB and its wall time.
void measure(const std::string& korvo, const std::filesystem::path& file, const char* what)
{
    const std::string path = file.string();
    char* argv[] = {const_cast<char*>(korvo.c_str()), const_cast<char*>("--tempo"),
                    const_cast<char*>(path.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, korvo.c_str(), &actions, nullptr, argv, environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", korvo.c_str());
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    std::printf("korvo --tempo %-18s peak RSS %7.1f MB  %6.3f s\n", what, usage.ru_maxrss / 1024.0, seconds);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    // The program beside the benchmarks' folder, as the build lays them out. Measured first: a
    // child started later would count the memory the renders held as its own.
    const std::filesystem::path korvo =
        std::filesystem::absolute(argv[0]).parent_path().parent_path() / "app" / "korvo";
    if (std::filesystem::exists(korvo)) {
        measure(korvo.string(), samples().path("one-second.wav"), "(1 s, 44.1 kHz)");
        measure(korvo.string(), samples().path("one-minute.wav"), "(1 min, 96 kHz)");
        measure(korvo.string(), samples().path("ten-minutes.wav"), "(10 min, 96 kHz)");
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
