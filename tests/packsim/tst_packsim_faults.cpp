// Each fault of the simulator, seen from the updater's side of a real pseudo-terminal.
#include "packsimfixture.h"

#include "codec.h"
#include "constants.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using PackSim::Kind;
using PackSim::PackSimulator;

class TestPackSimFaults : public PackSimFixture
{
    Q_OBJECT

private slots:
    void unanswered_data();
    void unanswered();
    void silentDataStallsTheDownload();
    void delay();
    void byteByByte();
    void noise();
    void corruptChecksumOfOneAnswer();
    void corruptChecksumOfEveryAnswer();
    void infoReplies();
    void paceHoldsAnswersToTheLineRate();
    void pacedDownloadTakesTheLineTime();
    void pullAdapterMidDownload();
    void frameLog();

private:
    void sendKinds(const QStringList &kinds);
    // Sends the test command and waits for its answer, which comes after every earlier answer.
    void probe();
};

void TestPackSimFaults::sendKinds(const QStringList &kinds)
{
    for (const QString &kind : kinds) {
        if (kind == QLatin1String("version"))
            m_peer->sendVersionQuery();
        else if (kind == QLatin1String("init"))
            m_peer->sendInit();
        else if (kind == QLatin1String("end"))
            m_peer->sendEnd(0, QByteArray("\x01\x02\x03\x04", 4));
        else
            QFAIL(qPrintable(kind));
    }
}

void TestPackSimFaults::probe()
{
    const int before = m_pack->commandCount(Kind::Test);
    m_peer->write(Codec::buildAsciiFrame("00", 0x00, 0x46, 0x00, 0x21));
    QTRY_VERIFY_WITH_TIMEOUT(m_pack->commandCount(Kind::Test) == before + 1 && !m_peer->accepted.isEmpty() &&
                                 Codec::decodeInfo(m_peer->accepted.last()).size() ==
                                     PackSimulator::kTestRecordBytes,
                             5000);
}

void TestPackSimFaults::unanswered_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("answered"); // kinds of the answers, in order
    const QStringList none;
    QTest::newRow("silent init:all") << "silent init:all" << QStringList{"init", "init"} << none;
    QTest::newRow("silent init:2") << "silent init:2" << QStringList{"init", "init", "init"}
                                   << QStringList{"init", "init"};
    QTest::newRow("silent version:1")
        << "silent version:1" << QStringList{"version", "version"} << QStringList{"version"};
    QTest::newRow("silent end:all") << "silent end:all" << QStringList{"init", "end", "end"}
                                    << QStringList{"init"};
    QTest::newRow("no-end-reply") << "no-end-reply" << QStringList{"init", "end", "end", "end", "end"}
                                  << QStringList{"init"};
    QTest::newRow("end-reply-after 2") << "end-reply-after 2" << QStringList{"init", "end", "end", "end"}
                                       << QStringList{"init", "end", "end"};
    QTest::newRow("end-reply-after 2 counts from init")
        << "end-reply-after 2" << QStringList{"init", "end", "init", "end", "end"}
        << QStringList{"init", "init", "end"};
    QTest::newRow("no fault") << "" << QStringList{"version", "init", "end"}
                              << QStringList{"version", "init", "end"};
}

void TestPackSimFaults::unanswered()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, commands);
    QFETCH(QStringList, answered);
    QString error;
    if (fault.startsWith(QLatin1String("silent ")))
        QVERIFY(m_pack->addSilent(fault.mid(7), &error));
    else if (fault == QLatin1String("no-end-reply"))
        m_pack->setNoEndReply(true);
    else if (fault.startsWith(QLatin1String("end-reply-after ")))
        m_pack->setEndReplyAfter(fault.mid(16).toInt());
    sendKinds(commands);
    probe();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_pack->totalCommands(), commands.size() + 1);
    QStringList got;
    for (int i = 0; i + 1 < m_peer->accepted.size(); ++i)
        got.append(m_peer->accepted.at(i).isEmpty() ? QStringLiteral("?") : QStringLiteral("version"));
    QStringList expected;
    for (const QString &kind : answered)
        expected.append(kind == QLatin1String("version") ? kind : QStringLiteral("?"));
    QCOMPARE(got, expected);
    // The answers that did go out answered the commands of the expected kinds: the simulator's record.
    QCOMPARE(m_pack->repliesSent(), answered.size() + 1);
    QCOMPARE(m_pack->violationCount(), 0);
}

void TestPackSimFaults::silentDataStallsTheDownload()
{
    m_pack->setSilent(Kind::Data, 5);
    m_peer->startDownload(PackSim::firmwareBytes(32768, 5));
    QTRY_COMPARE(m_pack->commandCount(Kind::Data), 5);
    probe();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_pack->commandCount(Kind::Data), 5); // packet 4 was never acknowledged
    QCOMPARE(m_pack->receivedFrames().at(5).word, quint16(4));
    QCOMPARE(m_pack->imagesWritten(), 0);
}

void TestPackSimFaults::delay()
{
    m_pack->setReplyDelay(150);
    QElapsedTimer clock;
    clock.start();
    m_peer->sendVersionQuery();
    QTRY_COMPARE(m_peer->accepted.size(), 1);
    QVERIFY2(clock.elapsed() >= 150, qPrintable(QString::number(clock.elapsed())));
}

void TestPackSimFaults::byteByByte()
{
    m_pack->setByteByByte(true, 2);
    QSignalSpy sent(m_pack, &PackSimulator::replySent);
    m_peer->sendVersionQuery();
    QTRY_COMPARE(m_peer->accepted.size(), 1);
    const int frameBytes = m_pack->versionReply().size();
    QCOMPARE(m_peer->raw, m_pack->versionReply());
    // One byte per write, 2 ms apart: the port sees the frame in many pieces, the scan still takes it.
    QVERIFY2(m_peer->reads >= frameBytes / 2, qPrintable(QString::number(m_peer->reads)));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(Codec::decodeInfo(m_peer->accepted.first()), QByteArray(PackSimulator::kDefaultVersionText));
}

void TestPackSimFaults::noise()
{
    m_pack->setNoiseBytes(40);
    m_peer->sendVersionQuery();
    m_peer->sendInit();
    QTRY_COMPARE(m_peer->accepted.size(), 2);
    const QByteArray noise = PackSimulator::noise(40);
    QCOMPARE(noise.size(), 40);
    QVERIFY(!noise.contains(Codec::kSoiAscii));
    QCOMPARE(m_peer->raw, noise + m_pack->versionReply() + noise + PackSimulator::emptyReply());
    QCOMPARE(m_peer->accepted.at(1), QByteArray());
}

void TestPackSimFaults::corruptChecksumOfOneAnswer()
{
    QString error;
    QVERIFY(m_pack->addCorruptChecksum(QStringLiteral("version:1"), &error));
    m_peer->sendVersionQuery(2);
    const QByteArray good = m_pack->versionReply();
    QTRY_COMPARE(m_peer->raw.size(), 2 * good.size());
    QVERIFY(m_peer->raw.endsWith(good));
    const QByteArray bad = m_peer->raw.left(good.size());
    QVERIFY(bad != good);
    const int checksumAt = Quorvane::checksumOffset(good.size() - Quorvane::kFrameOverheadBytes);
    QCOMPARE(bad.left(checksumAt), good.left(checksumAt)); // only the CHKSUM differs
    QCOMPARE(bad.mid(checksumAt, Quorvane::kChecksumBytes),
             bad.mid(checksumAt, Quorvane::kChecksumBytes).toUpper());
    QCOMPARE(m_peer->accepted.size(), 1);
}

void TestPackSimFaults::corruptChecksumOfEveryAnswer()
{
    QString error;
    QVERIFY(m_pack->addCorruptChecksum(QStringLiteral("all"), &error));
    m_peer->sendVersionQuery();
    m_peer->sendInit();
    const int expected = m_pack->versionReply().size() + PackSimulator::emptyReply().size();
    QTRY_COMPARE(m_peer->raw.size(), expected);
    QCOMPARE(m_pack->repliesSent(), 2);
    QCOMPARE(m_peer->accepted.size(), 0);
}

void TestPackSimFaults::infoReplies()
{
    m_pack->setInfoReplies(true);
    QSignalSpy finished(m_peer, &PackSimPeer::downloadFinished);
    m_peer->startDownload(PackSim::firmwareBytes(32768, 6));
    QTRY_COMPARE(m_peer->accepted.size(), 1);
    QCOMPARE(Codec::decodeInfo(m_peer->accepted.first()), QByteArray(1, '\0'));
    probe();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_pack->commandCount(Kind::Data), 0); // an answer with INFO does not move the download on
}

void TestPackSimFaults::paceHoldsAnswersToTheLineRate()
{
    m_pack->setPaceBaud(9600);
    QList<qint64> at;
    QElapsedTimer clock;
    connect(m_peer, &PackSimPeer::frameAccepted, this, [&] { at.append(clock.elapsed()); });
    clock.start();
    m_peer->sendVersionQuery(5);
    QTRY_COMPARE(at.size(), 5);
    // 18 bytes at 9600 baud, 10 bits a byte: 18.75 ms each, back to back.
    for (int i = 0; i < 5; ++i)
        QVERIFY2(at.at(i) >= qint64((i + 1) * 18.75),
                 qPrintable(QStringLiteral("%1: %2 ms").arg(i).arg(at.at(i))));
    QVERIFY2(at.last() < 93 + 1500, qPrintable(QString::number(at.last())));
}

void TestPackSimFaults::pacedDownloadTakesTheLineTime()
{
    const int baud = 460800;
    m_pack->setPaceBaud(baud);
    QSignalSpy finished(m_peer, &PackSimPeer::downloadFinished);
    QElapsedTimer clock;
    clock.start();
    m_peer->startDownload(PackSim::firmwareBytes(32768, 8));
    QVERIFY(finished.wait(10000));
    const qint64 lineBytes = 18 + 16 * 2066 + 22;
    const qint64 lineMs = lineBytes * 10 * 1000 / baud; // 718 ms
    QVERIFY2(clock.elapsed() >= lineMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(clock.elapsed() < lineMs + 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_pack->violationCount(), 0);
}

void TestPackSimFaults::pullAdapterMidDownload()
{
    QList<QSerialPort::SerialPortError> errors;
    closePeerOnError(&errors);
    m_pack->setReplyDelay(50);
    connect(m_pack, &PackSimulator::commandReceived, this, [this](Kind kind, quint16 word) {
        if (kind == Kind::Data && word == 3)
            m_pack->pullAdapter();
    });
    m_peer->startDownload(PackSim::firmwareBytes(32768, 9));
    QTRY_VERIFY(!m_pack->isOpen());
    QTRY_VERIFY(!errors.isEmpty());
    QCOMPARE(m_pack->commandCount(Kind::Data), 4);
    QCOMPARE(m_pack->repliesSent(), 4); // init and packets 0-2; packet 3's answer was dropped
    // The simulator can serve a new line afterwards.
    QVERIFY(m_pack->openPty());
    PackSimPeer again;
    QVERIFY(again.open(m_pack->slavePath()));
    again.sendVersionQuery();
    QTRY_COMPARE(again.accepted.size(), 1);
}

void TestPackSimFaults::frameLog()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frames.log"));
    QVERIFY(m_pack->setLogFile(path));
    m_peer->sendVersionQuery();
    QTRY_COMPARE(m_peer->accepted.size(), 1);
    QFile log(path);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QRegularExpression rx(
        QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} (RX|TX) version +(\\d+) bytes: ([0-9A-F ]+)$"));
    const QRegularExpressionMatch rxLine = rx.match(lines.at(0));
    const QRegularExpressionMatch txLine = rx.match(lines.at(1));
    QVERIFY2(rxLine.hasMatch() && txLine.hasMatch(), qPrintable(lines.join(QLatin1Char('\n'))));
    QCOMPARE(rxLine.captured(1), QStringLiteral("RX"));
    QCOMPARE(rxLine.captured(3), QStringLiteral("BC 30 31 30 31 34 36 43 31 30 30 30 30 46 44 41 30 0D"));
    QCOMPARE(txLine.captured(1), QStringLiteral("TX"));
    QCOMPARE(txLine.captured(2).toInt(), m_pack->versionReply().size());
    QVERIFY(!m_pack->setLogFile(QStringLiteral("/nonexistent-dir/frames.log")));
}

QTEST_GUILESS_MAIN(TestPackSimFaults)
#include "tst_packsim_faults.moc"
