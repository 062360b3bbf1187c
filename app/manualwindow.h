#pragma once

#include <QString>
#include <QWidget>

namespace korvo {

// The user manual as it was built into the program, with CR LF between lines.
QString manualText();

// The manual shown as read-only text: it can be scrolled, selected and copied, never changed. The
// main window creates it on demand and it is destroyed when closed; Escape closes it, as its close
// box does.
class ManualWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit ManualWindow(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace korvo
