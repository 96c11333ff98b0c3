// Packs coming and going on a line, and the two ways a pack can store a repeated data packet, over
// real pseudo-terminals.
#include "packsimpeer.h"
#include "packsimulator.h"
#include "testfirmware.h"

#include "constants.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using PackSim::Kind;
using PackSim::PackSimulator;

class TestPackSimLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QSerialPort::SerialPortError>(); }
    void init();
    void replugComesBackUnderTheSameLink();
    void poweredOffHearsNothingThenAnswers();
    void repeatedPacket_data();
    void repeatedPacket();
    void afterImage_data();
    void afterImage();

private:
    // Opens a peer on the link and waits for the pack's version answer.
    std::unique_ptr<PackSimPeer> versionAnswered(const QString &path);

    QTemporaryDir m_dir;
    std::unique_ptr<PackSimulator> m_pack;
    QString m_link;
};

void TestPackSimLine::init()
{
    QVERIFY(m_dir.isValid());
    m_link = m_dir.filePath(QStringLiteral("by-id-pack"));
    m_pack = std::make_unique<PackSimulator>();
    m_pack->setReportViolationsOnStderr(false);
    QVERIFY2(m_pack->openPty(m_link), qPrintable(m_pack->errorString()));
}

std::unique_ptr<PackSimPeer> TestPackSimLine::versionAnswered(const QString &path)
{
    auto peer = std::make_unique<PackSimPeer>();
    if (!peer->open(path))
        return nullptr;
    peer->sendVersionQuery();
    QSignalSpy accepted(peer.get(), &PackSimPeer::frameAccepted);
    if (!accepted.wait(3000))
        return nullptr;
    return peer;
}

void TestPackSimLine::replugComesBackUnderTheSameLink()
{
    std::unique_ptr<PackSimPeer> peer = versionAnswered(m_link);
    QVERIFY(peer);
    QSignalSpy lost(&peer->port, &QSerialPort::errorOccurred);
    QSignalSpy plugged(m_pack.get(), &PackSimulator::pluggedIn);
    m_pack->replug(200);
    QVERIFY(!QFileInfo::exists(m_link)); // the line is gone while the pack is away
    QTRY_VERIFY(!lost.isEmpty());
    peer.reset();
    QVERIFY(plugged.wait(3000));
    QCOMPARE(plugged.first().first().toString(), m_pack->slavePath());
    QCOMPARE(QFileInfo(m_link).symLinkTarget(), m_pack->slavePath());
    QVERIFY(versionAnswered(m_link)); // the same name reaches the pack again
    QCOMPARE(m_pack->plugIns(), 1);
}

void TestPackSimLine::poweredOffHearsNothingThenAnswers()
{
    std::unique_ptr<PackSimPeer> peer = versionAnswered(m_link);
    QVERIFY(peer);
    m_pack->powerCycle(500);
    QVERIFY(!m_pack->powered());
    peer->sendVersionQuery();
    QTRY_VERIFY_WITH_TIMEOUT(m_pack->powered(), 3000);
    QCOMPARE(m_pack->commandCount(Kind::Version), 1); // the query sent while off was not heard
    QCOMPARE(peer->accepted.size(), 1);
    QVERIFY(peer->port.isOpen()); // the port stayed
    peer->sendVersionQuery();
    QTRY_COMPARE(peer->accepted.size(), 2);
}

void TestPackSimLine::repeatedPacket_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<int>("repeat"); // packet sent twice, -1 for none
    QTest::addColumn<bool>("exact");
    QTest::newRow("number, no repeat") << "number" << -1 << true;
    QTest::newRow("number, packet 2 twice") << "number" << 2 << true;
    QTest::newRow("number, packet 0 twice") << "number" << 0 << true;
    QTest::newRow("append, no repeat") << "append" << -1 << true;
    QTest::newRow("append, packet 2 twice") << "append" << 2 << false;
}

void TestPackSimLine::repeatedPacket()
{
    QFETCH(QString, store);
    QFETCH(int, repeat);
    QFETCH(bool, exact);
    PackSim::StoreMode mode = PackSim::StoreMode::ByNumber;
    QVERIFY(PackSimulator::storeModeFromName(store, &mode));
    m_pack->setStoreMode(mode);
    PackSimPeer peer;
    QVERIFY(peer.open(m_pack->slavePath()));
    const QByteArray image = PackSim::expectedImage(PackSim::firmwareBytes(5 * 2048 + 4, 7));
    const int packets = (image.size() - Quorvane::kImageHeadBytes) / Quorvane::kPacketBytes;
    peer.sendInit();
    for (int n = 0; n < packets; ++n) {
        const QByteArray body =
            image.mid(Quorvane::kImageHeadBytes + n * Quorvane::kPacketBytes, Quorvane::kPacketBytes);
        peer.sendData(quint16(n), body);
        if (n == repeat)
            peer.sendData(quint16(n), body);
    }
    peer.sendEnd(quint16(packets), image.left(Quorvane::kImageHeadBytes));
    QTRY_COMPARE(m_pack->imagesWritten(), 1);
    QCOMPARE(m_pack->image() == image, exact);
    QCOMPARE(m_pack->repeatedPackets(), repeat < 0 ? 0 : 1);
    QCOMPARE(m_pack->violationCount(), exact ? 0 : 1); // an appending pack counts one packet too many
}

void TestPackSimLine::afterImage_data()
{
    QTest::addColumn<int>("what");
    QTest::newRow("replug") << int(PackSim::AfterImage::Replug);
    QTest::newRow("power cycle") << int(PackSim::AfterImage::PowerCycle);
}

// A whole download, then the pack goes away on its own a moment after answering the end command.
void TestPackSimLine::afterImage()
{
    QFETCH(int, what);
    m_pack->setAfterImage(PackSim::AfterImage(what), 150);
    PackSimPeer peer;
    QVERIFY(peer.open(m_link));
    QSignalSpy done(&peer, &PackSimPeer::downloadFinished);
    QSignalSpy plugged(m_pack.get(), &PackSimulator::pluggedIn);
    peer.startDownload(PackSim::firmwareBytes(3 * 2048, 2));
    QVERIFY(done.wait(5000));
    QVERIFY(m_pack->powered() && m_pack->isOpen()); // the end answer went out first
    peer.port.close();
    if (PackSim::AfterImage(what) == PackSim::AfterImage::Replug) {
        QVERIFY(plugged.wait(3000));
        QVERIFY(versionAnswered(m_link));
    } else {
        QTRY_VERIFY(!m_pack->powered());
        QTRY_VERIFY(m_pack->powered());
        QVERIFY(plugged.isEmpty());
        QVERIFY(versionAnswered(m_link));
    }
}

QTEST_GUILESS_MAIN(TestPackSimLine)
#include "tst_packsim_line.moc"
