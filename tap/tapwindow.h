#pragma once

#include "tap/tapestimator.h"

#include <QDialog>
#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvo {

// What the tap window needs from the main window.
class TapHost
{
public:
    virtual ~TapHost() = default;
    // Which entry the tap window works on: 0 for BPM 1, 1 for BPM 2. The main window sets it just
    // before it opens the tap window; the tap window only reads it.
    qint16 tap_ref = 0;
    virtual QString entryText(int entry) const = 0;                // the entry's text box
    virtual void setEntryText(int entry, const QString& text) = 0; // writes it, starts nothing
    virtual void calc_pitch() = 0;                                 // the main window's recalculation
    virtual void showMainWindow() = 0;
};

// The tap-tempo window: every click of the big button is a quarter-note beat, and from the second
// one on the running estimate goes straight into the entry the window was opened for.
class TapWindow : public QDialog
{
    Q_OBJECT
public:
    explicit TapWindow(TapHost& host, QWidget* parent = nullptr);

    // Event handlers, named after their control and event.
    void Form_Load();
    void Command1_Click();
    void CommandClear_Click();
    void CommandClose_Click();
    void CmdSend1_Click();
    void CmdSend2_Click();
    void CommandCopy_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void send(int entry);

    TapHost& m_host;
    TapEstimator m_tap;

    QGroupBox* m_frame = nullptr;
    QLineEdit* m_value = nullptr;
    QPushButton* m_tapButton = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_close = nullptr;
    QPushButton* m_send1 = nullptr;
    QPushButton* m_send2 = nullptr;
    QPushButton* m_copy = nullptr;
    std::array<QLabel*, 5> m_labels{};
};

} // namespace korvo
