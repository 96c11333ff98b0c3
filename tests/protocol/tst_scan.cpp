// The receive scan over the hexadecimal receive buffer, and INFO decoding.
#include "codec.h"
#include "constants.h"
#include "reference_scan.h"

#include <QtTest>

using namespace Codec;
using namespace Quorvane;

namespace {

// The test command's reply shape: INFO "00" (the worked frame 21000046E00200FD3C).
const QByteArray kReply00("\x7E"
                          "21000046E00200FD3C\r");
// An empty-INFO reply, the pack's acknowledgement of an upgrade command.
const QByteArray kReplyEmpty("\x7E"
                             "25014A000000FDA3\r");
// kReply00 with its CHKSUM in lower case.
const QByteArray kReplyLowerChecksum("\x7E"
                                     "21000046E00200fd3c\r");
// LENGTH F002: the check nibble is wrong for LENID 2; CHKSUM matches the bytes as sent.
const QByteArray kReplyBadLength("\x7E"
                                 "21000046F00200FD3B\r");
// kReply00 with one CHKSUM digit wrong.
const QByteArray kReplyBadChecksum("\x7E"
                                   "21000046E00200FD3D\r");

// What the window appends: the received bytes as lower-case hexadecimal text.
QByteArray received(const QByteArray &wire)
{
    return wire.toHex();
}

QByteArray upperHex(const QByteArray &wire)
{
    return wire.toHex().toUpper();
}

} // namespace

class TestScan : public QObject
{
    Q_OBJECT

private slots:
    void oneRead_data();
    void oneRead();
    void straddlingMarkerWouldBeAFrameAsText();
    void replySplitByteByByte();
    void twoRepliesSplitAtEveryPoint();
    void takeNextFrameTakesOneAtATime();
    void truncatedBuffers_data();
    void truncatedBuffers();
    void nonHexCharacters_data();
    void nonHexCharacters();
    void roundTrip_data();
    void roundTrip();
    void decodeInfo_data();
    void decodeInfo();
    void returnCode_data();
    void returnCode();
};

void TestScan::oneRead_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QByteArrayList>("expectedInfos");
    QTest::addColumn<QByteArray>("expectedRest");

    const QByteArray fragment = kReplyEmpty.left(10);

    QTest::newRow("7E 21000046E00200FD3C 0D") << kReply00 << QByteArrayList{"3030"} << QByteArray();
    QTest::newRow("7E 25014A000000FDA3 0D (empty INFO)") << kReplyEmpty << QByteArrayList{""} << QByteArray();
    QTest::newRow("7E ..FD3C 0D 7E ..FDA3 0D (two replies)")
        << kReply00 + kReplyEmpty << QByteArrayList{"3030", ""} << QByteArray();
    QTest::newRow("7E ..FD3C 0D 7E 25014A000 (reply and 10-byte fragment)")
        << kReply00 + fragment << QByteArrayList{"3030"} << fragment;
    QTest::newRow("00 7F 0D 55 E7 7E ..FD3C 0D (noise first)")
        << QByteArray::fromHex("007F0D55E7") + kReply00 << QByteArrayList{"3030"} << QByteArray();
    QTest::newRow("7E ..fd3c 0D (lower-case CHKSUM)")
        << kReplyLowerChecksum << QByteArrayList{} << kReplyLowerChecksum;
    QTest::newRow("7E ..F002..FD3B 0D (wrong LCHKSUM)")
        << kReplyBadLength << QByteArrayList{} << kReplyBadLength;
    QTest::newRow("7E ..FD3D 0D (wrong CHKSUM)")
        << kReplyBadChecksum << QByteArrayList{} << kReplyBadChecksum;
    QTest::newRow("7E ..F002.. 0D 7E ..FD3C 0D (rejected, then good)")
        << kReplyBadLength + kReply00 << QByteArrayList{"3030"} << QByteArray();
    QTest::newRow("7E ..fd3c 0D 7E ..FDA3 0D 00 (rejected, good, noise)")
        << kReplyLowerChecksum + kReplyEmpty + QByteArray(1, '\0') << QByteArrayList{""}
        << QByteArray(1, '\0');
    QTest::newRow("7E 21000046F010 7E ..FD3C 0D (stray 7E, candidate rejected)")
        << QByteArray("\x7E"
                      "21000046F010") +
               kReply00
        << QByteArrayList{"3030"} << QByteArray();
    QTest::newRow("7E 21 7E ..FD3C 0D (stray 7E too close)") << QByteArray("\x7E"
                                                                           "21") +
                                                                    kReply00
                                                             << QByteArrayList{"3030"} << QByteArray();
    QTest::newRow("7E ..FD3D 0D 7E ..FD3C 0D 7E ..FDA3 0D (bad, good, good)")
        << kReplyBadChecksum + kReply00 + kReplyEmpty << QByteArrayList{"3030", ""} << QByteArray();
    QTest::newRow("7E 21000046 3FFF .. 0D (LENID 4095 beyond the buffer)") << QByteArray("\x7E"
                                                                                         "210000463FFF") +
                                                                                  QByteArray(40, '0') + "\r"
                                                                           << QByteArrayList{}
                                                                           << QByteArray("\x7E"
                                                                                         "210000463FFF") +
                                                                                  QByteArray(40, '0') + "\r";
    QTest::newRow("7E 21000046E00200FD3C (no 0D yet)")
        << kReply00.chopped(1) << QByteArrayList{} << kReply00.chopped(1);
    const QByteArray straddle = QByteArray::fromHex("1" + kReply00.toHex() + "0");
    QTest::newRow("17 E3 23 .. (7E across a byte boundary)") << straddle << QByteArrayList{} << straddle;
    QTest::newRow("17 E3 23 .. 7E ..FD3C 0D (straddle, then a real reply)")
        << straddle + kReply00 << QByteArrayList{"3030"} << QByteArray();
}

void TestScan::oneRead()
{
    QFETCH(QByteArray, wire);
    QFETCH(QByteArrayList, expectedInfos);
    QFETCH(QByteArray, expectedRest);

    QByteArray buffer = received(wire);
    QCOMPARE(scanFrames(buffer), expectedInfos);
    QCOMPARE(buffer, upperHex(expectedRest));

    // A second scan of what is left finds nothing more and changes nothing.
    const QByteArray rest = buffer;
    QVERIFY(scanFrames(buffer).isEmpty());
    QCOMPARE(buffer, rest);
}

void TestScan::straddlingMarkerWouldBeAFrameAsText()
{
    // The straddling rows above are meaningful only if a plain text search would take the shifted
    // characters for a good frame.
    const QByteArray text = upperHex(QByteArray::fromHex("1" + kReply00.toHex() + "0"));
    QCOMPARE(text.indexOf("7E"), 1);
    QByteArray info;
    QVERIFY(Reference::frameTextIsValid(text.mid(1, text.size() - 2), &info));
    QCOMPARE(info, QByteArray("3030"));
}

void TestScan::replySplitByteByByte()
{
    const QByteArray wire = kReply00 + kReplyEmpty;
    QByteArray buffer;
    QByteArrayList infos;
    for (int i = 0; i < wire.size(); ++i) {
        buffer.append(received(wire.mid(i, 1)));
        const QByteArrayList found = scanFrames(buffer);
        if (i == kReply00.size() - 1) {
            QCOMPARE(found, QByteArrayList{"3030"});
            QVERIFY(buffer.isEmpty());
        } else if (i == wire.size() - 1) {
            QCOMPARE(found, QByteArrayList{""});
            QVERIFY(buffer.isEmpty());
        } else {
            QVERIFY2(found.isEmpty(), qPrintable(QString::number(i)));
            const int start = i < kReply00.size() ? 0 : kReply00.size();
            QCOMPARE(buffer, upperHex(wire.mid(start, i + 1 - start)));
        }
    }
}

void TestScan::twoRepliesSplitAtEveryPoint()
{
    const QByteArray wire = QByteArray::fromHex("55AA") + kReplyEmpty + kReply00;
    for (int cut = 0; cut <= wire.size(); ++cut) {
        QByteArray buffer = received(wire.left(cut));
        QByteArrayList infos = scanFrames(buffer);
        buffer.append(received(wire.mid(cut)));
        infos += scanFrames(buffer);
        QCOMPARE(infos, (QByteArrayList{"", "3030"}));
        QVERIFY(buffer.isEmpty());
    }
}

void TestScan::takeNextFrameTakesOneAtATime()
{
    QByteArray buffer = received(kReply00 + kReplyEmpty);
    QByteArray info("untouched");
    QVERIFY(takeNextFrame(buffer, &info));
    QCOMPARE(info, QByteArray("3030"));
    QCOMPARE(buffer, upperHex(kReplyEmpty));
    QVERIFY(takeNextFrame(buffer, &info));
    QCOMPARE(info, QByteArray());
    QVERIFY(buffer.isEmpty());
    info = "untouched";
    QVERIFY(!takeNextFrame(buffer, &info));
    QCOMPARE(info, QByteArray("untouched"));
    // No place for the INFO is fine too.
    buffer = received(kReply00);
    QVERIFY(takeNextFrame(buffer, nullptr));
    QVERIFY(buffer.isEmpty());
}

void TestScan::truncatedBuffers_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("7E 21000046E00200FD3C 0D") << kReply00;
    QTest::newRow("7E 25014A000000FDA3 0D") << kReplyEmpty;
    QByteArray big;
    for (int i = 0; i < 2047; ++i)
        big.append(static_cast<char>(i));
    QTest::newRow("7E 25014A00 D FFE .. (4094 INFO characters)")
        << buildAsciiFrame(big.toHex(), 0x4A, 0, 1, 0x25);
}

void TestScan::truncatedBuffers()
{
    QFETCH(QByteArray, frame);
    const QByteArray text = upperHex(frame);
    // Every prefix, whole bytes and half bytes alike, is left alone; the whole frame is taken.
    for (int chars = 0; chars < text.size(); ++chars) {
        QByteArray buffer = text.left(chars).toLower();
        QVERIFY2(scanFrames(buffer).isEmpty(), qPrintable(QString::number(chars)));
        QCOMPARE(buffer, text.left(chars));
    }
    QByteArray buffer = text;
    QCOMPARE(scanFrames(buffer).size(), 1);
    QVERIFY(buffer.isEmpty());
}

void TestScan::nonHexCharacters_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QByteArrayList>("expectedInfos");
    QTest::addColumn<int>("expectedRestChars");

    const QByteArray good = upperHex(kReply00);
    const auto replaced = [&good](int at, char c) {
        QByteArray text = good;
        text[at] = c;
        return text;
    };
    const QByteArray badLength = replaced(hexChars(kLengthOffset) + 3, 'G');
    QTest::newRow("G in LENGTH") << badLength << QByteArrayList{} << badLength.size();
    const QByteArray badInfo = replaced(hexChars(kInfoOffset) + 1, 'Z');
    QTest::newRow("Z in INFO") << badInfo << QByteArrayList{} << badInfo.size();
    const QByteArray badChecksum = replaced(hexChars(checksumOffset(2)), 'G'); // INFO "00": LENID 2
    QTest::newRow("G in CHKSUM") << badChecksum << QByteArrayList{} << badChecksum.size();
    QTest::newRow("blanks, then a reply") << QByteArray("7E 0D xx 7E ") + good << QByteArrayList{"3030"} << 0;
    QTest::newRow("NUL bytes around a reply")
        << QByteArray(4, '\0') + good + QByteArray(2, '\0') << QByteArrayList{"3030"} << 2;
}

void TestScan::nonHexCharacters()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QByteArrayList, expectedInfos);
    QFETCH(int, expectedRestChars);
    const QByteArray before = buffer.toUpper();
    QCOMPARE(scanFrames(buffer), expectedInfos);
    QCOMPARE(buffer.size(), expectedRestChars);
    QVERIFY(before.endsWith(buffer));
}

void TestScan::roundTrip_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("(empty)") << QByteArray();
    QTest::newRow("56 31 2E 32 (V1.2)") << QByteArray("V1.2");
    QTest::newRow("00 0A 0B 7E 0D FF") << QByteArray::fromHex("000A0B7E0DFF");
    QByteArray big;
    for (int i = 0; i < 2047; ++i)
        big.append(static_cast<char>(255 - (i % 256)));
    QTest::newRow("FF FE .. (2047 bytes, the most INFO can carry)") << big;
}

void TestScan::roundTrip()
{
    QFETCH(QByteArray, payload);
    for (const QByteArray &info : {payload.toHex(), payload.toHex().toUpper()}) {
        const QByteArray frame = buildAsciiFrame(info, 0x4A, 0x00, 0x01, 0x25);
        QCOMPARE(frame.size(), 18 + info.size());
        QByteArray buffer = received(QByteArray::fromHex("0D7E") + frame + frame);
        const QByteArrayList infos = scanFrames(buffer);
        QCOMPARE(infos.size(), 2);
        QVERIFY(buffer.isEmpty());
        QCOMPARE(infos[0], upperHex(info.toUpper()));
        QCOMPARE(Codec::decodeInfo(infos[0]), payload);
        QCOMPARE(Codec::decodeInfo(infos[1]), payload);
    }
}

void TestScan::decodeInfo_data()
{
    QTest::addColumn<QByteArray>("infoHex");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("3536333132453332 -> V1.2") << QByteArray("3536333132453332") << QByteArray("V1.2");
    QTest::newRow("3030 -> 00") << QByteArray("3030") << QByteArray(1, '\0');
    QTest::newRow("(empty)") << QByteArray() << QByteArray();
}

void TestScan::decodeInfo()
{
    QFETCH(QByteArray, infoHex);
    QFETCH(QByteArray, expected);
    QCOMPARE(Codec::decodeInfo(infoHex), expected);
}

QTEST_GUILESS_MAIN(TestScan)
#include "tst_scan.moc"

// The reply's CID2 is its return code: 00 normal, anything else a refusal.
void TestScan::returnCode_data()
{
    QTest::addColumn<quint8>("cid2");
    QTest::addColumn<QByteArray>("info");

    QTest::newRow("7E 21 01 46 00 0000 .. 0D (normal)") << quint8(0x00) << QByteArray();
    QTest::newRow("7E 21 01 46 02 0000 .. 0D (checksum error)") << quint8(0x02) << QByteArray();
    QTest::newRow("7E 21 01 46 E2 0000 .. 0D") << quint8(0xE2) << QByteArray();
    QTest::newRow("7E 21 01 46 04 E002 30 30 .. 0D (with INFO)") << quint8(0x04) << QByteArray("00");
}

void TestScan::returnCode()
{
    QFETCH(quint8, cid2);
    QFETCH(QByteArray, info);

    const QByteArray frame = Codec::buildAsciiFrame(info, 0x46, cid2, 0x01, 0x21);
    QByteArray buffer = received(QByteArray("\x01\x02") + frame);
    QByteArray infoHex;
    int code = -2;
    QVERIFY(takeNextFrame(buffer, &infoHex, &code));
    QCOMPARE(code, int(cid2));
    QCOMPARE(returnCodeText(code), QString::fromLatin1(QByteArray(1, char(cid2)).toHex().toUpper()));
    QCOMPARE(infoHex, info.toHex().toUpper());
    QVERIFY(buffer.isEmpty());
}
