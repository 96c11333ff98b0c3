// Answers counted only for the command they answer, in the real window against packs that answer
// late, drop what comes while they erase, or refuse a packet. The ticks are shortened to 100 ms so
// a late pack (110 ms) and an eraser (250 ms) play out in a few seconds, at the same proportions as
// a pack 1.1 s late or erasing for 2.5 s against one-second ticks.
#include "downloadrig.h"
#include "settings.h"

#include <QSettings>

using PackSim::Kind;

namespace {

constexpr int kTickMs = 100;
constexpr int kTimeoutMs = 20000;

} // namespace

class TestDownloadPairing : public DownloadFixture
{
    Q_OBJECT

private slots:
    void pairedDownloads_data();
    void pairedDownloads();
};

void TestDownloadPairing::pairedDownloads_data()
{
    QTest::addColumn<QString>("pack"); // late, late-no-end, erase, refuse
    QTest::addColumn<int>("retries");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("notice"); // the start of the notice line, if there is one

    QTest::newRow("late pack") << "late" << 0 << "confirmed"
                               << "";
    QTest::newRow("late pack that never answers the end")
        << "late-no-end" << 0 << "unconfirmed"
        << "The pack did not confirm the end of the download.";
    QTest::newRow("eraser deaf after the init") << "erase" << 0 << "confirmed"
                                                << "";
    QTest::newRow("refused packet") << "refuse" << 0 << "refused"
                                    << "The pack refused package 5 (return code 02).";
    QTest::newRow("refused packet, retries=1") << "refuse" << 1 << "confirmed"
                                               << "";
}

void TestDownloadPairing::pairedDownloads()
{
    QFETCH(QString, pack);
    QFETCH(int, retries);
    QFETCH(QString, outcome);
    QFETCH(QString, notice);

    DownloadRig &rig = *m_rig;
    rig.exchange().setTickMs(kTickMs);
    if (pack.startsWith(QLatin1String("late"))) {
        rig.pack.setLate(Kind::Init, kTickMs * 11 / 10);
        rig.pack.setLate(Kind::End, kTickMs * 11 / 10);
        rig.pack.setNoEndReply(pack.endsWith(QLatin1String("no-end")));
    } else if (pack == QLatin1String("erase")) {
        rig.pack.setBusy(Kind::Init, kTickMs * 25 / 10);
    } else {
        rig.pack.setRefuse(Kind::Data, 6, 0x02); // packet 5
    }
    {
        QSettings config(Settings::configPath(), QSettings::IniFormat);
        config.setValue(QStringLiteral("connectInfo/retries"), retries);
    }
    QVERIFY(rig.load(32768));
    rig.watchCompletion();
    rig.click("btnStart");
    QVERIFY(EventWait::until([] { return !DownloadRig::records().isEmpty(); }, kTimeoutMs));

    const QJsonObject record = DownloadRig::records().last();
    QCOMPARE(record.value(QStringLiteral("outcome")).toString(), outcome);
    if (outcome == QLatin1String("refused")) {
        QCOMPARE(rig.pack.commandCount(Kind::End), 0); // nothing ends on a pack that refused a packet
        QCOMPARE(rig.completions, 0);
    } else {
        // Every packet reached the pack, once and in order, whether or not it confirmed the end.
        QCOMPARE(rig.pack.packetsReceived(), 16);
        QVERIFY(EventWait::until([&] { return rig.pack.imagesWritten() >= 1; }, kTimeoutMs));
        QCOMPARE(rig.pack.image(), PackSim::expectedImage(rig.fileBytes));
        QCOMPARE(rig.pack.violationCount(), 0);
        QVERIFY(rig.completions >= 1);
    }
    if (pack.startsWith(QLatin1String("late"))) {
        QVERIFY(record.value(QStringLiteral("stale_answers")).toInt() >= 1); // the second init's answer
    }
    if (pack == QLatin1String("erase")) {
        QVERIFY(rig.pack.droppedFrames() >= 1);
    }
    // Notices are the log's bold lines: none for a download that went well, else the one expected.
    int notices = 0;
    for (int row = 0; row < rig.log()->count(); ++row) {
        notices += rig.log()->item(row)->font().bold() ? 1 : 0;
    }
    QCOMPARE(notices, notice.isEmpty() ? 0 : 1);
    if (!notice.isEmpty()) {
        QCOMPARE(rig.logLines(notice), 1);
    }
}

QTEST_MAIN(TestDownloadPairing)
#include "tst_downloadpairing.moc"
