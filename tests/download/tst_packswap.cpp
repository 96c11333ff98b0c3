// The adapter stays in and its cable moves from pack to pack behind the open port: Start DownLoad
// asks the pack on the line for its version before anything of the image goes out. A pack the
// loaded file fits is updated (and its version is the one shown, kept and recorded); another is
// refused with the mismatch box; one that says nothing is the user's call.
#include "downloadrig.h"

using PackSim::Kind;

namespace {
constexpr int kTimeoutMs = 20000;
constexpr int kTickMs = 20;         // ms, the init and end ticks here
constexpr int kVersionWaitMs = 400; // ms, the wait for the version here
const char kFirstPack[] = "BMS_V2.1.07_2026";
} // namespace

class TestPackSwap : public DownloadFixture
{
    Q_OBJECT

private slots:
    void swappedBehindOpenPort_data();
    void swappedBehindOpenPort();
};

void TestPackSwap::swappedBehindOpenPort_data()
{
    QTest::addColumn<QString>("newPack"); // the version the pack now on the line reports; empty: none
    QTest::addColumn<bool>("answerYes");  // to "Download anyway?"
    QTest::addColumn<QString>("box");     // the box Start shows; empty: none
    QTest::addColumn<bool>("downloads");
    const QString mismatch =
        QStringLiteral("The version number of the upgraded file does not match the actual version number");
    const QString unverified =
        QStringLiteral("The pack has not reported its version. Download fw_32768.bin anyway?");
    // Another pack of the same firmware line: the file fits it.
    QTest::newRow("matching pack") << "BMS_V2.1.07_2027" << false << "" << true;
    QTest::newRow("same pack") << kFirstPack << false << "" << true;
    QTest::newRow("other version") << "BMS_V3.0.00_2027" << false << mismatch << false;
    QTest::newRow("silent pack, No") << "" << false << unverified << false;
    QTest::newRow("silent pack, Yes") << "" << true << unverified << true;
}

void TestPackSwap::swappedBehindOpenPort()
{
    QFETCH(QString, newPack);
    QFETCH(bool, answerYes);
    QFETCH(QString, box);
    QFETCH(bool, downloads);
    DownloadRig &rig = *m_rig;
    rig.exchange().setTickMs(kTickMs);
    rig.exchange().setVersionWaitMs(kVersionWaitMs);
    QVERIFY(rig.load(32768));
    QCOMPARE(rig.widget<QLineEdit>("leVer")->text(), QString::fromLatin1(kFirstPack));

    // The cable goes to the next pack; the port stays open.
    if (newPack.isEmpty()) {
        rig.pack.setSilentAll(Kind::Version);
    } else {
        QVERIFY(rig.pack.setVersionText(newPack));
    }
    rig.pack.resetCounters();
    rig.answerer.clear();
    rig.answerer.answerQuestion(answerYes);
    QSignalSpy finished(&rig.exchange(), &Download::Exchange::finished);
    rig.click("btnStart");
    QVERIFY(!rig.widget<QPushButton>("btnStart")->isEnabled()); // waiting for the pack
    QCOMPARE(rig.pack.commandCount(Kind::Init), 0);

    if (downloads) {
        QVERIFY(EventWait::until([&] { return finished.count() == 1; }, kTimeoutMs));
    } else {
        QVERIFY(EventWait::until([&] { return !rig.answerer.boxes().isEmpty(); }, kTimeoutMs));
    }
    QVERIFY(rig.widget<QPushButton>("btnStart")->isEnabled());
    QCOMPARE(rig.answerer.boxes().size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty()) {
        QCOMPARE(rig.answerer.boxes().first().title, QStringLiteral("Warning"));
        QCOMPARE(rig.answerer.boxes().first().text, box);
    }
    // The five questions went out before anything else.
    QCOMPARE(rig.pack.commandCount(Kind::Version), 5);
    const QList<PackSim::ReceivedFrame> frames = rig.pack.receivedFrames();
    for (int i = 0; i < qMin(5, frames.size()); ++i) {
        QCOMPARE(frames[i].kind, Kind::Version);
    }
    if (!newPack.isEmpty()) {
        // The pack's answer is the version from now on, shown, kept and (below) recorded.
        QCOMPARE(rig.widget<QLineEdit>("leVer")->text(), newPack);
        QCOMPARE(MainWindowTestAccess::version(rig.window), newPack);
        QSettings settings(DownloadRig::configPath(), QSettings::IniFormat);
        QCOMPARE(settings.value(QStringLiteral("connectInfo/version")).toString(), newPack.left(12));
    }

    if (!downloads) {
        if (!newPack.isEmpty()) {
            QCOMPARE(rig.answerer.boxes().first().informative,
                     QStringLiteral("The file's path must contain %1.").arg(newPack.left(12)));
        }
        QCOMPARE(rig.pack.commandCount(Kind::Init), 0);
        QVERIFY(!rig.initTimer()->isActive());
        QVERIFY(!rig.exchange().running());
        QVERIFY(DownloadRig::records().isEmpty());
        return;
    }
    QCOMPARE(frames.size(), 5 + 1 + 16 + 1); // then init, the packets and the end, as ever
    QCOMPARE(frames[5].kind, Kind::Init);
    QCOMPARE(frames.last().kind, Kind::End);
    QVERIFY(rig.pack.image() == PackSim::expectedImage(rig.fileBytes));
    const QJsonObject record = DownloadRig::records().value(0);
    QCOMPARE(record.value(QStringLiteral("outcome")).toString(), QStringLiteral("confirmed"));
    if (!newPack.isEmpty()) {
        QCOMPARE(record.value(QStringLiteral("pack_version")).toString(), newPack);
        QCOMPARE(record.value(QStringLiteral("version_source")).toString(), QStringLiteral("pack"));
    }
}

QTEST_MAIN(TestPackSwap)
#include "tst_packswap.moc"
