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
// The first of those this machine has, looked up once per face; the design name when none is.
QString installedFamily(const char* face);
// From now on the windows made use `family` for a design face, installed first or not: the text-fit
// test lays the windows out once with every Japanese font the machine has.
void useStandIn(const char* face, const QString& family);

} // namespace korvo::ui
