// A station port in this process against a simulated pack that restarts into its new firmware:
// with the check after the update, the port shows "verifying", then the version now running, and
// the result says whether it is the one expected.
#include "firmwarestore.h"
#include "packsimulator.h"
#include "stationport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestStationPort : public QObject
{
    Q_OBJECT

private slots:
    void checkAfterTheUpdate_data();
    void checkAfterTheUpdate();
};

void TestStationPort::checkAfterTheUpdate_data()
{
    QTest::addColumn<QString>("expect");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<int>("code");
    QTest::newRow("verified") << "BMS_V3"
                              << "verified" << 0;
    QTest::newRow("wrong_version") << "BMS_V4"
                                   << "wrong_version" << 10;
}

void TestStationPort::checkAfterTheUpdate()
{
    QFETCH(QString, expect);
    QFETCH(QString, outcome);
    QFETCH(int, code);
    QTemporaryDir dir;
    const QByteArray bytes = PackSim::firmwareBytes(32768, 5);
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("fw/BMS_V2.1.07_2026")));
    QFile file(dir.filePath(QStringLiteral("fw/BMS_V2.1.07_2026/bms.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    PackSim::PackSimulator pack;
    pack.setReportViolationsOnStderr(false);
    QVERIFY(pack.openPty());
    pack.setVersionAfterImage(QStringLiteral("BMS_V3.0.00_2027"));
    pack.setAfterImage(PackSim::AfterImage::PowerCycle, 1200); // silent while it restarts

    Download::FirmwareStore store(0);
    Download::StationSettings settings;
    settings.firmwareDir = dir.filePath(QStringLiteral("fw"));
    settings.recordFile = dir.filePath(QStringLiteral("downloads.jsonl"));
    settings.verify = true;
    settings.expectVersion = expect;
    Download::StationPort port(pack.slavePath(), settings, &store);
    QList<Download::PortResult> results;
    connect(&port, &Download::StationPort::packDone, this,
            [&results](const Download::PortResult &result) { results << result; });
    bool sawVerifying = false;
    connect(&port, &Download::StationPort::changed, this,
            [&] { sawVerifying = sawVerifying || port.row().phase == Download::StationPhase::Verifying; });
    port.start();
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 20000);
    QVERIFY2(sawVerifying,
             qPrintable(results.first().record.outcome + QLatin1Char(' ') + results.first().failure));
    QCOMPARE(results.first().record.outcome, outcome);
    QCOMPARE(results.first().exitCode, code);
    QCOMPARE(results.first().record.versionAfter, QStringLiteral("BMS_V3.0.00_2027"));
    QVERIFY(pack.image() == PackSim::expectedImage(bytes));
    const Download::StationRow row = port.row();
    QCOMPARE(row.phase, Download::StationPhase::Leaving); // the result stays while the pack is there
    QVERIFY(row.packPresent);
    QCOMPARE(row.versionAfter, QStringLiteral("BMS_V3.0.00_2027"));
    QCOMPARE(row.outcome, outcome);
    // The record holds the one line, written once the check was over.
    QFile record(settings.recordFile);
    QVERIFY(record.open(QIODevice::ReadOnly));
    const QByteArray line = record.readAll();
    QCOMPARE(line.count('\n'), 1);
    QVERIFY(line.contains("\"version_after\":\"BMS_V3.0.00_2027\""));
    port.interrupt();
    QVERIFY(port.stopped());
}

QTEST_GUILESS_MAIN(TestStationPort)
#include "tst_stationport.moc"
