// Loading a firmware image: version check, size check, head and body, padding to whole packets.
#include "app/mainwindow.h"

void MainWindow::on_btnFileLoad_clicked() {}
void MainWindow::padByteArrayToMultipleOf1024() {}
