// One port's whole exchange with a pack: the port, the receive buffer and the reading of replies,
// the version query and its wait, the download's state machine with its three timers, the frames
// cut from the image, chunked writes and the record of each download. Widget-free: the window and
// the command-line flasher each drive one (the flasher one per port) and show what it signals.
#pragma once

#include "constants.h"
#include "downloadmachine.h"
#include "downloadrecord.h"
#include "firmwareimage.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QString>
#include <QTimer>

// Traces of the download ("quorvane.upgrade").
Q_DECLARE_LOGGING_CATEGORY(lcUpgrade)

namespace Download {

class Exchange : public QObject
{
    Q_OBJECT

public:
    explicit Exchange(QObject *parent = nullptr);

    // Opens the device portName means (links resolved) at baud, 8N1 without flow control, and
    // holds it for this program alone (PortIdentity::lockOpenPort). False when it cannot be opened
    // or another program holds it: openError() ("in use by another program") and openErrorCode()
    // say why.
    bool open(const QString &portName, qint32 baud);
    QString openError() const { return m_openError; }
    QSerialPort::SerialPortError openErrorCode() const { return m_openErrorCode; }
    // Speaks over another open device instead of the serial port (not owned).
    void attach(QIODevice *device, const QString &portName, qint32 baud);
    // The user closes the port: a running download ends (link_lost), the port closes.
    void closePort();
    bool isOpen() const;
    QSerialPort *serialPort() { return &m_serial; }
    const QString &portName() const { return m_portName; }

    // The image that Start sends. Either ends for good a download that has reached its outcome.
    void setImage(const FirmwareImage::Image &image, const QString &path);
    void clearImage();
    quint32 packetCount() const { return m_image.packets; }

    // Five version queries; versionReported() or versionUnanswered() follows.
    void queryVersion();
    // A download the front end has checked (Download::checkStart).
    void start();
    // The front end goes away: a running download ends (interrupted), every timer stops.
    void shutdown();
    // The user stops a running download to start again (restarted), every timer stops.
    void stopToRestart();

    // A command of the front end's own, in one write, or a frame in pieces of kWriteChunkBytes;
    // func is the code its reply is taken for. -1 when the port is not open or refuses it.
    qint64 writeCommand(const QByteArray &bytes, E_FUNC func);
    qint64 writeFrame(const QByteArray &frame, E_FUNC func);

    // The line's timings, shortened by tests; users always get the constants.
    void setStallTimeoutMs(int ms) { m_stallTimeoutMs = ms; }
    void setTickMs(int ms);                                 // init and end ticks (kUpgradeTickMs)
    void setVersionWaitMs(int ms) { m_versionWaitMs = ms; } // kVersionWaitMs
    int tickMs() const { return m_initTimer.interval(); }
    int versionWaitMs() const { return m_versionWaitMs; }
    // Re-sends of a data packet on its stall deadline before the download counts as stalled
    // (default 0; see State::retries).
    void setRetries(int retries) { m_state.retries = qBound(0, retries, Quorvane::kMaxPacketRetries); }
    // The first init and the first end command at once rather than on the first tick (see
    // State::sendAtOnce); the window keeps its ticks.
    void setSendAtOnce(bool atOnce) { m_state.sendAtOnce = atOnce; }
    // Where each download's record is appended (downloads.jsonl); empty: nowhere.
    void setRecordFile(const QString &path) { m_recordPath = path; }
    // Where the version in use came from when the pack has not reported one on this port.
    void setUnreportedVersionSource(VersionSource source) { m_unreportedSource = source; }

    const State &state() const { return m_state; }
    bool running() const { return m_state.running(); }
    bool versionKnown() const { return m_versionReported; } // the pack reported its version on this port
    const QString &version() const { return m_version; }
    // What is known now of the port, the pack and the image, in the record's fields.
    Record knownRecord() const;
    // Received bytes, as hexadecimal text, that no accepted reply has taken yet.
    const QByteArray &received() const { return m_recv; }

public slots:
    void initTick();
    void endTick();
    void readAvailable();

signals:
    void versionReported(const QString &version);
    void versionUnanswered(); // kVersionWaitMs after the query without a version reply
    void infoReply(E_FUNC pending, const QByteArray &payload); // any other reply with INFO
    void packetSent(quint32 packet, quint32 total);
    void acknowledged(quint32 packets); // packets the pack has acknowledged in this download
    void progressChanged(quint32 packets);
    void logCleared();
    void completed(); // the completion line
    // value: the packet (Stalled, Refused); code: the return code (Refused)
    void notice(Download::Notice notice, quint32 value, int code = 0);
    // A download reached its outcome; recordError is empty when the record was written (or none
    // was asked for).
    void finished(const Download::Record &record, const QString &recordError);
    void portLost(); // the adapter went away; the port is closed

private:
    void feed(EventKind kind, E_FUNC func = eFuncNone, int code = 0);
    void carryOut(const Action &action);
    void takeReply(const QByteArray &infoHex, int returnCode);
    void takeInfo(E_FUNC func);
    void tracePairing(const Action &action) const;
    void onPortError(QSerialPort::SerialPortError error);
    void finishRecord(const Action &action);
    void detach(); // the port closed, the version forgotten
    qint64 write(const QByteArray &bytes);

    QSerialPort m_serial;
    QPointer<QIODevice> m_device; // m_serial, or the attached device
    QString m_portName;
    qint32 m_baud = 0;
    QString m_openError;
    QSerialPort::SerialPortError m_openErrorCode = QSerialPort::NoError;
    QByteArray m_recv;

    State m_state;
    QTimer m_initTimer;
    QTimer m_endTimer;
    QTimer m_stallTimer;
    QTimer m_versionTimer;
    QTimer m_expiryTimer;
    QElapsedTimer m_clock;    // the machine's clock
    QByteArray m_infoPayload; // of the answer with INFO being paired
    int m_stallTimeoutMs;
    int m_versionWaitMs;

    FirmwareImage::Image m_image;
    QString m_imagePath;
    bool m_versionReported = false;
    QString m_version;
    VersionSource m_unreportedSource = VersionSource::None;

    QDateTime m_started; // of the last download
    QString m_recordPath;
};

} // namespace Download

// For queued connections and signal spies.
Q_DECLARE_METATYPE(E_FUNC)
Q_DECLARE_METATYPE(Download::Notice)
Q_DECLARE_METATYPE(Download::Record)
