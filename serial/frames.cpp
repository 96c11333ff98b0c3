// Frames on the port: building and writing commands, scanning and dispatching replies.
#include "app/mainwindow.h"

void MainWindow::onRecvedData(QByteArray, ushort, uchar, uchar, E_FUNC) {}
void MainWindow::onRecved(QByteArray, uchar, uchar, uchar, E_FUNC) {}
void MainWindow::sendAsciiFrame(QByteArray, uchar, uchar, uchar, uchar) {}
void MainWindow::on_btnTest_clicked() {}
void MainWindow::parseRecvData() {}
QByteArray MainWindow::convertToACC2(QString &hexString) { return Codec::convertToACC2(hexString); }
