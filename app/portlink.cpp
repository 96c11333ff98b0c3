// Opening and closing the port, the link lamp, and the entry of received bytes.
#include "constants.h"
#include "dialogs.h"
#include "exchange.h"
#include "logging.h"
#include "mainwindow.h"
#include "openadvice.h"
#include "ui_mainwindow.h"

#include <QSerialPort>
#include <QStatusBar>

namespace {

// The six lists that follow the port state, in the order they are disabled and enabled.
void setListsEnabled(Ui::MainWindow &form, bool enabled)
{
    for (QComboBox *list : {form.comboBox_baudRate, form.comboBox_dataBits, form.comboBox_flowBit,
                            form.comboBox_parity, form.comboBox_serialPort, form.comboBox_stopBit}) {
        list->setEnabled(enabled);
    }
}

} // namespace

// Opens or closes the port. The decision follows the port state, not the caption, which a change
// of language rewrites.
void MainWindow::on_btn_openConsole_clicked()
{
    qCDebug(lcSerial) << ui->btn_openConsole->text();

    if (m_PortOpen) {
        if (downloadRunning() &&
            !Dialogs::question(this, tr("A download is running. Close the port and stop it?"))) {
            return;
        }
        m_exchange->closePort();
        setPortClosedState();
        return;
    }

    const QString name = ui->comboBox_serialPort->currentText();
    const int baud = ui->comboBox_baudRate->currentText().toInt();
    if (!m_exchange->open(name, baud)) {
        qCDebug(lcSerial) << "打开串口失败" << m_exchange->openError();
        setLED(ui->lbStatus, 1, Quorvane::kLampSizePx);
        const QString message = OpenAdvice::message(name, m_exchange->openError(),
                                                    OpenAdvice::probe(name, m_exchange->openErrorCode()));
        addNoticeLine(message);
        statusBar()->setToolTip(message);
        statusBar()->showMessage(message);
        return;
    }
    statusBar()->clearMessage();
    statusBar()->setToolTip(QString());

    setListsEnabled(*ui, false);
    ui->btn_openConsole->setText(tr("Close Serial"));
    qCDebug(lcSerial) << "打开串口成功";
    m_PortOpen = true;
    setLED(ui->lbStatus, 2, Quorvane::kLampSizePx);
    on_btnGetVer_clicked();
}

// The closed state: red lamp, lists enabled, caption "Open Serial". The exchange has closed the
// port and ended its download first (its timers stopped): its commands could no longer reach the
// pack.
void MainWindow::setPortClosedState()
{
    qCDebug(lcSerial) << "关闭串口";
    setLED(ui->lbStatus, 1, Quorvane::kLampSizePx);
    setListsEnabled(*ui, true);
    ui->btn_openConsole->setText(tr("Open Serial"));
    m_PortOpen = false;
    // No answer can come any more.
    m_versionAsked = false;
    setStartAwaitsVersion(false);
}
