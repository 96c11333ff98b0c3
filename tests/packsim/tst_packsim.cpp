// The simulator against the codec over a real pseudo-terminal: answers, the image it rebuilds, the
// violations it finds, and how it copes with garbage and a vanished line.
#include "packsimfixture.h"

#include "codec.h"
#include "constants.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

using PackSim::Kind;
using PackSim::PackSimulator;

namespace {

// A 0xBC frame with the given fields, LENGTH and CHKSUM (upper case) as they should be.
QByteArray bcFrame(const QByteArray &verAdr, quint16 word, const QByteArray &cid2, const QByteArray &info)
{
    QByteArray frame = verAdr;
    frame.append(char(word >> 8)).append(char(word & 0xFF)).append(cid2);
    frame.append(QByteArray::number(Codec::lengthField(info.size()), 16).rightJustified(4, '0').toUpper());
    frame.append(info);
    frame.append(QByteArray::number(Codec::calcCheckSum(frame), 16).rightJustified(4, '0').toUpper());
    return Codec::kSoiUpgrade + frame + Codec::kEoi;
}

} // namespace

class TestPackSim : public PackSimFixture
{
    Q_OBJECT

private slots:
    void versionReply_data();
    void versionReply();
    void fiveQueriesBackToBack();
    void versionInfoIsHexTextOfTheText();
    void testCommandGetsTheRecord();
    void fullDownload_data();
    void fullDownload();
    void downloadAgainStartsANewImage();
    void violations_data();
    void violations();
    void garbageBeforeACommandIsSkipped();
    void pulledAdapterClosesTheUpdatersPort();
    void symlinkToTheSlave();
    void servesASerialDevice();
    void unwritableImageFileIsReported();
    void parserFindsEveryCommandInNoise();
    void parserSurvivesRandomBytes();
    void faultTargets_data();
    void faultTargets();
    void firmwareHelpers();
};

void TestPackSim::versionReply_data()
{
    QTest::addColumn<QString>("version");
    QTest::newRow("default BMS_V2.1.07_2026") << QString();
    QTest::newRow("AB") << QStringLiteral("AB");
    QTest::newRow("utf-8 BMS_电池_V3") << QStringLiteral("BMS_电池_V3");
    QTest::newRow("longest 2047 bytes") << QString(2047, QLatin1Char('v'));
}

void TestPackSim::versionReply()
{
    QFETCH(QString, version);
    if (!version.isEmpty())
        QVERIFY(m_pack->setVersionText(version));
    else
        version = QString::fromLatin1(PackSimulator::kDefaultVersionText);
    QSignalSpy replies(m_pack, &PackSimulator::replySent);
    m_peer->sendVersionQuery();
    QTRY_COMPARE(m_peer->accepted.size(), 1);
    QCOMPARE(QString::fromUtf8(Codec::decodeInfo(m_peer->accepted.first())), version);
    QCOMPARE(m_pack->commandCount(Kind::Version), 1);
    QCOMPARE(m_pack->repliesSent(), 1);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(m_pack->violationCount(), 0);
    QCOMPARE(m_peer->raw.at(0), Codec::kSoiAscii);
    QVERIFY(m_peer->scanBuffer.isEmpty());
}

void TestPackSim::fiveQueriesBackToBack()
{
    m_peer->sendVersionQuery(Quorvane::kVersionQueryCopies);
    QTRY_COMPARE(m_peer->accepted.size(), 5);
    QCOMPARE(m_pack->commandCount(Kind::Version), 5);
    const QList<PackSim::ReceivedFrame> frames = m_pack->receivedFrames();
    QCOMPARE(frames.size(), 5);
    for (const PackSim::ReceivedFrame &frame : frames) {
        QVERIFY(frame.wellFormed);
        QCOMPARE(frame.bytes.size(), 18);
        QVERIFY(frame.time.isValid());
    }
}

void TestPackSim::versionInfoIsHexTextOfTheText()
{
    QVERIFY(m_pack->setVersionText(QStringLiteral("AB")));
    m_peer->sendVersionQuery();
    QTRY_COMPARE(m_peer->accepted.size(), 1);
    QCOMPARE(m_peer->accepted.first(),
             QByteArray("4142").toHex().toUpper()); // the scan keeps wire text as hex
    QCOMPARE(Codec::decodeInfo(m_peer->accepted.first()), QByteArray("AB"));
    // On the wire: LENGTH for 4 characters (C004), then the four characters themselves.
    QCOMPARE(m_peer->raw.mid(Quorvane::kLengthOffset, Quorvane::kLengthBytes + 4), QByteArray("C0044142"));
    QVERIFY(!m_pack->setVersionText(QString(2048, QLatin1Char('v'))));
    QCOMPARE(m_pack->versionText(), QStringLiteral("AB"));
}

void TestPackSim::testCommandGetsTheRecord()
{
    // The test command as the window builds it: VER 21, ADR 00, CID1 00, CID2 46, INFO "00".
    m_peer->write(Codec::buildAsciiFrame("00", 0x00, 0x46, 0x00, 0x21));
    QTRY_COMPARE(m_peer->accepted.size(), 1);
    const QByteArray record = Codec::decodeInfo(m_peer->accepted.first());
    QCOMPARE(record.size(), PackSimulator::kTestRecordBytes);
    QCOMPARE(quint8(record.at(200)), quint8(200));
    QCOMPARE(m_pack->commandCount(Kind::Test), 1);
    QCOMPARE(m_pack->violationCount(), 0);
}

void TestPackSim::fullDownload_data()
{
    QTest::addColumn<int>("fileSize");
    QTest::addColumn<int>("packets");
    QTest::newRow("32768 bytes, 16 packets, 4 zero bytes") << 32768 << 16;
    QTest::newRow("32772 bytes, 16 packets, no padding") << 32772 << 16;
    QTest::newRow("32773 bytes, 17 packets, 2047 zero bytes") << 32773 << 17;
}

void TestPackSim::fullDownload()
{
    QFETCH(int, fileSize);
    QFETCH(int, packets);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("image.bin"));
    m_pack->setImageOutputPath(out);
    const QByteArray file = PackSim::firmwareBytes(fileSize, 7);
    QSignalSpy finished(m_peer, &PackSimPeer::downloadFinished);
    QSignalSpy completed(m_pack, &PackSimulator::imageCompleted);

    m_peer->startDownload(file);
    QVERIFY(finished.wait(10000));

    QCOMPARE(m_pack->commandCount(Kind::Init), 1);
    QCOMPARE(m_pack->commandCount(Kind::Data), packets);
    QCOMPARE(m_pack->commandCount(Kind::End), 1);
    QCOMPARE(m_pack->repliesSent(), packets + 2);
    QCOMPARE(m_pack->violations(), QStringList());
    QCOMPARE(completed.size(), 1);
    const QByteArray expected = PackSim::expectedImage(file);
    QCOMPARE(expected.size(), 4 + packets * 2048);
    QCOMPARE(m_pack->image().size(), expected.size());
    QVERIFY(m_pack->image() == expected);
    QFile written(out);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll() == expected);
    QCOMPARE(m_pack->imageBytesWritten(), qint64(expected.size()));
    // The data frames carried their packet numbers in order.
    int packet = 0;
    for (const PackSim::ReceivedFrame &frame : m_pack->receivedFrames()) {
        if (frame.kind == Kind::Data)
            QCOMPARE(int(frame.word), packet++);
    }
    QCOMPARE(packet, packets);
}

void TestPackSim::downloadAgainStartsANewImage()
{
    QSignalSpy finished(m_peer, &PackSimPeer::downloadFinished);
    m_peer->startDownload(PackSim::firmwareBytes(40000, 1));
    QVERIFY(finished.wait(10000));
    const QByteArray second = PackSim::firmwareBytes(32768, 2);
    m_peer->startDownload(second);
    QTRY_COMPARE(finished.size(), 2);
    QCOMPARE(m_pack->imagesWritten(), 2);
    QVERIFY(m_pack->image() == PackSim::expectedImage(second));
    QCOMPARE(m_pack->violationCount(), 0);
}

// Each row sends the commands, then a version query: the simulator must still answer it.
void TestPackSim::violations_data()
{
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<QString>("expected");
    const QByteArray init = Codec::tokensToBytes(QByteArray(Codec::kUpgradeInitText));
    const QByteArray payload(2048, '\x11');
    const QByteArray packet0 = Codec::buildDataFrame(payload.toHex(), 0, 0x33, 0x01);
    const QByteArray packet1 = Codec::buildDataFrame(payload.toHex(), 1, 0x33, 0x01);

    QByteArray badSum = packet0;
    const int lastChecksumDigit =
        Quorvane::checksumOffset(Quorvane::kPacketBytes) + Quorvane::kChecksumBytes - 1;
    badSum[lastChecksumDigit] = badSum.at(lastChecksumDigit) == '0' ? '1' : '0';
    QTest::newRow("data frame with a wrong CHKSUM") << init + badSum << "CHKSUM";
    QTest::newRow("packet 1 before packet 0") << init + packet1 << "packet number 1, expected 0";
    // A repeat of the packet just received is a retry (tst_packsim_line); going back further is not.
    QTest::newRow("packet 0 after packet 1")
        << init + packet0 + packet1 + packet0 << "packet number 0, expected 2";
    QTest::newRow("end counts 3 after 2 packets")
        << init + packet0 + packet1 + Codec::buildUpgradeEndFrame(3, "01020304") << "packet count 3, but 2";

    QTest::newRow("data payload of 100 bytes")
        << init + bcFrame("2501", 0, "33", QByteArray(100, 'x')) << "payload of 100 bytes";
    QTest::newRow("end with a 2-byte head")
        << init + bcFrame("2501", 0, "34", "\x01\x02") << "head of 2 bytes";
    QByteArray overrun = Codec::buildUpgradeEndFrame(0, "01020304");
    overrun.remove(Quorvane::kInfoOffset + 2, 2); // LENGTH still says 4 head bytes
    QTest::newRow("end whose LENGTH overruns") << init + overrun << "no 0x0D";
    QTest::newRow("data with VER 21") << init + bcFrame("2101", 0, "33", payload) << "VER/ADR \"2101\"";

    QByteArray badLength = Codec::tokensToBytes(QByteArray(Codec::kUpgradeInitText));
    badLength[Quorvane::kLengthOffset + 3] = '1'; // LENGTH "0001": its 4-bit check fails
    QTest::newRow("LENGTH 0001") << badLength << "LENGTH 0001";
    QTest::newRow("unknown CID2 39") << bcFrame("2501", 0, "39", QByteArray()) << "unknown command";

    const QByteArray altered = bcFrame("2501", 0xABAA, "32", QByteArray()); // the init command but its word
    QTest::newRow("init with word ABAA") << altered << "differs from the fixed init command";
}

void TestPackSim::violations()
{
    QFETCH(QByteArray, commands);
    QFETCH(QString, expected);
    QSignalSpy found(m_pack, &PackSimulator::violationFound);
    m_peer->writeChunked(commands);
    m_peer->sendVersionQuery();
    QTRY_COMPARE(m_pack->commandCount(Kind::Version), 1);
    QTRY_VERIFY(!m_peer->accepted.isEmpty() && !m_peer->accepted.last().isEmpty());
    QCOMPARE(m_pack->violationCount(), 1);
    QCOMPARE(found.size(), 1);
    QVERIFY2(m_pack->violations().first().contains(expected), qPrintable(m_pack->violations().first()));
}

void TestPackSim::garbageBeforeACommandIsSkipped()
{
    // Stray start markers without a header, a 0x0D, text: none is a command.
    m_peer->write(QByteArray("\xBC\x01\x7E\x7E zz\r\xBC", 9) + "hello");
    m_peer->sendVersionQuery();
    QTRY_COMPARE(m_peer->accepted.size(), 1);
    QCOMPARE(m_pack->violationCount(), 0);
    QCOMPARE(m_pack->discardedBytes(), qint64(14));
}

void TestPackSim::pulledAdapterClosesTheUpdatersPort()
{
    // A window that does not close its port on the error would spin on it.
    QList<QSerialPort::SerialPortError> errors;
    closePeerOnError(&errors);
    QSignalSpy pulled(m_pack, &PackSimulator::adapterPulled);
    m_peer->sendVersionQuery();
    QTRY_COMPARE(m_peer->accepted.size(), 1);
    m_pack->pullAdapter();
    QCOMPARE(pulled.size(), 1);
    QVERIFY(!m_pack->isOpen());
    QTRY_VERIFY(!errors.isEmpty());
    // A hung-up pty reads as end of file, which QSerialPort reports as ReadError (a real adapter that
    // is unplugged gives EIO, i.e. ResourceError).
    QVERIFY2(errors.first() == QSerialPort::ReadError || errors.first() == QSerialPort::ResourceError,
             qPrintable(QString::number(errors.first())));
}

void TestPackSim::symlinkToTheSlave()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyPACK"));
    PackSimulator pack;
    QVERIFY2(pack.openPty(link), qPrintable(pack.errorString()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), pack.slavePath());
    PackSimPeer peer;
    QVERIFY(peer.open(link));
    peer.sendVersionQuery();
    QTRY_COMPARE(peer.accepted.size(), 1);
    pack.close();
    QVERIFY(!QFileInfo(link).isSymLink());
    // A plain file in the way is left alone.
    QFile plain(link);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(!pack.openPty(link));
    QVERIFY(pack.errorString().contains(QStringLiteral("not a symlink")));
    QVERIFY(QFileInfo(link).isFile());
}

// A pty slave is a terminal device like a USB adapter's: serve it with openDevice and talk through
// the master.
void TestPackSim::servesASerialDevice()
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    QCOMPARE(openpty(&master, &slave, name, nullptr, nullptr), 0);
    termios tio{};
    QCOMPARE(tcgetattr(master, &tio), 0);
    cfmakeraw(&tio);
    QCOMPARE(tcsetattr(master, TCSANOW, &tio), 0);
    PackSimulator pack;
    QVERIFY2(pack.openDevice(QString::fromLocal8Bit(name), 19200), qPrintable(pack.errorString()));
    QCOMPARE(pack.slavePath(), QString::fromLocal8Bit(name));
    QCOMPARE(tcgetattr(slave, &tio), 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B19200));
    QCOMPARE(int(tio.c_cflag & CSIZE), int(CS8));
    QVERIFY(!(tio.c_cflag & (PARENB | CSTOPB)));
    QVERIFY(!(tio.c_lflag & (ICANON | ECHO)));

    const QByteArray query = Codec::tokensToBytes(QByteArray(Codec::kVersionQueryText));
    QCOMPARE(::write(master, query.constData(), size_t(query.size())), ssize_t(query.size()));
    QTRY_COMPARE(pack.repliesSent(), 1);
    QByteArray received(256, '\0');
    const ssize_t n = ::read(master, received.data(), size_t(received.size()));
    QCOMPARE(received.left(int(n)), pack.versionReply());
    pack.close();
    ::close(master);
    ::close(slave);

    QVERIFY(!pack.openDevice(QStringLiteral("/dev/null"), 9600));
    QVERIFY(pack.errorString().contains(QStringLiteral("not a serial device")));
}

void TestPackSim::unwritableImageFileIsReported()
{
    m_pack->setImageOutputPath(QStringLiteral("/nonexistent-dir/image.bin"));
    QSignalSpy fileErrors(m_pack, &PackSimulator::imageFileError);
    QSignalSpy finished(m_peer, &PackSimPeer::downloadFinished);
    const QByteArray file = PackSim::firmwareBytes(32768, 3);
    m_peer->startDownload(file);
    QVERIFY(finished.wait(10000));
    QCOMPARE(fileErrors.size(), 1);
    QVERIFY(m_pack->image() == PackSim::expectedImage(file)); // kept in memory all the same
    QCOMPARE(m_pack->imageBytesWritten(), qint64(0));
}

// Commands between runs of noise without start markers, cut into random pieces: every command comes
// out whole, in order, whatever the cuts.
void TestPackSim::parserFindsEveryCommandInNoise()
{
    QRandomGenerator random(20261207);
    const QByteArray commands[] = {
        Codec::tokensToBytes(QByteArray(Codec::kVersionQueryText)),
        Codec::tokensToBytes(QByteArray(Codec::kUpgradeInitText)),
        Codec::buildDataFrame(PackSim::firmwareBytes(2048, 3).toHex(), 0x7EBC, 0x33, 0x01),
        Codec::buildUpgradeEndFrame(16, "bc7e0d00"),
    };
    for (int round = 0; round < 200; ++round) {
        QByteArray stream;
        QList<QByteArray> sent;
        for (int i = 0; i < 8; ++i) {
            QByteArray noise(int(random.bounded(40)), '\0');
            for (char &c : noise) {
                c = char(random.bounded(256));
                if (c == Codec::kSoiAscii || c == Codec::kSoiUpgrade)
                    c = '.';
            }
            const QByteArray &command = commands[random.bounded(4)];
            stream += noise + command;
            sent.append(command);
        }
        PackSim::CommandParser parser;
        QList<QByteArray> got;
        for (int at = 0; at < stream.size();) {
            const int piece = 1 + int(random.bounded(300));
            parser.append(stream.mid(at, piece), at);
            at += piece;
            PackSim::ParsedFrame frame;
            QString problem;
            PackSim::CommandParser::Step step;
            while ((step = parser.next(&frame, &problem)) != PackSim::CommandParser::Step::NeedMore) {
                QVERIFY2(step == PackSim::CommandParser::Step::Frame, qPrintable(problem));
                got.append(frame.bytes);
            }
        }
        QCOMPARE(got, sent);
        QCOMPARE(parser.bufferedBytes(), 0);
    }
}

// Bytes of every value, start markers included: no crash, and the buffer never holds more than a
// frame can be long.
void TestPackSim::parserSurvivesRandomBytes()
{
    QRandomGenerator random(7);
    PackSim::CommandParser parser;
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes(1 + int(random.bounded(64)), '\0');
        for (char &c : bytes) {
            const quint32 pick = random.bounded(8);
            c = pick == 0   ? Codec::kSoiUpgrade
                : pick == 1 ? Codec::kSoiAscii
                : pick < 5  ? "0123456789ABCDEF"[random.bounded(16)]
                            : char(random.bounded(256));
        }
        parser.append(bytes, round);
        PackSim::ParsedFrame frame;
        QString problem;
        while (parser.next(&frame, &problem) != PackSim::CommandParser::Step::NeedMore) {
        }
        QVERIFY(parser.bufferedBytes() < Quorvane::kFrameOverheadBytes + Quorvane::kMaxLenId);
    }
}

void TestPackSim::faultTargets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("allowAll");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("ordinal"); // 0 = every one
    QTest::newRow("data:5") << "data:5" << false << true << int(Kind::Data) << 5;
    QTest::newRow("init:all") << "init:all" << false << true << int(Kind::Init) << 0;
    QTest::newRow("END") << "END" << false << true << int(Kind::End) << 0;
    QTest::newRow("all for the checksum") << "all" << true << true << int(Kind::Unknown) << 0;
    QTest::newRow("all for silence") << "all" << false << false << 0 << 0;
    QTest::newRow("data:0") << "data:0" << false << false << 0 << 0;
    QTest::newRow("data:x") << "data:x" << false << false << 0 << 0;
    QTest::newRow("bogus:1") << "bogus:1" << false << false << 0 << 0;
    QTest::newRow("data:1:2") << "data:1:2" << false << false << 0 << 0;
    QTest::newRow("empty") << "" << false << false << 0 << 0;
}

void TestPackSim::faultTargets()
{
    QFETCH(QString, text);
    QFETCH(bool, allowAll);
    QFETCH(bool, ok);
    QFETCH(int, kind);
    QFETCH(int, ordinal);
    PackSim::FaultTarget target;
    QString error;
    QCOMPARE(PackSim::parseFaultTarget(text, allowAll, &target, &error), ok);
    if (!ok) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QCOMPARE(int(target.kind), kind);
    QCOMPARE(target.everyOrdinal, ordinal == 0);
    if (ordinal)
        QCOMPARE(target.ordinal, ordinal);
}

void TestPackSim::firmwareHelpers()
{
    QCOMPARE(PackSim::firmwareBytes(5000, 9), PackSim::firmwareBytes(5000, 9));
    QVERIFY(PackSim::firmwareBytes(5000, 9) != PackSim::firmwareBytes(5000, 10));
    QCOMPARE(PackSim::packetCountFor(32768), 16);
    QCOMPARE(PackSim::packetCountFor(32772), 16);
    QCOMPARE(PackSim::packetCountFor(32773), 17);
    const QByteArray file = PackSim::firmwareBytes(32773, 4);
    const QByteArray image = PackSim::expectedImage(file);
    QCOMPARE(image.size(), 4 + 17 * 2048);
    QVERIFY(image.startsWith(file));
    QCOMPARE(image.mid(file.size()), QByteArray(2047, '\0'));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("BMS_V2.1.07_/fw.bin"));
    QString error;
    QVERIFY(!PackSim::writeFirmwareFile(path, 100, 1, &error)); // no such folder
    QVERIFY(!error.isEmpty());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("BMS_V2.1.07_")));
    QVERIFY(PackSim::writeFirmwareFile(path, 32768, 1, &error));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll() == PackSim::firmwareBytes(32768, 1));
}

QTEST_GUILESS_MAIN(TestPackSim)
#include "tst_packsim.moc"
