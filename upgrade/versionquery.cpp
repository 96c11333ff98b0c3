// The version query and the raw-frame send it shares with the download.
#include "app/mainwindow.h"

void MainWindow::on_btnGetVer_clicked() {}
void MainWindow::onRecvedQString(QByteArray, E_FUNC) {}
void MainWindow::onRecvedQStringUpdata(QByteArray, E_FUNC) {}
void MainWindow::recvResult(QByteArray) {}
