#pragma once

#include "delay/delaywords.h"

#include <QMargins>
#include <QString>
#include <QWidget>

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
    // The frame the window manager gives the main window (none where unknown); the delay window
    // takes its own to be the same, rather than ask the window manager again.
    virtual QMargins windowFrame() const = 0;
    virtual void showMainWindow() = 0;
};

// The delay window: a note value at the main window's BPM 2 as milliseconds, and on request as
// MIDI ticks or video frames. Modeless; its close button only hides it, while closing it from the
// frame deletes it, so the next one starts again from the default choices.
//
// Start-up loads the window hidden, and most runs never show it, so what it holds lives in a
// plain set of values and its controls are made the first time it is shown. Until then the
// window costs start-up no fonts, no widgets and no layout; once made, the controls show the
// values and every pick in them goes back into the values.
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

    // Makes the controls now if they are not made yet; showing the window does it by itself.
    // Anything that addresses a control by its name before the window was shown calls this first.
    void makeControls();
    bool hasControls() const { return m_closeButton != nullptr; }

    void setVisible(bool visible) override;

protected:
    // Escape acts as the Close button, as in any window that has one.
    void keyPressEvent(QKeyEvent* event) override;

public:
    // Event handlers, named after their control and event. The list handlers take the lists' picks
    // into the values; without controls there is nothing to take.
    void Form_Load();
    void CboNote_Click();
    void CboFormat_Click();
    void Command1_Click();
    void Command2_Click();

private:
    // Everything the window holds: the tempo it was handed, the three selections and what the
    // computation made of them. The controls only show these.
    struct Values
    {
        QString bpmText;
        int note = -1;
        int modifier = -1;
        int format = -1;
        delay::Result result;
    };

    void calc_delay();
    void selectDefaults();
    // One selection's value, and its list when the controls are made; recomputes on a change.
    void select(int& value, QComboBox* list, int i);
    void showResult();

    DelayHost& m_host;
    Values m_values;

    QLineEdit* m_bpmBox = nullptr;          // TextBPM(1)
    QComboBox* m_noteList = nullptr;        // CboNote(0)
    QComboBox* m_modifierList = nullptr;    // CboNote(1)
    QComboBox* m_formatList = nullptr;      // CboFormat
    QLineEdit* m_delayBox = nullptr;        // TextD
    QLineEdit* m_optionBox = nullptr;       // TextT
    QLabel* m_optionUnit = nullptr;         // Label7
    QPushButton* m_defaultButton = nullptr; // Command1
    QPushButton* m_closeButton = nullptr;   // Command2
};

} // namespace korvo
