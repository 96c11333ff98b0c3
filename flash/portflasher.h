// One pack on one port: open it, ask for its version, check the image against it, then run the
// download through the same state machine, frames and one-second ticks as the window.
#pragma once

#include "downloadmachine.h"
#include "downloadrecord.h"
#include "firmwareimage.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

namespace Flash {

// What a port is doing, for the progress line.
enum class Stage
{
    Waiting,
    Opening,
    Version, // waiting for the version reply
    Download,
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
};

class PortFlasher : public QObject
{
    Q_OBJECT

public:
    PortFlasher(const QString &port, const PortSettings &settings, const SharedImage *image,
                QObject *parent = nullptr);

    void start();
    void interrupt(); // Ctrl-C: close the port and stop the timers at once

    const QString &port() const { return m_port; }
    Stage stage() const { return m_stage; }
    bool finished() const { return m_stage == Stage::Finished; }
    int exitCode() const { return m_exitCode; }
    QString outcome() const { return m_record.outcome; }
    QString version() const { return m_version; }
    QString failure() const { return m_failure; } // why the port ended before a download, if it did
    const Download::State &state() const { return m_state; }
    qint64 downloadMs() const { return m_downloadClock.isValid() ? m_downloadClock.elapsed() : 0; }
    QString phaseName() const;
    // The record of the port, with the fields of the window's downloads.jsonl.
    const Download::Record &record() const { return m_record; }
    bool versionUnverified() const { return m_unverified; }

signals:
    void progressed(); // a packet was acknowledged
    void done();

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void onVersion(const QString &version);
    void versionTimedOut();
    void feed(Download::EventKind kind, E_FUNC func = eFuncNone);
    void carryOut(const Download::Action &action);
    void finish(int exitCode, const QString &outcome);

    QString m_port;
    PortSettings m_settings;
    const SharedImage *m_image;
    QSerialPort m_serial;
    QByteArray m_recv;
    Download::State m_state;
    QTimer m_initTimer;
    QTimer m_endTimer;
    QTimer m_stallTimer;
    QTimer m_versionTimer;
    Stage m_stage = Stage::Waiting;
    QString m_version;
    bool m_versionReported = false;
    bool m_unverified = false;
    int m_exitCode = -1;
    QString m_failure;
    QElapsedTimer m_downloadClock;
    Download::Record m_record;
};

// Exit code and report name of each outcome of the state machine.
int exitCodeFor(Download::Outcome outcome);

} // namespace Flash
