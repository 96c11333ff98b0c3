// Port discovery and the serial parameter lists.
#include "logging.h"
#include "mainwindow.h"
#include "portidentity.h"
#include "ui_mainwindow.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QStringList>

namespace {

QString orNotAvailable(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("N/A") : text;
}

QString usbIdText(bool present, quint16 id)
{
    return present && id != 0 ? QString::number(id, 16) : QStringLiteral("N/A");
}

// The record a port entry carries: name, description, manufacturer, serial number, system
// location, USB vendor and product identifiers.
QStringList portRecord(const QString &name, const QSerialPortInfo &info, const QString &location)
{
    return {name,
            orNotAvailable(info.description()),
            orNotAvailable(info.manufacturer()),
            orNotAvailable(info.serialNumber()),
            location,
            usbIdText(info.hasVendorIdentifier(), info.vendorIdentifier()),
            usbIdText(info.hasProductIdentifier(), info.productIdentifier())};
}

} // namespace

void MainWindow::initSerialPort()
{
    m_arrSOI = QByteArray::fromHex("7E");
    m_arrEOI = QByteArray::fromHex("0D");
    m_arrUpgradeSOI = QByteArray::fromHex("BC");

    // The exchange owns the port; the window keeps a handle for what it shows of it.
    m_SerialPort = m_exchange->serialPort();
    connectExchange();

    fillPortList();

    QComboBox *baud = ui->comboBox_baudRate;
    for (const int rate : {9600, 19200, 38400, 115200}) {
        baud->addItem(QString::number(rate), rate);
    }

    QComboBox *dataBits = ui->comboBox_dataBits;
    dataBits->addItem(QStringLiteral("5"), QSerialPort::Data5);
    dataBits->addItem(QStringLiteral("6"), QSerialPort::Data6);
    dataBits->addItem(QStringLiteral("7"), QSerialPort::Data7);
    dataBits->addItem(QStringLiteral("8"), QSerialPort::Data8);
    dataBits->setCurrentIndex(3);

    const QString none = QString(QChar(0x65E0));
    QComboBox *parity = ui->comboBox_parity;
    parity->addItem(none, QSerialPort::NoParity);
    parity->addItem(tr("Even"), QSerialPort::EvenParity);
    parity->addItem(tr("Odd"), QSerialPort::OddParity);
    parity->addItem(tr("Mark"), QSerialPort::MarkParity);
    parity->addItem(tr("Space"), QSerialPort::SpaceParity);

    QComboBox *stopBits = ui->comboBox_stopBit;
    stopBits->addItem(QStringLiteral("1"), QSerialPort::OneStop);
    stopBits->addItem(QStringLiteral("2"), QSerialPort::TwoStop);

    QComboBox *flow = ui->comboBox_flowBit;
    flow->addItem(none, QSerialPort::NoFlowControl);
    flow->addItem(tr("RTS/CTS"), QSerialPort::HardwareControl);
    flow->addItem(tr("XON/XOFF"), QSerialPort::SoftwareControl);
}

// Lists the ports present now. The list is rebuilt: a port that has gone disappears and none is
// listed twice. The port given on the command line comes first and stays; the current entry stays
// current while it is still listed.
void MainWindow::fillPortList()
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    qCDebug(lcSerial).nospace() << "Total numbers of ports: " << ports.size();

    QComboBox *list = ui->comboBox_serialPort;
    const QString current = list->currentText();
    list->clear();

    QString extraFile;
    if (!m_extraPort.isEmpty()) {
        extraFile = PortIdentity::canonicalPath(m_extraPort);
        QSerialPortInfo extraInfo;
        for (const QSerialPortInfo &info : ports) {
            if (info.systemLocation() == extraFile) {
                extraInfo = info;
            }
        }
        list->addItem(m_extraPort, portRecord(m_extraPort, extraInfo, m_extraPort));
    }

    for (const QSerialPortInfo &info : ports) {
        const QString name = info.portName();
        if (list->findText(name, Qt::MatchFixedString | Qt::MatchCaseSensitive) >= 0) {
            continue;
        }
        if (!extraFile.isEmpty() && PortIdentity::canonicalPath(info.systemLocation()) == extraFile) {
            continue;
        }
        list->addItem(name, portRecord(name, info, info.systemLocation()));
    }

    const int keep = list->findText(current, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (keep >= 0) {
        list->setCurrentIndex(keep);
    }
}

void MainWindow::on_btnStartMonit_clicked()
{
    fillPortList();
}

void MainWindow::setExtraPort(const QString &device)
{
    m_extraPort = device;
    fillPortList();
    if (!m_extraPort.isEmpty()) {
        ui->comboBox_serialPort->setCurrentIndex(0);
    }
}
