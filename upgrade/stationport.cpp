#include "stationport.h"

#include "constants.h"
#include "firmwarestore.h"
#include "portpresence.h"

#include <QDir>

namespace Download {

using Loop = StationLoop::ActionKind;
using On = StationLoop::EventKind;

StationPort::StationPort(const QString &port, const StationSettings &settings, FirmwareStore *store,
                         QObject *parent)
    : QObject(parent), m_port(port), m_settings(settings), m_store(store), m_session(port, settings)
{
    m_presenceTimer.setInterval(Quorvane::kStationPresenceMs);
    m_queryTimer.setInterval(Quorvane::kStationQueryMs);
    m_stillThereTimer.setSingleShot(true);
    m_stillThereTimer.setInterval(Quorvane::kStationStillThereMs);
    m_goneTimer.setSingleShot(true);
    m_goneTimer.setInterval(Quorvane::kStationGoneMs);
    m_settleTimer.setSingleShot(true);
    connect(&m_presenceTimer, &QTimer::timeout, this, &StationPort::lookForDevice);
    connect(&m_queryTimer, &QTimer::timeout, this, [this] { feed(On::QueryTick); });
    connect(&m_stillThereTimer, &QTimer::timeout, this, [this] { feed(On::StillThereTick); });
    connect(&m_goneTimer, &QTimer::timeout, this, [this] { feed(On::GoneTimeout); });
    connect(&m_settleTimer, &QTimer::timeout, this, [this] { feed(On::SettleTimeout); });
    connect(&m_session, &PackSession::versionReported, this,
            [this](const QString &version) { feed(On::VersionReported, version); });
    connect(&m_session, &PackSession::portLost, this, [this] { feed(On::PortLost); });
    connect(&m_session, &PackSession::verifying, this, [this] { feed(On::Verifying); });
    connect(&m_session, &PackSession::progressed, this, &StationPort::changed);
    connect(&m_session, &PackSession::ended, this, &StationPort::onEnded);
}

StationPort::~StationPort() = default;

void StationPort::start()
{
    feed(On::Start);
}

void StationPort::stopTakingPacks()
{
    feed(On::StopTakingPacks);
}

void StationPort::interrupt()
{
    feed(On::Interrupt);
}

StationRow StationPort::row() const
{
    StationRow row;
    row.port = m_port;
    row.phase = m_state.phase;
    row.acknowledged = m_session.state().totals.packetsAcknowledged;
    row.total = m_check.image.packets;
    row.elapsedMs = downloading() ? m_session.downloadMs() : 0;
    row.version = m_state.version;
    row.file = QDir::toNativeSeparators(m_check.path);
    row.packPresent = m_state.phase != StationPhase::Waiting && m_state.phase != StationPhase::Stopped;
    row.outcome = m_last.record.outcome;
    row.failure = m_last.failure;
    row.versionAfter = m_last.record.versionAfter;
    return row;
}

// Events that arrive while actions are carried out wait for them, so each step sees the state
// the one before left.
void StationPort::feed(StationLoop::EventKind kind, const QString &text, bool flag, int ms)
{
    m_events.push_back(StationLoop::Event{kind, text, flag, ms});
    if (m_feeding) {
        return;
    }
    m_feeding = true;
    while (!m_events.empty()) {
        const StationLoop::Event event = m_events.front();
        m_events.pop_front();
        for (const StationLoop::Action &action : StationLoop::step(m_state, event)) {
            carryOut(action);
        }
    }
    m_feeding = false;
}

void StationPort::carryOut(const StationLoop::Action &action)
{
    switch (action.kind) {
    case Loop::WatchDevice:
        m_presenceTimer.start();
        lookForDevice();
        break;
    case Loop::StopWatching:
        m_presenceTimer.stop();
        break;
    case Loop::TryOpen:
        tryOpen();
        break;
    case Loop::ClosePort:
        m_session.closePort();
        break;
    case Loop::QueryVersion:
        m_session.queryVersion();
        break;
    case Loop::StartQueries:
        m_queryTimer.start();
        break;
    case Loop::StopQueries:
        m_queryTimer.stop();
        break;
    case Loop::StartGoneTimer:
        m_goneTimer.start();
        break;
    case Loop::StartStillThere:
        m_stillThereTimer.start();
        break;
    case Loop::StopLeaveTimers:
        m_goneTimer.stop();
        m_stillThereTimer.stop();
        break;
    case Loop::ChooseFirmware:
        chooseFirmware();
        break;
    case Loop::SettlingNotice:
        emit notice(QStringLiteral("%1: %2 is still changing (being copied?); flashing it once it has "
                                   "not changed for %3 s")
                        .arg(m_port, QDir::toNativeSeparators(m_check.path))
                        .arg(m_store->settleMs() / 1000.0));
        break;
    case Loop::StartSettle:
        m_settleTimer.start(action.ms);
        break;
    case Loop::StopSettle:
        m_settleTimer.stop();
        break;
    case Loop::StartDownload:
        m_session.download(m_check);
        break;
    case Loop::Interrupt:
        m_session.interrupt();
        break;
    case Loop::ReportNotFlashed:
        m_session.refuse(m_check); // action.text is m_check.failure
        break;
    case Loop::ForgetResult:
        m_last = PortResult();
        m_check = StartCheck();
        m_session.begin();
        break;
    case Loop::Changed:
        emit changed();
        break;
    case Loop::Stopped:
        emit stoppedNow();
        break;
    }
}

// No flood for a port that is not there: only its device file is looked at, and opened once seen.
void StationPort::lookForDevice()
{
    if (SerialPresence::portStillPresent(m_port)) {
        feed(On::DeviceSeen);
    }
}

void StationPort::tryOpen()
{
    if (m_session.open()) {
        m_openError.clear();
        feed(On::Opened);
        return;
    }
    if (m_session.openFailure() != m_openError) {
        m_openError = m_session.openFailure();
        emit notice(QStringLiteral("%1; trying again every %2 s")
                        .arg(m_openError)
                        .arg(Quorvane::kStationQueryMs / 1000.0));
    }
    feed(On::OpenFailed, QString(), SerialPresence::portStillPresent(m_port));
}

void StationPort::chooseFirmware()
{
    m_check = checkFolder(m_settings.firmwareDir, m_store, m_state.version);
    switch (m_check.verdict) {
    case StartCheck::Verdict::Go:
        feed(On::FirmwareReady);
        return;
    case StartCheck::Verdict::Wait:
        feed(On::FirmwareSettling, QString(), false, m_check.waitMs);
        return;
    case StartCheck::Verdict::Refuse:
        feed(On::FirmwareRefused, m_check.failure);
        return;
    }
}

void StationPort::onEnded(const PortResult &result)
{
    m_last = result;
    if (!m_session.recordError().isEmpty()) {
        emit notice(QStringLiteral("%1: record not written: %2").arg(m_port, m_session.recordError()));
    }
    emit packDone(result);
    feed(On::DownloadEnded, QString(), m_session.isOpen());
}

} // namespace Download
