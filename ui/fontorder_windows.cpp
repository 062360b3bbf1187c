#include "ui/fontorder.h"
#include "ui/fonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>

namespace korvo::ui {
namespace {

// Windows lists its Japanese system fonts under their English names as well as their own.
const char* const kDesignFaceEnglish = "MS PGothic";

// IPA P Gothic, carried in the package with its licence, in the program's "fonts" folder.
const char* const kCarriedFont = "fonts/ipagp.ttf";

} // namespace

// The design face itself comes first where Windows has it, so the windows look as designed; the
// carried IPA P Gothic and the fonts a user may have added follow.
QStringList japaneseStandIns()
{
    return {QString::fromUtf8(kJapaneseFace),
            kDesignFaceEnglish,
            "IPAPGothic",
            "IPA Pゴシック",
            "Noto Sans CJK JP",
            "VL PGothic",
            "TakaoPGothic",
            "IPAGothic"};
}

// A Windows without the Japanese fonts (and Wine) lacks the design face: the carried IPA P Gothic
// then stands in, so the windows keep the proportions they were laid out with.
void loadCarriedFonts()
{
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(QString::fromUtf8(kJapaneseFace), Qt::CaseInsensitive) ||
        installed.contains(QString::fromLatin1(kDesignFaceEnglish), Qt::CaseInsensitive))
        return;
    QFontDatabase::addApplicationFont(QDir(QCoreApplication::applicationDirPath()).filePath(kCarriedFont));
}

} // namespace korvo::ui
