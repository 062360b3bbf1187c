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
};

} // namespace korvo::ui
