#pragma once

#include "ui/captions.h"
#include "ui/fonts.h"

#include <QFont>
#include <QRect>
#include <QString>

class QGroupBox;
class QPushButton;
class QWidget;

// Windows are laid out in twips, 1/1440 inch; at 96 dots per inch that is 15 twips to one
// device-independent pixel, and Qt scales the pixels on high-density screens.
namespace korvo::ui {

inline constexpr int kTwipsPerPixel = 15;

constexpr int px(int twips)
{
    return (twips * 2 + kTwipsPerPixel) / (2 * kTwipsPerPixel); // nearest pixel
}

inline QRect twips(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// Controls placed by twips inside a parent (a window's client area or a frame).
QGroupBox* frame(QWidget* parent, const QString& title, const QFont& font, QRect rect);
// Gives a frame that is a widget class of its own the caption, font, place and look of frame().
void makeFrame(QGroupBox* box, const QString& title, const QFont& font, QRect rect);
CaptionLabel* label(QWidget* parent, const QString& text, const QFont& font, QRect rect);
QPushButton* button(QWidget* parent, const QString& text, const QFont& font, QRect rect);

} // namespace korvo::ui
