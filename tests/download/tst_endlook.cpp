// How the window shows a download or a version query that went wrong, read from what the user sees:
// every notice in the log is red and bold while the other lines (the completion line among them)
// are not, and a download that ended without confirmation leaves the bar at the packets the pack
// took, as a count, in red, where a confirmed one reads 100 % in the usual colour.
#include "downloadrig.h"

using PackSim::Kind;

namespace {

constexpr int kTimeoutMs = 20000;
constexpr int kTickMs = 20;       // ms, the init and end ticks here
constexpr int kShortWaitMs = 300; // ms, the version wait and the stall deadline here

enum Fault
{
    NoFault,
    EndUnanswered,
    DataUnanswered, // the third packet
    InitUnanswered,
    PulledDuringDownload,
    VersionUnanswered,
    PulledDuringVersion,
    PulledDuringStartsQuestion, // Start asks the pack for its version first
};

bool isRed(const QColor &colour)
{
    return colour.red() > 150 && colour.green() < 80 && colour.blue() < 80;
}

bool drawnAsNotice(const QListWidgetItem *item)
{
    return item->font().bold() && isRed(item->foreground().color());
}

} // namespace

class TestEndLook : public DownloadFixture
{
    Q_OBJECT

private slots:
    void notices_data();
    void notices();
};

void TestEndLook::notices_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("notice"); // how the newest line begins; empty: no notice
    QTest::addColumn<int>("packets");    // the bar's count after a download; -1: no download
    QTest::newRow("confirmed") << int(NoFault) << "" << 16;
    QTest::newRow("end unconfirmed") << int(EndUnanswered) << "The pack did not confirm the end" << 16;
    QTest::newRow("stalled") << int(DataUnanswered) << "No answer from the pack for package 2 " << 2;
    QTest::newRow("init unanswered") << int(InitUnanswered) << "The pack did not answer the start" << 0;
    QTest::newRow("link lost") << int(PulledDuringDownload) << "The serial port was lost during the download"
                               << 2;
    QTest::newRow("version unanswered")
        << int(VersionUnanswered) << "The pack did not report its version" << -1;
    QTest::newRow("port lost during Get Version")
        << int(PulledDuringVersion)
        << "The serial port was lost while the pack was asked for its version. Reconnect, then press Open "
           "Serial again."
        << -1;
    QTest::newRow("port lost during Start's question")
        << int(PulledDuringStartsQuestion) << "The serial port was lost while the pack was asked" << -1;
}

void TestEndLook::notices()
{
    QFETCH(int, fault);
    QFETCH(QString, notice);
    QFETCH(int, packets);
    DownloadRig &rig = *m_rig;
    rig.exchange().setTickMs(kTickMs);
    rig.exchange().setVersionWaitMs(kShortWaitMs);
    rig.exchange().setStallTimeoutMs(kShortWaitMs);
    QSignalSpy finished(&rig.exchange(), &Download::Exchange::finished);

    if (packets < 0) {
        rig.pack.setSilentAll(Kind::Version);
        if (fault == PulledDuringStartsQuestion) {
            QVERIFY(rig.load(32768));
        }
        rig.click(fault == PulledDuringStartsQuestion ? "btnStart" : "btnGetVer");
        if (fault != VersionUnanswered) {
            rig.pack.pullAdapter();
        }
    } else {
        rig.pack.setNoEndReply(fault == EndUnanswered);
        if (fault == DataUnanswered || fault == PulledDuringDownload) {
            rig.pack.setSilent(Kind::Data, 3);
        }
        if (fault == InitUnanswered) {
            rig.pack.setSilentAll(Kind::Init);
        }
        QVERIFY(rig.load(32768));
        rig.click("btnStart");
        if (fault == PulledDuringDownload) {
            QVERIFY(EventWait::until([&] { return rig.pack.commandCount(Kind::Data) == 3; }, kTimeoutMs));
            rig.pack.pullAdapter();
        }
        QVERIFY(EventWait::until([&] { return finished.count() == 1; }, kTimeoutMs));
    }
    QVERIFY(EventWait::until(
        [&] { return rig.log()->count() > 0 && rig.log()->item(0)->text().mid(15).startsWith(notice); },
        kTimeoutMs));

    // The notice, and only the notice, stands out.
    QListWidget *log = rig.log();
    for (int row = 0; row < log->count(); ++row) {
        const bool isNotice = row == 0 && !notice.isEmpty();
        QVERIFY2(drawnAsNotice(log->item(row)) == isNotice, qPrintable(log->item(row)->text()));
    }
    if (fault == EndUnanswered) {
        QVERIFY(log->item(1)->text().endsWith(completedText())); // the completion line stays, below
    }
    if (packets < 0) {
        QVERIFY(rig.widget<QPushButton>("btnStart")->isEnabled());
        QCOMPARE(finished.count(), 0);
        return;
    }

    QProgressBar *bar = rig.progress();
    QCOMPARE(bar->value(), packets);
    const QImage picture = bar->grab().toImage();
    const QColor chunk = picture.pixelColor(4, picture.height() / 2);
    if (fault == NoFault) {
        QCOMPARE(bar->text(), QStringLiteral("100%"));
        QVERIFY2(!isRed(chunk), qPrintable(chunk.name()));
        return;
    }
    QCOMPARE(bar->text(), QStringLiteral("%1/16").arg(packets));
    if (packets > 0) {
        QVERIFY2(isRed(chunk), qPrintable(chunk.name()));
    }
    QCOMPARE(finished.first().first().value<Download::Record>().packetsAcknowledged, quint32(packets));

    // The next Start puts the usual look back.
    if (fault == EndUnanswered) {
        rig.pack.setNoEndReply(false);
        rig.click("btnStart");
        QVERIFY(EventWait::until([&] { return finished.count() == 2; }, kTimeoutMs));
        QCOMPARE(bar->text(), QStringLiteral("100%"));
        QVERIFY(!isRed(bar->grab().toImage().pixelColor(4, picture.height() / 2)));
    }
}

QTEST_MAIN(TestEndLook)
#include "tst_endlook.moc"
