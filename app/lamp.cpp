// The round link lamp beside "Status:".
#include "logging.h"
#include "mainwindow.h"

#include <QLabel>

void MainWindow::setLED(QLabel *label, int color, int size)
{
    qCDebug(lcSerial) << "setLED9898";
    label->setText(QString());

    QString sheet = QStringLiteral("min-width: %1px;").arg(size);
    sheet += QStringLiteral("min-height: %1px;").arg(size);
    sheet += QStringLiteral("max-width: %1px;").arg(size);
    sheet += QStringLiteral("max-height: %1px;").arg(size);
    sheet += QStringLiteral("border-radius: %1px;").arg(size / 2);
    sheet += QStringLiteral("border:1px solid black;");
    sheet += QStringLiteral("background-color:");
    switch (color) {
    case 0:
        sheet += QStringLiteral("rgb(190, 190, 190)");
        break;
    case 1:
        sheet += QStringLiteral("rgb(255, 0, 0)");
        break;
    case 2:
        sheet += QStringLiteral("rgb(0, 255, 0)");
        break;
    default:
        break;
    }
    label->setStyleSheet(sheet);
    qCDebug(lcSerial) << "9898";
}
