// Frames on the port: building and writing commands, scanning and dispatching replies.
#include "constants.h"
#include "logging.h"
#include "mainwindow.h"
#include "settings.h"
#include "ui_mainwindow.h"

#include <algorithm>
#include <cstring>

// A 0xBC frame from a payload given as hexadecimal text, written in 256-byte chunks.
void MainWindow::onRecvedData(QByteArray arrData, ushort cd1, uchar cd2, uchar ADR, E_FUNC func)
{
    if (lcSerial().isDebugEnabled()) {
        qCDebug(lcSerial) << "MainWindow::onRecvedData=====" << arrData << arrData.toHex().toUpper();
    }
    m_func = func;

    const QByteArray arrSend = Codec::buildDataFrame(arrData, cd1, cd2, ADR);
    ++m_cntcnt;
    ++m_iPacketCount;
    if (lcSerial().isDebugEnabled()) {
        qCDebug(lcSerial) << "m_cntcnt=" << m_cntcnt << "m_iPacketCount=" << m_iPacketCount
                          << arrSend.toHex();
    }

    const int chunkSize = Quorvane::kWriteChunkBytes;
    const int size = arrSend.size();
    for (int i = 0; i * chunkSize < size; ++i) {
        const QByteArray chunk = arrSend.mid(i * chunkSize, chunkSize);
        const qint64 written = writeToPort(chunk);
        if (written == -1) {
            qCDebug(lcSerial) << "Failed to write data";
        } else if (lcSerial().isDebugEnabled()) {
            const char *label =
                chunk.size() == chunkSize ? "arrSend.mid(i*chunkSize)====" : "arrSend.mid(i*chunkSize)===";
            qCDebug(lcSerial) << "bytesWritten==" << written << "bytes written" << size << label
                              << chunk.toHex();
        }
    }
}

void MainWindow::onRecved(QByteArray arrData, uchar cd1, uchar cd2, uchar ADR, E_FUNC func)
{
    qCDebug(lcSerial) << "MainWindow::onRecved=====";
    m_func = func;
    qCDebug(lcSerial) << "MainWindow::onRecved=====" << func << cd1 << cd2 << ADR;
    sendAsciiFrame(arrData, cd1, cd2, ADR, 0x21);
    qCDebug(lcSerial) << "1MainWindow::onRecved=====" << func << cd1 << cd2 << ADR;
}

// A 0x7E frame from an INFO text, written in one piece; the result of the write is not examined.
void MainWindow::sendAsciiFrame(QByteArray info, uchar cid1, uchar cid2, uchar adr, uchar ver)
{
    const QByteArray frame = Codec::buildAsciiFrame(info, cid1, cid2, adr, ver);
    if (!frame.isEmpty()) {
        writeToPort(frame);
    }
}

void MainWindow::on_btnTest_clicked()
{
    m_func = eFuncTest;
    sendAsciiFrame(QByteArrayLiteral("00"), 0x00, 0x46, 0x00, 0x21);
}

// Takes every complete, well-formed reply out of the receive buffer and hands it to the handler of
// the command pending when it is taken. A handler may write the next command (and so change m_func)
// before the scan goes on.
void MainWindow::parseRecvData()
{
    if (lcSerial().isDebugEnabled()) {
        qCDebug(lcSerial) << "111666888m_Recv=" << m_Recv.size() << m_Recv << m_Recv.toHex();
    }
    QByteArray infoHex;
    while (Codec::takeNextFrame(m_Recv, &infoHex)) {
        qCDebug(lcSerial) << "m_func==" << m_func;
        if (infoHex.isEmpty()) {
            switch (m_func) {
            case eFuncUpgradaInit:
                qCDebug(lcSerial) << "main eFuncUpgradaInit recv";
                firmwareUpgrad(eFuncUpgradaInit, QByteArray());
                break;
            case eFuncUpgrada:
                qCDebug(lcSerial) << "main eFuncUpgrada recv";
                firmwareUpgrad(eFuncUpgrada, QByteArray());
                break;
            case eFuncUpgradaEnd:
                qCDebug(lcSerial) << "main eFuncUpgradaEnd recv";
                firmwareUpgrad(eFuncUpgradaEnd, QByteArray());
                break;
            default:
                feedDownload(Download::EventKind::OtherReply);
                break;
            }
            continue;
        }

        qCDebug(lcSerial) << "r888ecv data=" << infoHex;
        const QByteArray payload = Codec::decodeInfo(infoHex);
        if (lcSerial().isDebugEnabled()) {
            qCDebug(lcSerial) << "888recv data=" << payload << payload.toHex() << m_func;
        }
        switch (m_func) {
        case eFuncTest: {
            m_testRecord.fill(0);
            const size_t count = std::min(m_testRecord.size(), static_cast<size_t>(payload.size()));
            std::memcpy(m_testRecord.data(), payload.constData(), count);
            break;
        }
        case eFuncUpgradaInit:
            qCDebug(lcSerial) << "eFuncUpgradaInit recv";
            break;
        case eFuncVersion: {
            const QString version = QString::fromUtf8(payload);
            ui->leVer->setText(version);
            // Five answers to the five queries: the file is written only when the value changes.
            if (version != m_strVersion) {
                Settings::setVersion(version);
            }
            m_strVersion = version;
            m_bVersionReported = true;
            qCDebug(lcSerial) << "string2====" << version;
            break;
        }
        default:
            break;
        }
        if (m_func != eFuncVersion && m_func != eFuncTest) {
            feedDownload(Download::EventKind::OtherReply);
        }
    }
}

QByteArray MainWindow::convertToACC2(QString &hexString)
{
    return Codec::convertToACC2(hexString);
}
