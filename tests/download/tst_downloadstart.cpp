// Start's checks and the rows of the download's transition table that a clean run never visits:
// Start with the port closed, after the path was edited, with no image, during a transfer and
// during the end phase; the port closed while the end command is still due.
#include "downloadrig.h"

#include <QSignalSpy>

using PackSim::Kind;

namespace {
constexpr int kTimeoutMs = 20000;
}

class TestDownloadStart : public DownloadFixture
{
    Q_OBJECT

private slots:
    void portClosed();
    void pathEditedAfterLoad();
    void noImageLoaded();
    void startDuringTransfer();
    void startAgainDuringEndPhase();
    void closingThePortStopsTheDownload();
};

void TestDownloadStart::portClosed()
{
    QVERIFY(m_rig->load(32768));
    m_rig->click("btn_openConsole"); // closes it
    QVERIFY(!MainWindowTestAccess::portOpen(m_rig->window));
    m_rig->click("btnStart");

    QCOMPARE(m_rig->answerer.boxes().size(), 1);
    QCOMPARE(m_rig->answerer.boxes().first().title, QStringLiteral("Information"));
    QCOMPARE(m_rig->answerer.boxes().first().text, QStringLiteral("Please open the serial port first!"));
    // Only the init timer sends the init command: nothing goes out.
    QVERIFY(!m_rig->initTimer()->isActive());
    QCOMPARE(m_rig->log()->count(), 1); // the load's line stays
}

void TestDownloadStart::pathEditedAfterLoad()
{
    QVERIFY(m_rig->load(32768));
    m_rig->widget<QLineEdit>("leFilePath")->setText(QStringLiteral("/tmp/other/firmware.bin"));
    m_rig->click("btnStart");

    QCOMPARE(m_rig->answerer.boxes().size(), 1);
    QCOMPARE(m_rig->answerer.boxes().first().title, QStringLiteral("Warning"));
    QCOMPARE(
        m_rig->answerer.boxes().first().text,
        QStringLiteral("The version number of the upgraded file does not match the actual version number"));
    QCOMPARE(m_rig->answerer.boxes().first().informative,
             QStringLiteral("The file's path must contain %1.").arg(DownloadRig::versionDir().left(12)));
    QVERIFY(!m_rig->initTimer()->isActive());
    QCOMPARE(m_rig->log()->count(), 1);
}

void TestDownloadStart::noImageLoaded()
{
    // A path with the version but no image (or a load cancelled after one): nothing may reach
    // the pack, which would enter its update mode for nothing.
    m_rig->widget<QLineEdit>("leFilePath")->setText(DownloadRig::versionDir() + QStringLiteral("/x.bin"));
    m_rig->click("btnStart");
    QCOMPARE(m_rig->answerer.boxes().size(), 1);
    QCOMPARE(m_rig->answerer.boxes().first().title, QStringLiteral("Warning"));
    QCOMPARE(m_rig->answerer.boxes().first().text, QStringLiteral("Please load a firmware file first!"));
    QVERIFY(!m_rig->initTimer()->isActive());
    QVERIFY(!m_rig->exchange().running());
}

void TestDownloadStart::startDuringTransfer()
{
    m_rig->pack.setSilent(Kind::Data, 5); // the transfer stalls on packet 4
    QVERIFY(m_rig->load(32768, 4));
    m_rig->click("btnStart");
    QVERIFY(EventWait::until([&] { return m_rig->pack.commandCount(Kind::Data) == 5; }, kTimeoutMs));
    QCOMPARE(m_rig->exchange().state().packet, 4u);
    QCOMPARE(m_rig->log()->count(), 5);

    QSignalSpy ticks(m_rig->initTimer(), &QTimer::timeout);
    m_rig->answerer.answerQuestion(true); // "Stop it and start again?"
    m_rig->click("btnStart");
    // The old download stops at once; the new one begins when the pack has told its version.
    QVERIFY(!m_rig->exchange().running());
    QVERIFY(EventWait::until([&] { return m_rig->initTimer()->isActive(); }, kTimeoutMs));
    QCOMPARE(m_rig->log()->count(), 0);
    QCOMPARE(m_rig->progress()->value(), 0);
    QCOMPARE(m_rig->exchange().state().packet, 0u);
    QVERIFY(m_rig->initTimer()->isActive());
    // The old download is over: a late acknowledgement of its packet 4 would send nothing now.
    QVERIFY(!m_rig->endTimer()->isActive());

    m_rig->watchCompletion();
    QVERIFY(EventWait::until([&] { return m_rig->completions == 1; }, kTimeoutMs));
    QCOMPARE(ticks.count(), 1);
    QCOMPARE(m_rig->pack.commandCount(Kind::Init), 2);
    QCOMPARE(m_rig->pack.commandCount(Kind::Data), 5 + 16);
    QVERIFY(m_rig->pack.image() == PackSim::expectedImage(m_rig->fileBytes));
    QCOMPARE(m_rig->logLines(QStringLiteral("Sent package")), 16);
}

// A pack that does not answer the end command, and Start pressed again while the end commands go
// out: the old download ends there, end timer and all. No end command goes out inside the new one
// (where an acknowledgement would be taken for its answer and the window would report completion
// after a few packets); the new one completes on its own replies only.
void TestDownloadStart::startAgainDuringEndPhase()
{
    m_rig->useRealTicks(); // the question is answered between two end commands
    m_rig->pack.setNoEndReply(true);
    QVERIFY(m_rig->load(32768));
    QSignalSpy finished(&m_rig->exchange(), &Download::Exchange::finished);
    m_rig->click("btnStart");
    QVERIFY(EventWait::until([&] { return m_rig->pack.commandCount(Kind::End) == 1; }, kTimeoutMs));

    QList<Kind> after;
    QObject::connect(&m_rig->pack, &PackSim::PackSimulator::commandReceived, &m_rig->pack,
                     [&after](Kind kind) { after.append(kind); });
    m_rig->watchCompletion();
    m_rig->pack.setNoEndReply(false);
    m_rig->answerer.answerQuestion(true); // "Stop it and start again?"
    m_rig->click("btnStart");
    QVERIFY(!m_rig->endTimer()->isActive());
    QVERIFY(EventWait::until([&] { return m_rig->completions == 1; }, kTimeoutMs));

    // The version queries, init, the 16 packets, then the end command that the pack answers.
    QCOMPARE(after.size(), 5 + 1 + 16 + 1);
    QCOMPARE(after.mid(0, 5).count(Kind::Version), 5);
    QCOMPARE(after.at(5), Kind::Init);
    QCOMPARE(after.count(Kind::Data), 16);
    QCOMPARE(after.last(), Kind::End);
    QCOMPARE(m_rig->logLines(sentText(15, 16)), 1);
    QVERIFY(m_rig->pack.image() == PackSim::expectedImage(m_rig->fileBytes));

    // The first download's record counts what it did before it was stopped to start again.
    QCOMPARE(finished.count(), 2);
    const auto first = finished.at(0).at(0).value<Download::Record>();
    QCOMPARE(first.outcome, QStringLiteral("restarted"));
    QCOMPARE(first.packetsAcknowledged, 16u);
    QCOMPARE(first.initSends, 1);
    QCOMPARE(first.endSends, 1);
    QCOMPARE(finished.at(1).at(0).value<Download::Record>().outcome, QStringLiteral("confirmed"));
}

void TestDownloadStart::closingThePortStopsTheDownload()
{
    // Every packet acknowledged, the end command due a second later: the user closes the port.
    m_rig->useRealTicks();
    m_rig->pack.setNoEndReply(true);
    QVERIFY(m_rig->load(32768));
    m_rig->watchCompletion();
    m_rig->click("btnStart");
    QVERIFY(EventWait::until([&] { return m_rig->endTimer()->isActive(); }, kTimeoutMs));
    m_rig->answerer.answerQuestion(true); // "Close the port and stop it?"
    m_rig->click("btn_openConsole");
    QVERIFY(!MainWindowTestAccess::portOpen(m_rig->window));
    QVERIFY(!m_rig->endTimer()->isActive());
    QVERIFY(!m_rig->initTimer()->isActive());

    // Longer than the four end ticks and the completion tick would take: no completion is claimed.
    QTest::qWait(5500);
    QCOMPARE(m_rig->completions, 0);
    QCOMPARE(m_rig->pack.commandCount(Kind::End), 0);
}

QTEST_MAIN(TestDownloadStart)
#include "tst_downloadstart.moc"
