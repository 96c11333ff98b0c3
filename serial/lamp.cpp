// The round link lamp beside "Status:".
#include "app/mainwindow.h"

void MainWindow::setLED(QLabel *, int, int) {}
