// quorvane-flash against packs whose answers could be taken for the wrong command: a pack that
// answers the init and the end 1.1 s late (after the next copy went out), one that drops what comes
// while it erases, and one that refuses a packet. Each run is judged by what the pack holds.
#include "flashrig.h"

#include <QJsonObject>
#include <QtTest>

using PackSim::Kind;
using PackSim::PackSimulator;

class TestFlashPairing : public FlashRig
{
    Q_OBJECT

private slots:
    void packs_data();
    void packs();
};

void TestFlashPairing::packs_data()
{
    QTest::addColumn<QString>("pack"); // late, late-no-end, erase, refuse
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("line"); // in the output

    QTest::newRow("late") << "late" << QStringList() << 0 << "confirmed";
    QTest::newRow("late_no_end") << "late-no-end" << QStringList() << 8 << "unconfirmed";
    QTest::newRow("erase") << "erase" << QStringList() << 0 << "confirmed";
    QTest::newRow("refused") << "refuse" << QStringList() << 12
                             << "the pack refused package 5 (return code 02)";
    QTest::newRow("refused_retried") << "refuse" << QStringList{"--retries", "1"} << 0 << "confirmed";
}

void TestFlashPairing::packs()
{
    QFETCH(QString, pack);
    QFETCH(QStringList, extra);
    QFETCH(int, code);
    QFETCH(QString, line);

    std::unique_ptr<PackSimulator> sim = newPack();
    QVERIFY(sim);
    if (pack.startsWith(QLatin1String("late"))) {
        sim->setLate(Kind::Init, 1100);
        sim->setLate(Kind::End, 1100);
        sim->setNoEndReply(pack.endsWith(QLatin1String("no-end")));
    } else if (pack == QLatin1String("erase")) {
        sim->setBusy(Kind::Init, 2500);
    } else {
        sim->setRefuse(Kind::Data, 6, 0x02);
    }
    const QString image = writeImage(QString::fromLatin1(PackSimulator::kDefaultVersionText), 32768, 7);
    const RunResult r = run(extra << QStringLiteral("--port") << sim->slavePath() << image);
    QVERIFY2(r.exitCode == code,
             qPrintable(QStringLiteral("exit %1\n%2\n%3").arg(r.exitCode).arg(r.out, r.err)));
    QVERIFY2(r.out.contains(line), qPrintable(r.out));
    QCOMPARE(r.report.size(), 1);
    const QJsonObject o = r.report.first().toObject();
    if (code == 12) {
        QCOMPARE(o.value(QStringLiteral("outcome")).toString(), QStringLiteral("refused"));
        QCOMPARE(sim->commandCount(Kind::End), 0);
        return;
    }
    // Every packet went once and in order, and the image the pack holds is the file's.
    QCOMPARE(sim->packetsReceived(), 16);
    QVERIFY(sim->image() == PackSim::expectedImage(PackSim::firmwareBytes(32768, 7)));
    QCOMPARE(sim->violationCount(), 0);
    QCOMPARE(o.value(QStringLiteral("stale_answers")).toInt() > 0, pack.startsWith(QLatin1String("late")));
}

QTEST_GUILESS_MAIN(TestFlashPairing)
#include "tst_flashpairing.moc"
