// The download: init handshake, the packet pump, the end command.
//
// There is no phase variable: the running timer, the counters and m_func tell where a download is.
// Start arms m_InitTimer; its ticks send the init command (at most kMaxInitSends times) until the
// pack answers; each answer to a data frame releases the next one, from inside the receive scan;
// the answer to the last packet arms m_EndTimer, whose ticks send the end command until the pack
// answers or kMaxEndSends copies are out, and the download is reported complete either way.
#include "app/mainwindow.h"

#include "app/dialogs.h"
#include "app/logging.h"
#include "protocol/constants.h"
#include "ui_mainwindow.h"
#include "upgrade/firmwareimage.h"

#include <QTimer>

void MainWindow::on_btnStart_clicked()
{
    if (!m_PortOpen) {
        Dialogs::information(this, tr("Please open the serial port first!"));
        return;
    }
    // The path may have been edited since the image was loaded.
    if (!FirmwareImage::pathHasVersion(ui->leFilePath->text(), m_strVersion)) {
        Dialogs::warning(this, tr("The version number of the upgraded file does not match the actual "
                                  "version number"));
        return;
    }

    ui->listWidget->clear();
    ui->progressBar->setValue(0);
    m_iInitCount = 0;
    m_iEndCount = 0;
    g_usUGPackId = 0;
    // A coarse timer may fire up to 5 % late; the pack expects its commands a second apart.
    m_InitTimer->setTimerType(Qt::PreciseTimer);
    m_InitTimer->start(Quorvane::kUpgradeTickMs);
}

void MainWindow::timeSlot()
{
    if (m_iInitCount >= Quorvane::kMaxInitSends) {
        return; // the handshake is exhausted; Start begins a new one
    }
    qCDebug(lcUpgrade) << "timeSlot beign=" << Codec::kUpgradeInitText;
    m_func = eFuncUpgradaInit;
    onRecvedQString(QByteArray(Codec::kUpgradeInitText), eFuncUpgradaInit);
    ++m_iInitCount;
}

void MainWindow::firmwareUpgrad(E_FUNC func, QByteArray data)
{
    Q_UNUSED(data)
    switch (func) {
    case eFuncUpgradaInit:
        m_InitTimer->stop();
        g_usUGPackId = 0;
        m_iInitCount = 0;
        qCDebug(lcUpgrade) << "888firmwareUpgrad eFuncUpgradaInit recv end";
        sendData();
        break;
    case eFuncUpgrada:
        qCDebug(lcUpgrade) << "888firmwareUpgrad eFuncUpgrada===" << g_usUGPackId << g_uiUGDataCount;
        if (g_usUGPackId + 1 == g_uiUGDataCount) {
            // The last packet is in; the end command follows on the next ticks.
            m_EndTimer->stop();
            m_EndTimer->setTimerType(Qt::PreciseTimer);
            m_EndTimer->start(Quorvane::kUpgradeTickMs);
            m_iEndCount = 0;
            qCDebug(lcUpgrade) << "eFuncUpgrada end";
        } else {
            ++g_usUGPackId;
            sendData();
        }
        break;
    case eFuncUpgradaEnd:
        qCDebug(lcUpgrade) << "eFuncUpgradaEnd recv===";
        m_EndTimer->stop();
        ui->progressBar->setValue(static_cast<int>(g_uiUGDataCount));
        addLogLine(tr(":  Update completed"));
        break;
    default:
        break;
    }
}

void MainWindow::sendData()
{
    // Past the end of the image (none loaded, or a smaller one loaded during a transfer) there is
    // nothing to cut a packet from: send nothing rather than an empty frame.
    if (g_usUGPackId >= g_uiUGDataCount) {
        qCDebug(lcUpgrade) << "sendData=="
                           << "g_usUGPackId=" << g_usUGPackId << "g_uiUGDataCount=" << g_uiUGDataCount;
        return;
    }
    const QByteArray packet = m_FWContext.mid(static_cast<int>(g_usUGPackId * g_usUGPackLen), g_usUGPackLen);
    ui->progressBar->setValue(static_cast<int>(g_usUGPackId));
    addLogLine(tr("\t Sent package:%1, total:%2 packages.").arg(g_usUGPackId).arg(g_uiUGDataCount));
    onRecvedData(packet, static_cast<ushort>(g_usUGPackId & 0xFFFF), 0x33, 1, eFuncUpgrada);
}

void MainWindow::timeEndSlot()
{
    if (m_iEndCount >= Quorvane::kMaxEndSends) {
        // No answer to any end command: the download counts as complete all the same.
        qCDebug(lcUpgrade) << "m_EndTimer->isActive()=" << m_EndTimer->isActive();
        m_EndTimer->stop();
        addLogLine(tr(":  Update completed"));
        ui->progressBar->setValue(static_cast<int>(g_uiUGDataCount));
        return;
    }
    const QByteArray frame = buildUpgradeEndFrame(static_cast<quint16>(g_uiUGDataCount & 0xFFFF));
    qCDebug(lcUpgrade) << "m_iEndTTimer timeEndSlot beign=" << frame.toHex() << frame;
    onRecvedQString(frame, eFuncUpgradaEnd);
    ++m_iEndCount;
}

QByteArray MainWindow::buildUpgradeEndFrame(quint16 packetCount)
{
    qCDebug(lcUpgrade) << "by===" << packetCount << "m_FWContextHead8===" << m_FWContextHead8
                       << "length===" << m_FWContextHead8.size();
    const QByteArray frame = Codec::buildUpgradeEndFrame(packetCount, m_FWContextHead8);
    qCDebug(lcUpgrade) << "888byteArray=====" << frame.mid(1, frame.size() - 6).toHex();
    qCDebug(lcUpgrade) << "arrCheckSum=====" << frame.mid(frame.size() - 5, 4);
    qCDebug(lcUpgrade) << "by=====" << frame.toHex();
    return frame;
}
