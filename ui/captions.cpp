#include "ui/captions.h"

#include "ui/textfit.h"

#include <QEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace korvo::ui {

namespace {

// The caption as drawn, without the "&" that marks the access key.
QString shownText(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

} // namespace

CaptionLabel::CaptionLabel(const QString& text, QWidget* parent, const QFont& font)
    : QLabel(text, parent), m_font(font)
{
    setFont(font);
    // Captions are drawn from the top-left corner of their place, as the layout assumes.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void CaptionLabel::setRoom(int pixels)
{
    m_room = pixels;
    fit();
}

void CaptionLabel::fit()
{
    const int room = m_room >= 0 ? m_room : contentsRect().width();
    const QFont fitted = fitWidth(m_font, text(), room, this);
    if (fitted != font())
        setFont(fitted);
}

void CaptionLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    fit();
}

void CaptionLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::StyleChange)
        fit();
}

void CaptionLabel::paintEvent(QPaintEvent*)
{
    if (text().isEmpty())
        return;
    // Setting the text does not fit it: the windows set label texts only while they build.
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    drawLine(painter, contentsRect(), alignment(), Qt::TextHideMnemonic, text(), m_font.pointSizeF());
}

CaptionButton::CaptionButton(const QString& text, QWidget* parent, const QFont& font)
    : QPushButton(text, parent), m_font(font)
{
    setFont(font);
}

void CaptionButton::fit()
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const int room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).width();
    const QFont fitted = fitWidth(m_font, shownText(text()), room, this);
    if (fitted != font())
        setFont(fitted);
}

void CaptionButton::resizeEvent(QResizeEvent* event)
{
    QPushButton::resizeEvent(event);
    fit();
}

void CaptionButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::StyleChange)
        fit();
}

void CaptionButton::paintEvent(QPaintEvent*)
{
    // The style draws the button and its focus without the caption, which goes in by the em.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    // The style marks a default button the way it marks the focus, so the focus would not show on
    // it: a focus frame inside the button shows it on every button alike.
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
        focus.backgroundColor = palette().color(QPalette::Button);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
    if (caption.isEmpty())
        return;
    QRect place = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (isDown())
        place.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                        style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    const int mnemonic = style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this)
                             ? Qt::TextShowMnemonic
                             : Qt::TextHideMnemonic;
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    drawLine(painter, place, Qt::AlignHCenter | Qt::AlignVCenter, mnemonic, caption);
}

} // namespace korvo::ui
