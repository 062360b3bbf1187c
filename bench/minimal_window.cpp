// The yardstick for Korvo's start-up: the least a Qt Widgets program with one Japanese text in
// Korvo's font can do. bench/startup_compare runs it beside bench/korvo_firstframe and compares
// time to first frame and peak memory.
#include "bench/firstframe.h"
#include "ui/applicationsetup.h"
#include "ui/fonts.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    korvo::ui::setupApplication();

    QMainWindow window;
    auto* label = new QLabel(QStringLiteral("ピッチ調整"), &window);
    label->setFont(korvo::ui::font(12, true));
    window.setCentralWidget(label);
    korvo::bench::leaveAfterFirstFrame(window);
    window.show();
    return QApplication::exec();
}
