#include "packsimpeer.h"

#include "codec.h"
#include "constants.h"
#include "testfirmware.h"

PackSimPeer::PackSimPeer(QObject *parent) : QObject(parent)
{
    connect(&port, &QSerialPort::readyRead, this, &PackSimPeer::onReadyRead);
}

bool PackSimPeer::open(const QString &path)
{
    port.setPortName(path);
    port.setBaudRate(QSerialPort::Baud115200);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return port.open(QIODevice::ReadWrite);
}

void PackSimPeer::write(const QByteArray &bytes)
{
    port.write(bytes);
}

void PackSimPeer::writeChunked(const QByteArray &bytes)
{
    for (int at = 0; at < bytes.size(); at += Quorvane::kWriteChunkBytes)
        port.write(bytes.mid(at, Quorvane::kWriteChunkBytes));
}

void PackSimPeer::sendVersionQuery(int copies)
{
    const QByteArray query = Codec::tokensToBytes(QByteArray(Codec::kVersionQueryText));
    for (int i = 0; i < copies; ++i)
        write(query);
}

void PackSimPeer::sendInit()
{
    write(Codec::tokensToBytes(QByteArray(Codec::kUpgradeInitText)));
}

void PackSimPeer::sendData(quint16 packet, const QByteArray &payload)
{
    writeChunked(Codec::buildDataFrame(payload.toHex(), packet, 0x33, 0x01));
}

void PackSimPeer::sendEnd(quint16 count, const QByteArray &head)
{
    write(Codec::buildUpgradeEndFrame(count, head.toHex()));
}

void PackSimPeer::startDownload(const QByteArray &fileBytes)
{
    const QByteArray padded = PackSim::expectedImage(fileBytes);
    m_head = padded.left(Quorvane::kImageHeadBytes);
    m_body = padded.mid(Quorvane::kImageHeadBytes);
    m_packetCount = m_body.size() / Quorvane::kPacketBytes;
    m_packet = 0;
    m_phase = Phase::Init;
    sendInit();
}

void PackSimPeer::onReadyRead()
{
    const QByteArray bytes = port.readAll();
    if (bytes.isEmpty())
        return;
    ++reads;
    raw.append(bytes);
    scanBuffer.append(bytes.toHex().toUpper());
    const QList<QByteArray> frames = Codec::scanFrames(scanBuffer);
    for (const QByteArray &info : frames) {
        accepted.append(info);
        emit frameAccepted(info);
        advanceDownload(info);
    }
}

// Only empty answers move the download on, as in the window.
void PackSimPeer::advanceDownload(const QByteArray &infoHex)
{
    if (!infoHex.isEmpty())
        return;
    switch (m_phase) {
    case Phase::Idle:
        return;
    case Phase::Init:
        m_phase = Phase::Data;
        m_packet = 0;
        break;
    case Phase::Data:
        if (++m_packet == m_packetCount) {
            m_phase = Phase::End;
            sendEnd(quint16(m_packetCount), m_head);
            return;
        }
        break;
    case Phase::End:
        m_phase = Phase::Idle;
        emit downloadFinished();
        return;
    }
    sendData(quint16(m_packet), m_body.mid(m_packet * Quorvane::kPacketBytes, Quorvane::kPacketBytes));
}
