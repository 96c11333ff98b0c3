#include "link.h"

#include "constants.h"
#include "portpresence.h"

Q_LOGGING_CATEGORY(lcSerial, "quorvane.serial", QtInfoMsg)

namespace Link {

void appendReceived(QByteArray &recv, const QByteArray &bytes)
{
    if (recv.size() > Quorvane::kRecvCapChars) {
        recv.remove(0, Quorvane::kRecvDropChars);
    }
    // Only the newest bytes of a huge read can survive the cut below: convert just those.
    const int keepBytes = Quorvane::kRecvMaxChars / 2;
    recv.append(bytes.size() > keepBytes ? bytes.right(keepBytes).toHex() : bytes.toHex());
    if (recv.size() > Quorvane::kRecvMaxChars) {
        const int excess = recv.size() - Quorvane::kRecvMaxChars;
        recv.remove(0, excess + (excess & 1));
    }
}

bool portIsGone(QSerialPort::SerialPortError error, const QString &portName, bool stillOpen)
{
    switch (error) {
    case QSerialPort::ResourceError:
        return true;
    case QSerialPort::ReadError:
    case QSerialPort::NotOpenError: {
        return !stillOpen || !SerialPresence::portStillPresent(portName);
    }
    default:
        return false;
    }
}

bool open8N1(QSerialPort &port, const QString &name, qint32 baud)
{
    port.setPortName(name);
    port.setBaudRate(baud, QSerialPort::AllDirections);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return port.open(QIODevice::ReadWrite);
}

qint64 writeInChunks(QIODevice &device, const QByteArray &frame)
{
    if (!device.isOpen()) {
        return -1;
    }
    qint64 total = 0;
    for (int at = 0; at < frame.size(); at += Quorvane::kWriteChunkBytes) {
        const qint64 written = device.write(frame.mid(at, Quorvane::kWriteChunkBytes));
        if (written == -1) {
            return -1;
        }
        total += written;
    }
    return total;
}

} // namespace Link
