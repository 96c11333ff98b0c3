// One port of the production-line station: its loop (stationmachine.h) carried out with timers and
// a pack session. Wait for a pack (the port's device is there and a pack answers the version query),
// choose its firmware, flash it (and check it after, where asked), report it, wait for the pack to
// leave, and again. Widget-free: the terminal station and the station window both show what it
// signals.
#pragma once

#include "outcome.h"
#include "packsession.h"
#include "stationmachine.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>

namespace Download {

class FirmwareStore;

// What a front end shows of a station port.
struct StationRow
{
    QString port;
    StationPhase phase = StationPhase::Waiting;
    quint32 acknowledged = 0;
    quint32 total = 0;
    qint64 elapsedMs = 0;     // of the running download
    QString outcome;          // the last pack's outcome (its record name), kept until the next pack arrives
    QString version;          // the version of the pack on the port (or of the last one)
    QString file;             // the firmware chosen for it, if any
    QString versionAfter;     // the version it reported after the update (verify)
    QString failure;          // why the last pack failed or was not flashed, in a line
    bool packPresent = false; // a pack answers on the port now
};

// Each port's session settings, and the folder its firmware is chosen from.
struct StationSettings : SessionSettings
{
    QString firmwareDir;
};

class StationPort : public QObject
{
    Q_OBJECT

public:
    // store: the station's firmware files, shared by its ports.
    StationPort(const QString &port, const StationSettings &settings, FirmwareStore *store,
                QObject *parent = nullptr);
    ~StationPort() override;

    void start();
    // First Ctrl-C: no new pack; a running download goes on to its outcome.
    void stopTakingPacks();
    // Second Ctrl-C: a running download is interrupted.
    void interrupt();

    const QString &port() const { return m_port; }
    StationRow row() const;
    bool stopped() const { return m_state.phase == StationPhase::Stopped; }
    bool downloading() const
    {
        return m_state.phase == StationPhase::Flashing || m_state.phase == StationPhase::Verifying;
    }
    PackSession &session() { return m_session; } // its timings, for tests

signals:
    void packDone(const Download::PortResult &result);
    void notice(const QString &text); // a line worth printing (cannot open, no firmware, ...)
    void changed();                   // the row changed
    void stoppedNow();

private:
    void feed(StationLoop::EventKind kind, const QString &text = QString(), bool flag = false, int ms = 0);
    void carryOut(const StationLoop::Action &action);
    void lookForDevice();
    void tryOpen();
    void chooseFirmware();
    void onEnded(const PortResult &result);

    QString m_port;
    StationSettings m_settings;
    FirmwareStore *m_store;
    PackSession m_session;
    StationLoop::State m_state;
    std::deque<StationLoop::Event> m_events; // fed while earlier actions are carried out
    bool m_feeding = false;
    QTimer m_presenceTimer;   // looks for a missing device file
    QTimer m_queryTimer;      // version queries while waiting for a pack
    QTimer m_stillThereTimer; // the next query that tells the pack is still there
    QTimer m_goneTimer;       // no version reply for this long: the pack has left
    QTimer m_settleTimer;     // the pack's firmware file may have settled: look again
    StartCheck m_check;       // the firmware chosen for the pack
    QString m_openError;      // the last failure to open, said once
    PortResult m_last;        // the last pack's result, until the next pack arrives (empty: none)
};

} // namespace Download
