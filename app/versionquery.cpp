// The version query and the raw-frame sends.
#include "constants.h"
#include "dialogs.h"
#include "exchange.h"
#include "mainwindow.h"

// Five copies of the fixed query frame, back to back; the exchange takes the reply.
void MainWindow::on_btnGetVer_clicked()
{
    // The query would take the place of the pending upgrade command, and the download would stall.
    if (downloadRunning()) {
        Dialogs::information(this, tr("A download is running. Get the version when it has finished."));
        return;
    }
    askVersion();
}

// Five copies of the query; the exchange says when the answer is in, or that there is none.
void MainWindow::askVersion()
{
    m_exchange->queryVersion();
    m_versionAsked = m_exchange->isOpen();
}

// Writes a frame given as blank-separated hexadecimal tokens or, for the end command, as finished
// bytes, in one write.
void MainWindow::onRecvedQString(QByteArray arrData, E_FUNC func)
{
    m_exchange->writeCommand(func == eFuncUpgradaEnd ? arrData : Codec::tokensToBytes(arrData), func);
}

// A second raw send that nothing calls: tokens to bytes, those bytes read once more as hexadecimal
// text, and at most 146 bytes of the result written.
void MainWindow::onRecvedQStringUpdata(QByteArray arrData, E_FUNC func)
{
    QString text = QString::fromLatin1(Codec::tokensToBytes(arrData));
    m_exchange->writeCommand(Codec::convertToACC2(text).left(Quorvane::kUpdataWriteBytes), func);
}

void MainWindow::recvResult(QByteArray data)
{
    qCDebug(lcUpgrade).noquote() << data.toHex(' ').toUpper();
}
