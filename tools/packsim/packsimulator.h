// PackSimulator: a stand-in for the battery pack's BMS on a serial line, for tests, the demo and
// manual runs (tools/packsim/main.cpp wraps it as quorvane-packsim).
//
// Typical in-process use, in the same event loop as the window under test:
//
//     PackSim::PackSimulator pack;
//     QVERIFY2(pack.openPty(), qPrintable(pack.errorString()));
//     pack.setVersionText(QStringLiteral("BMS_V2.1.07_2026"));   // the default
//     ... open pack.slavePath() with QSerialPort (or point the window's port list at it) ...
//     QTRY_COMPARE(pack.imagesWritten(), 1);
//     QCOMPARE(pack.image(), PackSim::expectedImage(fileBytes));
//     QCOMPARE(pack.violationCount(), 0);
//
// What it answers (each answer a 0x7E frame built by Codec::buildAsciiFrame, upper-case CHKSUM):
//   version query  -> INFO = hex text of the version text's UTF-8 bytes ("AB" goes out as "4142")
//   init, data, end -> empty INFO
//   test command   -> INFO = hex text of the 324-byte test record (setTestRecord)
//   anything else  -> nothing (and a violation)
//
// What it checks in every command (a failed check is a "violation": printed on stderr, counted,
// listed, signalled; the simulator keeps running):
//   frame integrity: LENGTH and its 4-bit check, 0x0D where LENGTH puts the end, CHKSUM (digits
//     compared case-insensitively: the updater writes the data frame's in lower case). A frame
//     failing these is not answered and not used.
//   content: VER "25" / ADR "01" and the word 0xAAAA of init; packet numbers from 0 in order after
//     init, 2048-byte payloads; the end command's count equal to the packets received and a
//     4-byte head. These frames are still answered, so the updater goes on as a real pack would let it.
//
// Reassembly: an init command starts a new image. After each end command the image (the 4 head bytes,
// then the packet bodies in packet order, padding included) is kept in image() and, when
// setImageOutputPath() was given, written to that file; imageCompleted() is emitted.
//
// Faults (all off by default; ordinals count the well-formed commands of a kind from 1, since
// construction or resetCounters()):
//   setSilent(kind, n) / setSilentAll(kind)  no answer to the n-th / every command of that kind
//   setReplyDelay(ms)                       hold every answer ms milliseconds
//   setByteByByte(on, gapMs)                write answers one byte at a time, gapMs apart
//   setNoiseBytes(n)                        n bytes before every answer that hold no acceptable frame
//   setCorruptChecksum(kind, n) / ...All    answer with a wrong (still upper-case) CHKSUM
//   setInfoReplies(on)                      answer init/data/end with INFO "00" instead of empty
//   setNoEndReply(on)                       never answer the end command
//   setEndReplyAfter(n)                     answer the end command only from its n-th copy after init
//   setPaceBaud(baud)                       answer no earlier than the command would have finished
//                                           arriving at baud (10 bits a byte, commands back to back)
//   setLate(kind, ms)                       hold the answers of that kind ms more (only some late)
//   setBusy(kind, ms)                       each command of that kind keeps the pack busy for ms
//                                           (an init that erases the flash, a packet being
//                                           written): its answer goes out when the work is done,
//                                           and every frame that starts arriving meanwhile is
//                                           dropped unheard (droppedFrames())
//   setRefuse(kind, n, code)                answer the n-th command of that kind with return code
//                                           `code` (CID2) and do nothing with it: a refused
//                                           packet is not stored, a refused end ends no image
// Delay adds to pacing. Silence wins over every other fault.
//
// Packs coming and going (the production line):
//   unplug() / plugIn()                     the line goes away (as pullAdapter) / a new pty appears
//                                           under the same link name, as a pack re-plugged
//   replug(absentMs)                        both, absentMs apart
//   setPowered(false) / powerCycle(offMs)   the port stays but the pack hears and says nothing
//   setAfterImage(what, ms)                 ms after answering an image's end command, replug or
//                                           power-cycle for ms: the next pack of a line
// Repeated data packets (an updater that re-sends a packet whose acknowledgement was lost):
//   setStoreMode(StoreMode::ByNumber)       the default: a packet goes where its number says, so a
//                                           repeat is harmless
//   setStoreMode(StoreMode::Append)         each packet is appended: a repeat corrupts the image
// A repeat of the packet just received is counted (repeatedPackets()), not a violation.
#pragma once

#include "commandparser.h"
#include "packsimtypes.h"
#include "testfirmware.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

class QFile;
class QTimer;

namespace PackSim {

class SimLine;

// Where the pack puts a data packet.
enum class StoreMode
{
    ByNumber, // at the position its number gives
    Append,   // after the packets before it, whatever its number
};

// What the pack does once it has answered an image's end command.
enum class AfterImage
{
    Stay,
    Replug,     // the line goes away and comes back under the same link name
    PowerCycle, // the pack goes silent, then answers again
};

// Every frame cut from the line, accepted or not.
struct ReceivedFrame
{
    QDateTime time;         // wall clock when it was complete
    qint64 elapsedMs = 0;   // simulator clock (ms since construction) when it was complete
    qint64 firstByteMs = 0; // simulator clock when its first byte arrived
    Kind kind = Kind::Unknown;
    quint16 word = 0;
    QByteArray bytes;
    bool wellFormed = false; // LENGTH, 0x0D and CHKSUM held
};

class PackSimulator : public QObject
{
    Q_OBJECT
public:
    static const char kDefaultVersionText[]; // "BMS_V2.1.07_2026"
    static constexpr int kTestRecordBytes = 324;

    explicit PackSimulator(QObject *parent = nullptr);
    ~PackSimulator() override;

    // --- the line -------------------------------------------------------------------------------
    // Creates a pseudo-terminal pair; the updater opens slavePath(). With linkPath, also makes a
    // symlink there to the slave (an existing symlink is replaced, any other file is refused); it is
    // removed again by close(), pullAdapter() and the destructor.
    bool openPty(const QString &linkPath = QString());
    // Opens a real serial device raw 8N1 at baud (a standard rate).
    bool openDevice(const QString &path, qint32 baud);
    bool isOpen() const;
    QString slavePath() const; // the path the updater opens (the device's path for openDevice)
    QString linkPath() const { return m_linkPath; }
    QString errorString() const { return m_error; }
    // Unplugs the adapter: closes both pty ends (the updater's port sees the line vanish), drops
    // pending answers, removes the symlink. Emits adapterPulled().
    void pullAdapter();
    // Same as pullAdapter() without the signal.
    void close();
    // The pack is unplugged: as pullAdapter(), but plugIn() brings a new line back under the link
    // name openPty() was given. replug() does both, absentMs apart. plugIn() emits pluggedIn().
    void unplug();
    bool plugIn();
    void replug(int absentMs);
    // Off: the port stays, the pack takes nothing in and answers nothing (pending answers dropped).
    void setPowered(bool on);
    bool powered() const { return m_powered; }
    void powerCycle(int offMs);
    void setAfterImage(AfterImage what, int ms);
    // The version the pack reports once it has answered an image's end command (with
    // setAfterImage(PowerCycle, ms): after a silent restart).
    void setVersionAfterImage(const QString &text) { m_versionAfterImage = text; }
    void setStoreMode(StoreMode mode) { m_storeMode = mode; }
    StoreMode storeMode() const { return m_storeMode; }
    // "number" or "append"; false for anything else.
    static bool storeModeFromName(const QString &name, StoreMode *mode);

    // --- what the pack says --------------------------------------------------------------------
    // At most 2047 UTF-8 bytes (INFO carries two characters a byte); false and unchanged otherwise.
    bool setVersionText(const QString &text);
    QString versionText() const { return m_versionText; }
    void setTestRecord(const QByteArray &record) { m_testRecord = record.left(2047); }
    void setImageOutputPath(const QString &path) { m_imageOutputPath = path; }

    // --- faults ---------------------------------------------------------------------------------
    void setSilent(Kind kind, int ordinal) { m_silent[kindIndex(kind)].addOrdinal(ordinal); }
    void setSilentAll(Kind kind) { m_silent[kindIndex(kind)].setAll(true); }
    void setCorruptChecksum(Kind kind, int ordinal) { m_corrupt[kindIndex(kind)].addOrdinal(ordinal); }
    void setCorruptChecksumAll(Kind kind) { m_corrupt[kindIndex(kind)].setAll(true); }
    // "init:all", "data:5", "end" (= all), and for the checksum also "all" (every kind).
    bool addSilent(const QString &target, QString *error);
    bool addCorruptChecksum(const QString &target, QString *error);
    void clearFaults();
    void setReplyDelay(int ms) { m_delayMs = qMax(0, ms); }
    void setByteByByte(bool on, int gapMs = 1);
    void setNoiseBytes(int count) { m_noiseBytes = qBound(0, count, 1 << 20); }
    void setInfoReplies(bool on) { m_infoReplies = on; }
    void setNoEndReply(bool on) { m_noEndReply = on; }
    void setEndReplyAfter(int copies) { m_endReplyAfter = qMax(0, copies); }
    void setPaceBaud(int baud) { m_paceBaud = qMax(0, baud); }
    void setLate(Kind kind, int ms) { m_lateMs[kindIndex(kind)] = qMax(0, ms); }
    void setBusy(Kind kind, int ms) { m_busyMs[kindIndex(kind)] = qMax(0, ms); }
    void setRefuse(Kind kind, int ordinal, quint8 code);
    // "KIND=MS" for setLate and setBusy, "KIND:N=CODE" (CODE two hex digits) for setRefuse.
    bool addTimedFault(const QString &option, const QString &text, QString *error);

    // The noise setNoiseBytes() puts before an answer (deterministic; never contains 0x7E).
    static QByteArray noise(int count);
    // The answer frames, as sent without faults.
    QByteArray versionReply() const;
    static QByteArray emptyReply();
    // An empty answer with return code `code` instead of 00.
    static QByteArray refusalReply(quint8 code);

    // --- the record -----------------------------------------------------------------------------
    // Frame log: every frame in both directions, time-stamped, in hex. Off by default.
    void setLogToStderr(bool on) { m_logToStderr = on; }
    // Command summary: one time-stamped line on stderr per command received, without the bytes.
    void setSummaryToStderr(bool on) { m_summaryToStderr = on; }
    bool setLogFile(const QString &path); // appends; false and errorString() when it cannot open
    // Violations go to stderr unless switched off (tests that provoke them may keep stderr quiet).
    void setReportViolationsOnStderr(bool on) { m_reportOnStderr = on; }

    int commandCount(Kind kind) const { return m_commandCounts[kindIndex(kind)]; }
    int totalCommands() const;
    int rejectedFrames() const { return m_rejectedFrames; }
    int repliesSent() const { return m_repliesSent; }
    int violationCount() const { return m_violations.size(); }
    QStringList violations() const { return m_violations; }
    QList<ReceivedFrame> receivedFrames() const { return m_received; }
    qint64 discardedBytes() const { return m_parser.discardedBytes(); }
    int packetsReceived() const { return m_packets.size(); }
    int repeatedPackets() const { return m_repeatedPackets; }
    int droppedFrames() const { return m_droppedFrames; }
    int refusals() const { return m_refusals; }
    int plugIns() const { return m_plugIns; }
    QByteArray image() const { return m_image; }
    int imagesWritten() const { return m_imagesCompleted; }
    qint64 imageBytesWritten() const { return m_imageBytesWritten; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    void resetCounters();

signals:
    void commandReceived(PackSim::Kind kind, quint16 word, const QByteArray &frame);
    void frameRejected(const QString &problem, const QByteArray &frame);
    void replySent(PackSim::Kind kind, const QByteArray &bytes); // when its last byte is handed to the line
    void violationFound(const QString &message);
    void imageCompleted(const QByteArray &image);
    void imageFileError(const QString &message);
    void adapterPulled();
    void pluggedIn(const QString &slavePath);
    void lineFailed(const QString &message);

private:
    struct PendingReply
    {
        Kind kind = Kind::Unknown;
        QByteArray noise;
        QByteArray frame;
        qint64 dueUs = 0;
    };

    void onData(const QByteArray &bytes);
    void handleFrame(const ParsedFrame &frame);
    void checkContent(const ParsedFrame &frame, int ordinal);
    void finishImage(const ParsedFrame &frame);
    bool shouldAnswer(Kind kind, int ordinal) const;
    QByteArray replyFor(const ParsedFrame &frame) const;
    void queueReply(Kind kind, QByteArray frame, qint64 readyUs);
    void scheduleNextReply();
    void sendDueReply();
    void trickleNextByte();
    void violation(const QString &message);
    void logFrame(const char *direction, Kind kind, const QByteArray &bytes, const QString &note = QString());
    void removeLink();
    bool makeLink(const QString &linkPath);
    void afterReply(Kind kind);
    qint64 nowUs() const { return m_clock.nsecsElapsed() / 1000; }

    SimLine *m_line;
    CommandParser m_parser;
    QElapsedTimer m_clock;
    QTimer *m_replyTimer;
    QTimer *m_trickleTimer;
    QString m_error;
    QString m_linkPath;
    QString m_plugLinkPath; // the link plugIn() brings back
    QTimer *m_plugTimer;
    QTimer *m_powerTimer;
    bool m_powered = true;
    AfterImage m_afterImage = AfterImage::Stay;
    int m_afterImageMs = 0;
    bool m_imageAnswered = false; // an image was completed and its end command not yet answered
    int m_plugIns = 0;
    StoreMode m_storeMode = StoreMode::ByNumber;
    int m_repeatedPackets = 0;

    QString m_versionText;
    QString m_versionAfterImage;
    QByteArray m_testRecord;
    QString m_imageOutputPath;

    Selector m_silent[kKindCount];
    Selector m_corrupt[kKindCount];
    int m_delayMs = 0;
    bool m_byteByByte = false;
    int m_byteGapMs = 1;
    int m_noiseBytes = 0;
    bool m_infoReplies = false;
    bool m_noEndReply = false;
    int m_endReplyAfter = 0;
    int m_paceBaud = 0;
    qint64 m_lineFreeUs = 0;
    int m_lateMs[kKindCount] = {};
    int m_busyMs[kKindCount] = {};
    qint64 m_busyUntilUs = 0;
    Selector m_refuse[kKindCount];
    quint8 m_refuseCode[kKindCount] = {};
    int m_droppedFrames = 0;
    int m_refusals = 0;

    QList<PendingReply> m_pending;
    PendingReply m_trickling;
    int m_trickleOffset = 0;
    bool m_trickleActive = false;

    bool m_logToStderr = false;
    bool m_summaryToStderr = false;
    QFile *m_logFile = nullptr;
    bool m_reportOnStderr = true;

    int m_commandCounts[kKindCount] = {};
    int m_rejectedFrames = 0;
    int m_repliesSent = 0;
    QStringList m_violations;
    QList<ReceivedFrame> m_received;

    QMap<int, QByteArray> m_packets;
    int m_expectedPacket = 0;
    int m_endCopies = 0;
    QByteArray m_image;
    int m_imagesCompleted = 0;
    qint64 m_imageBytesWritten = 0;
};

} // namespace PackSim
