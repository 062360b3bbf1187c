#pragma once

#include <QScrollBar>

namespace korvo::ui {

// A horizontal slider that moves the way the user points: the Left key, a click left of the thumb
// and a sideways swipe to the left all lower the value; wheel-up raises it, as on any value control.
class Slider final : public QScrollBar
{
public:
    explicit Slider(QWidget* parent);

protected:
    void wheelEvent(QWheelEvent* event) override;
    // With the focus, a focus frame round the slider: the desktop styles draw none on scroll bars.
    void paintEvent(QPaintEvent* event) override;
};

} // namespace korvo::ui
