#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QLineEdit;
class QWidget;

namespace korvo::ui {

// A box the program writes and the user only reads: no typing, no focus, text in black. A text
// wider than the box is drawn smaller and, if need be, tighter; beyond that its start shows.
QLineEdit* displayBox(QWidget* parent, const QString& text, const QFont& font, QRect rect);
// A box the user types into that, whenever it is not being edited, shows its whole text from the
// start in the same way; while it has the focus it is an ordinary text box.
QLineEdit* fittingTextBox(QWidget* parent, const QString& text, const QFont& font, QRect rect);

} // namespace korvo::ui
