// quorvane-flash --verify: after a confirmed end the pack restarts into its new firmware (silent
// for a while, or gone from the port and back) and is asked its version again.
#include "constants.h"
#include "flashrig.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using PackSim::AfterImage;
using PackSim::PackSimulator;

class TestFlashVerify : public FlashRig
{
    Q_OBJECT

private slots:
    void verify_data();
    void verify();
};

void TestFlashVerify::verify_data()
{
    QTest::addColumn<QString>("restart"); // off:MS (silent, the port stays), replug:MS, or mute
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("versionAfter"); // empty: null in the record

    const QString v3 = QStringLiteral("BMS_V3.0.00_2027");
    QTest::newRow("verified") << "off:1500" << QStringList{"--expect-version", "BMS_V3"} << 0 << "verified"
                              << v3;
    QTest::newRow("verified_replugged") << "replug:800" << QStringList() << 0 << "verified" << v3;
    QTest::newRow("wrong_version") << "off:1500" << QStringList{"--expect-version", "BMS_V4"} << 10
                                   << "wrong_version" << v3;
    QTest::newRow("no_version_after")
        << "mute" << QStringList{"--verify-timeout", "2"} << 11 << "no_version_after"
        << "";
}

void TestFlashVerify::verify()
{
    QFETCH(QString, restart);
    QFETCH(QStringList, extra);
    QFETCH(int, code);
    QFETCH(QString, outcome);
    QFETCH(QString, versionAfter);

    PackSimulator pack;
    pack.setReportViolationsOnStderr(false);
    const QString link = m_dir->filePath(QStringLiteral("ttyPACK"));
    QVERIFY2(pack.openPty(link), qPrintable(pack.errorString()));
    pack.setVersionAfterImage(QStringLiteral("BMS_V3.0.00_2027"));
    const int ms = restart.section(QLatin1Char(':'), 1).toInt();
    if (restart == QLatin1String("mute")) {
        for (int query = Quorvane::kVersionQueryCopies + 1; query < 200; ++query) {
            pack.setSilent(PackSim::Kind::Version, query); // answers only the first query's copies
        }
    } else {
        pack.setAfterImage(
            restart.startsWith(QLatin1String("off")) ? AfterImage::PowerCycle : AfterImage::Replug, ms);
    }
    const QString image = writeImage(QString::fromLatin1(PackSimulator::kDefaultVersionText), 32768, 2);
    const QString record = m_dir->filePath(QStringLiteral("downloads.jsonl"));
    const RunResult r = run(QStringList{"--verify", "--record", record, "--port", link} + extra << image);
    QVERIFY2(r.exitCode == code,
             qPrintable(QStringLiteral("exit %1\n%2\n%3").arg(r.exitCode).arg(r.out, r.err)));
    QVERIFY2(r.out.contains(outcome), qPrintable(r.out));
    QVERIFY(pack.image() == PackSim::expectedImage(PackSim::firmwareBytes(32768, 2)));

    // The report and the record hold the same one line, written once the check is over.
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 1);
    for (const QJsonObject &o :
         {r.report.first().toObject(), QJsonDocument::fromJson(lines.first()).object()}) {
        QCOMPARE(o.value(QStringLiteral("outcome")).toString(), outcome);
        const QJsonValue after = o.value(QStringLiteral("version_after"));
        QCOMPARE(after.isNull(), versionAfter.isEmpty());
        QCOMPARE(after.toString(), versionAfter);
    }
}

QTEST_GUILESS_MAIN(TestFlashVerify)
#include "tst_flashverify.moc"
