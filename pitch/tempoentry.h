#pragma once

#include <QGroupBox>

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace korvo {

// One tempo of the main window: the framed box the user types into, the tap button, and the
// slider that holds the same tempo in tenths of a BPM. The entry keeps the text and the slider
// related by the tempo rules; when to calculate is the main window's business, so every change of
// the slider position is only announced.
class TempoEntry final : public QGroupBox
{
    Q_OBJECT

public:
    // entry 0 is BPM 1 (the sample's tempo), entry 1 is BPM 2 (the tempo wanted).
    TempoEntry(int entry, QWidget* parent);

    QLineEdit* textBox() const { return m_textBox; }
    QScrollBar* slider() const { return m_slider; }
    QPushButton* tapButton() const { return m_tapButton; }

    QString text() const;
    void setText(const QString& text);
    // The tempo as the lenient reading finds it at the start of the text; 0 when there is none.
    double value() const;

    // The box shows the tempo the slider holds.
    void showSliderTempo();
    // The slider moves to the box's tempo; an actual move is announced like any other.
    void alignSlider();
    // The same, unannounced: for restoring saved tempos before anything is calculated.
    void alignSliderQuietly();

signals:
    // Every change of the slider position: a drag step, a click, a key, or the program moving it.
    void sliderChanged();
    void tapClicked();
    // A file was dropped on the frame, the box or the slider.
    void fileDropped(const QString& file);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QLineEdit* m_textBox = nullptr;
    QPushButton* m_tapButton = nullptr;
    QScrollBar* m_slider = nullptr;
};

} // namespace korvo
