// The download: init handshake, the packet pump, the end command.
#include "app/mainwindow.h"

void MainWindow::on_btnStart_clicked() {}
void MainWindow::timeSlot() {}
void MainWindow::timeEndSlot() {}
void MainWindow::firmwareUpgrad(E_FUNC, QByteArray) {}
void MainWindow::sendData() {}
QByteArray MainWindow::buildUpgradeEndFrame(quint16 packetCount) { return Codec::buildUpgradeEndFrame(packetCount, m_FWContextHead8); }
