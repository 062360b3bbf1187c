#pragma once

#include <QStringList>

// The language of the interface. Japanese is the program's own: its texts are written in it, and
// the English comes from the catalogue built into the program (translations/korvo_en.ts).
namespace korvo::ui {

enum class Language
{
    Japanese,
    English
};

// The language asked for by the system's interface languages, the preferred one first (as
// QLocale::uiLanguages() gives them): Japanese for Japanese, and for the C or POSIX locale, which
// asks for none; English for every other, as it is read more widely than Japanese.
Language languageFor(const QStringList& uiLanguages);

// The system's interface language, as languageFor() reads it.
Language systemLanguage();

// Speaks `language` from now on: Korvo's own texts, and Qt's (its buttons and the headings of
// --help), which come in Japanese with Japanese and in Qt's own English otherwise. Needs the
// application object; may be called again to change. Returns whether every catalogue it needed
// was found.
bool useLanguage(Language language);

// The language in use (Japanese before useLanguage() is called).
Language currentLanguage();

// A text marked with QT_TRANSLATE_NOOP, in the system's language, for what is said before the
// application object exists (when no window system can be reached).
QString translatedEarly(const char* context, const char* text);

} // namespace korvo::ui
