#include "ui/displaybox.h"

#include "ui/textfit.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace korvo::ui {

namespace {

// A box that shows its whole text. The stand-in Japanese faces run wider than the face the boxes
// were designed for, so a result such as "+95.589" would lose part of its sign and a restored tempo
// of 133.3333 its last digits. A text too wide for the box is set smaller and, if need be, with its
// letters a little closer, as far as stays readable; beyond that the box shows the text's start,
// where the sign and the leading digits are. Smaller first: digits drawn much closer touch the
// frame, and the point between them all but vanishes. A box the user types into does this until the
// user types: from the first key to the moment the focus leaves it has its designed font and the
// caret stays where the user puts it, as in any text box. Merely having the focus (the tempo box
// has it when the window opens) changes nothing.
class DisplayBox final : public QLineEdit
{
public:
    DisplayBox(const QString& text, QWidget* parent, const QFont& font)
        : QLineEdit(text, parent), m_font(font)
    {
        setFont(font);
        connect(this, &QLineEdit::textChanged, this, &DisplayBox::showFromStart);
        connect(this, &QLineEdit::textEdited, this, [this] { setFont(m_font); });
        // Setting the same text again sends no change, yet moves the cursor to the end.
        connect(this, &QLineEdit::cursorPositionChanged, this, &DisplayBox::keepStartInSight);
    }

    void keepStartInSight(int, int position)
    {
        // With the focus the caret goes where the user moves it; a selection is someone about to
        // type over the text.
        if (position != 0 && !hasFocus() && !isModified() && !hasSelectedText())
            setCursorPosition(0);
    }

    void showFromStart()
    {
        if (isModified())
            return; // typed into: as designed, with the caret where the user puts it

        // A tempo saved with all its seven digits ("133.3333") is the widest text a box must show
        // whole.
        const QFont f = fitWidth(m_font, text(), room(), this, Fit::SmallerThenCloser);
        if (f != font())
            setFont(f);
        // Outside editing there is no caret to keep in sight at the end.
        if (!hasFocus())
            setCursorPosition(0);
    }

protected:
    void focusOutEvent(QFocusEvent* event) override
    {
        QLineEdit::focusOutEvent(event);
        setModified(false);
        showFromStart();
    }

    // The room inside depends on the style's frame, which is only settled once the box is polished
    // for its first showing; a text set before then is fitted again.
    void showEvent(QShowEvent* event) override
    {
        showFromStart();
        QLineEdit::showEvent(event);
    }

private:
    // The width the text may take without scrolling: the style's contents less the two pixels a
    // line edit keeps at each side and one for its cursor.
    int room() const
    {
        QStyleOptionFrame option;
        initStyleOption(&option);
        return style()
                   ->subElementRect(QStyle::SE_LineEditContents, &option, this)
                   .marginsRemoved(textMargins())
                   .width() -
               2 * 2 - 1;
    }

    QFont m_font; // the designed font, before any tightening
};

} // namespace

QLineEdit* displayBox(QWidget* parent, const QString& text, const QFont& font, QRect rect)
{
    auto* e = new DisplayBox(text, parent, font);
    e->setGeometry(rect);
    e->showFromStart();
    e->setReadOnly(true);
    e->setEnabled(false);
    e->setFocusPolicy(Qt::NoFocus);
    QPalette palette = e->palette();
    palette.setColor(QPalette::Disabled, QPalette::Text, Qt::black);
    e->setPalette(palette);
    return e;
}

QLineEdit* fittingTextBox(QWidget* parent, const QString& text, const QFont& font, QRect rect)
{
    auto* e = new DisplayBox(text, parent, font);
    e->setGeometry(rect);
    e->showFromStart();
    return e;
}

} // namespace korvo::ui
