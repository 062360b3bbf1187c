#include "ui/textfit.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <cmath>

namespace korvo::ui {

namespace {

constexpr int kTightestSpacing = 82;        // percent of the letters' own spacing
constexpr double kSmallestSize = 2.0 / 3.0; // of the designed size: 12 pt down to 8 pt
constexpr double kSmallestFigures = 0.6;    // for figures, which have no fine strokes to lose: to 7.2 pt
constexpr double kAboveBaseline = 0.88;     // of the em: an ideograph's top to the baseline
constexpr double kBelowBaseline = 0.12;     // of the em: the baseline to an ideograph's foot

} // namespace

QFont fitWidth(const QFont& design, const QString& text, qreal room, const QPaintDevice* device, Fit fit)
{
    QFont f = design;
    const auto tooWide = [&] {
        const QFontMetricsF metrics = device ? QFontMetricsF(f, device) : QFontMetricsF(f);
        return metrics.horizontalAdvance(text) > room;
    };
    const auto closer = [&] {
        for (int percent = 100; percent > kTightestSpacing && tooWide(); percent -= 2)
            f.setLetterSpacing(QFont::PercentageSpacing, percent - 2);
    };
    const auto smaller = [&] {
        const double smallest =
            design.pointSizeF() * (fit == Fit::CloserThenSmaller ? kSmallestSize : kSmallestFigures);
        while (tooWide() && f.pointSizeF() - 0.25 >= smallest)
            f.setPointSizeF(f.pointSizeF() - 0.25);
    };
    if (fit == Fit::CloserThenSmaller) {
        closer();
        smaller();
    } else {
        smaller();
        closer();
    }
    return f;
}

void drawLine(QPainter& painter, const QRectF& place, Qt::Alignment alignment, int flags, const QString& text,
              qreal designPoints)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    const qreal points = designPoints > 0 ? designPoints : painter.font().pointSizeF();
    const qreal em = points * painter.device()->logicalDpiY() / 72.0;
    // On a whole pixel, as Qt puts its own lines (the letters' shapes are hinted to the pixel
    // grid); at the top of a place the em stays wholly inside it.
    const qreal baseline = alignment & Qt::AlignVCenter
                               ? std::round(place.top() + (place.height() + em) / 2 - kBelowBaseline * em)
                               : std::ceil(place.top() + kAboveBaseline * em);
    // Qt puts a line's baseline its font's ascent below the top of the rectangle it is given.
    const QRectF line(place.left(), baseline - metrics.ascent(), place.width(), metrics.height());
    painter.drawText(
        line, int(alignment & Qt::AlignHorizontal_Mask) | Qt::AlignTop | Qt::TextSingleLine | flags, text);
}

} // namespace korvo::ui
