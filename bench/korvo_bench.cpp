#include "app/mainwindow.h"
#include "pitch/numbertext.h"
#include "pitch/pitchshift.h"
#include "ui/platform.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// The calculation alone: read two tempo texts, compute the shift and its three texts.
void pitchFromTexts(benchmark::State& state)
{
    const std::string bpm1 = "120", bpm2 = "129.1";
    for (auto _ : state) {
        const korvo::PitchShift shift = korvo::pitchShift(korvo::readLenient(bpm1), korvo::readLenient(bpm2));
        benchmark::DoNotOptimize(shift);
    }
}
BENCHMARK(pitchFromTexts);

// One arrow step of BPM 2's slider through the real window: text rewritten, results, the delay
// window following, sliders aligned (the nested run included). Nothing is painted offscreen.
void sliderStep(benchmark::State& state)
{
    QTemporaryDir dir;
    korvo::MainWindow window(korvo::settings::Store(dir.path(), dir.path() + "/config"));
    QScrollBar* slider = window.hscroll(1);
    int direction = 1;
    for (auto _ : state) {
        if (slider->value() >= 2400 || slider->value() <= 100)
            direction = -direction;
        slider->setValue(slider->value() + direction);
    }
    window.iserr = 2; // skip the shutdown path when the window goes
}
BENCHMARK(sliderStep);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
