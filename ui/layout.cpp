#include "ui/layout.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionFrame>

namespace korvo::ui {

namespace {

// Frames with their caption on the top line, as the windows were drawn: the line runs half a
// caption height below the frame's top edge, so the first row of controls keeps clear of it.
// Most desktop styles put the caption above the line instead. The rest of the style is the
// desktop's own.
class FrameCaptionStyle final : public QProxyStyle
{
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override
    {
        if (control == CC_GroupBox)
            return QCommonStyle::subControlRect(control, option, part, widget);
        return QProxyStyle::subControlRect(control, option, part, widget);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        // An etched line around the frame's own rectangle; the desktop style's version would move
        // it down below the caption again.
        if (element == PE_FrameGroupBox)
            QCommonStyle::drawPrimitive(element, option, painter, widget);
        else
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        if (control == CC_GroupBox)
            QCommonStyle::drawComplexControl(control, option, painter, widget);
        else
            QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
};

QStyle* frameStyle()
{
    // One instance for every frame, owned by the application.
    static QPointer<QStyle> style;
    if (!style) {
        style = new FrameCaptionStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

} // namespace

QGroupBox* frame(QWidget* parent, const QString& title, const QFont& font, QRect rect)
{
    auto* box = new QGroupBox(parent);
    makeFrame(box, title, font, rect);
    return box;
}

void makeFrame(QGroupBox* box, const QString& title, const QFont& font, QRect rect)
{
    box->setTitle(title);
    box->setFont(font);
    box->setGeometry(rect);
    box->setStyle(frameStyle());
    // A frame inside a frame would otherwise be announced by the outer frame's caption.
    box->setAccessibleName(title);
}

QLabel* label(QWidget* parent, const QString& text, const QFont& font, QRect rect)
{
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    l->setGeometry(rect);
    // Captions are drawn from the top-left corner of their place, as the layout assumes.
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

QPushButton* button(QWidget* parent, const QString& text, const QFont& font, QRect rect)
{
    auto* b = new QPushButton(text, parent);
    b->setFont(font);
    b->setGeometry(rect);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* textBox(QWidget* parent, const QString& text, const QFont& font, QRect rect)
{
    auto* e = new QLineEdit(text, parent);
    e->setFont(font);
    e->setGeometry(rect);
    return e;
}

namespace {

// A box the program writes and the user only reads. The stand-in Japanese face runs wider than the
// face the boxes were designed for, so a result such as "+95.589" would lose part of its sign. A
// text too wide for the box is set with its letters drawn closer and, if need be, a little
// smaller, as far as stays readable; beyond that the box shows the text's start, where the sign
// and the leading digits are.
class DisplayBox final : public QLineEdit
{
public:
    DisplayBox(const QString& text, QWidget* parent, const QFont& font)
        : QLineEdit(text, parent), m_font(font)
    {
        setFont(font);
        connect(this, &QLineEdit::textChanged, this, &DisplayBox::showFromStart);
        // Setting the same text again sends no change, yet moves the cursor to the end.
        connect(this, &QLineEdit::cursorPositionChanged, this, &DisplayBox::keepStartInSight);
    }

    void keepStartInSight(int, int position)
    {
        if (position != 0)
            setCursorPosition(0);
    }

    void showFromStart()
    {
        QFont f = m_font;
        const auto tooWide = [this, &f] { return QFontMetricsF(f).horizontalAdvance(text()) > room(); };
        for (int percent = 100; percent > kTightest && tooWide(); percent -= 2)
            f.setLetterSpacing(QFont::PercentageSpacing, percent - 2);
        // A tempo saved with all its seven digits ("133.3333") is wider still: then the letters
        // get smaller too, down to three quarters of their size, so that the last digit shows.
        const double smallest = m_font.pointSizeF() * 0.75;
        while (tooWide() && f.pointSizeF() - 0.25 >= smallest)
            f.setPointSizeF(f.pointSizeF() - 0.25);
        if (f != font())
            setFont(f);
        // Nobody types here, so there is no cursor to keep in sight at the end.
        setCursorPosition(0);
    }

protected:
    // The room inside depends on the style's frame, which is only settled once the box is polished
    // for its first showing; a text set before then is fitted again.
    void showEvent(QShowEvent* event) override
    {
        showFromStart();
        QLineEdit::showEvent(event);
    }

private:
    static constexpr int kTightest = 82; // percent of the letters' own spacing

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

void bringToFront(QWidget* window)
{
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace korvo::ui
