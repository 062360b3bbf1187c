#include "sample/sampletempo.h"

#include "sample/sampletempodialog.h"
#include "sample/samplewords.h"
#include "ui/platform.h"

#include <QFileInfo>
#include <QProgressBar>
#include <QProgressDialog>
#include <QStringList>
#include <QThread>

namespace korvo {

SampleTempo::SampleTempo(QWidget* window) : QObject(window), m_window(window) {}

SampleTempo::~SampleTempo()
{
    stopThread();
    delete m_progress;
    delete m_dialog;
}

QString SampleTempo::fileFilter()
{
    QStringList patterns;
    for (const std::string& extension : sample::readableExtensions())
        patterns << "*." + QString::fromStdString(extension);
    return tr("音声ファイル (%1);;すべてのファイル (*)").arg(patterns.join(' '));
}

void SampleTempo::read(int entry, const QString& file)
{
    stopThread();
    delete m_progress;
    m_entry = entry;
    m_file = file;
    m_cancelled = std::make_shared<std::atomic_bool>(false);
    m_result = std::make_shared<sample::Analysis>();

    // The worker holds its own references: nothing it touches goes away under it.
    const std::filesystem::path path(file.toStdU16String());
    auto cancelled = m_cancelled;
    auto result = m_result;
    auto hook = m_pieceHook;
    m_thread = QThread::create([this, path, cancelled, result, hook] {
        int shown = -1;
        *result = sample::analyseFile(path, [&](double done) {
            if (hook && !hook(done))
                return false;
            const int percent = static_cast<int>(done * 100);
            if (percent != shown) {
                shown = percent;
                // Queued to this object: dropped, not run, if it is gone by then.
                QMetaObject::invokeMethod(
                    this,
                    [this, percent] {
                        if (m_progress)
                            m_progress->setValue(percent);
                    },
                    Qt::QueuedConnection);
            }
            return !cancelled->load();
        });
    });
    connect(m_thread, &QThread::finished, this, &SampleTempo::finish);

    // Shown only when the reading takes longer than half a second; modeless, so the window stays
    // usable, and its button stops the reading.
    m_progress = new QProgressDialog(tr("%1 のテンポを調べています...").arg(QFileInfo(file).fileName()),
                                     tr("中止"), 0, 100, m_window);
    m_progress->setObjectName("SampleProgress");
    auto* bar = new QProgressBar;
    bar->setAccessibleName(tr("進行状況")); // nameless, a reader would say only a percentage
    m_progress->setBar(bar);
    m_progress->setWindowTitle(tr("サンプルのテンポ"));
    m_progress->setWindowModality(Qt::NonModal);
    m_progress->setAutoReset(false);
    m_progress->setAutoClose(false);
    m_progress->setMinimumDuration(500);
    connect(m_progress, &QProgressDialog::canceled, this, &SampleTempo::cancel);
    m_thread->start();
}

void SampleTempo::cancel()
{
    if (m_cancelled)
        m_cancelled->store(true);
}

void SampleTempo::stopThread()
{
    if (!m_thread)
        return;
    cancel();
    m_thread->disconnect(this);
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

void SampleTempo::finish()
{
    if (!m_thread || sender() != m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    delete m_progress;

    const sample::Analysis analysis = *m_result;
    const QString name = QFileInfo(m_file).fileName();
    if (analysis.failure == sample::Failure::Cancelled) {
        emit finished();
        return;
    }
    if (analysis.failure != sample::Failure::None) {
        Platform& platform = Platform::current();
        platform.beep();
        platform.show(m_window, {Message::Icon::Exclamation, Message::Buttons::Ok, tr("サンプルのテンポ"),
                                 tr("%1 のテンポを読み取れませんでした。\n%2")
                                     .arg(name, SampleWords::failureReason(analysis.failure))});
        emit finished();
        return;
    }

    // Modal to the program, but without a nested event loop, as the tap window: the answer comes
    // back through its signals.
    delete m_dialog;
    m_dialog = new SampleTempoDialog(name, analysis, m_entry, m_window);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog->setWindowModality(Qt::ApplicationModal);
    const int entry = m_entry;
    const ChosenTempo file{m_file, QString(), 0, 0, analysis.seconds};
    connect(m_dialog, &QDialog::accepted, this, [this, entry, file] {
        if (!m_dialog || m_dialog->chosenText().isEmpty())
            return;
        ChosenTempo chosen = file;
        chosen.text = m_dialog->chosenText();
        chosen.tempo = m_dialog->chosenTempo();
        chosen.beats = m_dialog->chosenBeats();
        emit tempoChosen(entry, chosen);
    });
    m_dialog->show();
    emit finished();
}

} // namespace korvo
