// The version query and the raw-frame send it shares with the download.
#include "constants.h"
#include "dialogs.h"
#include "logging.h"
#include "mainwindow.h"

namespace {

constexpr int kUpdataWriteBytes = 146; // bytes the second raw send writes at most

} // namespace

// Five copies of the fixed query frame, back to back; the reply is taken by the receive scan.
void MainWindow::on_btnGetVer_clicked()
{
    // The query would take the place of the pending upgrade command, and the download would stall.
    if (downloadRunning()) {
        Dialogs::information(this, tr("A download is running. Get the version when it has finished."));
        return;
    }
    feedDownload(Download::EventKind::VersionQuery);
    m_func = eFuncVersion;
    const QByteArray query(Codec::kVersionQueryText);
    for (int i = 0; i < Quorvane::kVersionQueryCopies; ++i) {
        onRecvedQString(query, eFuncVersion);
    }
}

// Writes a frame given as blank-separated hexadecimal tokens or, for the end command, as finished
// bytes, in one write.
void MainWindow::onRecvedQString(QByteArray arrData, E_FUNC func)
{
    m_func = func;
    qCDebug(lcUpgrade) << "onRecvedQString beign" << QString::fromLatin1(arrData) << "arrData=" << arrData;

    const QByteArray byteArray = m_func == eFuncUpgradaEnd ? arrData : Codec::tokensToBytes(arrData);
    if (lcUpgrade().isDebugEnabled()) {
        qCDebug(lcUpgrade) << "Converted QByteArray: " << byteArray.toHex()
                           << "byteArray.data()==" << byteArray.constData() << "byteArray=" << byteArray
                           << "byteArray.size()=" << byteArray.size();
    }

    const qint64 written = writeToPort(byteArray);
    if (written == -1) {
        qCDebug(lcUpgrade) << "Failed to write data";
    } else {
        qCDebug(lcUpgrade) << "bytesWritten=================" << written << "bytes written";
    }
    m_cntcnt = 0;
    m_iPacketCount = 0;
}

// A second raw send that nothing calls: tokens to bytes, those bytes read once more as hexadecimal
// text, and at most 146 bytes of the result written.
void MainWindow::onRecvedQStringUpdata(QByteArray arrData, E_FUNC func)
{
    m_func = func;
    QString text = QString::fromLatin1(Codec::tokensToBytes(arrData));
    const QByteArray decoded = Codec::convertToACC2(text);
    if (lcUpgrade().isDebugEnabled()) {
        qCDebug(lcUpgrade) << "Converted QByteArray: " << decoded.toHex()
                           << "2byteArray.data()==" << decoded.constData();
    }

    const qint64 written = writeToPort(decoded.left(kUpdataWriteBytes));
    if (written == -1) {
        qCDebug(lcUpgrade) << "Failed to write data";
    } else {
        qCDebug(lcUpgrade) << "bytesWritten=================" << written << "bytes written";
    }
}

void MainWindow::recvResult(QByteArray data)
{
    qCDebug(lcUpgrade).noquote() << data.toHex(' ').toUpper();
}
