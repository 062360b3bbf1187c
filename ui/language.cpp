#include "ui/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

// The catalogue lives in a static library, where nothing else would keep its registration from
// being dropped by the linker. Q_INIT_RESOURCE must be used outside any namespace.
static void registerCatalogue()
{
    Q_INIT_RESOURCE(korvo_translations);
}

namespace korvo::ui {
namespace {

Language g_language = Language::Japanese;

// Where the built-in English catalogue is, registered the first time it is asked for.
QString englishCatalogue()
{
    static const bool registered = (registerCatalogue(), true);
    (void)registered;
    return QStringLiteral(":/i18n/korvo_en.qm");
}

QTranslator& ownTexts()
{
    static QTranslator translator;
    return translator;
}

QTranslator& qtTexts()
{
    static QTranslator translator;
    return translator;
}

} // namespace

Language languageFor(const QStringList& uiLanguages)
{
    if (uiLanguages.isEmpty())
        return Language::Japanese;
    const QString first = uiLanguages.front();
    if (first == "C" || first == "POSIX" || first.startsWith("ja", Qt::CaseInsensitive))
        return Language::Japanese;
    return Language::English;
}

Language systemLanguage()
{
    return languageFor(QLocale::system().uiLanguages());
}

bool useLanguage(Language language)
{
    QCoreApplication::removeTranslator(&ownTexts());
    QCoreApplication::removeTranslator(&qtTexts());
    g_language = language;
    if (language == Language::Japanese) {
        if (!qtTexts().load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            return false;
        QCoreApplication::installTranslator(&qtTexts());
        return true;
    }
    if (!ownTexts().load(englishCatalogue()))
        return false;
    QCoreApplication::installTranslator(&ownTexts());
    return true;
}

Language currentLanguage()
{
    return g_language;
}

QString translatedEarly(const char* context, const char* text)
{
    QTranslator english;
    if (systemLanguage() == Language::English && english.load(englishCatalogue()))
        if (const QString translated = english.translate(context, text); !translated.isEmpty())
            return translated;
    return QString::fromUtf8(text);
}

} // namespace korvo::ui
