#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// The faces the windows were designed with, and the installed fonts that stand in for them.
namespace korvo::ui {

// The program's Japanese face. Its name is the one the windows were designed with; start-up maps it
// to an installed Japanese font, so the same name works wherever the program runs.
inline constexpr const char* kJapaneseFace = "ＭＳ Ｐゴシック";

QFont font(double points, bool bold = false, const char* face = kJapaneseFace);

// The font of controls that use the window's own font.
QFont windowFont();

// The installed fonts that may stand in for a design face, best first, the design name last.
QStringList standInFamilies(const char* face);

} // namespace korvo::ui
