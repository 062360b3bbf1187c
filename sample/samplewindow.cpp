#include "sample/samplewindow.h"

#include "audio/engineloader.h"
#include "pitch/numbertext.h"
#include "ui/captions.h"
#include "ui/platform.h"
#include "ui/readers.h"
#include "ui/twips.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <thread>

namespace korvo {
namespace {

using ui::twips;

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

QString playFailureText(audio::PlayFailure failure)
{
    return failure == audio::PlayFailure::NoDevice
               ? QCoreApplication::translate("korvo::SampleWindow", "音を出す装置が見つかりません。")
               : QCoreApplication::translate("korvo::SampleWindow", "音を出す装置を使えませんでした。");
}

constexpr const char* kEmptyText = QT_TRANSLATE_NOOP("korvo::Waveform", "サンプルが読み込まれていません。");

constexpr const char* kNoEngineText = QT_TRANSLATE_NOOP(
    "korvo::SampleWindow", "音声モジュールを読み込めないため、サンプルを再生も書き出しもできません。");

} // namespace

Waveform::Waveform(QWidget* parent) : QWidget(parent)
{
    setObjectName("Wave");
    setAccessibleName(tr("波形"));
    // The focus rests here rather than on a button, so that Space plays and stops.
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    m_empty = ui::label(this, tr(kEmptyText), ui::font(9), rect());
    m_empty->setObjectName("Empty");
    m_empty->setAlignment(Qt::AlignCenter);
}

void Waveform::setLoop(std::shared_ptr<const audio::Loop> loop, double tempo, int beats)
{
    m_loop = std::move(loop);
    m_tempo = tempo;
    m_beats = beats;
    m_peaks.clear();
    m_peaksWidth = -1;
    m_playhead = -1;
    m_empty->setVisible(!m_loop);
    update();
}

void Waveform::setPlayhead(std::int64_t frame)
{
    if (frame == m_playhead)
        return;
    m_playhead = frame;
    update();
}

void Waveform::setDecoded(double done)
{
    m_empty->setText(done < 0
                         ? tr(kEmptyText)
                         : tr("読み込んでいます... %1%").arg(std::lround(std::clamp(done, 0.0, 1.0) * 100)));
}

std::vector<sample::GridLine> Waveform::grid() const
{
    if (!m_loop)
        return {};
    return sample::beatGrid(m_loop->frames(), m_loop->sampleRate, m_tempo, m_beats, width());
}

void Waveform::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_empty->setGeometry(rect());
}

void Waveform::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_loop && m_loop->frames() > 0) {
        // The grid behind the sound, bars stronger than beats.
        const QColor beatColour = palette().color(QPalette::Midlight);
        const QColor barColour = palette().color(QPalette::Dark);
        for (const sample::GridLine& line : grid()) {
            painter.setPen(line.bar ? barColour : beatColour);
            const int x = static_cast<int>(std::floor(line.x));
            painter.drawLine(x, 0, x, height() - 1);
        }

        if (m_peaksWidth != width()) {
            m_peaks = sample::peaks(m_loop->samples, m_loop->channels, width());
            m_peaksWidth = width();
        }
        painter.setPen(palette().color(QPalette::Text));
        const double middle = (height() - 1) / 2.0;
        for (int x = 0; x < static_cast<int>(m_peaks.size()); ++x) {
            const sample::Peak& p = m_peaks[static_cast<std::size_t>(x)];
            const auto y = [middle](float s) { return static_cast<int>(std::lround(middle * (1 - s))); };
            painter.drawLine(x, y(std::clamp(p.high, -1.0f, 1.0f)), x, y(std::clamp(p.low, -1.0f, 1.0f)));
        }

        if (m_playhead >= 0) {
            const std::int64_t frames = m_loop->frames();
            const double at = static_cast<double>(m_playhead % frames) / static_cast<double>(frames);
            const int x = static_cast<int>(at * width());
            painter.setPen(palette().color(QPalette::Highlight));
            painter.drawLine(x, 0, x, height() - 1);
        }
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

// A file decoded on a thread of its own. The window hears on its own thread when it is done; a
// decoding dropped before then is stopped and waited for, which takes no longer than one piece of
// the file.
class SampleWindow::Decoding
{
public:
    Decoding(audio::Engine& engine, std::filesystem::path file, std::function<void()> done)
        : m_thread([this, &engine, file = std::move(file), done = std::move(done)] {
              m_loop = engine.load(file, m_failure, [this](double part) {
                  m_done.store(part);
                  return !m_stop.load();
              });
              done();
          })
    {}
    ~Decoding()
    {
        m_stop.store(true);
        if (m_thread.joinable())
            m_thread.join();
    }

    double done() const { return m_done.load(); }
    // Once it has said it is done.
    std::shared_ptr<const audio::Loop> loop(audio::LoadFailure& failure)
    {
        m_thread.join();
        failure = m_failure;
        return m_loop;
    }

private:
    std::shared_ptr<const audio::Loop> m_loop;
    audio::LoadFailure m_failure = audio::LoadFailure::None;
    std::atomic<double> m_done{0};
    std::atomic_bool m_stop{false};
    std::thread m_thread; // last: it starts once everything it writes is there
};

SampleWindow::SampleWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    ui::presentToReaders(staticMetaObject, QAccessible::Window);
    setObjectName("SampleWindow");
    setWindowTitle(tr("Korvo サンプル"));
    setFixedSize(twips(0, 0, 7200, 4200).size());
    buildControls();
    showSample();
    m_timer.setInterval(33);
    connect(&m_timer, &QTimer::timeout, this, &SampleWindow::Timer_Tick);
}

SampleWindow::~SampleWindow()
{
    m_decoding.reset(); // before the window it would tell is gone
}

void SampleWindow::buildControls()
{
    const QFont regular9 = ui::font(9);

    m_waveform = new Waveform(this);
    m_waveform->setGeometry(twips(120, 120, 6960, 2880));

    m_fileLabel = ui::label(this, QString(), ui::font(9, true), twips(120, 3120, 3000, 255));
    m_fileLabel->setObjectName("LabelFile");
    m_lengthLabel = ui::label(this, QString(), regular9, twips(3240, 3120, 1080, 255));
    m_lengthLabel->setObjectName("LabelLength");
    m_tempoLabel = ui::label(this, QString(), regular9, twips(4440, 3120, 2640, 255));
    m_tempoLabel->setObjectName("LabelTempo");

    m_playButton = ui::button(this, tr("再生"), ui::windowFont(), twips(120, 3600, 1200, 375));
    m_playButton->setObjectName("CommandPlay");
    m_withPitchOption = new QRadioButton(tr("ピッチごと"), this);
    m_withPitchOption->setObjectName("OptionMode0");
    m_withPitchOption->setFont(regular9);
    m_withPitchOption->setGeometry(twips(1560, 3660, 1560, 255));
    m_withPitchOption->setChecked(true);
    m_keepPitchOption = new QRadioButton(tr("ピッチを保つ"), this);
    m_keepPitchOption->setObjectName("OptionMode1");
    m_keepPitchOption->setFont(regular9);
    m_keepPitchOption->setGeometry(twips(3240, 3660, 1800, 255));
    m_exportButton = ui::button(this, tr("書き出し..."), ui::windowFont(), twips(5640, 3600, 1440, 375));
    m_exportButton->setObjectName("CommandExport");

    setTabOrder(m_waveform, m_playButton);
    setTabOrder(m_playButton, m_withPitchOption);
    setTabOrder(m_withPitchOption, m_keepPitchOption);
    setTabOrder(m_keepPitchOption, m_exportButton);
    m_waveform->setFocus();

    connect(m_playButton, &QPushButton::clicked, this, &SampleWindow::CommandPlay_Click);
    connect(m_keepPitchOption, &QRadioButton::toggled, this, &SampleWindow::OptionMode_Click);
    connect(m_exportButton, &QPushButton::clicked, this, &SampleWindow::CommandExport_Click);
}

void SampleWindow::setSample(const ChosenTempo& sample)
{
    stop();
    m_decoding.reset(); // the file before is of no more use
    m_sample = sample;
    m_loop.reset();
    audio::Engine* engine = audio::engine();
    if (!engine) {
        showSample();
        tell(tr(kNoEngineText));
        return;
    }
    const unsigned serial = ++m_decodingSerial;
    m_decoding = std::make_unique<Decoding>(
        *engine, std::filesystem::path(sample.file.toStdU16String()), [this, serial] {
            QMetaObject::invokeMethod(
                this, [this, serial] { decoded(serial); }, Qt::QueuedConnection);
        });
    showSample();
    m_timer.start();
}

void SampleWindow::decoded(unsigned serial)
{
    if (!m_decoding || serial != m_decodingSerial)
        return;
    audio::LoadFailure failure = audio::LoadFailure::None;
    m_loop = m_decoding->loop(failure);
    m_decoding.reset();
    if (!m_playback)
        m_timer.stop();
    if (!m_loop || failure != audio::LoadFailure::None) {
        m_loop.reset();
        showSample();
        const QString name = QFileInfo(m_sample.file).fileName();
        tell(failure == audio::LoadFailure::TooLong ? tr("%1 は1時間より長いため、再生できません。").arg(name)
                                                    : tr("%1 を開けませんでした。").arg(name));
        return;
    }
    showSample();
}

void SampleWindow::showSample()
{
    const bool hasFile = !m_sample.file.isEmpty();
    const QString name = QFileInfo(m_sample.file).fileName();
    // A long name loses its middle: its start and its end (a tempo, a take) say most.
    m_fileLabel->setText(
        m_fileLabel->fontMetrics().elidedText(name, Qt::ElideMiddle, m_fileLabel->contentsRect().width()));
    m_fileLabel->setToolTip(name);
    m_fileLabel->setAccessibleName(name);
    m_lengthLabel->setText(hasFile ? q(roundedText(m_sample.seconds, 3)) + tr("秒") : QString());
    showTempos();
    m_waveform->setLoop(m_loop, m_sample.tempo, m_sample.beats);
    m_waveform->setDecoded(m_decoding ? m_decoding->done() : -1);
    m_playButton->setEnabled(m_loop != nullptr);
    m_exportButton->setEnabled(m_loop != nullptr);
}

void SampleWindow::setTempos(double bpm1, double bpm2)
{
    m_bpm1 = bpm1;
    m_bpm2 = bpm2;
    showTempos();
    if (m_playback)
        m_playback->setSpeed(m_bpm2 / m_bpm1);
}

void SampleWindow::showTempos()
{
    m_tempoLabel->setText(m_bpm1 > 0 && !m_sample.file.isEmpty()
                              ? QString("%1 → %2 BPM").arg(q(numberText(m_bpm1)), q(numberText(m_bpm2)))
                              : QString());
}

QString SampleWindow::exportPath() const
{
    if (m_sample.file.isEmpty())
        return {};
    const QFileInfo source(m_sample.file);
    return source.dir().filePath(
        QString("%1 %2bpm.wav").arg(source.completeBaseName(), q(numberText(m_bpm2))));
}

void SampleWindow::CommandPlay_Click()
{
    if (m_playback)
        stop();
    else
        play();
}

void SampleWindow::OptionMode_Click()
{
    m_mode = m_keepPitchOption->isChecked() ? audio::Mode::KeepPitch : audio::Mode::WithPitch;
    if (m_playback) {
        stop();
        play();
    }
}

void SampleWindow::play()
{
    if (!m_loop)
        return;
    audio::Engine* engine = audio::engine();
    if (!engine) {
        tell(tr(kNoEngineText));
        return;
    }
    audio::PlayFailure failure = audio::PlayFailure::None;
    const double speed = m_bpm1 > 0 ? m_bpm2 / m_bpm1 : 1;
    std::unique_ptr<audio::Playback> playback = engine->play(m_loop, m_mode, speed, failure);
    if (!playback || failure != audio::PlayFailure::None) {
        tell(playFailureText(failure));
        return;
    }
    m_playback = std::move(playback);
    m_playButton->setText(tr("停止"));
    m_timer.start();
}

void SampleWindow::stop()
{
    if (!m_decoding)
        m_timer.stop();
    m_playback.reset();
    m_playButton->setText(tr("再生"));
    m_waveform->setPlayhead(-1);
}

void SampleWindow::Timer_Tick()
{
    if (m_decoding)
        m_waveform->setDecoded(m_decoding->done());
    if (!m_playback)
        return;
    if (m_playback->failed()) {
        stop();
        tell(tr("音を出す装置が使えなくなったため、再生を止めました。"));
        return;
    }
    m_waveform->setPlayhead(m_playback->position());
}

void SampleWindow::CommandExport_Click()
{
    const std::shared_ptr<const audio::Loop> loop = m_loop; // kept whatever happens meanwhile
    if (!loop)
        return;
    Platform& platform = Platform::current();
    QString path = platform.saveFileName(this, tr("書き出し"), exportPath(), tr("WAV ファイル (*.wav)"));
    if (path.isEmpty())
        return;
    // A name typed without its ending is still a WAV file, and is asked about as one.
    if (QFileInfo(path).suffix().isEmpty())
        path += ".wav";
    const QString name = QFileInfo(path).fileName();
    const auto refuse = [this, &name](audio::WriteFailure failure) {
        tell(tr("%1 を書き出せませんでした。\n%2").arg(name, audio::writeFailureReason(failure)));
    };
    // The old file stays until the new one is written whole; declined, nothing more is said.
    const bool replace = QFileInfo::exists(path);
    if (replace &&
        !platform.show(this, {Message::Icon::Exclamation, Message::Buttons::OkCancel, tr("書き出し"),
                              tr("%1 はすでにあります。\n置き換えますか？").arg(name)}))
        return;
    audio::Engine* engine = audio::engine();
    if (!engine) {
        tell(tr(kNoEngineText));
        return;
    }

    // Shown only when the render takes more than half a second. It runs here, between the
    // progress dialog's turns of the event loop; the dialog keeps the user out of every window
    // meanwhile, and whatever goes away on its way (a shutdown) is not touched afterwards.
    QPointer<SampleWindow> self(this);
    QPointer<QProgressDialog> progress =
        new QProgressDialog(tr("%1 を書き出しています...").arg(name), tr("中止"), 0, 1000, this);
    progress->setObjectName("ExportProgress");
    progress->setWindowTitle(tr("書き出し"));
    progress->setWindowModality(Qt::ApplicationModal);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    progress->setMinimumDuration(500);
    progress->setValue(0);
    const audio::LoopInfo info{m_bpm2, m_sample.beats};
    const double speed = m_bpm1 > 0 ? m_bpm2 / m_bpm1 : 1;
    const audio::WriteFailure failure = engine->render(
        *loop, m_mode, speed, info, std::filesystem::path(path.toStdU16String()),
        [&](double done) {
            if (!progress)
                return false;
            progress->setValue(static_cast<int>(std::lround(std::clamp(done, 0.0, 1.0) * 1000)));
            return !progress->wasCanceled();
        },
        replace);
    if (!self)
        return;
    delete progress;
    if (failure != audio::WriteFailure::None && failure != audio::WriteFailure::Cancelled)
        refuse(failure);
}

void SampleWindow::tell(const QString& text)
{
    Platform& platform = Platform::current();
    platform.beep();
    platform.show(this, {Message::Icon::Exclamation, Message::Buttons::Ok, tr("サンプル"), text});
}

void SampleWindow::keyPressEvent(QKeyEvent* event)
{
    // A button with the focus has taken Space already; what comes here came from elsewhere.
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Space) {
        CommandPlay_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SampleWindow::hideEvent(QHideEvent* event)
{
    // A hidden window leaves nothing to stop the sound with, so the sound stops with it; a window
    // minimised by the desktop plays on.
    if (!event->spontaneous())
        stop();
    QWidget::hideEvent(event);
}

} // namespace korvo
