#include "app/mainwindow.h"
#include "pitch/numbertext.h"
#include "pitch/pitchshift.h"
#include "ui/platform.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWindow>
#include <benchmark/benchmark.h>

namespace {

// The real platform, except for a clock that moves only when the benchmark moves it.
class SteppedClock final : public korvo::PlatformOverride
{
public:
    double seconds() override { return now; }

    double now = 0;
};

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
    QScrollBar* slider = window.tempoEntry(1)->slider();
    int direction = 1;
    for (auto _ : state) {
        if (slider->value() >= 2400 || slider->value() <= 100)
            direction = -direction;
        slider->setValue(slider->value() + direction);
    }
    window.iserr = korvo::MainWindow::kShuttingDown; // skip the shutdown path when the window goes
}
BENCHMARK(sliderStep);

// One tap on the real tap window's tap button, the fake clock a beat further each time: the
// estimate, the shown value, the main window's entry and the five labels. The beat alternates
// between 0.5 s and 0.52 s so the shown value keeps changing instead of settling.
void tapStep(benchmark::State& state)
{
    SteppedClock platform;
    QTemporaryDir dir;
    korvo::MainWindow window(korvo::settings::Store(dir.path(), dir.path() + "/config"));
    window.tap_ref = 1;
    korvo::TapWindow tap(window);
    platform.now = 1000.0;
    tap.Command1_Click(); // the first tap only starts the count
    bool longBeat = false;
    for (auto _ : state) {
        platform.now += longBeat ? 0.52 : 0.5;
        longBeat = !longBeat;
        tap.Command1_Click();
    }
    window.iserr = korvo::MainWindow::kShuttingDown;
}
BENCHMARK(tapStep);

// Counts Paint events of the widgets of one window.
class PaintCounter final : public QObject
{
public:
    explicit PaintCounter(QWidget* window) : m_window(window) { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    PaintCounter(const PaintCounter&) = delete;
    PaintCounter& operator=(const PaintCounter&) = delete;

    long long paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == m_window)
            ++paints;
        return false;
    }

private:
    QWidget* m_window;
};

// What one arrow step of BPM 2's slider sets off while the main window is on screen: calc_pitch
// runs, changed hand-overs to the (hidden) delay window and widget repaints, per step. Each change
// handler of a slider runs calc_pitch once, so the sliders' change notifications count the runs,
// the nested ones included. With range(0) = 1 a tempo is typed into BPM 1 before every step and
// not calculated, so the step also moves BPM 1's slider and calculates a second time.
void sliderStepShown(benchmark::State& state)
{
    const bool typedBpm1 = state.range(0) == 1;
    QTemporaryDir dir;
    korvo::MainWindow window(korvo::settings::Store(dir.path(), dir.path() + "/config"));
    window.show();
    while (!window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();

    QScrollBar* slider = window.tempoEntry(1)->slider();
    QSignalSpy runs0(window.tempoEntry(0)->slider(), &QScrollBar::valueChanged);
    QSignalSpy runs1(slider, &QScrollBar::valueChanged);
    QSignalSpy results(window.pitchBox(), &QLineEdit::textChanged);
    // The delay window as after its first opening, hidden again: its tempo box follows every step.
    window.loadedDelayWindow()->makeControls();
    QSignalSpy handOver(window.loadedDelayWindow()->findChild<QLineEdit*>("TextBPM1"),
                        &QLineEdit::textChanged);
    PaintCounter paints(&window);

    int direction = 1;
    bool typedHigh = false;
    for (auto _ : state) {
        if (typedBpm1) {
            state.PauseTiming();
            typedHigh = !typedHigh;
            window.tempoEntry(0)->textBox()->setText(typedHigh ? "125" : "115");
            QCoreApplication::processEvents(); // the typing's own repaint is not the step's
            state.ResumeTiming();
        }
        if (slider->value() >= 2400 || slider->value() <= 100)
            direction = -direction;
        const long long paintsBefore = paints.paints;
        slider->setValue(slider->value() + direction);
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(paints.paints - paintsBefore);
    }
    const auto perStep = [](double total) {
        return benchmark::Counter(total, benchmark::Counter::kAvgIterations);
    };
    state.counters["calc_pitch"] = perStep(runs0.count() + runs1.count());
    state.counters["results"] = perStep(results.count());
    state.counters["handover"] = perStep(handOver.count());
    state.counters["paints"] = perStep(static_cast<double>(paints.paints));
    window.iserr = korvo::MainWindow::kShuttingDown;
    window.hide();
}
BENCHMARK(sliderStepShown)->Arg(0)->Arg(1)->ArgName("typedBpm1");

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
