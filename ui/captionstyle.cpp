#include "ui/captionstyle.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProxyStyle>

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

} // namespace

QStyle* frameCaptionStyle()
{
    // One instance for every frame, owned by the application.
    static QPointer<QStyle> style;
    if (!style) {
        style = new FrameCaptionStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

} // namespace korvo::ui
