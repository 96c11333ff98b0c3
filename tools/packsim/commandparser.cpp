#include "commandparser.h"

#include "codec.h"
#include "constants.h"

#include <algorithm>

namespace PackSim {

using namespace Quorvane;

namespace {

bool isStartMarker(char c)
{
    return c == Codec::kSoiUpgrade || c == Codec::kSoiAscii;
}

} // namespace

void CommandParser::append(const QByteArray &bytes, qint64 nowMs)
{
    if (bytes.isEmpty())
        return;
    m_buffer.append(bytes);
    m_chunks.append(qMakePair(bytes.size(), nowMs));
}

void CommandParser::clear()
{
    m_buffer.clear();
    m_chunks.clear();
}

void CommandParser::drop(int count)
{
    m_buffer.remove(0, count);
    while (count > 0 && !m_chunks.isEmpty()) {
        QPair<int, qint64> &first = m_chunks.first();
        if (first.first <= count) {
            count -= first.first;
            m_chunks.removeFirst();
        } else {
            first.first -= count;
            count = 0;
        }
    }
}

// Every ASCII field of the header that has arrived must consist of hex digits; the word field of a
// 0xBC frame is raw.
bool CommandParser::headerPlausible() const
{
    const bool upgrade = m_buffer.at(0) == Codec::kSoiUpgrade;
    const int available = qMin(m_buffer.size(), kHeaderBytes);
    for (int i = kVerOffset; i < available; ++i) {
        if (upgrade && i >= kWordOffset && i < kWordOffset + kFieldBytes)
            continue;
        if (!Codec::isHexDigit(m_buffer.at(i)))
            return false;
    }
    return true;
}

Kind CommandParser::classify(const QByteArray &frame)
{
    // CID2 of each command, as the two ASCII hex digits it travels as.
    static const QByteArray kTestCid2("46");
    static const QByteArray kVersionCid2("C1");
    static const QByteArray kInitCid2("32");
    static const QByteArray kDataCid2("33");
    static const QByteArray kEndCid2("34");
    if (frame.size() < kHeaderBytes)
        return Kind::Unknown;
    const QByteArray cid2 = frame.mid(kCid2Offset, kFieldBytes).toUpper();
    if (frame.at(0) == Codec::kSoiAscii)
        return cid2 == kTestCid2 ? Kind::Test : Kind::Unknown;
    if (cid2 == kVersionCid2)
        return Kind::Version;
    if (cid2 == kInitCid2)
        return Kind::Init;
    if (cid2 == kDataCid2)
        return Kind::Data;
    if (cid2 == kEndCid2)
        return Kind::End;
    return Kind::Unknown;
}

CommandParser::Step CommandParser::next(ParsedFrame *frame, QString *problem)
{
    for (;;) {
        int start = 0;
        while (start < m_buffer.size() && !isStartMarker(m_buffer.at(start)))
            ++start;
        if (start > 0) {
            m_discarded += start;
            drop(start);
        }
        if (m_buffer.isEmpty())
            return Step::NeedMore;
        if (!headerPlausible()) {
            m_discarded += 1;
            drop(1);
            continue;
        }
        if (m_buffer.size() < kHeaderBytes)
            return Step::NeedMore;

        // headerPlausible() has seen that LENGTH's digits are hexadecimal.
        const int lengthHi = Codec::hexByteAt(m_buffer, kLengthOffset);
        const int lengthLo = Codec::hexByteAt(m_buffer, kLengthOffset + 2);
        const int lenId = Codec::lenIdFromLength(quint8(lengthHi), quint8(lengthLo));
        if (lenId < 0) {
            *problem = QStringLiteral("LENGTH %1 fails its 4-bit check")
                           .arg(QString::fromLatin1(m_buffer.mid(kLengthOffset, kLengthBytes)));
            drop(1);
            return Step::Rejected;
        }
        const int total = kFrameOverheadBytes + lenId;
        if (m_buffer.size() < total)
            return Step::NeedMore;

        frame->bytes = m_buffer.left(total);
        frame->kind = classify(frame->bytes);
        frame->info = m_buffer.mid(kInfoOffset, lenId);
        frame->word =
            m_buffer.at(0) == Codec::kSoiUpgrade
                ? quint16((quint8(m_buffer.at(kWordOffset)) << 8) | quint8(m_buffer.at(kWordOffset + 1)))
                : quint16(0);
        frame->firstByteMs = m_chunks.isEmpty() ? 0 : m_chunks.first().second;

        if (m_buffer.at(total - 1) != Codec::kEoi) {
            *problem = QStringLiteral("no 0x0D at byte %1 where LENGTH puts the frame's end (found 0x%2)")
                           .arg(total - 1)
                           .arg(quint8(m_buffer.at(total - 1)), 2, 16, QLatin1Char('0'));
            frame->bytes.clear();
            drop(1);
            return Step::Rejected;
        }

        const QByteArray digits = m_buffer.mid(checksumOffset(lenId), kChecksumBytes);
        const bool digitsOk = std::all_of(digits.cbegin(), digits.cend(), Codec::isHexDigit);
        const quint16 computed =
            Codec::calcCheckSum(m_buffer.mid(kVerOffset, checksumOffset(lenId) - kVerOffset));
        const quint16 received =
            digitsOk ? quint16(Codec::hexByteAt(digits, 0) << 8 | Codec::hexByteAt(digits, 2)) : 0;
        drop(total);
        if (!digitsOk || received != computed) {
            *problem = QStringLiteral("CHKSUM \"%1\" does not match the computed %2")
                           .arg(QString::fromLatin1(digits))
                           .arg(QString::number(computed, 16).rightJustified(4, QLatin1Char('0')).toUpper());
            return Step::Rejected;
        }
        return Step::Frame;
    }
}

} // namespace PackSim
