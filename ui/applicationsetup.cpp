#include "ui/applicationsetup.h"

#include "ui/fontorder.h"
#include "ui/fonts.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

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

    // The whole interface is Japanese, so Qt's own texts (OK/キャンセル, context menus) are too,
    // whatever the system language.
    static QTranslator translator;
    if (translator.load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

} // namespace korvo::ui
