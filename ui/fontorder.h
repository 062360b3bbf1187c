#pragma once

#include <QStringList>

// Which installed Japanese font stands in for the design face, best first. Each system has its own
// list in a file of its own (fontorder_<system>.cpp): the order is a choice made per system, and
// this is the one place to make it.
namespace korvo::ui {

QStringList japaneseStandIns();

} // namespace korvo::ui
