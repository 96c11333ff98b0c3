#include "codec.h"

#include "constants.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

Q_LOGGING_CATEGORY(lcProtocol, "quorvane.protocol", QtInfoMsg)

namespace Codec {

using namespace Quorvane;

const char kUpgradeInitText[] = "bc 32 35 30 31 aa aa 33 32 30 30 30 30 46 43 42 46 0d  ";
const char kVersionQueryText[] = "bc 30 31 30  31 34 36 43  31 30 30 30  30 46 44 41  30 0d  ";

namespace {

constexpr char kUpperDigits[] = "0123456789ABCDEF";
constexpr char kLowerDigits[] = "0123456789abcdef";

inline int qCharNibble(QChar ch)
{
    return ch.unicode() < 0x80 ? hexValue(static_cast<char>(ch.unicode())) : -1;
}

// Appends the hexadecimal text of value (digits digits, most significant first).
void appendHex(QByteArray &out, quint32 value, int digits, const char *alphabet)
{
    for (int i = digits - 1; i >= 0; --i)
        out.append(alphabet[(value >> (4 * i)) & 0xF]);
}

// Appends the hexadecimal text of the ASCII codes of the characters of text.
void appendHexOfText(QByteArray &out, const QByteArray &text)
{
    for (char c : text)
        appendHex(out, static_cast<quint8>(c), 2, kUpperDigits);
}

// A byte as two hexadecimal digits (as characters), in the given alphabet.
QByteArray byteDigits(quint8 value, const char *alphabet)
{
    QByteArray out;
    appendHex(out, value, 2, alphabet);
    return out;
}

// The checksum of the bytes written as hexadecimal text in [p, p + chars); false when the text
// holds a character that is not a hexadecimal digit.
bool hexRangeCheckSum(const char *p, qint64 chars, quint16 *sum)
{
    quint16 s = 0;
    for (qint64 i = 0; i + 1 < chars; i += kHexCharsPerByte) {
        const int b = hexByteAt(p + i);
        if (b < 0)
            return false;
        s = static_cast<quint16>(s + b);
    }
    *sum = static_cast<quint16>(0x10000 - s);
    return true;
}

} // namespace

quint16 calcCheckSum(const QByteArray &bytes)
{
    quint16 sum = 0;
    for (char c : bytes)
        sum = static_cast<quint16>(sum + static_cast<quint8>(c));
    return static_cast<quint16>(0x10000 - sum);
}

quint16 calcHexCheckSum(const QByteArray &hexText)
{
    return calcCheckSum(QByteArray::fromHex(hexText));
}

quint16 lengthField(int lenId)
{
    if (lenId < 0 || lenId > kMaxLenId) {
        qCDebug(lcProtocol) << "LENID out of range:" << lenId;
        lenId = std::clamp(lenId, 0, kMaxLenId);
    }
    const int sum = ((lenId >> 8) & 0xF) + ((lenId >> 4) & 0xF) + (lenId & 0xF);
    const int lchksum = (16 - (sum % 16)) % 16;
    return static_cast<quint16>((lchksum << 12) | lenId);
}

int lenIdFromLength(quint8 hi, quint8 lo)
{
    const int d2 = hi & 0xF;
    const int d1 = lo >> 4;
    const int d0 = lo & 0xF;
    const int lchksum = (16 - ((d0 + d1 + d2) % 16)) % 16;
    if (lchksum != (hi >> 4))
        return -1;
    return d2 * 256 + lo;
}

QByteArray convertToACC2(QString &hexString)
{
    // Only run the expression when there is something to remove: a frame's text is usually clean.
    const bool clean =
        std::all_of(hexString.cbegin(), hexString.cend(), [](QChar ch) { return qCharNibble(ch) >= 0; });
    if (!clean) {
        static const QRegularExpression nonHex(QStringLiteral("[^0-9A-Fa-f]"));
        hexString.remove(nonHex);
    }
    if (hexString.size() % 2 != 0) {
        qCDebug(lcProtocol) << "Invalid hex string length, should be even.";
        return QByteArray();
    }
    QByteArray out(hexString.size() / 2, Qt::Uninitialized);
    const QChar *p = hexString.constData();
    for (int i = 0; i < out.size(); ++i) {
        const int hi = qCharNibble(p[2 * i]);
        const int lo = qCharNibble(p[2 * i + 1]);
        const int value = (hi < 0 || lo < 0) ? -1 : (hi << 4) | lo;
        if (value < 0) {
            qCDebug(lcProtocol) << "Error converting hex string to byte.";
            return QByteArray();
        }
        out[i] = static_cast<char>(value);
    }
    return out;
}

QByteArray tokensToBytes(const QByteArray &text)
{
    static const QRegularExpression blank(QStringLiteral("\\s"));
    const QStringList pieces = QString::fromUtf8(text).split(blank, Qt::KeepEmptyParts);
    QByteArray out;
    out.reserve(pieces.size());
    for (const QString &piece : pieces) {
        bool ok = false;
        const uint value = piece.toUInt(&ok, 16);
        if (ok)
            out.append(static_cast<char>(value & 0xFF));
    }
    return out;
}

QByteArray buildDataFrame(const QByteArray &hexPayload, quint16 word, quint8 cid2, quint8 adr)
{
    // VER .. INFO as hexadecimal text of the wire bytes.
    QByteArray body;
    body.reserve(hexPayload.size() + 32);
    body.append("3235"); // VER "25"
    appendHexOfText(body, byteDigits(adr, kLowerDigits));
    appendHex(body, word, 4, kUpperDigits); // two raw bytes
    appendHexOfText(body, byteDigits(cid2, kLowerDigits));
    body.append("38383030"); // LENGTH "8800"
    body.append(hexPayload);

    const quint16 checksum = calcHexCheckSum(body);
    QByteArray checksumDigits;
    appendHex(checksumDigits, checksum, 4, kLowerDigits);

    QByteArray text;
    text.reserve(body.size() + 12);
    text.append("BC");
    text.append(body);
    appendHexOfText(text, checksumDigits);
    text.append("0D");

    QString hexString = QString::fromLatin1(text);
    return convertToACC2(hexString);
}

QByteArray buildAsciiFrame(const QByteArray &info, quint8 cid1, quint8 cid2, quint8 adr, quint8 ver)
{
    const int lenId = info.size();
    if (lenId > kMaxLenId) {
        // LENGTH has 12 bits for it: a longer INFO cannot be framed.
        qCDebug(lcProtocol) << "INFO too long for one frame:" << lenId << "characters";
        return QByteArray();
    }
    const quint16 length = lengthField(lenId);
    qCDebug(lcProtocol) << "sum=" << (((lenId >> 8) & 0xF) + ((lenId >> 4) & 0xF) + (lenId & 0xF))
                        << "bb=" << (length >> 12);

    QByteArray text;
    text.reserve(lenId + 16);
    appendHex(text, ver, 2, kUpperDigits);
    appendHex(text, adr, 2, kUpperDigits);
    appendHex(text, cid1, 2, kUpperDigits);
    appendHex(text, cid2, 2, kUpperDigits);
    appendHex(text, length, 4, kUpperDigits);
    qCDebug(lcProtocol) << "918arrSend.data()=====" << info << "arrSend.data()=====" << text;
    text.append(info);
    text = text.toUpper();
    appendHex(text, calcCheckSum(text), 4, kUpperDigits);

    QByteArray frame;
    frame.reserve(text.size() + 2);
    frame.append(kSoiAscii);
    frame.append(text);
    frame.append(kEoi);
    qCDebug(lcProtocol) << "write=" << frame << frame.toHex();
    return frame;
}

QByteArray buildUpgradeEndFrame(quint16 packetCount, const QByteArray &head8Hex)
{
    const bool headOk = head8Hex.size() == hexChars(kImageHeadBytes) &&
                        std::all_of(head8Hex.cbegin(), head8Hex.cend(), isHexDigit);
    if (!headOk) {
        // The frame announces four INFO bytes; anything else would put a broken frame on the line.
        qCDebug(lcProtocol) << "image head must be 8 hexadecimal digits:" << head8Hex;
        return QByteArray();
    }
    QByteArray text("32353031"); // VER "25", ADR "01"
    appendHex(text, packetCount, 4, kLowerDigits);
    text.append("333443303034"); // CID2 "34", LENGTH "C004"
    text.append(head8Hex);
    qCDebug(lcProtocol) << "by===" << text << "m_FWContextHead8===" << head8Hex << "length===" << text.size();

    QByteArray checksumDigits;
    appendHex(checksumDigits, calcHexCheckSum(text), 4, kUpperDigits);
    qCDebug(lcProtocol) << "888byteArray=====" << text << "arrCheckSum=====" << checksumDigits;
    appendHexOfText(text, checksumDigits);

    QByteArray frame;
    frame.reserve(text.size() / 2 + 2);
    frame.append(kSoiUpgrade);
    frame.append(QByteArray::fromHex(text));
    frame.append(kEoi);
    qCDebug(lcProtocol) << "by=====" << frame.toHex();
    return frame;
}

bool takeNextFrame(QByteArray &buffer, QByteArray *infoHex, int *returnCode)
{
    std::transform(buffer.begin(), buffer.end(), buffer.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; });
    const qint64 total = buffer.size();
    if (total < hexChars(kFrameOverheadBytes))
        return false;
    if (!buffer.contains("7E") || !buffer.contains("0D")) {
        if (lcProtocol().isDebugEnabled())
            qCDebug(lcProtocol) << "not find 7E or 0D ,m_Recv=" << total << buffer << buffer.toHex();
        return false;
    }

    const char *d = buffer.constData();
    qint64 start = 0;
    // Candidates are looked at while one from start could reach its LENGTH.
    while (start + hexChars(kLengthOffset) < total) {
        // Next start marker at a byte boundary.
        qint64 x = (start + 1) & ~qint64(1);
        while (x + 1 < total && !(d[x] == '7' && d[x + 1] == 'E'))
            x += kHexCharsPerByte;
        if (x + 1 >= total)
            return false;

        // LENGTH: the hex text of its 4 ASCII digits. n: characters of INFO text.
        qint64 n = 65534;
        if (x + hexChars(kInfoOffset) <= total) {
            const char *length = d + x + hexChars(kLengthOffset);
            char lengthChars[kLengthBytes];
            bool digitsOk = true;
            for (int i = 0; i < kLengthBytes && digitsOk; ++i) {
                const int c = hexByteAt(length + hexChars(i));
                digitsOk = c >= 0;
                lengthChars[i] = static_cast<char>(c);
            }
            if (lcProtocol().isDebugEnabled())
                qCDebug(lcProtocol) << "arrLength" << QByteArray(length, hexChars(kLengthBytes)) << "at" << x;
            if (digitsOk) {
                const int h = hexByteAt(lengthChars);
                const int l = hexByteAt(lengthChars + 2);
                if (h >= 0 && l >= 0) {
                    const int lenId = lenIdFromLength(static_cast<quint8>(h), static_cast<quint8>(l));
                    if (lenId >= 0)
                        n = 2 * qint64(lenId);
                }
            }
        }

        // End marker.
        const qint64 eoi = x + hexChars(kInfoOffset + kChecksumBytes) + n;
        if (eoi + hexChars(kEoiBytes) > total || d[eoi] != '0' || d[eoi + 1] != 'D') {
            start = x + 1;
            continue;
        }

        // Checksum over VER .. INFO, compared with the received CHKSUM characters.
        quint16 computed = 0;
        bool sumOk =
            hexRangeCheckSum(d + x + hexChars(kVerOffset), hexChars(kInfoOffset - kVerOffset) + n, &computed);
        const char *checksum = d + x + hexChars(kInfoOffset) + n;
        char received[kChecksumBytes];
        for (int i = 0; i < kChecksumBytes && sumOk; ++i) {
            const int c = hexByteAt(checksum + hexChars(i));
            sumOk = c >= 0;
            received[i] = static_cast<char>(c);
        }
        char expected[kChecksumBytes];
        for (int i = 0; i < kChecksumBytes; ++i)
            expected[i] = kUpperDigits[(computed >> (12 - 4 * i)) & 0xF];
        if (sumOk && lcProtocol().isDebugEnabled())
            qCDebug(lcProtocol) << "2arrRecvCheckSum=" << QByteArray(received, kChecksumBytes)
                                << "2arrCheckSum=" << QByteArray(expected, kChecksumBytes);
        if (!sumOk || !std::equal(received, received + kChecksumBytes, expected)) {
            qCDebug(lcProtocol) << "iHeadIndex=" << x;
            start = x + 1;
            continue;
        }

        qCDebug(lcProtocol) << "usLength data=" << n;
        if (infoHex)
            *infoHex = buffer.mid(static_cast<int>(x + hexChars(kInfoOffset)), static_cast<int>(n));
        if (returnCode) {
            const int hi = hexByteAt(d + x + hexChars(kCid2Offset));
            const int lo = hexByteAt(d + x + hexChars(kCid2Offset) + kHexCharsPerByte);
            const char digits[] = {static_cast<char>(hi), static_cast<char>(lo)};
            *returnCode = hi < 0 || lo < 0 ? -1 : hexByteAt(digits);
        }
        buffer.remove(0, static_cast<int>(eoi + hexChars(kEoiBytes)));
        return true;
    }
    return false;
}

QList<QByteArray> scanFrames(QByteArray &buffer)
{
    QList<QByteArray> frames;
    QByteArray info;
    while (takeNextFrame(buffer, &info))
        frames.append(info);
    return frames;
}

QString returnCodeText(int code)
{
    return QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

QByteArray decodeInfo(const QByteArray &infoHex)
{
    return QByteArray::fromHex(QByteArray::fromHex(infoHex));
}

} // namespace Codec
