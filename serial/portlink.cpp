// Opening and closing the port, the link lamp, and the entry of received bytes.
#include "app/mainwindow.h"

void MainWindow::on_btn_openConsole_clicked() {}
void MainWindow::setPortClosedState() {}
void MainWindow::onPortError(int) {}
void MainWindow::readData() {}
