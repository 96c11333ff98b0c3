// What the simulator does with a received frame: record it, check it against what the updater must
// send, rebuild the image from the upgrade commands, and decide whether to answer.
#include "packsimulator.h"

#include "codec.h"
#include "constants.h"
#include "simline.h"

#include <QSaveFile>

#include <cstdio>

namespace PackSim {

namespace {

constexpr int kHistoryLimit = 10000; // frames kept in receivedFrames()

ReceivedFrame recordOf(const ParsedFrame &frame, qint64 elapsedMs, bool wellFormed)
{
    ReceivedFrame record;
    record.time = QDateTime::currentDateTime();
    record.elapsedMs = elapsedMs;
    record.firstByteMs = frame.firstByteMs / 1000;
    record.kind = frame.kind;
    record.word = frame.word;
    record.bytes = frame.bytes;
    record.wellFormed = wellFormed;
    return record;
}

} // namespace

void PackSimulator::onData(const QByteArray &bytes)
{
    if (!m_powered)
        return; // a pack without power hears nothing
    m_parser.append(bytes, nowUs());
    for (;;) {
        ParsedFrame frame;
        QString problem;
        const CommandParser::Step step = m_parser.next(&frame, &problem);
        if (step == CommandParser::Step::NeedMore)
            break;
        if (step == CommandParser::Step::Frame) {
            handleFrame(frame);
            if (!m_line->isOpen())
                break;
            continue;
        }
        ++m_rejectedFrames;
        if (!frame.bytes.isEmpty()) {
            m_received.append(recordOf(frame, m_clock.elapsed(), false));
            logFrame("RX", frame.kind, frame.bytes, QStringLiteral("rejected"));
        }
        violation(QStringLiteral("%1 frame rejected: %2").arg(kindName(frame.kind), problem));
        emit frameRejected(problem, frame.bytes);
    }
    while (m_received.size() > kHistoryLimit)
        m_received.removeFirst();
}

void PackSimulator::handleFrame(const ParsedFrame &frame)
{
    m_received.append(recordOf(frame, m_clock.elapsed(), true));
    if (frame.firstByteMs < m_busyUntilUs) {
        ++m_droppedFrames; // it came while the pack was busy: never heard
        logFrame("RX", frame.kind, frame.bytes, QStringLiteral("dropped: the pack is busy"));
        return;
    }
    logFrame("RX", frame.kind, frame.bytes,
             frame.kind == Kind::Data || frame.kind == Kind::End ? QStringLiteral("word %1").arg(frame.word)
                                                                 : QString());

    // The command finishes arriving no earlier than its bytes take on the paced line, and no earlier
    // than the command before it has finished.
    qint64 readyUs = nowUs();
    if (m_paceBaud > 0) {
        const qint64 startUs = qMax(frame.firstByteMs, m_lineFreeUs);
        m_lineFreeUs = startUs + qint64(frame.bytes.size()) * 10 * 1000000 / m_paceBaud;
        readyUs = m_lineFreeUs;
    }

    const int ordinal = ++m_commandCounts[kindIndex(frame.kind)];
    emit commandReceived(frame.kind, frame.word, frame.bytes);
    if (frame.kind == Kind::Unknown) {
        violation(
            QStringLiteral("unknown command: start 0x%1, CID2 \"%2\"; not answered")
                .arg(quint8(frame.bytes.at(0)), 2, 16, QLatin1Char('0'))
                .arg(QString::fromLatin1(frame.bytes.mid(Quorvane::kCid2Offset, Quorvane::kFieldBytes))));
        return;
    }
    const int k = kindIndex(frame.kind);
    readyUs += qint64(m_lateMs[k]) * 1000;
    if (m_busyMs[k] > 0) {
        m_busyUntilUs = qMax(readyUs, nowUs()) + qint64(m_busyMs[k]) * 1000;
        readyUs = m_busyUntilUs;
    }
    if (m_refuse[k].matches(ordinal)) {
        ++m_refusals; // refused: neither checked nor stored
        queueReply(frame.kind, refusalReply(m_refuseCode[k]), readyUs);
        return;
    }
    checkContent(frame, ordinal);
    if (shouldAnswer(frame.kind, ordinal))
        queueReply(frame.kind, replyFor(frame), readyUs);
}

void PackSimulator::checkContent(const ParsedFrame &frame, int ordinal)
{
    const QString which = QStringLiteral("%1 command #%2").arg(kindName(frame.kind)).arg(ordinal);
    const QByteArray verAdr =
        frame.bytes.mid(Quorvane::kVerOffset, Quorvane::kWordOffset - Quorvane::kVerOffset);
    switch (frame.kind) {
    case Kind::Version:
        if (frame.bytes != Codec::tokensToBytes(QByteArray(Codec::kVersionQueryText)))
            violation(QStringLiteral("%1 differs from the fixed version query: %2")
                          .arg(which, QString::fromLatin1(frame.bytes.toHex(' '))));
        break;
    case Kind::Init:
        if (frame.bytes != Codec::tokensToBytes(QByteArray(Codec::kUpgradeInitText)))
            violation(QStringLiteral("%1 differs from the fixed init command: %2")
                          .arg(which, QString::fromLatin1(frame.bytes.toHex(' '))));
        m_packets.clear();
        m_expectedPacket = 0;
        m_endCopies = 0;
        break;
    case Kind::Data:
        if (verAdr != "2501")
            violation(QStringLiteral("%1: VER/ADR \"%2\", expected \"2501\"")
                          .arg(which, QString::fromLatin1(verAdr)));
        if (frame.info.size() != Quorvane::kPacketBytes)
            violation(QStringLiteral("%1 (packet %2): payload of %3 bytes, expected %4")
                          .arg(which)
                          .arg(frame.word)
                          .arg(frame.info.size())
                          .arg(Quorvane::kPacketBytes));
        // A repeat of the packet just received is an updater's retry: counted, not a violation.
        if (frame.word + 1 == m_expectedPacket && !m_packets.isEmpty())
            ++m_repeatedPackets;
        else if (frame.word != m_expectedPacket)
            violation(QStringLiteral("%1: packet number %2, expected %3")
                          .arg(which)
                          .arg(frame.word)
                          .arg(m_expectedPacket));
        if (frame.word == 0 && !m_packets.isEmpty() && m_storeMode == StoreMode::ByNumber)
            m_packets.clear(); // a download started over without init
        m_packets.insert(m_storeMode == StoreMode::Append ? m_packets.size() : int(frame.word), frame.info);
        m_expectedPacket = frame.word + 1;
        break;
    case Kind::End:
        ++m_endCopies;
        if (verAdr != "2501")
            violation(QStringLiteral("%1: VER/ADR \"%2\", expected \"2501\"")
                          .arg(which, QString::fromLatin1(verAdr)));
        if (frame.info.size() != Quorvane::kImageHeadBytes)
            violation(QStringLiteral("%1: head of %2 bytes, expected %3")
                          .arg(which)
                          .arg(frame.info.size())
                          .arg(Quorvane::kImageHeadBytes));
        if (frame.word != m_packets.size())
            violation(QStringLiteral("%1: packet count %2, but %3 packets were received")
                          .arg(which)
                          .arg(frame.word)
                          .arg(m_packets.size()));
        else if (!m_packets.isEmpty() && m_packets.lastKey() != m_packets.size() - 1)
            violation(QStringLiteral("%1: packets received are not 0 to %2 without gaps")
                          .arg(which)
                          .arg(frame.word - 1));
        finishImage(frame);
        break;
    case Kind::Test:
    case Kind::Unknown:
        break;
    }
}

void PackSimulator::finishImage(const ParsedFrame &frame)
{
    QByteArray image = frame.info;
    for (const QByteArray &body : qAsConst(m_packets))
        image.append(body);
    m_image = image;
    ++m_imagesCompleted;
    m_imageAnswered = true;
    if (!m_imageOutputPath.isEmpty()) {
        QSaveFile file(m_imageOutputPath);
        if (file.open(QIODevice::WriteOnly) && file.write(image) == image.size() && file.commit()) {
            m_imageBytesWritten += image.size();
        } else {
            const QString message =
                QStringLiteral("cannot write the image to %1: %2").arg(m_imageOutputPath, file.errorString());
            if (m_reportOnStderr)
                std::fprintf(stderr, "packsim: %s\n", qPrintable(message));
            emit imageFileError(message);
        }
    }
    emit imageCompleted(image);
}

bool PackSimulator::shouldAnswer(Kind kind, int ordinal) const
{
    if (m_silent[kindIndex(kind)].matches(ordinal))
        return false;
    if (kind == Kind::End) {
        if (m_noEndReply)
            return false;
        if (m_endReplyAfter > 0 && m_endCopies < m_endReplyAfter)
            return false;
    }
    return true;
}

} // namespace PackSim
