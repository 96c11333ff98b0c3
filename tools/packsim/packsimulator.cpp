// The line, the answer pipeline and the frame log of the simulator. The checks of received
// commands and the image reassembly live in packsimchecks.cpp.
#include "packsimulator.h"

#include "simline.h"

#include "codec.h"
#include "constants.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

namespace PackSim {

namespace {

// Header fields of the answers. The updater never examines them.
constexpr quint8 kReplyVer = 0x21;
constexpr quint8 kReplyAdr = 0x01;
constexpr quint8 kReplyCid1 = 0x46;
constexpr quint8 kReplyCid2 = 0x00; // return code: done

// How much earlier than an answer is due its timer wakes (see scheduleNextReply).
constexpr qint64 kTimerWakeEarlyUs = 1000;

QByteArray hexText(const QByteArray &bytes)
{
    return bytes.toHex(' ').toUpper();
}

} // namespace

const char PackSimulator::kDefaultVersionText[] = "BMS_V2.1.07_2026";

PackSimulator::PackSimulator(QObject *parent)
    : QObject(parent), m_line(new SimLine(this)), m_replyTimer(new QTimer(this)),
      m_trickleTimer(new QTimer(this)), m_plugTimer(new QTimer(this)), m_powerTimer(new QTimer(this)),
      m_versionText(QString::fromLatin1(kDefaultVersionText))
{
    qRegisterMetaType<PackSim::Kind>("PackSim::Kind");
    m_clock.start();
    m_testRecord.resize(kTestRecordBytes);
    for (int i = 0; i < kTestRecordBytes; ++i)
        m_testRecord[i] = char(i & 0xFF);
    m_replyTimer->setSingleShot(true);
    m_replyTimer->setTimerType(Qt::PreciseTimer);
    m_trickleTimer->setSingleShot(true);
    m_trickleTimer->setTimerType(Qt::PreciseTimer);
    m_plugTimer->setSingleShot(true);
    m_powerTimer->setSingleShot(true);
    connect(m_plugTimer, &QTimer::timeout, this, &PackSimulator::plugIn);
    connect(m_powerTimer, &QTimer::timeout, this, [this] { setPowered(true); });
    connect(m_replyTimer, &QTimer::timeout, this, &PackSimulator::sendDueReply);
    connect(m_trickleTimer, &QTimer::timeout, this, &PackSimulator::trickleNextByte);
    connect(m_line, &SimLine::dataReceived, this, &PackSimulator::onData);
    connect(m_line, &SimLine::failed, this, [this](const QString &message) {
        m_error = message;
        if (m_reportOnStderr)
            std::fprintf(stderr, "packsim: line failed: %s\n", qPrintable(message));
        emit lineFailed(message);
    });
}

PackSimulator::~PackSimulator()
{
    close();
}

bool PackSimulator::openPty(const QString &linkPath)
{
    close();
    if (!m_line->openPty()) {
        m_error = m_line->errorString();
        return false;
    }
    m_plugLinkPath = linkPath;
    if (!linkPath.isEmpty() && !makeLink(linkPath)) {
        m_line->close();
        return false;
    }
    return true;
}

bool PackSimulator::makeLink(const QString &linkPath)
{
    const QFileInfo existing(linkPath);
    if (existing.isSymLink()) {
        QFile::remove(linkPath);
    } else if (existing.exists()) {
        m_error = QStringLiteral("%1 exists and is not a symlink; not replacing it").arg(linkPath);
        return false;
    }
    if (!QFile::link(m_line->peerPath(), linkPath)) {
        m_error = QStringLiteral("cannot create the symlink %1 to %2").arg(linkPath, m_line->peerPath());
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

bool PackSimulator::openDevice(const QString &path, qint32 baud)
{
    close();
    if (!m_line->openDevice(path, baud)) {
        m_error = m_line->errorString();
        return false;
    }
    return true;
}

bool PackSimulator::isOpen() const
{
    return m_line->isOpen();
}

QString PackSimulator::slavePath() const
{
    return m_line->peerPath();
}

void PackSimulator::removeLink()
{
    if (m_linkPath.isEmpty())
        return;
    const QFileInfo link(m_linkPath);
    if (link.isSymLink() && link.symLinkTarget() == QFileInfo(m_line->peerPath()).absoluteFilePath())
        QFile::remove(m_linkPath);
    m_linkPath.clear();
}

void PackSimulator::close()
{
    m_plugTimer->stop();
    m_replyTimer->stop();
    m_trickleTimer->stop();
    m_pending.clear();
    m_trickleActive = false;
    m_parser.clear();
    removeLink();
    m_line->close();
}

void PackSimulator::pullAdapter()
{
    close();
    emit adapterPulled();
}

bool PackSimulator::setVersionText(const QString &text)
{
    if (2 * text.toUtf8().size() > Quorvane::kMaxLenId)
        return false;
    m_versionText = text;
    return true;
}

bool PackSimulator::addSilent(const QString &target, QString *error)
{
    FaultTarget parsed;
    if (!parseFaultTarget(target, false, &parsed, error))
        return false;
    if (parsed.everyOrdinal)
        setSilentAll(parsed.kind);
    else
        setSilent(parsed.kind, parsed.ordinal);
    return true;
}

bool PackSimulator::addCorruptChecksum(const QString &target, QString *error)
{
    FaultTarget parsed;
    if (!parseFaultTarget(target, true, &parsed, error))
        return false;
    if (parsed.allKinds) {
        for (Selector &selector : m_corrupt)
            selector.setAll(true);
    } else if (parsed.everyOrdinal) {
        setCorruptChecksumAll(parsed.kind);
    } else {
        setCorruptChecksum(parsed.kind, parsed.ordinal);
    }
    return true;
}

void PackSimulator::clearFaults()
{
    for (int i = 0; i < kKindCount; ++i) {
        m_silent[i].clear();
        m_corrupt[i].clear();
    }
    m_delayMs = 0;
    m_byteByByte = false;
    m_byteGapMs = 1;
    m_noiseBytes = 0;
    m_infoReplies = false;
    m_noEndReply = false;
    m_endReplyAfter = 0;
    m_paceBaud = 0;
    for (int i = 0; i < kKindCount; ++i) {
        m_lateMs[i] = 0;
        m_busyMs[i] = 0;
        m_refuse[i].clear();
    }
    m_busyUntilUs = 0;
}

void PackSimulator::setByteByByte(bool on, int gapMs)
{
    m_byteByByte = on;
    m_byteGapMs = qMax(0, gapMs);
}

QByteArray PackSimulator::noise(int count)
{
    QByteArray bytes;
    bytes.reserve(count);
    quint32 state = 0x2545F491u;
    for (int i = 0; i < count; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        char byte = char(state & 0xFF);
        if (byte == Codec::kSoiAscii)
            byte = 'n';
        bytes.append(byte);
    }
    return bytes;
}

QByteArray PackSimulator::versionReply() const
{
    return Codec::buildAsciiFrame(m_versionText.toUtf8().toHex().toUpper(), kReplyCid1, kReplyCid2, kReplyAdr,
                                  kReplyVer);
}

QByteArray PackSimulator::emptyReply()
{
    return Codec::buildAsciiFrame(QByteArray(), kReplyCid1, kReplyCid2, kReplyAdr, kReplyVer);
}

QByteArray PackSimulator::refusalReply(quint8 code)
{
    return Codec::buildAsciiFrame(QByteArray(), kReplyCid1, code, kReplyAdr, kReplyVer);
}

void PackSimulator::setRefuse(Kind kind, int ordinal, quint8 code)
{
    m_refuse[kindIndex(kind)].addOrdinal(ordinal);
    m_refuseCode[kindIndex(kind)] = code;
}

bool PackSimulator::addTimedFault(const QString &option, const QString &text, QString *error)
{
    const int eq = text.indexOf(QLatin1Char('='));
    const bool refuse = option == QLatin1String("refuse");
    FaultTarget target;
    bool ok = eq > 0 && parseFaultTarget(text.left(eq), false, &target, error);
    if (!ok) {
        if (eq <= 0)
            *error = QStringLiteral("\"%1\": expected %2")
                         .arg(text, refuse ? QStringLiteral("KIND:N=CODE") : QStringLiteral("KIND=MS"));
        return false;
    }
    const int value = text.mid(eq + 1).toInt(&ok, refuse ? 16 : 10);
    if (!ok || value < (refuse ? 1 : 0) || value > (refuse ? 0xFF : 600000) ||
        (refuse && target.everyOrdinal)) {
        *error = QStringLiteral("\"%1\": expected %2")
                     .arg(text, refuse ? QStringLiteral("KIND:N=CODE with CODE 01 to FF")
                                       : QStringLiteral("KIND=MS with MS 0 to 600000"));
        return false;
    }
    if (refuse)
        setRefuse(target.kind, target.ordinal, quint8(value));
    else if (option == QLatin1String("busy"))
        setBusy(target.kind, value);
    else
        setLate(target.kind, value);
    return true;
}

QByteArray PackSimulator::replyFor(const ParsedFrame &frame) const
{
    switch (frame.kind) {
    case Kind::Version:
        return versionReply();
    case Kind::Test:
        return Codec::buildAsciiFrame(m_testRecord.toHex().toUpper(), kReplyCid1, kReplyCid2, kReplyAdr,
                                      kReplyVer);
    case Kind::Init:
    case Kind::Data:
    case Kind::End:
        if (m_infoReplies)
            return Codec::buildAsciiFrame(QByteArrayLiteral("00"), kReplyCid1, kReplyCid2, kReplyAdr,
                                          kReplyVer);
        return emptyReply();
    case Kind::Unknown:
        break;
    }
    return QByteArray();
}

void PackSimulator::queueReply(Kind kind, QByteArray frame, qint64 readyUs)
{
    if (!m_line->isOpen())
        return; // the adapter was pulled while the command was handled
    const int ordinal = m_commandCounts[kindIndex(kind)];
    if (m_corrupt[kindIndex(kind)].matches(ordinal) && frame.size() >= Quorvane::kFrameOverheadBytes) {
        // A wrong value in upper case: only the arithmetic tells it apart.
        const int at = Quorvane::checksumOffset(frame.size() - Quorvane::kFrameOverheadBytes);
        const quint16 sent = quint16(frame.mid(at, Quorvane::kChecksumBytes).toUInt(nullptr, 16) + 1);
        frame.replace(at, Quorvane::kChecksumBytes,
                      QByteArray::number(sent, 16).rightJustified(Quorvane::kChecksumBytes, '0').toUpper());
    }
    PendingReply reply;
    reply.kind = kind;
    reply.noise = noise(m_noiseBytes);
    reply.frame = frame;
    reply.dueUs = readyUs + qint64(m_delayMs) * 1000;
    m_pending.append(reply);
    scheduleNextReply();
}

// Qt's timers count whole milliseconds, and under the GLib event dispatcher they fire up to a
// millisecond after that; rounding the wait up as well would make every paced answer up to two
// milliseconds late. The timer is therefore set to wake one to two milliseconds early, and the last
// stretch is covered by zero-timeout rechecks (sendDueReply), which keep the event loop running.
// With Qt's own dispatcher (QT_NO_GLIB=1) the timer itself is accurate to the microsecond.
void PackSimulator::scheduleNextReply()
{
    if (m_trickleActive || m_pending.isEmpty() || !m_line->isOpen())
        return;
    const qint64 waitUs = m_pending.first().dueUs - nowUs();
    m_replyTimer->start(int(qMax<qint64>(0, (waitUs - kTimerWakeEarlyUs) / 1000)));
}

void PackSimulator::sendDueReply()
{
    if (m_pending.isEmpty() || !m_line->isOpen())
        return;
    if (m_pending.first().dueUs > nowUs()) {
        scheduleNextReply(); // woke early on purpose: check again
        return;
    }
    const PendingReply reply = m_pending.takeFirst();
    if (!reply.noise.isEmpty())
        logFrame("TX", Kind::Unknown, reply.noise, QStringLiteral("noise"));
    logFrame("TX", reply.kind, reply.frame, m_byteByByte ? QStringLiteral("byte by byte") : QString());
    if (m_byteByByte) {
        m_trickling = reply;
        m_trickling.frame.prepend(reply.noise);
        m_trickleOffset = 0;
        m_trickleActive = true;
        trickleNextByte();
        return;
    }
    m_line->write(reply.noise);
    m_line->write(reply.frame);
    ++m_repliesSent;
    emit replySent(reply.kind, reply.frame);
    afterReply(reply.kind);
    scheduleNextReply();
}

void PackSimulator::trickleNextByte()
{
    if (!m_trickleActive || !m_line->isOpen())
        return;
    m_line->write(m_trickling.frame.mid(m_trickleOffset, 1));
    ++m_trickleOffset;
    if (m_trickleOffset < m_trickling.frame.size()) {
        m_trickleTimer->start(m_byteGapMs);
        return;
    }
    m_trickleActive = false;
    ++m_repliesSent;
    emit replySent(m_trickling.kind, m_trickling.frame.mid(m_trickling.noise.size()));
    afterReply(m_trickling.kind);
    scheduleNextReply();
}

bool PackSimulator::setLogFile(const QString &path)
{
    delete m_logFile;
    m_logFile = new QFile(path, this);
    if (!m_logFile->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        m_error = QStringLiteral("cannot open the log file %1: %2").arg(path, m_logFile->errorString());
        delete m_logFile;
        m_logFile = nullptr;
        return false;
    }
    return true;
}

void PackSimulator::logFrame(const char *direction, Kind kind, const QByteArray &bytes, const QString &note)
{
    const bool summary = m_summaryToStderr && qstrcmp(direction, "RX") == 0;
    if (!m_logToStderr && !m_logFile && !summary)
        return;
    const QString head = QStringLiteral("%1 %2 %3 %4 bytes%5")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz")),
                                  QLatin1String(direction), kindName(kind).leftJustified(7))
                             .arg(bytes.size())
                             .arg(note.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(note));
    if (summary && !m_logToStderr)
        std::fputs(qPrintable(head + QLatin1Char('\n')), stderr);
    const QString line = QStringLiteral("%1: %2\n").arg(head, QString::fromLatin1(hexText(bytes)));
    if (m_logToStderr)
        std::fputs(line.toLocal8Bit().constData(), stderr);
    if (m_logFile) {
        m_logFile->write(line.toUtf8());
        m_logFile->flush();
    }
}

void PackSimulator::violation(const QString &message)
{
    m_violations.append(message);
    if (m_reportOnStderr)
        std::fprintf(stderr, "packsim: violation: %s\n", qPrintable(message));
    emit violationFound(message);
}

int PackSimulator::totalCommands() const
{
    int total = 0;
    for (int count : m_commandCounts)
        total += count;
    return total;
}

void PackSimulator::resetCounters()
{
    for (int &count : m_commandCounts)
        count = 0;
    m_rejectedFrames = 0;
    m_repliesSent = 0;
    m_violations.clear();
    m_received.clear();
    m_imagesCompleted = 0;
    m_imageBytesWritten = 0;
    m_repeatedPackets = 0;
    m_plugIns = 0;
    m_droppedFrames = 0;
    m_refusals = 0;
}

} // namespace PackSim
