#pragma once

#include <QString>
#include <QWidget>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvo {

// What the delay window needs from the main window: its BPM 2 text once while loading, and a way
// back to it. The delay window never writes anything to the main window.
class DelayHost
{
public:
    virtual ~DelayHost() = default;
    virtual QString bpm2Text() const = 0;
    virtual void showMainWindow() = 0;
};

// The delay window: a note value at the main window's BPM 2 as milliseconds, and on request as
// MIDI ticks or video frames. Modeless; its close button only hides it, while closing it from the
// frame deletes it, so the next one starts again from the default choices.
class DelayWindow : public QWidget
{
    Q_OBJECT

public:
    // Places the window, takes BPM 2 from the host and selects the default choices; stays hidden.
    explicit DelayWindow(DelayHost& host, QWidget* parent = nullptr);

    // The main window's hand-over of its BPM 2 text; recomputes when the text changes.
    void setBpmText(const QString& text);
    QString bpmText() const;

    // Selection indexes of the three lists, -1 for none. Each change recomputes; an index outside
    // a list selects nothing.
    int noteIndex() const;
    int modifierIndex() const;
    int formatIndex() const;
    void setNoteIndex(int i);
    void setModifierIndex(int i);
    void setFormatIndex(int i);

    QString delayText() const;
    QString optionText() const;
    bool isOptionShown() const; // the option box and its unit, even while the window is hidden
    QString optionUnit() const;

private:
    void Form_Load();
    void TextBPM_Change();
    void CboNote_Click(int index);
    void CboFormat_Click();
    void Command1_Click();
    void Command2_Click();
    void calc_delay();

    DelayHost& m_Host;
    QLineEdit* m_TextBpm = nullptr;           // TextBPM(1)
    std::array<QComboBox*, 2> m_CboNote = {}; // CboNote(0) note length, CboNote(1) modifier
    QComboBox* m_CboFormat = nullptr;
    QLineEdit* m_TextD = nullptr;
    QLineEdit* m_TextT = nullptr;
    QLabel* m_Label7 = nullptr; // the option unit
    QPushButton* m_Command1 = nullptr;
    QPushButton* m_Command2 = nullptr;
};

} // namespace korvo
