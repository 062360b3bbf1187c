#include "ui/fontorder.h"
#include "ui/fonts.h"

namespace korvo::ui {

// IPA P Gothic first: its letters have the widths and the height the windows were drawn for (a
// proportional face, one em from the top of an ideograph to its foot). The desktops' usual Japanese
// fonts follow: Noto Sans CJK JP sets kana at full width and gives each line almost half an em more
// room, VL PGothic runs a little wider; the windows fit them too, only less snugly. The design face
// itself is rarely installed here: it comes last.
QStringList japaneseStandIns()
{
    return {"IPAPGothic",
            "IPA Pゴシック",
            "Noto Sans CJK JP",
            "VL PGothic",
            "TakaoPGothic",
            "IPAGothic",
            QString::fromUtf8(kJapaneseFace)};
}

// The system's font configuration provides the Japanese fonts.
void loadCarriedFonts() {}

} // namespace korvo::ui
