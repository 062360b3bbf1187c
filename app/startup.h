#pragma once

#include "app/mainwindow.h"

#include <memory>

namespace korvo {

// Start-up once the QApplication exists: the program's names and icon, the fonts and Qt's Japanese
// texts, then the main window, which places itself, restores the saved values and computes once.
// The caller shows it. The program and its start-up benchmark both begin here, so the benchmark
// times exactly what a user starts.
std::unique_ptr<MainWindow> startProgram();

} // namespace korvo
