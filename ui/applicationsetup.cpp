#include "ui/applicationsetup.h"

#include "ui/fontorder.h"
#include "ui/fonts.h"
#include "ui/language.h"

#include <QApplication>

namespace korvo::ui {

void setupApplication()
{
    loadCarriedFonts();
    // For fonts made from a design name anywhere else, such as in a style sheet.
    for (const char* face : {kJapaneseFace, "Arial"}) {
        QStringList installed = standInFamilies(face);
        installed.removeAll(QString::fromUtf8(face));
        QFont::insertSubstitutions(QString::fromUtf8(face), installed);
    }
    QApplication::setFont(windowFont());

    // Japanese or English, as the system asks; Qt's own texts (OK/キャンセル, context menus) follow.
    useLanguage(systemLanguage());
}

} // namespace korvo::ui
