// Start's checks and the rows of the download's transition table that a clean run never visits:
// Start with the port closed, after the path was edited, with no image, during a transfer; a
// repeated acknowledgement of the last packet; an end reply while idle; the port closed while the
// end command is still due.
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
    void repeatedLastAcknowledgement();
    void endReplyWhileIdle();
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
    QVERIFY(!MainWindowTestAccess::download(m_rig->window).running);
}

void TestDownloadStart::startDuringTransfer()
{
    m_rig->pack.setSilent(Kind::Data, 5); // the transfer stalls on packet 4
    QVERIFY(m_rig->load(32768, 4));
    m_rig->click("btnStart");
    QVERIFY(DownloadRig::waitFor([&] { return m_rig->pack.commandCount(Kind::Data) == 5; }, kTimeoutMs));
    QCOMPARE(MainWindowTestAccess::packetId(m_rig->window), 4u);
    QCOMPARE(m_rig->log()->count(), 5);

    QSignalSpy ticks(m_rig->initTimer(), &QTimer::timeout);
    m_rig->answerer.answerQuestion(true); // "Stop it and start again?"
    m_rig->click("btnStart");
    QCOMPARE(m_rig->log()->count(), 0);
    QCOMPARE(m_rig->progress()->value(), 0);
    QCOMPARE(MainWindowTestAccess::packetId(m_rig->window), 0u);
    QVERIFY(m_rig->initTimer()->isActive());
    // Until the first init goes out, a reply still counts as a data acknowledgement.
    QCOMPARE(MainWindowTestAccess::func(m_rig->window), eFuncUpgrada);

    m_rig->watchCompletion();
    QVERIFY(DownloadRig::waitFor([&] { return m_rig->completions == 1; }, kTimeoutMs));
    QCOMPARE(ticks.count(), 1);
    QCOMPARE(m_rig->pack.commandCount(Kind::Init), 2);
    QCOMPARE(m_rig->pack.commandCount(Kind::Data), 5 + 16);
    QVERIFY(m_rig->pack.image() == PackSim::expectedImage(m_rig->fileBytes));
    QCOMPARE(m_rig->logLines(QStringLiteral("Sent package")), 16);
}

void TestDownloadStart::repeatedLastAcknowledgement()
{
    m_rig->pack.setNoEndReply(true);
    QVERIFY(m_rig->load(32768));
    m_rig->click("btnStart");
    QVERIFY(DownloadRig::waitFor([&] { return m_rig->endTimer()->isActive(); }, kTimeoutMs));
    QCOMPARE(MainWindowTestAccess::func(m_rig->window), eFuncUpgrada);
    QVERIFY(DownloadRig::waitFor([&] { return m_rig->pack.commandCount(Kind::End) == 1; }, kTimeoutMs));
    QCOMPARE(MainWindowTestAccess::endCount(m_rig->window), 1);

    // The last packet acknowledged once more (as a pack repeating itself would): the end timer
    // starts over, the end count is back to 0, no data frame and no log line follow.
    MainWindowTestAccess::func(m_rig->window) = eFuncUpgrada;
    const int lines = m_rig->log()->count();
    MainWindowTestAccess::firmwareUpgrad(m_rig->window, eFuncUpgrada);
    QVERIFY(m_rig->endTimer()->isActive());
    QCOMPARE(MainWindowTestAccess::endCount(m_rig->window), 0);
    QCOMPARE(MainWindowTestAccess::packetId(m_rig->window), 15u);
    QCOMPARE(m_rig->log()->count(), lines);

    m_rig->watchCompletion();
    QVERIFY(DownloadRig::waitFor([&] { return m_rig->completions == 1; }, kTimeoutMs));
    QCOMPARE(m_rig->pack.commandCount(Kind::End), 1 + 4);
    QCOMPARE(m_rig->pack.commandCount(Kind::Data), 16);
}

void TestDownloadStart::endReplyWhileIdle()
{
    QVERIFY(m_rig->load(32768));
    m_rig->watchCompletion();
    m_rig->click("btnStart");
    QVERIFY(DownloadRig::waitFor([&] { return m_rig->completions == 1; }, kTimeoutMs));
    m_rig->progress()->setValue(3);

    MainWindowTestAccess::firmwareUpgrad(m_rig->window, eFuncUpgradaEnd);
    QCOMPARE(m_rig->completions, 2);
    QCOMPARE(m_rig->logLines(QStringLiteral(":  Update completed")), 2);
    QCOMPARE(m_rig->progress()->value(), 16);
    QVERIFY(!m_rig->endTimer()->isActive());
    QVERIFY(!m_rig->initTimer()->isActive());
}

void TestDownloadStart::closingThePortStopsTheDownload()
{
    // Every packet acknowledged, the end command due a second later: the user closes the port.
    m_rig->pack.setNoEndReply(true);
    QVERIFY(m_rig->load(32768));
    m_rig->watchCompletion();
    m_rig->click("btnStart");
    QVERIFY(DownloadRig::waitFor([&] { return m_rig->endTimer()->isActive(); }, kTimeoutMs));
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
