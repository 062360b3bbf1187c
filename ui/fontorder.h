#pragma once

#include <QStringList>

// Which installed Japanese font stands in for the design face, best first. Each system has its own
// list in a file of its own (fontorder_<system>.cpp): the order is a choice made per system, and
// this is the one place to make it.
namespace korvo::ui {

// The families to try for the Japanese design face, best first, the design name among them.
QStringList japaneseStandIns();

// Makes the fonts the program carries with it known to Qt, for a system that lacks the design
// face. Called once at start-up, before any font is chosen.
void loadCarriedFonts();

} // namespace korvo::ui
