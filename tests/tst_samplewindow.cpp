#include "app/mainwindow.h"
#include "audio/defaultengine.h"
#include "audio/engineloader.h"
#include "drumloop.h"
#include "mainwindowtest.h"
#include "sample/samplewindow.h"
#include "sample/waveform.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

using korvo::MainWindow;
using korvo::SampleWindow;
namespace audio = korvo::audio;
Q_DECLARE_METATYPE(audio::WriteFailure)

namespace {

// Stands in for the audio module while it lives: every loop it loads is the same silence (four
// seconds unless told: eight beats at 120), every playback it starts records the speeds it is given, and
// loading, playing and rendering fail as a test scripts.
class FakeEngine final : public audio::Engine
{
public:
    class Playing final : public audio::Playback
    {
    public:
        explicit Playing(FakeEngine& engine) : m_engine(engine) { ++engine.playing; }
        ~Playing() override { --m_engine.playing; }
        void setSpeed(double speed) override { m_engine.speeds.push_back(speed); }
        std::int64_t position() const override { return 22050; }
        bool failed() const override { return m_engine.deviceLost; }

    private:
        FakeEngine& m_engine;
    };

    explicit FakeEngine(double seconds = 4)
    {
        auto silence = std::make_shared<audio::Loop>();
        silence->sampleRate = 44100;
        silence->channels = 1;
        silence->samples.assign(static_cast<std::size_t>(std::llround(seconds * 44100)), 0.0f);
        loop = silence;
        audio::setEngine(this);
    }
    ~FakeEngine() override { audio::setEngine(nullptr); }

    // On the window's decoding thread; while `held`, it stays half done until stopped or let go.
    std::shared_ptr<const audio::Loop> load(const std::filesystem::path&, audio::LoadFailure& failure,
                                            const audio::Progress& progress) override
    {
        while (held.load()) {
            if (!progress(0.5)) {
                ++stopped;
                failure = audio::LoadFailure::Cancelled;
                return nullptr;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        failure = loadFailure;
        return failure == audio::LoadFailure::None ? loop : nullptr;
    }
    std::unique_ptr<audio::Playback> play(std::shared_ptr<const audio::Loop> played, audio::Mode mode,
                                          double speed, audio::PlayFailure& failure) override
    {
        if (soundCard)
            return audio::DefaultEngine().play(std::move(played), mode, speed, failure);
        failure = playFailure;
        if (failure != audio::PlayFailure::None)
            return nullptr;
        modes.push_back(mode);
        speeds.push_back(speed);
        return std::make_unique<Playing>(*this);
    }
    audio::WriteFailure render(const audio::Loop&, audio::Mode, double speed, const audio::LoopInfo& info,
                               const std::filesystem::path& file, const audio::Progress&,
                               bool replace) override
    {
        replaced = replace;
        rendered << QString::fromStdU16String(file.u16string());
        renderedSpeed = speed;
        renderedTempo = info.tempo;
        return writeFailure;
    }

    std::shared_ptr<const audio::Loop> loop;
    audio::LoadFailure loadFailure = audio::LoadFailure::None;
    audio::PlayFailure playFailure = audio::PlayFailure::None;
    audio::WriteFailure writeFailure = audio::WriteFailure::None;
    std::atomic_bool held{false};
    std::atomic_int stopped{0};
    bool deviceLost = false;
    bool soundCard = false; // plays through the system's real output
    int playing = 0;
    std::vector<audio::Mode> modes;
    std::vector<double> speeds; // the starting speed of every playback, then every change
    QStringList rendered;
    double renderedSpeed = 0;
    double renderedTempo = 0;
    bool replaced = false;
};

} // namespace

class TestSampleWindow : public QObject, MainWindowTest
{
    Q_OBJECT

private slots:
    void init() { startWindowTest(); }
    void cleanup()
    {
        m_engine.reset();
        endMainWindowTest();
    }

    void readingTakenIntoBpm1OpensTheWindow();
    void playbackFollowsTheAcceptedTempos();
    void spaceAndEscape();
    void failuresAreTold_data();
    void failuresAreTold();
    void exportProposesAndReports_data();
    void exportProposesAndReports();
    void barLines_data();
    void barLines();

private:
    // The main window with the eight-beat loop at 120 taken into BPM 1, its sample window open.
    SampleWindow& openWithLoop();

    std::unique_ptr<FakeEngine> m_engine = nullptr;
};

SampleWindow& TestSampleWindow::openWithLoop()
{
    MainWindow& w = open();
    w.show();
    w.sampleTempoChosen(0, {m_dir->filePath("loop.wav"), "120", 120, 8, 4});
    if (!QTest::qWaitFor([&w] { return !w.sampleWindow()->isDecoding(); }))
        qWarning("the sample is still decoding");
    return *w.sampleWindow();
}

void TestSampleWindow::readingTakenIntoBpm1OpensTheWindow()
{
    korvo::test::DrumLoop loop;
    loop.bpm = 174;
    loop.beats = 16;
    m_engine = std::make_unique<FakeEngine>(16 * 60 / 174.0);
    m_engine->held = true;
    const QString file = m_dir->filePath("loop 174.wav");
    QVERIFY(korvo::test::writeDrumLoop(file.toStdString(), loop));
    MainWindow& w = open();
    w.show();
    w.move(0, 0); // where a window that places itself nowhere would open
    for (int entry : {1, 0}) {
        w.FrameBPM_FileDrop(entry, file);
        QTRY_VERIFY_WITH_TIMEOUT(w.sampleTempo()->dialog() && w.sampleTempo()->dialog()->isVisible(), 20000);
        QTest::mouseClick(w.sampleTempo()->dialog()->findChild<QPushButton*>("ok"), Qt::LeftButton);
        // BPM 2's reading is no sample of the window's.
        QCOMPARE(w.sampleWindow() != nullptr, entry == 0);
    }
    SampleWindow* window = w.sampleWindow();
    QVERIFY(window->isVisible());
    QVERIFY(!window->frameGeometry().intersects(w.frameGeometry())); // the sliders stay in reach

    // The file decodes while the windows go on: nothing to play yet, and how far it has got.
    auto* play = control<QPushButton>(window, "CommandPlay");
    QTRY_COMPARE(window->waveform()->findChild<QLabel*>("Empty")->text(), QString("読み込んでいます... 50%"));
    QVERIFY(!play->isEnabled());
    QTest::keyClick(w.tempoEntry(1)->slider(), Qt::Key_Right);
    QCOMPARE(control<QLabel>(window, "LabelTempo")->text(), QString("174 → 174.1 BPM"));
    // Taken again meanwhile, the file's first decoding is stopped rather than waited out.
    w.sampleTempoChosen(0, {file, "174", 174, 16, 16 * 60 / 174.0});
    QCOMPARE(m_engine->stopped.load(), 1);
    m_engine->held = false;
    QTRY_VERIFY(play->isEnabled());
    QVERIFY(!window->isDecoding());
    QTest::keyClick(w.tempoEntry(1)->slider(), Qt::Key_Left);

    QCOMPARE(window->windowTitle(), QString("Korvo サンプル"));
    QCOMPARE(window->objectName(), QString("SampleWindow"));
    QCOMPARE(control<QLabel>(window, "LabelFile")->text(), QString("loop 174.wav"));
    QCOMPARE(control<QLabel>(window, "LabelLength")->text(), QString("5.517秒"));
    QCOMPARE(control<QLabel>(window, "LabelTempo")->text(), QString("174 → 174 BPM"));
    // The reading's sixteen beats: four bars over the whole width.
    int bars = 0;
    for (const korvo::sample::GridLine& line : window->waveform()->grid())
        bars += line.bar;
    QCOMPARE(bars, 4);
    QVERIFY(m_platform->messages.isEmpty());
    window->hide();
    w.hide();
}

void TestSampleWindow::playbackFollowsTheAcceptedTempos()
{
    m_engine = std::make_unique<FakeEngine>();
    SampleWindow& window = openWithLoop();
    auto* play = control<QPushButton>(&window, "CommandPlay");
    QCOMPARE(play->text(), QString("再生"));
    QTest::mouseClick(play, Qt::LeftButton);
    QCOMPARE(play->text(), QString("停止"));
    QCOMPARE(m_engine->speeds, std::vector<double>{1.0});

    // One step of BPM 2's slider, by its own key.
    QScrollBar* slider = m_window->tempoEntry(1)->slider();
    QTest::keyClick(slider, Qt::Key_Right);
    QCOMPARE(m_window->tempoEntry(1)->textBox()->text(), QString("120.1"));
    QCOMPARE(m_engine->speeds.back(), 120.1 / 120);

    // A tempo out of range is rejected, and the loop plays on as before.
    const std::size_t changes = m_engine->speeds.size();
    m_window->tempoEntry(1)->textBox()->setText("300");
    QTest::keyClick(m_window->tempoEntry(1)->textBox(), Qt::Key_Return);
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_engine->speeds.size(), changes);

    // The other way to the tempo starts the loop again that way.
    QTest::mouseClick(control<QRadioButton>(&window, "OptionMode1"), Qt::LeftButton);
    QCOMPARE(m_engine->modes, (std::vector{audio::Mode::WithPitch, audio::Mode::KeepPitch}));
    QCOMPARE(m_engine->playing, 1);
    QTest::mouseClick(play, Qt::LeftButton);
    QCOMPARE(play->text(), QString("再生"));
    QCOMPARE(m_engine->playing, 0);
    window.hide();
    m_window->hide();
}

void TestSampleWindow::spaceAndEscape()
{
    m_engine = std::make_unique<FakeEngine>();
    SampleWindow& window = openWithLoop();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(window.waveform()->hasFocus());
    QTest::keyClick(window.waveform(), Qt::Key_Space);
    QVERIFY(window.isPlaying());
    QTest::keyClick(window.waveform(), Qt::Key_Space);
    QVERIFY(!window.isPlaying());
    // A button with the focus takes Space for itself: the export asks where to (cancelled here).
    auto* exportButton = control<QPushButton>(&window, "CommandExport");
    exportButton->setFocus();
    QTest::keyClick(exportButton, Qt::Key_Space);
    QCOMPARE(m_platform->proposals.size(), 1);
    QVERIFY(!window.isPlaying());

    QTest::keyClick(window.waveform(), Qt::Key_Space);
    QTest::keyClick(exportButton, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
    QCOMPARE(m_engine->playing, 0); // nothing plays from a window out of sight
    m_window->hide();
}

void TestSampleWindow::failuresAreTold_data()
{
    // What goes wrong ("none": no audio module at all), and the message the user reads.
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("message");
    QTest::newRow("no audio module")
        << "none"
        << "音声モジュールを読み込めないため、サンプルを再生も書き出しもできません。";
    QTest::newRow("file cannot be decoded") << "open"
                                            << "loop.wav を開けませんでした。";
    QTest::newRow("longer than an hour") << "long"
                                         << "loop.wav は1時間より長いため、再生できません。";
    QTest::newRow("no sound output") << "device"
                                     << "音を出す装置が見つかりません。";
#ifdef _WIN32
    // The Windows tests run under Wine with its audio drivers turned off.
    QTest::newRow("no sound output on the system") << "card"
                                                   << "音を出す装置が見つかりません。";
#endif
    QTest::newRow("output unplugged while playing") << "lost"
                                                    << "音を出す装置が使えなくなったため、再生を止めました。";
}

void TestSampleWindow::failuresAreTold()
{
    QFETCH(QString, failure);
    if (failure != "none")
        m_engine = std::make_unique<FakeEngine>();
    if (failure == "open" || failure == "long")
        m_engine->loadFailure =
            failure == "open" ? audio::LoadFailure::CannotOpen : audio::LoadFailure::TooLong;
    if (failure == "device")
        m_engine->playFailure = audio::PlayFailure::NoDevice;
    if (m_engine)
        m_engine->soundCard = failure == "card";
    SampleWindow& window = openWithLoop();
    auto* play = control<QPushButton>(&window, "CommandPlay");
    if (play->isEnabled())
        QTest::mouseClick(play, Qt::LeftButton);
    if (failure == "lost") {
        m_engine->deviceLost = true;
        QTRY_VERIFY(!window.isPlaying());
    }
    QCOMPARE(m_platform->messages.size(), 1);
    QTEST(m_platform->messages[0].text, "message");
    QCOMPARE(play->text(), QString("再生"));
    // The window still shows the file, and the main window calculates on.
    QCOMPARE(control<QLabel>(&window, "LabelFile")->text(), QString("loop.wav"));
    QCOMPARE(m_window->tempoEntry(0)->textBox()->text(), QString("120"));
    window.hide();
    m_window->hide();
}

void TestSampleWindow::exportProposesAndReports_data()
{
    // BPM 2, the name proposed, whether a file of that name is there and the answer to replacing
    // it, what the render gives, and the message (empty: none).
    QTest::addColumn<QString>("bpm2");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<audio::WriteFailure>("failure");
    QTest::addColumn<QString>("message");
    using F = audio::WriteFailure;
    QTest::newRow("whole tempo, written") << "130"
                                          << "loop 130bpm.wav" << false << false << F::None << "";
    QTest::newRow("a half, written") << "97.5"
                                     << "loop 97.5bpm.wav" << false << false << F::None << "";
    QTest::newRow("disk full")
        << "130"
        << "loop 130bpm.wav" << false << false << F::DiskFull
        << "loop 130bpm.wav を書き出せませんでした。\nディスクの空き容量が足りません。";
    QTest::newRow("cancelled: nothing said") << "130"
                                             << "loop 130bpm.wav" << false << false << F::Cancelled << "";
    QTest::newRow("there already, kept: nothing more said")
        << "130"
        << "loop 130bpm.wav" << true << false << F::None << "";
    QTest::newRow("there already, replaced") << "130"
                                             << "loop 130bpm.wav" << true << true << F::None << "";
}

void TestSampleWindow::exportProposesAndReports()
{
    QFETCH(QString, bpm2);
    QFETCH(QString, proposed);
    QFETCH(bool, exists);
    QFETCH(bool, replace);
    QFETCH(audio::WriteFailure, failure);
    m_engine = std::make_unique<FakeEngine>();
    m_engine->writeFailure = failure;
    SampleWindow& window = openWithLoop();
    m_window->tempoEntry(1)->setText(bpm2);
    m_window->calc_pitch();
    const QString path = m_dir->filePath(proposed);
    if (exists) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        m_platform->answers << replace;
    }
    m_platform->files << path;
    QTest::mouseClick(control<QPushButton>(&window, "CommandExport"), Qt::LeftButton);

    QCOMPARE(m_platform->proposals, QStringList{path});
    const bool rendered = !exists || replace;
    QCOMPARE(m_engine->rendered, rendered ? QStringList{path} : QStringList{});
    if (rendered) {
        QCOMPARE(m_engine->renderedSpeed, bpm2.toDouble() / 120);
        QCOMPARE(m_engine->renderedTempo, bpm2.toDouble());
        QCOMPARE(m_engine->replaced, exists); // the old file goes only once the new one is whole
        QVERIFY(QFileInfo::exists(path) == exists);
    }
    QFETCH(QString, message);
    QStringList told;
    for (const korvo::Message& m : m_platform->messages)
        if (m.buttons == korvo::Message::Buttons::Ok)
            told << m.text;
    QCOMPARE(told, message.isEmpty() ? QStringList{} : QStringList{message});
    window.hide();
    m_window->hide();
}

void TestSampleWindow::barLines_data()
{
    // A loop of `beats` beats at 120 drawn 480 pixels wide: where its first bars begin, and how many
    // lines it has.
    QTest::addColumn<int>("beats");
    QTest::addColumn<QList<double>>("bars");
    QTest::addColumn<int>("lines");
    QTest::newRow("2 bars of 4/4") << 8 << QList<double>{0, 240} << 8;
    QTest::newRow("2 bars of 3/4") << 6 << QList<double>{0, 240} << 6;
    QTest::newRow("12 beats go in fours") << 12 << QList<double>{0, 160, 320} << 12;
    QTest::newRow("beats too close together: bars only") << 256 << QList<double>{0, 7.5, 15} << 64;
}

void TestSampleWindow::barLines()
{
    QFETCH(int, beats);
    QFETCH(QList<double>, bars);
    const std::int64_t frames = std::int64_t(beats) * 44100 / 2;
    QList<double> barsSeen;
    int lines = 0;
    for (const korvo::sample::GridLine& line : korvo::sample::beatGrid(frames, 44100, 120, beats, 480)) {
        ++lines;
        if (line.bar)
            barsSeen << line.x;
    }
    QTEST(lines, "lines");
    QVERIFY(barsSeen.size() >= bars.size());
    for (qsizetype i = 0; i < bars.size(); ++i)
        QCOMPARE(barsSeen[i], bars[i]);
}

#include "testmain.h"
KORVO_TEST_MAIN(TestSampleWindow)
#include "tst_samplewindow.moc"
