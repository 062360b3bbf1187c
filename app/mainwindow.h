#pragma once

#include "app/manualwindow.h"
#include "delay/delaywindow.h"
#include "pitch/tempoentry.h"
#include "sample/sampletempo.h"
#include "sample/samplewindow.h"
#include "settings/settingsstore.h"
#include "tap/tapwindow.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <optional>

class QLineEdit;
class QPushButton;

namespace korvo {

// The main window: two tempo entries with their sliders, the pitch change between them, and the
// commands that open the other windows. It is the program's only route in and out: constructing
// it is the start-up sequence, and every way of closing it goes through Terminate().
class MainWindow final : public QMainWindow, public DelayHost, public TapHost
{
    Q_OBJECT

public:
    explicit MainWindow(settings::Store store = settings::Store::forThisProgram(), QWidget* parent = nullptr);
    ~MainWindow() override;

    // The values iserr takes.
    static constexpr qint16 kAccepted = 0;     // the last calculation found both tempos valid
    static constexpr qint16 kRejected = 1;     // it rejected a tempo and put both entries back
    static constexpr qint16 kShuttingDown = 2; // Terminate is closing everything

    // Outcome of the last calculation, or the shutdown marker.
    qint16 iserr = kAccepted;
    // tap_ref, which entry the tap window works on, comes with TapHost.

    void calc_pitch() override;
    void Terminate();
    // The same closing path when nobody is at the screen (the system shutting down, a signal):
    // no question waits for an answer, as if each were answered with OK.
    void terminateUnattended();
    void load_init();
    // False when the save failed; the user has been told.
    bool write_init();

    // Event handlers, named after their control and event.
    void HScroll0_Change();
    void HScroll1_Change();
    void Command1_Click();
    void Menu_calculate_Click();
    void Command2_Click();
    void menu_exit_Click();
    void CommandD_Click();
    void CommandTA_Click();
    void CommandTB_Click();
    void menu_manual_Click();
    void Manu_credit_Click();
    void Form_QueryUnload(bool& cancel);
    // The tempo of a sample file: asked for BPM 1 or BPM 2 from the File menu, or dropped on either
    // entry; what the user takes from the result is written into the entry and calculated.
    void menu_sampletempo_Click();
    void menu_sampletempo2_Click();
    void FrameBPM_FileDrop(int entry, const QString& file);
    // A reading taken into BPM 1 is also the sample window's loop, which then opens.
    void sampleTempoChosen(int entry, const ChosenTempo& chosen);
    void menu_sample_Click();
    // A file named on the command line: read for BPM 1 as if dropped there, once the event loop runs
    // and the window is up. A relative path is taken from the current folder as it is now.
    void readSampleAtStart(const QString& file);

    // The controls other windows and tests address.
    TempoEntry* tempoEntry(int entry) const { return m_tempoEntries.at(entry); } // 0: BPM 1, 1: BPM 2
    QLineEdit* pitchBox() const { return m_pitchBox; }       // the pitch adjustment in semitones
    QLineEdit* semitoneBox() const { return m_semitoneBox; } // the sampler's whole semitones
    QLineEdit* centBox() const { return m_centBox; }         // the sampler's fine part in cents

    // The delay window, loaded hidden when it is not loaded yet: addressing it is what loads it.
    DelayWindow* delayWindow();
    // The windows as they are now, without loading anything (null when not loaded).
    DelayWindow* loadedDelayWindow() const { return m_delay; }
    // The sample window, made when it is first asked for (null until then).
    SampleWindow* sampleWindow() const { return m_sample; }
    TapWindow* tapWindow() const { return m_tap; }
    ManualWindow* manualWindow() const { return m_manual; }
    SampleTempo* sampleTempo() const { return m_sampleTempo; }

    // DelayHost and TapHost
    QString bpm2Text() const override;
    QMargins windowFrame() const override;
    void showMainWindow() override;
    QString entryText(int entry) const override;
    void setEntryText(int entry, const QString& text) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void placeWindow();
    // Both tempos as read, when both lie in the valid range.
    std::optional<std::array<double, 2>> validTempos() const;
    void rejectTempos();
    void openTap(int entry);
    void askForSample(int entry);
    void showSampleWindow();
    void placeSampleWindow();

    std::array<TempoEntry*, 2> m_tempoEntries{};
    QLineEdit* m_pitchBox = nullptr;
    QLineEdit* m_semitoneBox = nullptr;
    QLineEdit* m_centBox = nullptr;
    QPushButton* m_calculateButton = nullptr;

    QPointer<DelayWindow> m_delay;
    QPointer<TapWindow> m_tap;
    QPointer<ManualWindow> m_manual;
    QPointer<SampleWindow> m_sample;
    SampleTempo* m_sampleTempo = nullptr;
    settings::Store m_store;
    QMargins m_frame; // the window manager's frame, as it answered before the window was shown
};

} // namespace korvo
