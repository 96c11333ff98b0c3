// One port of the production-line station and its own loop: wait for a pack (the port's device is
// there and a pack answers the version query), choose its firmware, flash it, report it, wait for
// the pack to leave, and again.
#pragma once

#include "outcome.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

namespace Download {

class Exchange;

class FirmwareStore;

// Where a station port is in its loop.
enum class StationPhase
{
    Waiting,   // for a pack: the port is not there, or no pack answers the version query
    Settling,  // a pack is there, its firmware file still changing (being copied)
    Flashing,  // acknowledged / total packets
    Verifying, // asking the version after the update (verify)
    Leaving,   // the pack's result is out: waiting for it to be taken away
    Stopped,   // no more packs (Ctrl-C, Stop)
};

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

struct StationSettings
{
    qint32 baud = 9600;
    int stallTimeoutS = 10;
    int retries = 0;
    QString firmwareDir;
    QString recordFile;  // the record of every download; empty: none
    bool verify = false; // read the version again after a confirmed end
    int verifyTimeoutS = 30;
    QString expectVersion; // what the version after the update must start with
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
    bool stopped() const { return m_phase == StationPhase::Stopped; }
    bool downloading() const
    {
        return m_phase == StationPhase::Flashing || m_phase == StationPhase::Verifying;
    }

signals:
    void packDone(const Download::PortResult &result);
    void notice(const QString &text); // a line worth printing (cannot open, no firmware, ...)
    void changed();                   // the row changed
    void stoppedNow();

private:
    void lookForDevice();
    void tryOpen();
    void onVersion(const QString &version);
    void packLeft();
    void onPortLost();
    void onFinished(const Download::Record &record, const QString &recordError);
    void flash(const QString &version);
    void notFlashed(const QString &version, const QString &file, const QString &why);
    void toWaiting(bool portGone);
    void toLeaving(const QString &outcome);
    void stopNow();

    QString m_port;
    StationSettings m_settings;
    FirmwareStore *m_store;
    Download::Exchange *m_exchange;
    StationPhase m_phase = StationPhase::Waiting;
    QString m_lastOutcome;
    QString m_openError;
    bool m_stopping = false;
    QTimer m_presenceTimer;   // looks for a missing device file
    QTimer m_queryTimer;      // version queries while waiting for a pack
    QTimer m_stillThereTimer; // the next query that tells the pack is still there
    QTimer m_goneTimer;       // no version reply for this long: the pack has left
    QTimer m_settleTimer;     // the pack's firmware file may have settled: look again
    QString m_version;        // of the pack waiting for its firmware to settle
    quint32 m_total = 0;      // packets of the image being flashed
    QString m_packVersion;    // of the pack on the port, or of the last one
    QString m_file;           // the firmware chosen for it
    QString m_failure;        // why its result is not a pass
    bool m_packPresent = false;
    QElapsedTimer m_downloadClock;
};

} // namespace Download
