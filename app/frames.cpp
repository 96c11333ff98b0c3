// The window's frame slots: each builds its frame with the codec and hands it to the exchange,
// which writes it and takes the reply for the given function code.
#include "exchange.h"
#include "mainwindow.h"

// A 0xBC frame from a payload given as hexadecimal text, written in 256-byte chunks.
void MainWindow::onRecvedData(QByteArray arrData, ushort cd1, uchar cd2, uchar ADR, E_FUNC func)
{
    m_exchange->writeFrame(Codec::buildDataFrame(arrData, cd1, cd2, ADR), func);
}

void MainWindow::onRecved(QByteArray arrData, uchar cd1, uchar cd2, uchar ADR, E_FUNC func)
{
    sendAsciiFrame(arrData, cd1, cd2, ADR, 0x21, func);
}

// A 0x7E frame from an INFO text, written in one piece; the result of the write is not examined.
void MainWindow::sendAsciiFrame(QByteArray info, uchar cid1, uchar cid2, uchar adr, uchar ver, E_FUNC func)
{
    m_exchange->writeCommand(Codec::buildAsciiFrame(info, cid1, cid2, adr, ver), func);
}

void MainWindow::on_btnTest_clicked()
{
    sendAsciiFrame(QByteArrayLiteral("00"), 0x00, 0x46, 0x00, 0x21, eFuncTest);
}

// Bytes on the port are read by the exchange as they arrive; this reads whatever is left.
void MainWindow::readData()
{
    m_exchange->readAvailable();
}

QByteArray MainWindow::convertToACC2(QString &hexString)
{
    return Codec::convertToACC2(hexString);
}
