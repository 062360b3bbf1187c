#pragma once

#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;
class QPaintDevice;

// Fitting a line of text into the place the layout gives it, whatever Japanese font stands in for
// the design face.
namespace korvo::ui {

// How a text too wide for its place is made to fit.
enum class Fit
{
    // Letters drawn closer first, then smaller: captions, whose kana and kanji keep their shapes
    // when they stand closer.
    CloserThenSmaller,
    // Smaller first, and further, closer only for what is still missing then: figures. Drawn
    // closer, digits run into one another and into the frame, and a decimal point between them all
    // but vanishes.
    SmallerThenCloser,
};

// The design font, fitted as `fit` says until `text` takes no more than `room` pixels, as far as
// stays readable (82% spacing; two thirds of the size, three fifths for figures). The font as
// designed when the text fits already.
QFont fitWidth(const QFont& design, const QString& text, qreal room, const QPaintDevice* device = nullptr,
               Fit fit = Fit::CloserThenSmaller);

// Draws one line of text in `place`: at its top or centred in its height (`alignment`), placed by
// the text's em rather than by the font's own line. The windows were drawn for a face whose line is
// one em high, 0.88 em of it above the baseline, as ideographs sit; some stand-in faces give a line
// half an em more (Noto Sans CJK), which would push the letters and the access-key underline out of
// a control drawn for one em. `flags` adds Qt::TextShowMnemonic or Qt::TextHideMnemonic. A text
// drawn smaller than designed to fit its place is given the designed size (`designPoints`): it stays
// on the designed baseline, the line its neighbours stand on, instead of rising with its smaller em
// towards the top of its place.
void drawLine(QPainter& painter, const QRectF& place, Qt::Alignment alignment, int flags, const QString& text,
              qreal designPoints = 0);

} // namespace korvo::ui
