#include "ui/systemfonts.h"

namespace korvo::ui {

// The system's font configuration provides the Japanese fonts; the design face is a last resort.
QStringList systemJapaneseOrder(QStringList common)
{
    return common;
}

void loadCarriedFonts() {}

} // namespace korvo::ui
