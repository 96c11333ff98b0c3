// Frames through the real window over a pseudo-terminal: what the senders put on the line, how
// replies are reassembled, checked and dispatched, and the version query.
#include "mainwindowtestaccess.h"
#include "packsimulator.h"
#include "windowfixture.h"

#include <QSignalSpy>

using PackSim::Kind;
using PackSim::PackSimulator;
using Access = MainWindowTestAccess;

class TestReceive : public WindowFixture
{
    Q_OBJECT

private slots:
    void versionQueryWithPortClosedWritesNothing();
    void versionQueryBytesOnTheLine();
    void rawSend_data();
    void rawSend();
    void dataFrameInChunks_data();
    void dataFrameInChunks();
    void testCommandFrame();

    void repliesFromThePack_data();
    void repliesFromThePack();
    void badChecksumIgnored();
    void mergedRepliesAndFragment();
    void emptyReplies();
    void testRecord();

private:
    // Opens the port on device; it must open.
    void openOn(const QString &device);
};

void TestReceive::openOn(const QString &device)
{
    WindowFixture::openOn(device);
    QVERIFY(Access::portOpen(*m_window));
}

static const QByteArray kQuery = QByteArray::fromHex("BC 30 31 30 31 34 36 43 31 30 30 30 30 46 44 41 30 0D");

void TestReceive::versionQueryWithPortClosedWritesNothing()
{
    PtyPair pty;
    QVERIFY(pty.isOpen());
    m_window->setExtraPort(pty.slavePath());
    versionField(*m_window)->setText(QStringLiteral("kept"));

    QTest::mouseClick(button(*m_window, "btnGetVer"), Qt::LeftButton);
    QCOMPARE(Access::exchange(*m_window).state().pending, eFuncVersion);
    QCOMPARE(versionField(*m_window)->text(), QStringLiteral("kept"));
    QVERIFY(m_answerer->seen().isEmpty());
    QCoreApplication::processEvents();
    QVERIFY(pty.received().isEmpty());
}

void TestReceive::versionQueryBytesOnTheLine()
{
    PtyPair pty;
    QVERIFY(pty.isOpen());
    openOn(pty.slavePath());
    QTRY_COMPARE(pty.received(), kQuery.repeated(5));

    // A click sends five more; a reply then lands in the field, and nothing else was written.
    pty.received().clear();
    QTest::mouseClick(button(*m_window, "btnGetVer"), Qt::LeftButton);
    QVERIFY(pty.send(replyFrame("V1")));
    QTRY_COMPARE(versionField(*m_window)->text(), QStringLiteral("V1"));
    QTRY_COMPARE(pty.received(), kQuery.repeated(5));
    QTRY_COMPARE(Access::port(*m_window)->bytesToWrite(), qint64(0));
    QCOMPARE(pty.received(), kQuery.repeated(5));
}

void TestReceive::rawSend_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("func");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("double blank makes no byte")
        << QByteArray("bc  30 0d") << int(eFuncUpgradaInit) << QByteArray::fromHex("BC300D");
    QTest::newRow("bad tokens skipped, low 8 bits")
        << QByteArray("bc zz 130\t0d") << int(eFuncUpgradaInit) << QByteArray::fromHex("BC300D");
    QTest::newRow("stored init text") << QByteArray(Codec::kUpgradeInitText) << int(eFuncUpgradaInit)
                                      << QByteArray::fromHex("BC32353031AAAA333230303030464342460D");
    QTest::newRow("end frame goes as it is")
        << QByteArray("bc 30 0d") << int(eFuncUpgradaEnd) << QByteArray("bc 30 0d");
}

void TestReceive::rawSend()
{
    QFETCH(QByteArray, text);
    QFETCH(int, func);
    QFETCH(QByteArray, written);

    PtyPair pty;
    QVERIFY(pty.isOpen());
    openOn(pty.slavePath());
    QTRY_COMPARE(pty.received().size(), 5 * kQuery.size());
    pty.received().clear();

    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onRecvedQString", Q_ARG(QByteArray, text),
                                      Q_ARG(E_FUNC, static_cast<E_FUNC>(func))));
    QCOMPARE(int(Access::exchange(*m_window).state().pending), func);
    QTRY_COMPARE(pty.received(), written);
}

void TestReceive::dataFrameInChunks_data()
{
    QTest::addColumn<int>("payloadBytes");
    QTest::addColumn<int>("writes");

    QTest::newRow("one packet: 2066 bytes, nine writes") << 2048 << 9;
    QTest::newRow("empty payload: 18 bytes, one write") << 0 << 1;
    QTest::newRow("512 bytes: two writes, no remainder") << 494 << 2;
}

void TestReceive::dataFrameInChunks()
{
    QFETCH(int, payloadBytes);
    QFETCH(int, writes);

    PtyPair pty;
    QVERIFY(pty.isOpen());
    openOn(pty.slavePath());
    QTRY_COMPARE(pty.received().size(), 5 * kQuery.size());
    pty.received().clear();

    QByteArray payload(payloadBytes, Qt::Uninitialized);
    for (int i = 0; i < payloadBytes; ++i) {
        payload[i] = static_cast<char>(i * 7 + 3);
    }
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onRecvedData", Q_ARG(QByteArray, payload.toHex()),
                                      Q_ARG(ushort, 0x0007), Q_ARG(uchar, 0x33), Q_ARG(uchar, 1),
                                      Q_ARG(E_FUNC, eFuncUpgrada)));
    QCOMPARE(Access::exchange(*m_window).state().pending, eFuncUpgrada);
    QCOMPARE((payloadBytes + 18 + Quorvane::kWriteChunkBytes - 1) / Quorvane::kWriteChunkBytes, writes);

    const QByteArray expected = Codec::buildDataFrame(payload.toHex(), 0x0007, 0x33, 1);
    QCOMPARE(expected.size(), 18 + payloadBytes);
    QVERIFY(expected.startsWith(QByteArray::fromHex("BC 32 35 30 31 00 07 33 33 38 38 30 30")));
    QTRY_COMPARE(pty.received().size(), expected.size());
    QCOMPARE(pty.received(), expected);
}

void TestReceive::testCommandFrame()
{
    PtyPair pty;
    QVERIFY(pty.isOpen());
    openOn(pty.slavePath());
    QTRY_COMPARE(pty.received().size(), 5 * kQuery.size());
    pty.received().clear();

    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "on_btnTest_clicked"));
    QCOMPARE(Access::exchange(*m_window).state().pending, eFuncTest);
    QTRY_COMPARE(pty.received(), QByteArray("\x7E"
                                            "21000046E00200FD3C"
                                            "\r"));
}

void TestReceive::repliesFromThePack_data()
{
    QTest::addColumn<bool>("byteByByte");
    QTest::addColumn<int>("noise");
    QTest::addColumn<int>("delayMs");

    QTest::newRow("whole replies") << false << 0 << 0;
    QTest::newRow("split into single bytes") << true << 0 << 0;
    QTest::newRow("behind noise") << false << 9 << 0;
    QTest::newRow("behind noise, single bytes") << true << 5 << 0;
    QTest::newRow("held back, arriving together") << false << 0 << 30;
}

void TestReceive::repliesFromThePack()
{
    QFETCH(bool, byteByByte);
    QFETCH(int, noise);
    QFETCH(int, delayMs);

    PackSimulator pack;
    QVERIFY2(pack.openPty(), qPrintable(pack.errorString()));
    pack.setByteByByte(byteByByte, 1);
    pack.setNoiseBytes(noise);
    pack.setReplyDelay(delayMs);
    const QString version = QStringLiteral("PACK-V3.0.1_Z");
    QVERIFY(pack.setVersionText(version));
    QSignalSpy versions(&Access::exchange(*m_window), &Download::Exchange::versionReported);

    openOn(pack.slavePath());
    QTRY_COMPARE_WITH_TIMEOUT(pack.repliesSent(), 5, 15000);
    QTRY_COMPARE(versions.count(), 5);
    QCOMPARE(versionField(*m_window)->text(), version);
    QCOMPARE(savedVersion(), version.left(12));
    // Noise before a reply goes with the reply.
    QVERIFY(Access::exchange(*m_window).received().isEmpty());
}

void TestReceive::badChecksumIgnored()
{
    PackSimulator pack;
    QVERIFY2(pack.openPty(), qPrintable(pack.errorString()));
    pack.setCorruptChecksumAll(Kind::Version);
    const int replyChars = 2 * pack.versionReply().size();

    openOn(pack.slavePath());
    QTRY_COMPARE(pack.repliesSent(), 5);
    // Every byte has been read; no candidate was accepted, so all of them are still there.
    QTRY_COMPARE(Access::exchange(*m_window).received().size(), 5 * replyChars);
    QVERIFY(versionField(*m_window)->text().isEmpty());
    QVERIFY(Access::version(*m_window).isEmpty());
    QVERIFY(savedVersion().isEmpty());

    // A good reply later is taken, and the rejected ones go with it.
    pack.clearFaults();
    QTest::mouseClick(button(*m_window, "btnGetVer"), Qt::LeftButton);
    QTRY_COMPARE(versionField(*m_window)->text(), QString::fromLatin1(PackSimulator::kDefaultVersionText));
    QTRY_VERIFY(Access::exchange(*m_window).received().isEmpty());
}

void TestReceive::mergedRepliesAndFragment()
{
    PtyPair pty;
    QVERIFY(pty.isOpen());
    openOn(pty.slavePath());
    QSignalSpy versions(&Access::exchange(*m_window), &Download::Exchange::versionReported);

    const QByteArray third = replyFrame("THIRD");
    QVERIFY(pty.send(QByteArray("\x01\x02garbage") + replyFrame("FIRST") + replyFrame("SECOND") +
                     third.left(10)));
    QTRY_COMPARE(versions.count(), 2);
    QCOMPARE(versionField(*m_window)->text(), QStringLiteral("SECOND"));
    QCOMPARE(Access::exchange(*m_window).received(), third.left(10).toHex().toUpper());

    QVERIFY(pty.send(third.mid(10)));
    QTRY_COMPARE(versionField(*m_window)->text(), QStringLiteral("THIRD"));
    QVERIFY(Access::exchange(*m_window).received().isEmpty());
    QCOMPARE(savedVersion(), QStringLiteral("THIRD"));
}

void TestReceive::emptyReplies()
{
    PtyPair pty;
    QVERIFY(pty.isOpen());
    openOn(pty.slavePath());
    Download::Exchange &exchange = Access::exchange(*m_window);
    QSignalSpy infoReplies(&exchange, &Download::Exchange::infoReply);
    QSignalSpy versions(&exchange, &Download::Exchange::versionReported);
    const QByteArray empty = Codec::buildAsciiFrame(QByteArray(), 0x46, 0x00, 0x01, 0x25);
    QCOMPARE(empty.size(), 18);

    // While the version is pending an empty reply means nothing.
    versionField(*m_window)->setText(QStringLiteral("before"));
    QVERIFY(pty.send(empty + replyFrame("00").left(1)));
    QTRY_COMPARE(exchange.received(), QByteArray("7E"));
    QCOMPARE(versionField(*m_window)->text(), QStringLiteral("before"));
    QCOMPARE(exchange.state().pending, eFuncVersion);
    QCOMPARE(versions.count(), 0);

    // A reply with INFO is paired with a version query still out (none of the five was answered),
    // never with an upgrade command.
    QVERIFY(pty.send(replyFrame("00").mid(1)));
    QTRY_COMPARE(versions.count(), 1);
    QCOMPARE(infoReplies.count(), 0);
    QCOMPARE(exchange.state().phase, Download::Phase::Idle);

    // Two acknowledgements in one read: the first (init pending) sends packet 0, which makes the
    // second the acknowledgement of that packet, so packet 1 follows within the same scan.
    QTRY_COMPARE(pty.received().size(), 5 * kQuery.size());
    pty.received().clear();
    QByteArray body(2 * 2048, Qt::Uninitialized);
    for (int i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>(i / 3);
    }
    FirmwareImage::Image image;
    image.head8 = QByteArrayLiteral("01020304");
    image.body = body.toHex();
    image.packets = 2;
    exchange.setImage(image, QStringLiteral("x.bin"));
    exchange.start();
    exchange.writeCommand(QByteArray(), eFuncUpgradaInit);
    QVERIFY(pty.send(empty + empty));
    const QByteArray packets = Codec::buildDataFrame(body.left(2048).toHex(), 0, 0x33, 1) +
                               Codec::buildDataFrame(body.mid(2048).toHex(), 1, 0x33, 1);
    QTRY_COMPARE(pty.received(), packets);
    QCOMPARE(exchange.state().pending, eFuncUpgrada);
    QCOMPARE(exchange.state().packet, 1u);
    QVERIFY(exchange.received().isEmpty());
}

void TestReceive::testRecord()
{
    PackSimulator pack;
    QVERIFY2(pack.openPty(), qPrintable(pack.errorString()));
    openOn(pack.slavePath());
    QTRY_COMPARE(pack.repliesSent(), 5);

    const auto pattern = [](int size, int seed) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>((i * 13 + seed) | 1); // never zero
        }
        return bytes;
    };
    const auto record = [this] {
        const auto &r = Access::testRecord(*m_window);
        return QByteArray(r.data(), static_cast<int>(r.size()));
    };

    const QByteArray full = pattern(324, 5);
    pack.setTestRecord(full);
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "on_btnTest_clicked"));
    QTRY_COMPARE(record(), full);
    QCOMPARE(pack.commandCount(Kind::Test), 1);
    QCOMPARE(pack.receivedFrames().last().bytes, QByteArray("\x7E"
                                                            "21000046E00200FD3C"
                                                            "\r"));

    // A shorter record leaves the rest zero.
    const QByteArray shorter = pattern(100, 9);
    pack.setTestRecord(shorter);
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "on_btnTest_clicked"));
    QTRY_COMPARE(record(), shorter + QByteArray(224, '\0'));

    // A longer one is cut at 324 bytes.
    const QByteArray longer = pattern(400, 1);
    pack.setTestRecord(longer);
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "on_btnTest_clicked"));
    QTRY_COMPARE(record(), longer.left(324));
    QTRY_VERIFY(Access::exchange(*m_window).received().isEmpty());
}

QTEST_MAIN(TestReceive)
#include "tst_receive.moc"
