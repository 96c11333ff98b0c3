// The whole download in the real window against the pack simulator on a pseudo-terminal: the image
// must arrive byte for byte, on a clean line and on a bad one, and the two timers must pace the
// init and end commands as the pack expects. Each test function runs as a ctest test of its own. The
// rig's ticks are short (DownloadRig::kFastTickMs); the spacing tests run on the real second.
#include "downloadrig.h"
#include "window/windowtestsupport.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSignalSpy>

using PackSim::Kind;

namespace {

constexpr int kTickMs = Quorvane::kUpgradeTickMs;
constexpr int kSlackMs = 300; // scheduling slack on a busy machine
constexpr int kTimeoutMs = 20000;
// sha256 of the frames of framesAsBefore(), as the window wrote them before the state machine.
const char kFramesDigest[] = "99464a8078d9a08966fab978491a23fc5381258d1a6f4292974f3655b6259c3f";

bool near(qint64 value, qint64 expected)
{
    return qAbs(value - expected) <= kSlackMs;
}

} // namespace

class TestDownload : public DownloadFixture
{
    Q_OBJECT

private slots:
    void wholeImage_data();
    void wholeImage();
    void everyFrameAndLine();
    void badLineStillDelivers_data();
    void badLineStillDelivers();
    void silentPackGetsFiveInits();
    void silentEndGetsFourEnds();
    void endAnsweredAfterSecondCopy();
    void infoRepliesDoNotAdvance();
    void framesAsBefore();

private:
    bool startAndFinish();
};

// Start, then wait for the completion line.
bool TestDownload::startAndFinish()
{
    m_rig->watchCompletion();
    m_rig->click("btnStart");
    return EventWait::until([&] { return m_rig->completions == 1; }, kTimeoutMs);
}

void TestDownload::wholeImage_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("packets");
    QTest::newRow("16 packets") << qint64(32768) << 16;
    QTest::newRow("17 packets, 2047 zero bytes") << qint64(32773) << 17;
    QTest::newRow("300 packets") << qint64(4 + 299 * 2048 + 1) << 300;
}

void TestDownload::wholeImage()
{
    QFETCH(qint64, size);
    QFETCH(int, packets);
    QVERIFY(m_rig->load(size, quint32(size)));
    QVERIFY(startAndFinish());

    QCOMPARE(m_rig->pack.imagesWritten(), 1);
    QVERIFY(m_rig->pack.image() == PackSim::expectedImage(m_rig->fileBytes));
    QCOMPARE(m_rig->pack.violations(), QStringList());
    QCOMPARE(m_rig->pack.commandCount(Kind::Data), packets);
    const QList<PackSim::ReceivedFrame> ends = m_rig->frames(Kind::End);
    QCOMPARE(ends.size(), 1);
    QCOMPARE(ends.first().word, quint16(packets)); // 300 goes out as 01 2C
    QCOMPARE(ends.first().bytes.mid(5, 2),
             QByteArray::fromHex(QByteArray::number(packets, 16).rightJustified(4, '0')));
    QCOMPARE(m_rig->progress()->value(), packets);
}

// The 16-packet download in detail: frames, words, writes, log lines and timing of the commands.
void TestDownload::everyFrameAndLine()
{
    QVERIFY(m_rig->load(32768, 3));
    const qint64 clickMs = m_rig->pack.elapsedMs();
    QVERIFY(startAndFinish());

    const QList<PackSim::ReceivedFrame> inits = m_rig->frames(Kind::Init);
    QCOMPARE(inits.size(), 1);
    QCOMPARE(inits.first().bytes, QByteArray::fromHex("bc32353031aaaa333230303030464342460d"));
    QVERIFY2(near(inits.first().elapsedMs - clickMs, m_rig->tickMs()),
             "the first init goes out a tick after Start");

    const QList<PackSim::ReceivedFrame> data = m_rig->frames(Kind::Data);
    QCOMPARE(data.size(), 16);
    const QByteArray image = PackSim::expectedImage(m_rig->fileBytes);
    for (int i = 0; i < data.size(); ++i) {
        QCOMPARE(data[i].bytes.size(), 2066);
        QCOMPARE(data[i].word, quint16(i));
        QCOMPARE(data[i].bytes.mid(5, 2),
                 QByteArray::fromHex(QByteArray::number(i, 16).rightJustified(4, '0')));
        QVERIFY(data[i].bytes.mid(13, 2048) == image.mid(4 + 2048 * i, 2048));
    }

    const QList<PackSim::ReceivedFrame> ends = m_rig->frames(Kind::End);
    QCOMPARE(ends.size(), 1);
    QCOMPARE(ends.first().bytes.size(), 22);
    QCOMPARE(ends.first().bytes.mid(5, 2), QByteArray::fromHex("0010"));
    QCOMPARE(ends.first().bytes.mid(13, 4), m_rig->fileBytes.left(4));
    QVERIFY2(near(ends.first().elapsedMs - data.last().elapsedMs, m_rig->tickMs()),
             "the end command a tick after the last ack");

    // Log, newest first: the completion line, then packets 15 down to 0.
    QCOMPARE(m_rig->log()->count(), 17);
    QVERIFY(m_rig->log()->item(0)->text().endsWith(completedText()));
    const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d"));
    for (int row = 1; row <= 16; ++row) {
        const QString line = m_rig->log()->item(row)->text();
        QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
        QCOMPARE(line.mid(12), sentText(16 - row, 16));
    }
    QCOMPARE(m_rig->progress()->value(), 16);
    QVERIFY(!m_rig->initTimer()->isActive());
    QVERIFY(!m_rig->endTimer()->isActive());
    QCOMPARE(m_rig->answerer.boxes().size(), 0);
}

void TestDownload::badLineStillDelivers_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("byteByByte");
    QTest::addColumn<int>("noise");
    QTest::newRow("split replies") << 0 << true << 0;
    QTest::newRow("delayed replies") << 30 << false << 0;
    QTest::newRow("noise before replies") << 0 << false << 37;
    QTest::newRow("all of it") << 10 << true << 11;
}

void TestDownload::badLineStillDelivers()
{
    QFETCH(int, delayMs);
    QFETCH(bool, byteByByte);
    QFETCH(int, noise);
    m_rig->pack.setReplyDelay(delayMs);
    m_rig->pack.setByteByByte(byteByByte, 0);
    m_rig->pack.setNoiseBytes(noise);
    m_rig->exchange().setTickMs(200); // a slow answer still comes before the next tick
    QVERIFY(m_rig->load(32773, 9));
    QVERIFY(startAndFinish());
    QCOMPARE(m_rig->pack.imagesWritten(), 1);
    QVERIFY(m_rig->pack.image() == PackSim::expectedImage(m_rig->fileBytes));
    QCOMPARE(m_rig->pack.commandCount(Kind::Data), 17);
    QCOMPARE(m_rig->pack.commandCount(Kind::End), 1);
    QCOMPARE(m_rig->pack.violations(), QStringList());
}

void TestDownload::silentPackGetsFiveInits()
{
    m_rig->useRealTicks();
    m_rig->pack.setSilentAll(Kind::Init);
    QVERIFY(m_rig->load(32768));
    QSignalSpy ticks(m_rig->initTimer(), &QTimer::timeout);
    const qint64 clickMs = m_rig->pack.elapsedMs();
    m_rig->click("btnStart");
    // Two ticks past the fifth send: the timer keeps ticking, nothing more goes out.
    QVERIFY(EventWait::until([&] { return ticks.count() == 7; }, kTimeoutMs));

    const QList<PackSim::ReceivedFrame> inits = m_rig->frames(Kind::Init);
    QCOMPARE(inits.size(), 5);
    for (int i = 0; i < inits.size(); ++i) {
        QCOMPARE(inits[i].bytes.size(), 18);
        QVERIFY2(near(inits[i].elapsedMs - clickMs, kTickMs * (i + 1)), qPrintable(QString::number(i)));
    }
    QCOMPARE(m_rig->pack.totalCommands(), 5 + 5); // Start's five version queries, then the inits
    QVERIFY(m_rig->initTimer()->isActive());
    QCOMPARE(m_rig->exchange().state().initSends, 5);
    // The tick after the fifth send tells the user, once.
    QCOMPARE(m_rig->log()->count(), 1);
    QVERIFY(m_rig->log()->item(0)->text().endsWith(
        QStringLiteral("The pack did not answer the start of the download. Check the cable and the baud "
                       "rate, then press Start DownLoad again.")));
    QCOMPARE(m_rig->answerer.boxes().size(), 0);
}

void TestDownload::silentEndGetsFourEnds()
{
    m_rig->useRealTicks();
    m_rig->pack.setNoEndReply(true);
    QVERIFY(m_rig->load(32768));
    qint64 lastAckMs = -1;
    QObject::connect(&m_rig->pack, &PackSim::PackSimulator::replySent, &m_rig->pack, [&](Kind kind) {
        if (kind == Kind::Data) {
            lastAckMs = m_rig->pack.elapsedMs();
        }
    });
    qint64 completedMs = -1;
    QObject::connect(m_rig->log()->model(), &QAbstractItemModel::rowsInserted, m_rig->log(), [&] {
        if (m_rig->log()->item(0)->text().endsWith(completedText())) {
            completedMs = m_rig->pack.elapsedMs();
        }
    });
    QVERIFY(startAndFinish());

    const QList<PackSim::ReceivedFrame> ends = m_rig->frames(Kind::End);
    QCOMPARE(ends.size(), 4);
    for (int i = 0; i < ends.size(); ++i) {
        QCOMPARE(ends[i].bytes.size(), 22);
        QVERIFY2(near(ends[i].elapsedMs - lastAckMs, kTickMs * (i + 1)), qPrintable(QString::number(i)));
    }
    QVERIFY2(near(completedMs - lastAckMs, 5 * kTickMs),
             qPrintable(QString::number(completedMs - lastAckMs)));
    QVERIFY(!m_rig->endTimer()->isActive());
    QCOMPARE(m_rig->progress()->value(), 16);
    QCOMPARE(m_rig->logLines(completedText()), 1);
    // The completion line stays, with the notice after it, on top (the log being newest first).
    QVERIFY(m_rig->log()->item(1)->text().endsWith(completedText()));
    QVERIFY(m_rig->log()->item(0)->text().endsWith(
        QStringLiteral("The pack did not confirm the end of the download. Press Get Version to see which "
                       "firmware it runs.")));
    QCOMPARE(m_rig->pack.imagesWritten(), 4); // every end command closes the image anew
    QVERIFY(m_rig->pack.image() == PackSim::expectedImage(m_rig->fileBytes));
    const QList<QJsonObject> records = DownloadRig::records();
    QCOMPARE(records.size(), 1);
    QCOMPARE(records.first().value(QStringLiteral("outcome")).toString(), QStringLiteral("unconfirmed"));
    QCOMPARE(records.first().value(QStringLiteral("end_sends")).toInt(), 4);
}

void TestDownload::endAnsweredAfterSecondCopy()
{
    m_rig->pack.setEndReplyAfter(2);
    QVERIFY(m_rig->load(32768));
    QVERIFY(startAndFinish());
    QCOMPARE(m_rig->frames(Kind::End).size(), 2);
    // Only the end timer sends end commands, and the reply has stopped it.
    QVERIFY(!m_rig->endTimer()->isActive());
    QCOMPARE(m_rig->logLines(completedText()), 1);
    QCOMPARE(m_rig->progress()->value(), 16);

    // One record, telling what a service engineer would want to know afterwards.
    const QList<QJsonObject> records = DownloadRig::records();
    QCOMPARE(records.size(), 1);
    const QJsonObject r = records.first();
    QCOMPARE(r.value(QStringLiteral("outcome")).toString(), QStringLiteral("confirmed"));
    QCOMPARE(r.value(QStringLiteral("pack_version")).toString(), DownloadRig::versionDir());
    QCOMPARE(r.value(QStringLiteral("version_source")).toString(), QStringLiteral("pack"));
    QCOMPARE(r.value(QStringLiteral("port")).toString(), m_rig->pack.slavePath());
    QCOMPARE(r.value(QStringLiteral("baud")).toInt(), 9600);
    QCOMPARE(r.value(QStringLiteral("size")).toInt(), 32768);
    QCOMPARE(r.value(QStringLiteral("sha256")).toString().toLatin1(),
             QCryptographicHash::hash(m_rig->fileBytes, QCryptographicHash::Sha256).toHex());
    QCOMPARE(r.value(QStringLiteral("packets")).toInt(), 16);
    QCOMPARE(r.value(QStringLiteral("init_sends")).toInt(), 1);
    QCOMPARE(r.value(QStringLiteral("end_sends")).toInt(), 2);
    QVERIFY(r.value(QStringLiteral("file")).toString().endsWith(QStringLiteral("fw_32768.bin")));
    const QDateTime started =
        QDateTime::fromString(r.value(QStringLiteral("started")).toString(), Qt::ISODateWithMs);
    const QDateTime ended =
        QDateTime::fromString(r.value(QStringLiteral("ended")).toString(), Qt::ISODateWithMs);
    QVERIFY(started.isValid() && ended.isValid());
    QVERIFY(started.msecsTo(ended) >
            2 * m_rig->tickMs()); // the first init and the end command wait a tick each
}

void TestDownload::infoRepliesDoNotAdvance()
{
    m_rig->pack.setInfoReplies(true);
    QVERIFY(m_rig->load(32768));
    QSignalSpy infoReplies(&m_rig->exchange(), &Download::Exchange::infoReply);
    m_rig->click("btnStart");
    QVERIFY(EventWait::until([&] { return infoReplies.count() == 2; }, kTimeoutMs)); // both taken
    QCOMPARE(m_rig->pack.commandCount(Kind::Data), 0);
    QCOMPARE(m_rig->log()->count(), 0);
    QVERIFY(m_rig->initTimer()->isActive());
    QCOMPARE(m_rig->exchange().state().pending, eFuncUpgradaInit);
}

QTEST_MAIN(TestDownload)
// The bytes a pack receives over a whole download (17 packets, the end answered after its second
// copy) are the same as those of the window before its download became a state machine: the
// digest of every received frame, in order, was taken from that earlier build. Start's five
// version queries go before them.
void TestDownload::framesAsBefore()
{
    m_rig->pack.setEndReplyAfter(2);
    QVERIFY(m_rig->load(32773, 5));
    QVERIFY(startAndFinish());
    QByteArray all;
    QStringList kinds;
    const QList<PackSim::ReceivedFrame> received = m_rig->pack.receivedFrames();
    QCOMPARE(m_rig->frames(Kind::Version).size(), 5);
    for (const PackSim::ReceivedFrame &frame : received.mid(5)) {
        all += frame.bytes;
        kinds << QString::number(static_cast<int>(frame.kind));
    }
    QCOMPARE(m_rig->frames(Kind::Init).size(), 1);
    QCOMPARE(m_rig->frames(Kind::Data).size(), 17);
    QCOMPARE(m_rig->frames(Kind::End).size(), 2);
    QCOMPARE(all.size(), 18 + 17 * 2066 + 2 * 22);
    const QByteArray digest = QCryptographicHash::hash(all, QCryptographicHash::Sha256).toHex();
    qInfo("frames %s: sha256 %s", qPrintable(kinds.join(QLatin1Char(','))), digest.constData());
    QCOMPARE(digest, QByteArray(kFramesDigest));
}

#include "tst_download.moc"
