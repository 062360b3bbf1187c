#include "ui/twips.h"

#include "ui/captions.h"
#include "ui/captionstyle.h"

#include <QGroupBox>
#include <QPushButton>

namespace korvo::ui {

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
    box->setStyle(frameCaptionStyle());
    // A frame inside a frame would otherwise be announced by the outer frame's caption.
    box->setAccessibleName(title);
}

CaptionLabel* label(QWidget* parent, const QString& text, const QFont& font, QRect rect)
{
    auto* l = new CaptionLabel(text, parent, font);
    l->setGeometry(rect);
    return l;
}

QPushButton* button(QWidget* parent, const QString& text, const QFont& font, QRect rect)
{
    auto* b = new CaptionButton(text, parent, font);
    b->setGeometry(rect);
    b->setAutoDefault(false);
    return b;
}

} // namespace korvo::ui
