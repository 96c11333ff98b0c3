// Checksums, LENGTH, hex conversion, the raw-send token rule and the frame builders.
#include "codec.h"
#include "constants.h"

#include <QtTest>

using namespace Codec;
using namespace Quorvane;

namespace {

QByteArray bytes(const char *spacedHex)
{
    return QByteArray::fromHex(spacedHex);
}

QByteArray repeated(char value, int count)
{
    return QByteArray(count, value);
}

// Sum of the byte values, 16 bits, written the way a frame carries its checksum.
quint16 independentChecksum(const QByteArray &covered)
{
    quint32 sum = 0;
    for (char c : covered)
        sum += static_cast<unsigned char>(c);
    return static_cast<quint16>((0x10000u - (sum & 0xFFFFu)) & 0xFFFFu);
}

} // namespace

class TestCodec : public QObject
{
    Q_OBJECT

private slots:
    void checkSum_data();
    void checkSum();
    void hexCheckSum_data();
    void hexCheckSum();
    void lengthField_data();
    void lengthField();
    void lengthCheck_data();
    void lengthCheck();
    void lengthRoundTripsForEveryLenId();
    void hexDigit_data();
    void hexDigit();
    void layoutOfKnownFrames_data();
    void layoutOfKnownFrames();
    void convertToACC2_data();
    void convertToACC2();
    void tokensToBytes_data();
    void tokensToBytes();
    void storedTexts_data();
    void storedTexts();
    void dataFrame_data();
    void dataFrame();
    void dataFramePacket7();
    void asciiFrame_data();
    void asciiFrame();
    void asciiFrameTooLong();
    void endFrame_data();
    void endFrame();
};

void TestCodec::checkSum_data()
{
    QTest::addColumn<QByteArray>("covered");
    QTest::addColumn<quint16>("expected");

    QTest::newRow("30 31 30 31 34 36 43 31 30 30 30 30") << QByteArray("010146C10000") << quint16(0xFDA0);
    QTest::newRow("32 35 30 31 AA AA 33 32 30 30 30 30")
        << bytes("32 35 30 31 AA AA 33 32 30 30 30 30") << quint16(0xFCBF);
    QTest::newRow("32 31 30 30 30 30 34 36 45 30 30 32 30 30")
        << QByteArray("21000046E00200") << quint16(0xFD3C);
    QTest::newRow("32 35 30 31 00 10 33 34 43 30 30 34 01 02 03 04")
        << bytes("32 35 30 31 00 10 33 34 43 30 30 34 01 02 03 04") << quint16(0xFDE0);
    QTest::newRow("(nothing): sum 0") << QByteArray() << quint16(0x0000);
    QTest::newRow("00 00: sum 0") << bytes("00 00") << quint16(0x0000);
    QTest::newRow("01: sum 1") << bytes("01") << quint16(0xFFFF);
    QTest::newRow("FF x256 FE: sum FFFE") << repeated('\xFF', 256) + bytes("FE") << quint16(0x0002);
    QTest::newRow("FF x257: sum FFFF") << repeated('\xFF', 257) << quint16(0x0001);
    QTest::newRow("FF x258: sum wraps to 00FE") << repeated('\xFF', 258) << quint16(0xFF02);
    QTest::newRow("FF x2048: sum wraps to F800") << repeated('\xFF', 2048) << quint16(0x0800);
}

void TestCodec::checkSum()
{
    QFETCH(QByteArray, covered);
    QFETCH(quint16, expected);
    QCOMPARE(calcCheckSum(covered), expected);
}

void TestCodec::hexCheckSum_data()
{
    QTest::addColumn<QByteArray>("hexText");
    QTest::addColumn<quint16>("expected");

    QTest::newRow("303130313436433130303030") << QByteArray("303130313436433130303030") << quint16(0xFDA0);
    QTest::newRow("32353031aaaa333230303030 (lower)")
        << QByteArray("32353031aaaa333230303030") << quint16(0xFCBF);
    QTest::newRow("32353031AAAA333230303030 (upper)")
        << QByteArray("32353031AAAA333230303030") << quint16(0xFCBF);
    QTest::newRow("323530310010333443303034 01020304")
        << QByteArray("32353031001033344330303401020304") << quint16(0xFDE0);
    QTest::newRow("(empty)") << QByteArray() << quint16(0);
}

void TestCodec::hexCheckSum()
{
    QFETCH(QByteArray, hexText);
    QFETCH(quint16, expected);
    QCOMPARE(calcHexCheckSum(hexText), expected);
}

void TestCodec::lengthField_data()
{
    QTest::addColumn<int>("lenId");
    QTest::addColumn<quint16>("expected");

    QTest::newRow("0000") << 0 << quint16(0x0000);
    QTest::newRow("E002") << 2 << quint16(0xE002);
    QTest::newRow("C004") << 4 << quint16(0xC004);
    QTest::newRow("8800") << 2048 << quint16(0x8800);
    QTest::newRow("F010") << 0x010 << quint16(0xF010);
    QTest::newRow("D012") << 0x012 << quint16(0xD012);
    QTest::newRow("20FF") << 0x0FF << quint16(0x20FF);
    QTest::newRow("3FFF") << 0xFFF << quint16(0x3FFF);
}

void TestCodec::lengthField()
{
    QFETCH(int, lenId);
    QFETCH(quint16, expected);
    QCOMPARE(Codec::lengthField(lenId), expected);
}

void TestCodec::lengthCheck_data()
{
    QTest::addColumn<QByteArray>("digits");
    QTest::addColumn<int>("expectedLenId");

    QTest::newRow("8800") << QByteArray("8800") << 2048;
    QTest::newRow("8801") << QByteArray("8801") << -1;
    QTest::newRow("0000") << QByteArray("0000") << 0;
    QTest::newRow("E002") << QByteArray("E002") << 2;
    QTest::newRow("F002") << QByteArray("F002") << -1;
    QTest::newRow("C004") << QByteArray("C004") << 4;
    QTest::newRow("20FF") << QByteArray("20FF") << 0xFF;
    QTest::newRow("3FFF") << QByteArray("3FFF") << 0xFFF;
    QTest::newRow("DFFF") << QByteArray("DFFF") << -1;
    QTest::newRow("0001") << QByteArray("0001") << -1;
}

void TestCodec::lengthCheck()
{
    QFETCH(QByteArray, digits);
    QFETCH(int, expectedLenId);
    const QByteArray raw = QByteArray::fromHex(digits);
    QCOMPARE(lenIdFromLength(static_cast<quint8>(raw[0]), static_cast<quint8>(raw[1])), expectedLenId);
}

void TestCodec::lengthRoundTripsForEveryLenId()
{
    for (int lenId = 0; lenId <= Quorvane::kMaxLenId; ++lenId) {
        const quint16 field = Codec::lengthField(lenId);
        const int digitSum = (field >> 12) + ((field >> 8) & 0xF) + ((field >> 4) & 0xF) + (field & 0xF);
        QCOMPARE(digitSum % 16, 0);
        QCOMPARE(lenIdFromLength(static_cast<quint8>(field >> 8), static_cast<quint8>(field & 0xFF)), lenId);
        // Any other check nibble is refused.
        const quint8 wrongHi = static_cast<quint8>(((field >> 8) + 0x10) & 0xFF);
        QCOMPARE(lenIdFromLength(wrongHi, static_cast<quint8>(field & 0xFF)), -1);
    }
}

void TestCodec::hexDigit_data()
{
    QTest::addColumn<char>("c");
    QTest::addColumn<int>("value");
    const char digits[] = "0123456789ABCDEFabcdef";
    for (int i = 0; digits[i] != '\0'; ++i)
        QTest::newRow(QByteArray(1, digits[i]).constData()) << digits[i] << (i < 16 ? i : i - 6);
    // The neighbours of each digit range, and bytes beyond ASCII.
    for (char c : {'/', ':', '@', 'G', '`', 'g', '\0', ' ', '\x80', '\xC1', '\xFF'})
        QTest::newRow(qPrintable(QStringLiteral("0x%1").arg(quint8(c), 2, 16, QLatin1Char('0')))) << c << -1;
}

void TestCodec::hexDigit()
{
    QFETCH(char, c);
    QFETCH(int, value);
    QCOMPARE(hexValue(c), value);
    QCOMPARE(isHexDigit(c), value >= 0);
    const char high[] = {c, '1'};
    const char low[] = {'1', c};
    QCOMPARE(hexByteAt(high), value < 0 ? -1 : value * 16 + 1);
    QCOMPARE(hexByteAt(QByteArray(low, 2), 0), value < 0 ? -1 : 16 + value);
}

// The named offsets pick the right fields out of worked frames, raw and as the scan's hex text.
void TestCodec::layoutOfKnownFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray init = Codec::tokensToBytes(QByteArray(kUpgradeInitText));
    const QByteArray query = Codec::tokensToBytes(QByteArray(kVersionQueryText));
    const QByteArray end = buildUpgradeEndFrame(16, "01020304");
    const QByteArray reply("\x7E"
                           "21000046E00200FD3C\r");
    QTest::newRow("init: VER 25") << init << kVerOffset << kFieldBytes << QByteArray("25");
    QTest::newRow("init: ADR 01") << init << kAdrOffset << kFieldBytes << QByteArray("01");
    QTest::newRow("init: word AA AA") << init << kWordOffset << kFieldBytes << bytes("AA AA");
    QTest::newRow("query: CID2 C1") << query << kCid2Offset << kFieldBytes << QByteArray("C1");
    QTest::newRow("end: LENGTH C004") << end << kLengthOffset << kLengthBytes << QByteArray("C004");
    QTest::newRow("end: INFO 01 02 03 04") << end << kInfoOffset << kImageHeadBytes << bytes("01 02 03 04");
    QTest::newRow("end: CHKSUM FDE0")
        << end << checksumOffset(kImageHeadBytes) << kChecksumBytes << QByteArray("FDE0");
    QTest::newRow("end: EOI") << end << checksumOffset(kImageHeadBytes) + kChecksumBytes << kEoiBytes
                              << bytes("0D");
    QTest::newRow("reply: CID1 00, CID2 46") << reply << kWordOffset << 2 * kFieldBytes << QByteArray("0046");
    QTest::newRow("reply: INFO 00, CHKSUM FD3C")
        << reply << kInfoOffset << 2 + kChecksumBytes << QByteArray("00FD3C");
    QTest::newRow("reply as hex text: LENGTH E002") << reply.toHex().toUpper() << hexChars(kLengthOffset)
                                                    << hexChars(kLengthBytes) << QByteArray("45303032");
    QTest::newRow("reply as hex text: CHKSUM FD3C") << reply.toHex().toUpper() << hexChars(checksumOffset(2))
                                                    << hexChars(kChecksumBytes) << QByteArray("46443343");
}

void TestCodec::layoutOfKnownFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, offset);
    QFETCH(int, size);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.mid(offset, size), expected);
}

void TestCodec::convertToACC2_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("editedText");

    QTest::newRow("BC 32 35") << QStringLiteral("bc 32 35") << bytes("BC 32 35") << QStringLiteral("bc3235");
    QTest::newRow("abc: odd, empty") << QStringLiteral("abc") << QByteArray() << QStringLiteral("abc");
    QTest::newRow("(empty)") << QString() << QByteArray() << QString();
    QTest::newRow("7E 0D from 7e:0D-zz")
        << QStringLiteral("7e:0D-zz") << bytes("7E 0D") << QStringLiteral("7e0D");
    QTest::newRow("A: odd after cleaning") << QStringLiteral("x\tA\n") << QByteArray() << QStringLiteral("A");
    QTest::newRow("00 FF from non-Latin text")
        << QStringLiteral("0\u00e40\u4e2dFf") << bytes("00 FF") << QStringLiteral("00Ff");
}

void TestCodec::convertToACC2()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);
    QFETCH(QString, editedText);
    QString hexString = text;
    QCOMPARE(Codec::convertToACC2(hexString), expected);
    QCOMPARE(hexString, editedText);
}

void TestCodec::tokensToBytes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("BC 30 0D from bc  30 0d") << QByteArray("bc  30 0d") << bytes("BC 30 0D");
    QTest::newRow("BC 30 0D from tab and newline") << QByteArray("bc\t30\n0d\r\n") << bytes("BC 30 0D");
    QTest::newRow("FF from 1ff (low 8 bits)") << QByteArray("1ff") << bytes("FF");
    QTest::newRow("01 from zz 01 (unparsable skipped)") << QByteArray("zz 01") << bytes("01");
    QTest::newRow("(nothing) from blanks") << QByteArray("   ") << QByteArray();
    QTest::newRow("(nothing) from empty") << QByteArray() << QByteArray();
}

void TestCodec::tokensToBytes()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(Codec::tokensToBytes(text), expected);
}

void TestCodec::storedTexts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<quint16>("checksum");

    QTest::newRow("BC 32 35 30 31 AA AA 33 32 30 30 30 30 46 43 42 46 0D")
        << QByteArray(kUpgradeInitText) << bytes("BC 32 35 30 31 AA AA 33 32 30 30 30 30 46 43 42 46 0D")
        << quint16(0xFCBF);
    QTest::newRow("BC 30 31 30 31 34 36 43 31 30 30 30 30 46 44 41 30 0D")
        << QByteArray(kVersionQueryText) << bytes("BC 30 31 30 31 34 36 43 31 30 30 30 30 46 44 41 30 0D")
        << quint16(0xFDA0);
}

void TestCodec::storedTexts()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QFETCH(quint16, checksum);
    QVERIFY(text.endsWith("0d  "));
    const QByteArray frame = Codec::tokensToBytes(text);
    QCOMPARE(frame, expected);
    QCOMPARE(frame.size(), Quorvane::kFrameOverheadBytes);
    // The frame's own CHKSUM characters agree with its covered bytes.
    QCOMPARE(calcCheckSum(frame.mid(kVerOffset, checksumOffset(0) - kVerOffset)), checksum);
    QCOMPARE(frame.mid(checksumOffset(0), kChecksumBytes), QByteArray::number(checksum, 16).toUpper());
}

void TestCodec::dataFrame_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<quint16>("word");
    QTest::addColumn<quint8>("cid2");
    QTest::addColumn<quint8>("adr");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("BC 32 35 30 31 00 0A 33 33 38 38 30 30 66 64 66 38 0D")
        << QByteArray() << quint16(0x000A) << quint8(0x33) << quint8(1)
        << bytes("BC 32 35 30 31 00 0A 33 33 38 38 30 30 66 64 66 38 0D");
    QTest::newRow("BC 32 35 61 62 00 07 33 33 38 38 30 30 66 64 39 39 0D (ADR ab lower case)")
        << QByteArray() << quint16(7) << quint8(0x33) << quint8(0xAB)
        << bytes("BC 32 35 61 62 00 07 33 33 38 38 30 30 66 64 39 39 0D");
    QTest::newRow("BC 32 35 30 31 AB CD 33 33 38 38 30 30 01 02 ...")
        << QByteArray("0102") << quint16(0xABCD) << quint8(0x33) << quint8(1)
        << bytes("BC 32 35 30 31 AB CD 33 33 38 38 30 30 01 02") +
               QByteArray::number(independentChecksum(bytes("32 35 30 31 AB CD 33 33 38 38 30 30 01 02")), 16)
                   .rightJustified(4, '0') +
               bytes("0D");
    QTest::newRow("(nothing): odd payload 123")
        << QByteArray("123") << quint16(0) << quint8(0x33) << quint8(1) << QByteArray();
}

void TestCodec::dataFrame()
{
    QFETCH(QByteArray, payload);
    QFETCH(quint16, word);
    QFETCH(quint8, cid2);
    QFETCH(quint8, adr);
    QFETCH(QByteArray, expected);
    QCOMPARE(buildDataFrame(payload, word, cid2, adr), expected);
}

void TestCodec::dataFramePacket7()
{
    // One packet of image text, every byte value present, including ones whose digits are letters.
    QByteArray image;
    for (int i = 0; i < Quorvane::kPacketBytes; ++i)
        image.append(static_cast<char>((i * 7 + 3) & 0xFF));
    const QByteArray frame = buildDataFrame(image.toHex(), 7, 0x33, 1);

    QCOMPARE(frame.size(), Quorvane::kDataFrameBytes);
    QCOMPARE(frame.left(kHeaderBytes), bytes("BC 32 35 30 31 00 07 33 33 38 38 30 30"));
    QCOMPARE(frame.mid(kInfoOffset, kPacketBytes), image);
    QCOMPARE(frame.right(1), bytes("0D"));
    const int checksumAt = checksumOffset(kPacketBytes);
    const QByteArray checksumChars = frame.mid(checksumAt, kChecksumBytes);
    QCOMPARE(checksumChars,
             QByteArray::number(independentChecksum(frame.mid(kVerOffset, checksumAt - kVerOffset)), 16)
                 .rightJustified(4, '0'));
    QCOMPARE(checksumChars, checksumChars.toLower());
}

void TestCodec::asciiFrame_data()
{
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<quint8>("cid1");
    QTest::addColumn<quint8>("cid2");
    QTest::addColumn<quint8>("adr");
    QTest::addColumn<quint8>("ver");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("7E 21000046E00200FD3C 0D")
        << QByteArray("00") << quint8(0) << quint8(0x46) << quint8(0) << quint8(0x21)
        << QByteArray("\x7E"
                      "21000046E00200FD3C\r");
    QTest::newRow("7E 21000046E002ABFD19 0D (INFO ab)")
        << QByteArray("ab") << quint8(0) << quint8(0x46) << quint8(0) << quint8(0x21)
        << QByteArray("\x7E"
                      "21000046E002ABFD19\r");
    QTest::newRow("7E 21000046F010 0123456789ABCDEF F9FA 0D")
        << QByteArray("0123456789abcdef") << quint8(0) << quint8(0x46) << quint8(0) << quint8(0x21)
        << QByteArray("\x7E"
                      "21000046F0100123456789ABCDEFF9FA\r");
    QTest::newRow("7E 25 01 4A 00 0000 ... (empty INFO)")
        << QByteArray() << quint8(0x4A) << quint8(0) << quint8(1) << quint8(0x25)
        << QByteArray("\x7E"
                      "25014A000000") +
               QByteArray::number(independentChecksum("25014A000000"), 16).toUpper() + "\r";
}

void TestCodec::asciiFrame()
{
    QFETCH(QByteArray, info);
    QFETCH(quint8, cid1);
    QFETCH(quint8, cid2);
    QFETCH(quint8, adr);
    QFETCH(quint8, ver);
    QFETCH(QByteArray, expected);
    QCOMPARE(buildAsciiFrame(info, cid1, cid2, adr, ver), expected);
}

void TestCodec::asciiFrameTooLong()
{
    QCOMPARE(buildAsciiFrame(QByteArray(4095, '0'), 0, 0, 1, 0x25).size(), 18 + 4095);
    QVERIFY(buildAsciiFrame(QByteArray(4096, '0'), 0, 0, 1, 0x25).isEmpty());
}

void TestCodec::endFrame_data()
{
    QTest::addColumn<quint16>("count");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("BC 32 35 30 31 00 10 33 34 43 30 30 34 01 02 03 04 46 44 45 30 0D")
        << quint16(16) << QByteArray("01020304")
        << bytes("BC 32 35 30 31 00 10 33 34 43 30 30 34 01 02 03 04 46 44 45 30 0D");
    QTest::newRow("BC 32 35 30 31 01 2C 33 34 43 30 30 34 01 02 03 04 46 44 43 33 0D")
        << quint16(300) << QByteArray("01020304")
        << bytes("BC 32 35 30 31 01 2C 33 34 43 30 30 34 01 02 03 04 46 44 43 33 0D");
    QTest::newRow("(nothing): head of 4 digits") << quint16(16) << QByteArray("0102") << QByteArray();
    QTest::newRow("(nothing): head 0102030G") << quint16(16) << QByteArray("0102030G") << QByteArray();
    QTest::newRow("(nothing): head of 10 digits") << quint16(16) << QByteArray("0102030405") << QByteArray();
}

void TestCodec::endFrame()
{
    QFETCH(quint16, count);
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, expected);
    const QByteArray frame = buildUpgradeEndFrame(count, head);
    QCOMPARE(frame, expected);
    if (!expected.isEmpty()) {
        QCOMPARE(frame.size(), 22);
        // The same head in lower case gives the same frame.
        QCOMPARE(buildUpgradeEndFrame(count, head.toLower()), expected);
    }
}

QTEST_GUILESS_MAIN(TestCodec)
#include "tst_codec.moc"
