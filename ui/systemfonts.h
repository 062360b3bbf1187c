#pragma once

#include <QStringList>

// Each system's own part of the font choice: systemfonts_windows.cpp on Windows, where the Japanese
// design face is a system font, and systemfonts_other.cpp everywhere else.
namespace korvo::ui {

// The fonts that may stand in for the Japanese design face, best first, in this system's order;
// `common` is the order used where the design face is rarely installed (the design name last).
QStringList systemJapaneseOrder(QStringList common);

// Makes the fonts the program carries with it known to Qt, for a system that lacks the design
// face. Called once at start-up, before any font is chosen.
void loadCarriedFonts();

} // namespace korvo::ui
