#pragma once

#include "sample/sampleanalysis.h"
#include "sample/sampletempodialog.h"

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <atomic>
#include <memory>

class QThread;
class QWidget;

namespace korvo {

// The reading the user took from a sample: its tempo as a tempo box takes it, and what it reads the
// file as.
struct ChosenTempo
{
    QString file;
    QString text;
    double tempo = 0;
    int beats = 0;      // 0: a tempo heard in the beat, not a whole number of beats of the file
    double seconds = 0; // the file's length
};

// Reads the tempo of a sample file for a tempo entry, off the user-interface thread: a file that
// takes more than a moment shows its progress in a window of its own that can stop it, and the
// main window stays usable meanwhile. What was found is offered in a dialog; its OK announces the
// reading chosen. A file that gives no tempo is reported, and nothing is announced.
class SampleTempo final : public QObject
{
    Q_OBJECT

public:
    // Messages and dialogs belong to `window`.
    explicit SampleTempo(QWidget* window);
    ~SampleTempo() override;

    // Starts reading `file` for entry 0 (BPM 1) or 1 (BPM 2); a reading still running is stopped.
    void read(int entry, const QString& file);
    bool busy() const { return m_thread != nullptr; }
    // Stops the reading that runs, without a message.
    void cancel();

    // The dialog offering the result while it is open; the progress window while it exists.
    SampleTempoDialog* dialog() const { return m_dialog; }
    QProgressDialog* progressDialog() const { return m_progress; }

    // Called from the reading's thread after every piece it reads, besides the progress window
    // (a test slows the reading down with it).
    void setPieceHook(sample::Progress hook) { m_pieceHook = std::move(hook); }

    // The file dialog's filter: the formats this build of libsndfile reads.
    static QString fileFilter();

signals:
    void tempoChosen(int entry, const korvo::ChosenTempo& chosen);
    // A reading ended, with a dialog, a message or cancelled.
    void finished();

private:
    void finish();
    void stopThread();

    QWidget* m_window;
    sample::Progress m_pieceHook;
    QThread* m_thread = nullptr;
    std::shared_ptr<std::atomic_bool> m_cancelled;
    std::shared_ptr<sample::Analysis> m_result;
    int m_entry = 0;
    QString m_file;
    QPointer<QProgressDialog> m_progress;
    QPointer<SampleTempoDialog> m_dialog;
};

} // namespace korvo

Q_DECLARE_METATYPE(korvo::ChosenTempo)
