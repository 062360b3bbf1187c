#pragma once

#include <QFont>
#include <QLabel>
#include <QPushButton>

// Labels and buttons that keep their caption whole in the place the layout gives them, whatever
// Japanese font stands in for the design face: the caption is placed by its em (see drawLine) and
// drawn closer or smaller when it is too wide.
namespace korvo::ui {

class CaptionLabel final : public QLabel
{
public:
    CaptionLabel(const QString& text, QWidget* parent, const QFont& font);

    // The width the caption may take from the label's left edge, where the layout puts another
    // control's caption over the end of this one's place; the label's own width otherwise.
    void setRoom(int pixels);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fit();

    QFont m_font; // as designed, before any fitting
    int m_room = -1;
};

class CaptionButton final : public QPushButton
{
public:
    CaptionButton(const QString& text, QWidget* parent, const QFont& font);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fit();

    QFont m_font;
};

} // namespace korvo::ui
