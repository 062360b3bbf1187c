#include "ui/fontorder.h"

namespace korvo::ui {

// IPA P Gothic first: its letters have the widths and the height the windows were drawn for (a
// proportional face, one em from the top of an ideograph to its foot). The desktops' usual Japanese
// fonts follow: Noto Sans CJK JP sets kana at full width and gives each line almost half an em more
// room, VL PGothic runs a little wider; the windows fit them too, only less snugly.
QStringList japaneseStandIns()
{
    return {"IPAPGothic", "IPA Pゴシック", "Noto Sans CJK JP", "VL PGothic", "TakaoPGothic", "IPAGothic"};
}

} // namespace korvo::ui
