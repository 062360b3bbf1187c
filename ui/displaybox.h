#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QLineEdit;
class QWidget;

namespace korvo::ui {

// A box the program writes and the user only reads: no typing, no focus, text in black. A text
// wider than the box is drawn tighter and, if need be, smaller; beyond that its start shows.
QLineEdit* displayBox(QWidget* parent, const QString& text, const QFont& font, QRect rect);

} // namespace korvo::ui
