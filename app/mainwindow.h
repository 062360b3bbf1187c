#pragma once

#include "app/manualwindow.h"
#include "delay/delaywindow.h"
#include "settings/settingsstore.h"
#include "tap/tapwindow.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <optional>

class QLineEdit;
class QPushButton;
class QScrollBar;

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

    // Outcome of the last calculation: 0 accepted, 1 a tempo was rejected, 2 shutting down.
    qint16 iserr = 0;
    // Which entry the tap window works on: 0 for BPM 1, 1 for BPM 2.
    qint16 tap_ref = 0;

    void calc_pitch();
    void Terminate();
    // The same closing path when nobody is at the screen (the system shutting down, a signal):
    // no question waits for an answer, as if each were answered with OK.
    void terminateUnattended();
    void load_init();
    void write_init();

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

    // The controls other windows and tests address.
    QLineEdit* textBpm(int entry) const { return m_textBpm.at(entry); }
    QScrollBar* hscroll(int entry) const { return m_hscroll.at(entry); }
    QLineEdit* textC(int index) const; // 0: pitch adjustment, 3: semitones, 4: cents

    // The delay window, loaded hidden when it is not loaded yet: addressing it is what loads it.
    DelayWindow* delayWindow();
    // The windows as they are now, without loading anything (null when not loaded).
    DelayWindow* loadedDelayWindow() const { return m_delay; }
    TapWindow* tapWindow() const { return m_tap; }
    ManualWindow* manualWindow() const { return m_manual; }

    // DelayHost and TapHost
    QString bpm2Text() const override;
    void showMainWindow() override;
    int tapRef() const override { return tap_ref; }
    QString entryText(int entry) const override;
    void setEntryText(int entry, const QString& text) override;
    void calcPitch() override { calc_pitch(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void placeWindow();
    void followSlider(int entry);
    void restoreSliders();
    // Both tempos as read, when both lie in the valid range.
    std::optional<std::array<double, 2>> validTempos() const;
    void rejectTempos();
    void openTap(int entry);

    std::array<QLineEdit*, 2> m_textBpm{};
    std::array<QScrollBar*, 2> m_hscroll{};
    std::array<QLineEdit*, 3> m_textC{}; // TextC(0), TextC(3), TextC(4)
    QPushButton* m_command1 = nullptr;

    QPointer<DelayWindow> m_delay;
    QPointer<TapWindow> m_tap;
    QPointer<ManualWindow> m_manual;
    settings::Store m_store;
};

} // namespace korvo
