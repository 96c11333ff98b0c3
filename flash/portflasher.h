// One pack on one port: open it, ask for its version, check the image against it, then run the
// download through the port's Download::Exchange, as the window does. What is the flasher's own
// here is the order of those steps and the exit code of each end.
#pragma once

#include "exchange.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace Flash {

// What a port is doing, for the progress line.
enum class Stage
{
    Waiting,
    Opening,
    Version, // waiting for the version reply
    Download,
    Verify, // --verify: asking the version after the update
    Finished,
};

// The image and what loading it gave, read once and shared by every port.
struct SharedImage
{
    QString path;
    FirmwareImage::LoadVerdict verdict = FirmwareImage::LoadVerdict::Unreadable;
    FirmwareImage::Image image;
};

struct PortSettings
{
    qint32 baud = 9600;
    int stallTimeoutS = 10;
    bool unverified = false;
    bool readVersionOnly = false; // --read-version: stop once the version is known
    int retries = 0;
    QString recordFile; // the record of every download; empty: none
    bool verify = false;
    int verifyTimeoutS = 30;
    QString expectVersion;
};

class PortFlasher : public QObject
{
    Q_OBJECT

public:
    PortFlasher(const QString &port, const PortSettings &settings, const SharedImage *image,
                QObject *parent = nullptr);

    void start();
    // Ends the port before it opens: the image cannot be flashed (why), whatever the pack is.
    void refuse(const QString &why);
    void interrupt(); // Ctrl-C: close the port and stop the timers at once

    const QString &port() const { return m_port; }
    Stage stage() const { return m_stage; }
    bool finished() const { return m_stage == Stage::Finished; }
    int exitCode() const { return m_exitCode; }
    QString outcome() const { return m_record.outcome; }
    Download::Outcome outcomeKind() const { return m_outcome; }
    QString version() const { return m_exchange.version(); } // the last one reported
    QString failure() const { return m_failure; } // why the port ended before a download, if it did
    const Download::State &state() const { return m_exchange.state(); }
    qint64 downloadMs() const { return m_downloadClock.isValid() ? m_downloadClock.elapsed() : 0; }
    QString phaseName() const;
    // The record of the port, with the fields of the window's downloads.jsonl.
    const Download::Record &record() const { return m_record; }
    bool versionUnverified() const { return m_unverified; }
    QString recordError() const { return m_recordError; }

signals:
    void progressed(); // a packet was acknowledged
    void done();

private:
    void checkVersion();
    void verifyTick();
    void checkVersionAfter(const QString &version);
    void onFinished(const Download::Record &record, const QString &recordError);
    void finish(Download::Outcome outcome); // the exit code is the outcome's

    QString m_port;
    PortSettings m_settings;
    const SharedImage *m_image;
    Download::Exchange m_exchange;
    Stage m_stage = Stage::Waiting;
    bool m_unverified = false;
    int m_exitCode = -1;
    Download::Outcome m_outcome = Download::Outcome::Interrupted;
    QString m_failure;
    QString m_recordError; // why the record of the download was not written, if it was not
    QElapsedTimer m_downloadClock;
    QElapsedTimer m_verifyClock;
    QTimer m_verifyTimer;
    QDateTime m_started;
    Download::Record m_record;
};

} // namespace Flash
