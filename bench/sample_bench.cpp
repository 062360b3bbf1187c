// How long a dropped sample takes: a four-minute stereo WAV at 44.1 kHz, written once into a
// temporary folder, decoded and mixed alone and then analysed in full (decoding, the default
// estimate, the choice). Run with `make bench`.
#include "drumloop.h"
#include "sample/sampleanalysis.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <span>
#include <string>

namespace {

class LongSample
{
public:
    LongSample()
    {
        m_folder = std::filesystem::temp_directory_path() /
                   ("korvo-bench-" + std::to_string(std::random_device()()));
        std::filesystem::create_directories(m_folder);
        m_path = m_folder / "four-minutes.wav";
        korvo::test::DrumLoop loop;
        loop.bpm = 120;
        loop.seconds = 240;
        if (!korvo::test::writeDrumLoop(m_path.string(), loop))
            std::abort();
    }
    ~LongSample() { std::filesystem::remove_all(m_folder); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_path;
};

const LongSample& longSample()
{
    static const LongSample sample;
    return sample;
}

// Hears nothing: what is left is reading the file and mixing it to one channel.
class Deaf final : public korvo::sample::BeatEstimator
{
public:
    void add(std::span<const float>) override {}
    double bpm() override { return 0; }
};

void decodeFourMinutes(benchmark::State& state)
{
    const auto& path = longSample().path();
    for (auto _ : state) {
        const korvo::sample::Analysis a =
            korvo::sample::analyseFile(path, [](int) { return std::make_unique<Deaf>(); });
        benchmark::DoNotOptimize(a.frames);
    }
}
BENCHMARK(decodeFourMinutes)->Unit(benchmark::kMillisecond);

void analyseFourMinutes(benchmark::State& state)
{
    const auto& path = longSample().path();
    for (auto _ : state) {
        const korvo::sample::Analysis a = korvo::sample::analyseFile(path);
        benchmark::DoNotOptimize(a.choice.tempo);
    }
}
BENCHMARK(analyseFourMinutes)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
