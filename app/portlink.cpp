// Opening and closing the port, the link lamp, and the entry of received bytes.
#include "constants.h"
#include "link.h"
#include "logging.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QStatusBar>
#include <QTimer>

namespace {

// The six lists that follow the port state, in the order they are disabled and enabled.
void setListsEnabled(Ui::MainWindow &form, bool enabled)
{
    form.comboBox_baudRate->setEnabled(enabled);
    form.comboBox_dataBits->setEnabled(enabled);
    form.comboBox_flowBit->setEnabled(enabled);
    form.comboBox_parity->setEnabled(enabled);
    form.comboBox_serialPort->setEnabled(enabled);
    form.comboBox_stopBit->setEnabled(enabled);
}

} // namespace

// Opens or closes the port. The decision follows the port state, not the caption, which a change
// of language rewrites.
void MainWindow::on_btn_openConsole_clicked()
{
    qCDebug(lcSerial) << ui->btn_openConsole->text();

    if (m_PortOpen) {
        feedDownload(Download::EventKind::PortClosed);
        setPortClosedState();
        return;
    }

    const QString name = ui->comboBox_serialPort->currentText();
    const int baud = ui->comboBox_baudRate->currentText().toInt();
    m_SerialPort->setPortName(name);
    m_SerialPort->setBaudRate(baud, QSerialPort::AllDirections);
    qCDebug(lcSerial).nospace() << "ui->comboBox_serialPort->currentText()===" << name;
    qCDebug(lcSerial).nospace() << "ui->comboBox_baudRate->currentText().toInt()===" << baud;
    m_SerialPort->setDataBits(QSerialPort::Data8);
    m_SerialPort->setParity(QSerialPort::NoParity);
    m_SerialPort->setStopBits(QSerialPort::OneStop);
    m_SerialPort->setFlowControl(QSerialPort::NoFlowControl);

    if (!m_SerialPort->open(QIODevice::ReadWrite)) {
        setLED(ui->lbStatus, 1, Quorvane::kLampSizePx);
        m_PortOpen = false;
        qCDebug(lcSerial) << "打开串口失败" << m_SerialPort->errorString();
        QString message = tr("Cannot open %1: %2").arg(name, m_SerialPort->errorString());
#ifdef Q_OS_LINUX
        if (m_SerialPort->error() == QSerialPort::PermissionError) {
            const QString device = name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
            message += QLatin1Char(' ') + tr("Your user must be in the group that owns %1 (%2); add it and "
                                             "log in again.")
                                              .arg(device, QFileInfo(device).group());
        }
#endif
        statusBar()->showMessage(message);
        return;
    }
    statusBar()->clearMessage();
    m_bVersionReported = false; // a new port may lead to another pack

    setListsEnabled(*ui, false);
    ui->btn_openConsole->setText(tr("Close Serial"));
    qCDebug(lcSerial) << "打开串口成功";
    m_PortOpen = true;
    setLED(ui->lbStatus, 2, Quorvane::kLampSizePx);
    // Unique: reopening must not run readData twice for one notification.
    connect(m_SerialPort, &QSerialPort::readyRead, this, &MainWindow::readData, Qt::UniqueConnection);
    on_btnGetVer_clicked();
}

// The closed state: port closed, red lamp, lists enabled, caption "Open Serial". The callers have
// ended the download first (its timers stopped): its commands could no longer reach the pack, and
// the end phase would otherwise log "Update completed" for an end command that never went out.
void MainWindow::setPortClosedState()
{
    if (m_SerialPort->isOpen()) {
        m_SerialPort->close();
    }
    m_bVersionReported = false;
    qCDebug(lcSerial) << "关闭串口";
    setLED(ui->lbStatus, 1, Quorvane::kLampSizePx);
    setListsEnabled(*ui, true);
    ui->btn_openConsole->setText(tr("Open Serial"));
    m_PortOpen = false;
}

// Errors of the open port. An adapter that has gone takes the window back to the closed state.
// Modem-line requests (DTR, RTS, pinout) that a device does not support are no failure of the port:
// the program does not use those lines.
void MainWindow::onPortError(int error)
{
    const auto code = static_cast<QSerialPort::SerialPortError>(error);
    if (code == QSerialPort::NoError || code == QSerialPort::UnsupportedOperationError) {
        return;
    }
    qCDebug(lcSerial) << "port error" << code << m_SerialPort->errorString();
    if (!m_PortOpen) {
        return; // a failed open is handled where it happens
    }

    if (Link::portIsGone(code, m_SerialPort->portName(), m_SerialPort->isOpen())) {
        feedDownload(Download::EventKind::LinkLost);
        setPortClosedState();
        m_SerialPort->clearError();
    }
}

qint64 MainWindow::writeToPort(const QByteArray &bytes)
{
    if (!m_SerialPort || !m_SerialPort->isOpen()) {
        return -1;
    }
    return m_SerialPort->write(bytes);
}

void MainWindow::readData()
{
    if (!m_SerialPort) {
        return;
    }
    const QByteArray data = m_SerialPort->readAll();
    if (lcSerial().isDebugEnabled()) {
        qCDebug(lcSerial).nospace() << "recv datam_Recv=" << data.toHex(' ').toUpper().constData();
    }
    if (data.isEmpty()) {
        return;
    }
    Link::appendReceived(m_Recv, data);
    parseRecvData();
}
