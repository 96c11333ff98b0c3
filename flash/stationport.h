// One port of the production-line station and its own loop: wait for a pack (the port's device is
// there and a pack answers the version query), choose its firmware, flash it, report it, wait for
// the pack to leave, and again.
#pragma once

#include "report.h"
#include "stationview.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace Download {
class Exchange;
}

namespace Flash {

class FirmwareStore;

struct StationSettings
{
    qint32 baud = 9600;
    int stallTimeoutS = 10;
    int retries = 0;
    QString firmwareDir;
    QString recordFile; // the record of every download; empty: none
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

signals:
    void packDone(const Flash::PortResult &result);
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
};

} // namespace Flash
