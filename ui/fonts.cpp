#include "ui/fonts.h"

#include "ui/fontorder.h"

#include <QFontDatabase>
#include <QHash>
#include <QStringList>

namespace korvo::ui {

// The installed fonts that stand in for each design face, best first, the design name among them
// (for the Japanese face in each system's own order, fontorder_*.cpp). Asking for the families by name lets
// Qt take the first installed one at once, where the design name alone sends every font through fontconfig's
// alias search.
QStringList standInFamilies(const char* face)
{
    const QString design = QString::fromUtf8(face);
    if (design == QString::fromUtf8(kJapaneseFace))
        return japaneseStandIns();
    if (design == "Arial")
        return {"Liberation Sans", "Arimo", "Nimbus Sans", "DejaVu Sans", design};
    return {design};
}

// The installed family that stands in for a design face: the first of its standInFamilies() that this
// machine has, looked up once per face. A font that names one installed family is matched at once;
// naming the whole list makes Qt ask fontconfig for fallback fonts again for every size and weight
// the windows use, which costs a good part of start-up. Without any of them installed the design
// name stays, and the substitutions set up at start-up or fontconfig's own aliases take over.
namespace {

QHash<QString, QString>& resolvedFamilies() // design name -> installed family
{
    static QHash<QString, QString> resolved;
    return resolved;
}

} // namespace

QString installedFamily(const char* face)
{
    QHash<QString, QString>& resolved = resolvedFamilies();
    const QString design = QString::fromUtf8(face);
    const auto known = resolved.constFind(design);
    if (known != resolved.constEnd())
        return *known;
    // The installed names as they are, without hasFamily()'s alias search through fontconfig,
    // which would cost as much as a font.
    const QStringList installed = QFontDatabase::families();
    QString family = design;
    for (const QString& candidate : standInFamilies(face)) {
        if (installed.contains(candidate, Qt::CaseInsensitive)) {
            family = candidate;
            break;
        }
    }
    resolved.insert(design, family);
    return family;
}

void useStandIn(const char* face, const QString& family)
{
    resolvedFamilies().insert(QString::fromUtf8(face), family);
}

QFont font(double points, bool bold, const char* face)
{
    QFont f(installedFamily(face));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QFont windowFont()
{
    return font(9);
}

} // namespace korvo::ui
