// The download in the window: Start's checks, and what the exchange (Download::Exchange) tells of
// the download, shown on the widgets. The exchange owns the run: its timers, counters, frames and
// record.
#include "codec.h"
#include "dialogs.h"
#include "exchange.h"
#include "logging.h"
#include "logview.h"
#include "mainwindow.h"
#include "settings.h"
#include "ui_mainwindow.h"

#include <QFileInfo>
#include <QProgressBar>

void MainWindow::on_btnStart_clicked()
{
    if (m_startAwaitsVersion) {
        return; // this Start is still asking the pack
    }
    if (downloadRunning() &&
        !Dialogs::question(this,
                           tr("A download is running. Stop it and start again from the first package?"))) {
        return;
    }
    // The path may have been edited since the image was loaded.
    const bool pathOk = FirmwareImage::pathHasVersion(ui->leFilePath->text(), m_strVersion);
    // Whether the pack reported its version earlier does not matter: it is asked again below.
    switch (Download::checkStart(m_PortOpen, m_exchange->packetCount(), pathOk, true)) {
    case Download::StartVerdict::PortClosed:
        Dialogs::information(this, tr("Please open the serial port first!"));
        return;
    case Download::StartVerdict::NoImage:
        Dialogs::warning(this, tr("Please load a firmware file first!"));
        return;
    case Download::StartVerdict::PathWithoutVersion:
        warnVersionMismatch();
        return;
    case Download::StartVerdict::AskUnverified:
    case Download::StartVerdict::Accepted:
        break;
    }
    // The cable may have moved to another pack since the version was read, behind the open port:
    // the pack on the line now says which it is before anything of the image goes out. A running
    // download stops first, so that none of its commands takes the answer's place.
    if (downloadRunning()) {
        m_exchange->stopToRestart();
    }
    setStartAwaitsVersion(true);
    askVersion();
}

// Start's question to the pack has its answer (answered) or went unanswered: the version now
// reported decides, or the user does for a pack that says nothing.
void MainWindow::startAfterVersionCheck(bool answered)
{
    if (!m_PortOpen || m_exchange->packetCount() == 0) {
        return; // the port or the image went meanwhile
    }
    if (answered && !FirmwareImage::pathHasVersion(ui->leFilePath->text(), m_strVersion)) {
        warnVersionMismatch();
        return;
    }
    // A pack whose firmware is broken may answer only the download commands.
    if (!answered && !Dialogs::question(this, tr("The pack has not reported its version. Download %1 anyway?")
                                                  .arg(QFileInfo(m_imagePath).fileName()))) {
        return;
    }
    m_exchange->setRecordFile(Settings::recordPath());
    m_exchange->setRetries(Settings::retries());
    m_exchange->start();
}

// Start waits for the pack's version: the button rests meanwhile.
void MainWindow::setStartAwaitsVersion(bool waits)
{
    m_startAwaitsVersion = waits;
    ui->btnStart->setEnabled(!waits);
}

bool MainWindow::downloadRunning() const
{
    return m_exchange->running();
}

void MainWindow::timeSlot()
{
    m_exchange->initTick();
}

void MainWindow::timeEndSlot()
{
    m_exchange->endTick();
}

// The exchange's signals to the widgets.
void MainWindow::connectExchange()
{
    Download::Exchange *x = m_exchange;
    connect(x, &Download::Exchange::versionReported, this, [this](const QString &version) {
        m_versionAsked = false;
        ui->leVer->setText(version);
        // Five answers to the five queries: the file is written only when the value changes.
        if (version != m_strVersion) {
            Settings::setVersion(version);
        }
        m_strVersion = version;
        if (m_startAwaitsVersion) {
            setStartAwaitsVersion(false);
            // From the event loop, not from inside the receive scan: a box may follow.
            QMetaObject::invokeMethod(
                this, [this] { startAfterVersionCheck(true); }, Qt::QueuedConnection);
        }
    });
    connect(x, &Download::Exchange::versionUnanswered, this, [this] {
        m_versionAsked = false;
        if (m_startAwaitsVersion) {
            setStartAwaitsVersion(false);
            startAfterVersionCheck(false); // its question says what the notice would
            return;
        }
        addNoticeLine(tr("The pack did not report its version. Check the cable and the baud rate, then "
                         "press Get Version again."));
    });
    connect(x, &Download::Exchange::infoReply, this, [this](E_FUNC pending, const QByteArray &payload) {
        if (pending == eFuncTest) {
            m_testRecord.fill(0);
            const size_t count = std::min(m_testRecord.size(), static_cast<size_t>(payload.size()));
            std::copy_n(payload.constData(), count, m_testRecord.begin());
        }
    });
    connect(x, &Download::Exchange::packetSent, this, [this](quint32 packet, quint32 total) {
        showProgressFailed(false); // a late answer has taken the download up again
        ui->progressBar->setValue(static_cast<int>(packet));
        addLogLine(tr("\t Sent package:%1, total:%2 packages.").arg(packet).arg(total));
    });
    connect(x, &Download::Exchange::progressChanged, this,
            [this](quint32 packets) { ui->progressBar->setValue(static_cast<int>(packets)); });
    connect(x, &Download::Exchange::logCleared, this, [this] {
        ui->listWidget->clear();
        showProgressFailed(false);
    });
    connect(x, &Download::Exchange::completed, this, [this] {
        showProgressFailed(false); // the end confirmed, late as it may be
        addLogLine(tr(":  Update completed"));
    });
    connect(x, &Download::Exchange::notice, this, [this](Download::Notice notice, quint32 value, int code) {
        addNoticeLine(noticeText(notice, value, code));
    });
    connect(x, &Download::Exchange::finished, this,
            [this](const Download::Record &record, const QString &error) {
                if (record.outcome != Download::outcomeName(Download::Outcome::Confirmed)) {
                    showProgressFailed(true, record.packetsAcknowledged);
                }
                if (!error.isEmpty()) {
                    addNoticeLine(tr("The download record could not be written: %1").arg(error));
                }
            });
    connect(x, &Download::Exchange::portLost, this, [this] {
        // A download's loss has its own notice; a question to the pack would otherwise end unheard.
        if (m_versionAsked) {
            addNoticeLine(tr("The serial port was lost while the pack was asked for its version. "
                             "Reconnect, then press Open Serial again."));
        }
        setPortClosedState();
    });
}

QString MainWindow::noticeText(Download::Notice notice, quint32 value, int code) const
{
    switch (notice) {
    case Download::Notice::InitUnanswered:
        return tr("The pack did not answer the start of the download. Check the cable and the baud rate, "
                  "then press Start DownLoad again.");
    case Download::Notice::Stalled:
        return tr("No answer from the pack for package %1 in %2 s. Check the cable, then press Start "
                  "DownLoad to begin again.")
            .arg(value)
            .arg(Quorvane::kStallNoticeMs / 1000);
    case Download::Notice::EndUnconfirmed:
        return tr("The pack did not confirm the end of the download. Press Get Version to see which "
                  "firmware it runs.");
    case Download::Notice::LinkLost:
        return tr("The serial port was lost during the download. Reconnect, open the port and press Start "
                  "DownLoad again.");
    case Download::Notice::Refused:
        return tr("The pack refused package %1 (return code %2). Check the firmware file, then press Start "
                  "DownLoad again.")
            .arg(value)
            .arg(Codec::returnCodeText(code));
    }
    return QString();
}

// A download that ended without the pack's confirmation must not look done: the bar shows the
// packets the pack took, as a count, in red. Styles that draw the bar themselves (Windows') ignore
// the palette, so the style sheet carries the colour.
void MainWindow::showProgressFailed(bool failed, quint32 packets)
{
    QProgressBar *bar = ui->progressBar;
    if (failed) {
        bar->setValue(static_cast<int>(packets));
        bar->setFormat(QStringLiteral("%v/%m"));
        bar->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid gray; text-align: center; }"
                                          "QProgressBar::chunk { background-color: %1; }")
                               .arg(LogView::noticeColour().name()));
    } else if (m_progressFailed) {
        bar->setFormat(QStringLiteral("%p%"));
        bar->setStyleSheet(QString());
    }
    m_progressFailed = failed;
}
