// The widget-free pieces around the download: the record file and the bounded receive buffer.
#include "codec.h"
#include "constants.h"
#include "downloadrecord.h"
#include "link.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

namespace {

Download::Record sampleRecord()
{
    Download::Record r;
    r.started = QDateTime(QDate(2026, 12, 8), QTime(9, 30, 0, 125), Qt::OffsetFromUTC, 8 * 3600);
    r.ended = r.started.addMSecs(12345);
    r.port = QStringLiteral("/dev/ttyUSB0");
    r.baud = 115200;
    r.versionSource = Download::VersionSource::ConfigIni;
    r.file = QStringLiteral("/fw/BMS_V2.1.07_/image.bin");
    r.size = 32772;
    r.sha256 = QStringLiteral("ab");
    r.packets = 16;
    r.packetsAcknowledged = 16;
    r.initSends = 1;
    r.endSends = 4;
    r.outcome = QStringLiteral("unconfirmed");
    r.programVersion = QStringLiteral("1.0.0");
    return r;
}

QList<QJsonObject> readLines(const QString &path)
{
    QFile file(path);
    QList<QJsonObject> objects;
    if (!file.open(QIODevice::ReadOnly)) {
        return objects;
    }
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (doc.isObject()) {
            objects << doc.object();
        }
    }
    return objects;
}

double cpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

class TestRecordAndLink : public QObject
{
    Q_OBJECT

private slots:
    void recordFields();
    void recordAppendsAfterATornLine();
    void recordInUnwritableFolder();
    void receiveBufferStaysBounded_data();
    void receiveBufferStaysBounded();
    void noiseFloodThenReply();
    void framesGoInChunks_data();
    void framesGoInChunks();
};

void TestRecordAndLink::recordFields()
{
    const QJsonObject o = Download::toJson(sampleRecord());
    QCOMPARE(o.value(QStringLiteral("started")).toString(), QStringLiteral("2026-12-08T09:30:00.125+08:00"));
    QCOMPARE(o.value(QStringLiteral("ended")).toString(), QStringLiteral("2026-12-08T09:30:12.470+08:00"));
    QCOMPARE(o.value(QStringLiteral("seconds")).toDouble(), 12.345);
    QVERIFY(o.value(QStringLiteral("pack_version")).isNull());
    QCOMPARE(o.value(QStringLiteral("baud")).toInt(), 115200);
    const QStringList keys{"started",        "ended",     "port",    "baud",    "pack_version",
                           "version_source", "file",      "size",    "sha256",  "packets",
                           "init_sends",     "end_sends", "outcome", "seconds", "program_version"};
    for (const QString &key : keys) {
        QVERIFY2(o.contains(key), qPrintable(key));
    }

    Download::Record reported = sampleRecord();
    reported.packVersion = QStringLiteral("BMS_V2.1.07_2026");
    QCOMPARE(Download::toJson(reported).value(QStringLiteral("pack_version")).toString(),
             reported.packVersion);
}

void TestRecordAndLink::recordAppendsAfterATornLine()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("downloads.jsonl"));
    QString error;
    QVERIFY(Download::appendRecord(path, sampleRecord(), &error));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("{\"started\":\"2026-12-08T09:"); // a crash in the middle of a line
    }
    QVERIFY(Download::appendRecord(path, sampleRecord(), &error));
    QVERIFY(Download::appendRecord(path, sampleRecord(), &error));
    QCOMPARE(readLines(path).size(), 3);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().endsWith("}\n"));
}

void TestRecordAndLink::recordInUnwritableFolder()
{
    QString error;
    QVERIFY(
        !Download::appendRecord(QStringLiteral("/proc/no-such-dir/downloads.jsonl"), sampleRecord(), &error));
    QVERIFY(!error.isEmpty());
}

void TestRecordAndLink::receiveBufferStaysBounded_data()
{
    QTest::addColumn<int>("startChars");
    QTest::addColumn<int>("readBytes");
    QTest::addColumn<int>("expectedChars");

    QTest::newRow("small read, small buffer") << 100 << 18 << 136;
    QTest::newRow("over the cap: oldest 1024 dropped first") << 7200 << 18 << 7200 - 1024 + 36;
    QTest::newRow("7170: oldest 1024 dropped") << 7170 << 2 << 7170 - 1024 + 4;
    QTest::newRow("7168: nothing dropped") << 7168 << 2 << 7168 + 4;
    QTest::newRow("one huge read") << 0 << 4 * 1024 * 1024 << Quorvane::kRecvMaxChars;
    QTest::newRow("full buffer, odd excess stays whole bytes")
        << Quorvane::kRecvMaxChars - 2 << 3 << Quorvane::kRecvMaxChars - 1024 + 4;
}

void TestRecordAndLink::receiveBufferStaysBounded()
{
    QFETCH(int, startChars);
    QFETCH(int, readBytes);
    QFETCH(int, expectedChars);

    QByteArray recv(startChars, 'A');
    Link::appendReceived(recv, QByteArray(readBytes, '\x55'));
    QCOMPARE(recv.size(), expectedChars);
    QVERIFY(recv.size() % 2 == 0 || startChars % 2 == 1);
    QVERIFY(recv.endsWith("55"));
}

// 4 MiB of noise in reads of the sizes a serial driver hands over, then an acknowledgement: the
// buffer never grows past its bound, the reply is found, and it all costs well under a second.
void TestRecordAndLink::noiseFloodThenReply()
{
    QRandomGenerator gen(7);
    QByteArray noise(4 * 1024 * 1024, Qt::Uninitialized);
    for (char &c : noise) {
        c = static_cast<char>(gen.bounded(256));
    }
    const QByteArray ack = Codec::buildAsciiFrame(QByteArray(), 0x4A, 0x00, 0x01, 0x25);
    QCOMPARE(ack.size(), 18);

    QByteArray recv;
    int largest = 0;
    const double cpuStart = cpuSeconds();
    QByteArray info;
    int found = 0;
    for (int at = 0; at < noise.size(); at += 4096) {
        Link::appendReceived(recv, noise.mid(at, 4096));
        largest = qMax(largest, recv.size());
        while (Codec::takeNextFrame(recv, &info)) {
        }
    }
    Link::appendReceived(recv, noise.left(100) + ack);
    while (Codec::takeNextFrame(recv, &info)) {
        ++found;
    }
    const double cpu = cpuSeconds() - cpuStart;
    qInfo("4 MiB of noise: %.3f s of CPU, buffer at most %d characters", cpu, largest);
    QVERIFY(largest <= Quorvane::kRecvMaxChars);
    QVERIFY2(cpu < 1.0, qPrintable(QString::number(cpu)));
    QVERIFY(found >= 1);
    QVERIFY(info.isEmpty());
}

namespace {

// A device that keeps the size of every write it is handed.
class WriteLog : public QIODevice
{
public:
    QList<int> writes;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 size) override
    {
        writes.append(static_cast<int>(size));
        return size;
    }
};

} // namespace

void TestRecordAndLink::framesGoInChunks_data()
{
    QTest::addColumn<int>("frameBytes");
    QTest::addColumn<QList<int>>("writes");

    QTest::newRow("data frame: eight of 256 and one of 18")
        << 2066 << QList<int>{256, 256, 256, 256, 256, 256, 256, 256, 18};
    QTest::newRow("exactly 512: two writes") << 512 << QList<int>{256, 256};
    QTest::newRow("short command: one write") << 18 << QList<int>{18};
}

void TestRecordAndLink::framesGoInChunks()
{
    QFETCH(int, frameBytes);
    QFETCH(QList<int>, writes);
    WriteLog device;
    QVERIFY(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QCOMPARE(Link::writeInChunks(device, QByteArray(frameBytes, 'x')), qint64(frameBytes));
    QCOMPARE(device.writes, writes);
    device.close();
    QCOMPARE(Link::writeInChunks(device, QByteArray(18, 'x')), qint64(-1));
}

QTEST_APPLESS_MAIN(TestRecordAndLink)
#include "tst_recordandlink.moc"
