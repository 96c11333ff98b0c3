#include "stationport.h"

#include "constants.h"
#include "exchange.h"
#include "firmwarechoice.h"
#include "firmwarestore.h"
#include "openadvice.h"
#include "portidentity.h"
#include "portpresence.h"
#include "versiontext.h"

#include <QDir>

namespace Download {

StationPort::StationPort(const QString &port, const StationSettings &settings, FirmwareStore *store,
                         QObject *parent)
    : QObject(parent), m_port(port), m_settings(settings), m_store(store),
      m_exchange(new Download::Exchange(this))
{
    m_settleTimer.setSingleShot(true);
    connect(&m_settleTimer, &QTimer::timeout, this, [this] {
        if (m_phase == StationPhase::Settling) {
            flash(m_version);
        }
    });
    m_presenceTimer.setInterval(Quorvane::kStationPresenceMs);
    m_queryTimer.setInterval(Quorvane::kStationQueryMs);
    m_stillThereTimer.setSingleShot(true);
    m_stillThereTimer.setInterval(Quorvane::kStationStillThereMs);
    m_goneTimer.setSingleShot(true);
    m_goneTimer.setInterval(Quorvane::kStationGoneMs);
    connect(&m_goneTimer, &QTimer::timeout, this, &StationPort::packLeft);
    connect(&m_presenceTimer, &QTimer::timeout, this, &StationPort::lookForDevice);
    connect(&m_queryTimer, &QTimer::timeout, this, [this] {
        if (m_exchange->isOpen()) {
            m_exchange->queryVersion();
        } else {
            tryOpen(); // it could not be opened: again, at the pace of the queries
        }
    });
    connect(&m_stillThereTimer, &QTimer::timeout, m_exchange, &Download::Exchange::queryVersion);
    connect(m_exchange, &Download::Exchange::versionReported, this, &StationPort::onVersion);
    connect(m_exchange, &Download::Exchange::portLost, this, &StationPort::onPortLost);
    connect(m_exchange, &Download::Exchange::finished, this, &StationPort::onFinished);
    connect(m_exchange, &Download::Exchange::progressChanged, this, &StationPort::changed);
    m_exchange->setStallTimeoutMs(settings.stallTimeoutS * 1000);
    m_exchange->setRetries(settings.retries);
    m_exchange->setSendAtOnce(true); // no tick of dead time before the first init and end commands
    m_exchange->setRecordFile(settings.recordFile);
}

StationPort::~StationPort() = default;

void StationPort::start()
{
    toWaiting(true);
}

StationRow StationPort::row() const
{
    StationRow row;
    row.port = m_port;
    row.phase = m_phase;
    row.outcome = m_lastOutcome;
    row.acknowledged = m_exchange->state().totals.packetsAcknowledged;
    row.total = m_total;
    row.elapsedMs =
        m_phase == StationPhase::Flashing && m_downloadClock.isValid() ? m_downloadClock.elapsed() : 0;
    row.version = m_packVersion;
    row.file = m_file;
    row.failure = m_failure;
    row.packPresent = m_packPresent;
    return row;
}

// No flood for a port that is not there: only its device file is looked at, and opened once seen.
void StationPort::lookForDevice()
{
    if (SerialPresence::portStillPresent(m_port)) {
        m_presenceTimer.stop();
        m_queryTimer.start();
        tryOpen();
    }
}

void StationPort::tryOpen()
{
    if (!m_exchange->open(m_port, m_settings.baud)) {
        const QString why =
            OpenAdvice::line(m_exchange->openError(), OpenAdvice::probe(m_port, m_exchange->openErrorCode()));
        if (why != m_openError) {
            m_openError = why;
            emit notice(QStringLiteral("%1: cannot open: %2; trying again every %3 s")
                            .arg(m_port, m_openError)
                            .arg(Quorvane::kStationQueryMs / 1000.0));
        }
        if (!SerialPresence::portStillPresent(m_port)) {
            toWaiting(true);
        }
        return;
    }
    m_openError.clear();
    m_exchange->queryVersion();
}

void StationPort::onVersion(const QString &version)
{
    switch (m_phase) {
    case StationPhase::Waiting:
        m_queryTimer.stop();
        if (m_stopping) {
            stopNow();
            return;
        }
        flash(version);
        return;
    case StationPhase::Leaving:
        m_goneTimer.start();
        m_stillThereTimer.start(); // still there: ask again in a moment
        return;
    case StationPhase::Settling:
    case StationPhase::Flashing:
    case StationPhase::Stopped:
        return;
    }
}

// No version reply for kStationGoneMs: the pack was taken away (or switched off) at the far end.
void StationPort::packLeft()
{
    if (m_phase == StationPhase::Leaving) {
        toWaiting(false);
    }
}

void StationPort::onPortLost()
{
    m_exchange->closePort();
    if (m_phase == StationPhase::Flashing) {
        return; // the download ends through finished()
    }
    if (m_phase != StationPhase::Stopped) {
        toWaiting(true);
    }
}

void StationPort::flash(const QString &version)
{
    m_lastOutcome.clear(); // the next pack is here: the last one's result leaves its row
    m_packVersion = version;
    m_file.clear();
    m_failure.clear();
    m_packPresent = true;
    const FirmwareChoice choice =
        chooseFirmware(m_settings.firmwareDir, firmwareFiles(m_settings.firmwareDir), version);
    const QString problem = choiceProblem(choice, version);
    if (!problem.isEmpty()) {
        notFlashed(version, QString(), problem);
        return;
    }
    FirmwareImage::Image image;
    QString why;
    int waitMs = 0;
    switch (m_store->take(choice.path, &image, &why, &waitMs)) {
    case FirmwareStore::State::Settling:
        if (m_phase != StationPhase::Settling) {
            emit notice(QStringLiteral("%1: %2 is still changing (being copied?); flashing it once it has "
                                       "not changed for %3 s")
                            .arg(m_port, QDir::toNativeSeparators(choice.path))
                            .arg(m_store->settleMs() / 1000.0));
        }
        m_phase = StationPhase::Settling;
        m_version = version;
        m_settleTimer.start(waitMs);
        emit changed();
        return;
    case FirmwareStore::State::Refused:
        notFlashed(version, choice.path, why);
        return;
    case FirmwareStore::State::Ready:
        break;
    }
    m_exchange->setImage(image, choice.path);
    m_total = image.packets;
    m_file = QDir::toNativeSeparators(choice.path);
    m_downloadClock.start();
    m_phase = StationPhase::Flashing;
    m_exchange->start();
    emit changed();
}

void StationPort::notFlashed(const QString &version, const QString &file, const QString &why)
{
    PortResult result;
    result.record.port = m_port;
    result.record.packVersion = version;
    result.record.baud = m_settings.baud;
    result.record.file = QDir::toNativeSeparators(file);
    result.outcome = Outcome::NotFlashed;
    result.record.outcome = outcomeName(result.outcome);
    result.record.started = result.record.ended = QDateTime::currentDateTime();
    result.record.programVersion = QStringLiteral(QUORVANE_VERSION);
    result.exitCode = versionUsable(version) ? kExitImageRefused : kExitNoVersion;
    result.failure = why;
    m_file = result.record.file;
    m_failure = why;
    emit packDone(result);
    toLeaving(outcomeName(Outcome::NotFlashed));
}

void StationPort::onFinished(const Download::Record &record, const QString &recordError)
{
    if (m_phase != StationPhase::Flashing) {
        return;
    }
    PortResult result;
    result.record = record;
    outcomeFromName(record.outcome, &result.outcome);
    result.exitCode = exitCode(result.outcome);
    result.failure = outcomeAdvice(result.outcome, m_exchange->state().packet, m_settings.stallTimeoutS,
                                   m_exchange->state().refusedCode);
    if (!recordError.isEmpty()) {
        emit notice(QStringLiteral("%1: record not written: %2").arg(m_port, recordError));
    }
    m_exchange->clearImage();
    m_lastOutcome = record.outcome;
    m_failure = result.failure;
    emit packDone(result);
    if (m_stopping) {
        stopNow();
    } else if (!m_exchange->isOpen()) {
        toWaiting(true);
    } else {
        toLeaving(record.outcome);
    }
}

void StationPort::toWaiting(bool portGone)
{
    if (m_stopping) {
        stopNow();
        return;
    }
    m_stillThereTimer.stop();
    m_goneTimer.stop();
    m_settleTimer.stop();
    m_packPresent = false;
    m_phase = StationPhase::Waiting;
    if (portGone) {
        m_exchange->closePort();
        m_queryTimer.stop();
        m_presenceTimer.start();
        lookForDevice();
    } else {
        m_queryTimer.start();
        m_exchange->queryVersion();
    }
    emit changed();
}

void StationPort::toLeaving(const QString &outcome)
{
    m_lastOutcome = outcome;
    m_phase = StationPhase::Leaving;
    m_goneTimer.start();
    m_exchange->queryVersion();
    emit changed();
}

void StationPort::stopTakingPacks()
{
    m_stopping = true;
    if (m_phase != StationPhase::Flashing) {
        stopNow();
    }
}

void StationPort::interrupt()
{
    m_stopping = true;
    if (m_phase == StationPhase::Flashing) {
        m_exchange->shutdown(); // ends the download (interrupted): finished() follows
    } else {
        stopNow();
    }
}

void StationPort::stopNow()
{
    if (m_phase == StationPhase::Stopped) {
        return;
    }
    m_presenceTimer.stop();
    m_queryTimer.stop();
    m_stillThereTimer.stop();
    m_goneTimer.stop();
    m_settleTimer.stop();
    m_exchange->closePort();
    m_phase = StationPhase::Stopped;
    emit changed();
    emit stoppedNow();
}

} // namespace Download
