// The download in the window: Start's checks, the two timers, the replies, and the actions of the
// state machine (upgrade/downloadmachine.h) carried out on the widgets, the timers and the port.
//
// The window owns the run: its counters (m_iInitCount, m_iEndCount, g_usUGPackId), the pending code
// m_func and the timers are handed to the machine with each event and taken back from it, and
// m_download keeps what the machine adds (phase, running, totals).
#include "mainwindow.h"

#include "constants.h"
#include "dialogs.h"
#include "downloadrecord.h"
#include "firmwareimage.h"
#include "logging.h"
#include "settings.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QTimer>

void MainWindow::on_btnStart_clicked()
{
    // The path may have been edited since the image was loaded.
    const bool pathOk = FirmwareImage::pathHasVersion(ui->leFilePath->text(), m_strVersion);
    switch (Download::checkStart(m_PortOpen, g_uiUGDataCount, pathOk, m_bVersionReported)) {
    case Download::StartVerdict::PortClosed:
        Dialogs::information(this, tr("Please open the serial port first!"));
        return;
    case Download::StartVerdict::NoImage:
        Dialogs::warning(this, tr("Please load a firmware file first!"));
        return;
    case Download::StartVerdict::PathWithoutVersion:
        Dialogs::warning(this, tr("The version number of the upgraded file does not match the actual "
                                  "version number"));
        return;
    case Download::StartVerdict::AskUnverified:
        // A pack whose firmware is broken may answer only the download commands.
        if (!Dialogs::question(this, tr("The pack has not reported its version. Download %1 anyway?")
                                         .arg(QFileInfo(m_imagePath).fileName()))) {
            return;
        }
        break;
    case Download::StartVerdict::Accepted:
        break;
    }
    feedDownload(Download::EventKind::Start);
    m_downloadStarted = QDateTime::currentDateTime();
}

bool MainWindow::downloadRunning() const
{
    return m_download.running;
}

void MainWindow::timeSlot()
{
    feedDownload(Download::EventKind::InitTick);
}

void MainWindow::firmwareUpgrad(E_FUNC func, QByteArray data)
{
    Q_UNUSED(data)
    switch (func) {
    case eFuncUpgradaInit:
        qCDebug(lcUpgrade) << "888firmwareUpgrad eFuncUpgradaInit recv end";
        break;
    case eFuncUpgrada:
        qCDebug(lcUpgrade) << "888firmwareUpgrad eFuncUpgrada===" << g_usUGPackId << g_uiUGDataCount;
        break;
    case eFuncUpgradaEnd:
        qCDebug(lcUpgrade) << "eFuncUpgradaEnd recv===";
        break;
    default:
        return;
    }
    feedDownload(Download::EventKind::Reply, func);
}

void MainWindow::sendData()
{
    // Past the end of the image there is nothing to cut a packet from: send nothing rather than an
    // empty frame.
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
    feedDownload(Download::EventKind::EndTick);
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

void MainWindow::feedDownload(Download::EventKind kind, E_FUNC func)
{
    Download::State state = m_download;
    state.pending = m_func;
    state.initSends = m_iInitCount;
    state.endSends = m_iEndCount;
    state.packet = g_usUGPackId;
    state.packetCount = g_uiUGDataCount;
    state.initTimer = m_InitTimer->isActive();
    state.endTimer = m_EndTimer->isActive();

    const Download::Actions actions = Download::step(state, Download::Event{kind, func});

    // The new values first: the senders read the packet number and set m_func themselves.
    m_download = state;
    m_func = state.pending;
    m_iInitCount = state.initSends;
    m_iEndCount = state.endSends;
    g_usUGPackId = state.packet;
    for (const Download::Action &action : actions) {
        carryOut(action);
    }
}

void MainWindow::carryOut(const Download::Action &action)
{
    using Download::ActionKind;
    switch (action.kind) {
    case ActionKind::SendInit:
        qCDebug(lcUpgrade) << "timeSlot beign=" << Codec::kUpgradeInitText;
        onRecvedQString(QByteArray(Codec::kUpgradeInitText), eFuncUpgradaInit);
        break;
    case ActionKind::SendPacket:
        sendData();
        break;
    case ActionKind::SendEnd: {
        const QByteArray frame = buildUpgradeEndFrame(static_cast<quint16>(g_uiUGDataCount & 0xFFFF));
        qCDebug(lcUpgrade) << "m_iEndTTimer timeEndSlot beign=" << frame.toHex() << frame;
        onRecvedQString(frame, eFuncUpgradaEnd);
        break;
    }
    case ActionKind::StartInitTimer:
        // A coarse timer may fire up to 5 % late; the pack expects its commands a second apart.
        m_InitTimer->setTimerType(Qt::PreciseTimer);
        m_InitTimer->start(Quorvane::kUpgradeTickMs);
        break;
    case ActionKind::StopInitTimer:
        m_InitTimer->stop();
        break;
    case ActionKind::StartEndTimer:
        m_EndTimer->stop();
        m_EndTimer->setTimerType(Qt::PreciseTimer);
        m_EndTimer->start(Quorvane::kUpgradeTickMs);
        qCDebug(lcUpgrade) << "eFuncUpgrada end";
        break;
    case ActionKind::StopEndTimer:
        qCDebug(lcUpgrade) << "m_EndTimer->isActive()=" << m_EndTimer->isActive();
        m_EndTimer->stop();
        break;
    case ActionKind::ArmStall:
        m_StallTimer->start(Quorvane::kStallNoticeMs);
        break;
    case ActionKind::DisarmStall:
        m_StallTimer->stop();
        break;
    case ActionKind::ClearLog:
        ui->listWidget->clear();
        break;
    case ActionKind::SetProgress:
        ui->progressBar->setValue(static_cast<int>(action.value));
        break;
    case ActionKind::LogCompleted:
        addLogLine(tr(":  Update completed"));
        break;
    case ActionKind::ShowNotice:
        addLogLine(noticeText(action));
        break;
    case ActionKind::Finish:
        recordDownload(action.outcome);
        break;
    }
}

QString MainWindow::noticeText(const Download::Action &action) const
{
    switch (action.notice) {
    case Download::Notice::InitUnanswered:
        return tr("The pack did not answer the start of the download. Check the cable and the baud rate, "
                  "then press Start DownLoad again.");
    case Download::Notice::Stalled:
        return tr("No answer from the pack for package %1 in %2 s. Check the cable, then press Start "
                  "DownLoad to begin again.")
            .arg(action.value)
            .arg(Quorvane::kStallNoticeMs / 1000);
    case Download::Notice::EndUnconfirmed:
        return tr("The pack did not confirm the end of the download.");
    case Download::Notice::LinkLost:
        return tr("The serial port was lost during the download. Reconnect, open the port and press Start "
                  "DownLoad again.");
    }
    return QString();
}

// One line in downloads.jsonl beside config.ini. A record that cannot be written leaves the
// download as it is; a trace says why.
void MainWindow::recordDownload(Download::Outcome outcome)
{
    Download::Record record;
    record.started = m_downloadStarted;
    record.ended = QDateTime::currentDateTime();
    // The port as the user chose it (the list is locked while the port is open); the port object
    // itself knows only the short name ("pts/1", "ttyUSB0").
    record.port = ui->comboBox_serialPort->currentText();
    record.baud = m_SerialPort->baudRate();
    record.packVersion = m_bVersionReported ? m_strVersion : QString();
    record.versionSource = m_bVersionReported ? QStringLiteral("pack") : QStringLiteral("config.ini");
    record.file = QDir::toNativeSeparators(m_imagePath);
    record.size = m_imageBytes;
    record.sha256 = m_imageSha256;
    record.packets = g_uiUGDataCount;
    record.packetsAcknowledged = m_download.packetsAcknowledged;
    record.initSends = m_download.initSendsTotal;
    record.endSends = m_download.endSendsTotal;
    record.outcome = Download::outcomeName(outcome);
    record.programVersion = QStringLiteral(QUORVANE_VERSION);

    const QString path = Settings::configDirectory() + QLatin1Char('/') + Download::recordFileName();
    QString error;
    if (!Download::appendRecord(path, record, &error)) {
        qCWarning(lcUpgrade) << "download record not written:" << path << error;
    }
}
