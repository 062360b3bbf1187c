#include "ui/platform.h"

#include "ui/framemargins.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QWidget>
#include <cstdio>

namespace korvo {
namespace {

class SystemPlatform final : public Platform
{
public:
    SystemPlatform() { m_clock.start(); }

    void beep() override { QApplication::beep(); }

    bool show(QWidget* parent, const Message& message) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(message.title);
        box.setText(message.text);
        switch (message.icon) {
        case Message::Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Message::Icon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case Message::Icon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        }
        if (message.buttons == Message::Buttons::OkCancel) {
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
        }
        return box.exec() == QMessageBox::Ok;
    }

    QSize screenSize() override
    {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->size() : kDefaultScreenSize;
    }

    QMargins frameMargins(QWidget& window) override { return ui::windowManagerFrameMargins(window); }

    double seconds() override { return static_cast<double>(m_clock.nsecsElapsed()) / 1e9; }

    void setClipboardText(const QString& text) override { QGuiApplication::clipboard()->setText(text); }

    QString openFileName(QWidget* parent, const QString& title, const QString& filter) override
    {
        return QFileDialog::getOpenFileName(parent, title, QString(), filter);
    }

    QString saveFileName(QWidget* parent, const QString& title, const QString& proposed,
                         const QString& filter) override
    {
        return QFileDialog::getSaveFileName(parent, title, proposed, filter, nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    }

    void quit(int status) override { QCoreApplication::exit(status); }

private:
    QElapsedTimer m_clock;
};

Platform* g_installed = nullptr;

} // namespace

Platform& Platform::current()
{
    if (g_installed)
        return *g_installed;
    static SystemPlatform system;
    return system;
}

void Platform::install(Platform* platform)
{
    g_installed = platform;
}

PlatformOverride::PlatformOverride() : m_before(Platform::current())
{
    install(this);
}

PlatformOverride::~PlatformOverride()
{
    install(&m_before);
}

bool Unattended::show(QWidget*, const Message& message)
{
    QString text = message.text;
    text.replace('\n', ' ');
    if (message.buttons == Message::Buttons::OkCancel)
        text += " -> OK";
    std::fprintf(stderr, "korvo: %s: %s\n", message.title.toUtf8().constData(), text.toUtf8().constData());
    return true;
}

} // namespace korvo
