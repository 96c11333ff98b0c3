// One pack on one port, from opening the port to the record of what became of it: the port (the
// device a name means, held for this program alone, and one explainer when it will not open), the
// version query and its wait, the one check of whether this pack may take an image, the download
// (the exchange and its machine), the check after the update, and the record, built here alone.
// Widget-free: the flasher and the station's ports each drive sessions and show what they signal.
#pragma once

#include "exchange.h"
#include "outcome.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace Download {

class FirmwareStore;

struct SessionSettings
{
    qint32 baud = 9600;
    int stallTimeoutS = 10;
    int retries = 0;
    QString recordFile;  // each download's record is appended to it; empty: none
    bool verify = false; // after a confirmed end, ask the version until the pack answers
    int verifyTimeoutS = 30;
    QString expectVersion; // what the version after the update must start with
};

// An image read once and offered to every pack (the flasher's).
struct SharedImage
{
    QString path;
    FirmwareImage::LoadVerdict verdict = FirmwareImage::LoadVerdict::Unreadable;
    FirmwareImage::Image image;
};

// Whether a pack may take an image, and which.
struct StartCheck
{
    enum class Verdict
    {
        Go,     // image and path hold what to send
        Refuse, // outcome and failure say why not
        Wait,   // the station's file is still changing: look again after waitMs
    } verdict = Verdict::Refuse;
    Outcome outcome = Outcome::ImageRefused;
    QString failure;
    bool unverified = false; // no usable version, and the flasher was told to go on without one
    QString path;
    QStringList candidates; // the station's: every file that matched the version
    FirmwareImage::Image image;
    int waitMs = 0;
};

// "no version reported within 3 s", or why the version the pack reported is none.
QString noVersionText(bool versionKnown, const QString &version);

// The flasher's check: the pack's version (if it reported one that can be flashed by, unless
// unverifiedAllowed) must be in the image's path, and the image must have loaded.
StartCheck checkImage(const SharedImage &image, bool versionKnown, const QString &version,
                      bool unverifiedAllowed);
// The station's: exactly one readable, settled firmware file under dir for the version.
StartCheck checkFolder(const QString &dir, FirmwareStore *store, const QString &version);

class PackSession : public QObject
{
    Q_OBJECT

public:
    enum class Stage
    {
        Idle,     // before the port opens, or between packs (the station)
        Download, // the exchange runs the download
        Verify,   // asking the version after the update
        Ended,    // result() holds the outcome
    };

    PackSession(const QString &port, const SessionSettings &settings, QObject *parent = nullptr);

    // A new pack: its record's clock starts, the last result is forgotten.
    void begin();
    // Opens the port; false with openFailure(): "cannot open PORT: in use by minicom (pid 42)".
    bool open();
    QString openFailure() const { return m_openFailure; }
    bool isOpen() const { return m_exchange.isOpen(); }
    void closePort();
    // Five version queries: versionReported() or versionUnanswered() follows.
    void queryVersion() { m_exchange.queryVersion(); }
    bool versionKnown() const { return m_exchange.versionKnown(); }
    QString version() const { return m_exchange.version(); }

    // Runs the download of a check that said Go.
    void download(const StartCheck &check);
    // Ends the pack now, without (or after) a download: the outcome and why; file: the image it
    // was meant to take, where no download names it.
    void end(Outcome outcome, const QString &failure, const QString &file = QString());
    // Ends the pack as a check refused it (its outcome, why, the file and the candidates).
    void refuse(const StartCheck &check);
    // Ctrl-C, Stop: a running download or its check ends as interrupted.
    void interrupt();

    const QString &port() const { return m_port; }
    Stage stage() const { return m_stage; }
    bool hasEnded() const { return m_stage == Stage::Ended; }
    const PortResult &result() const { return m_result; }
    // Why the record of the download was not written, if it was not.
    QString recordError() const { return m_recordError; }
    qint64 downloadMs() const { return m_downloadClock.isValid() ? m_downloadClock.elapsed() : 0; }
    const State &state() const { return m_exchange.state(); }
    Exchange &exchange() { return m_exchange; } // its timings, for tests

signals:
    void versionReported(const QString &version);
    void versionUnanswered();
    void progressed(); // a packet was acknowledged
    void verifying();  // the download was confirmed; the version is asked again
    void ended(const Download::PortResult &result);
    void portLost(); // outside a download and its check: the port is closed

private:
    void onFinished(const Record &record);
    void verifyTick();
    void checkVersionAfter(const QString &version);

    QString m_port;
    SessionSettings m_settings;
    Exchange m_exchange;
    Stage m_stage = Stage::Idle;
    QDateTime m_started;
    QString m_file; // of the image checked for this pack
    bool m_unverified = false;
    bool m_downloaded = false; // a download ran: its record is written
    QString m_openFailure;
    QString m_recordError;
    QElapsedTimer m_downloadClock;
    QElapsedTimer m_verifyClock;
    QTimer m_verifyTimer;
    PortResult m_result;
};

} // namespace Download
