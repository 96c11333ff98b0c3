// Port discovery and the serial parameter lists.
#include "app/mainwindow.h"

void MainWindow::initSerialPort() {}
void MainWindow::fillPortList() {}
void MainWindow::on_btnStartMonit_clicked() {}
void MainWindow::setExtraPort(const QString &device) { m_extraPort = device; }
