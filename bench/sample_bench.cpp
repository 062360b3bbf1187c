// How long a dropped sample takes, and how much memory its reading needs. Google Benchmark times the
// whole analysis (decoding, the onsets, the choice) of a four-minute stereo WAV at 44.1 kHz and of a
// ten-minute stereo WAV at 96 kHz. Then `korvo --tempo` itself runs once on a one-second, a one-minute
// and the ten-minute file, each in a process of its own, and their peak resident memory is printed:
// the analysis must grow it by little, and by the same for any length. Run with `make bench`.
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
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The program beside the benchmarks' folder, as the build lays them out.
    const std::filesystem::path korvo =
        std::filesystem::absolute(argv[0]).parent_path().parent_path() / "app" / "korvo";
    if (std::filesystem::exists(korvo)) {
        measure(korvo.string(), samples().path("one-second.wav"), "(1 s, 44.1 kHz)");
        measure(korvo.string(), samples().path("one-minute.wav"), "(1 min, 96 kHz)");
        measure(korvo.string(), samples().path("ten-minutes.wav"), "(10 min, 96 kHz)");
    }
    return 0;
}
