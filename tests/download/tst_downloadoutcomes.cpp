// What the user sees when a download goes wrong, in the real window against the pack simulator:
// the notices in the log, the refusals while a download runs, the question before flashing a pack
// that has not reported its version, and the record each outcome leaves.
#include "downloadrig.h"
#include "settings.h"

#include <QSignalSpy>
#include <QStatusBar>

using PackSim::Kind;

namespace {

constexpr int kTimeoutMs = 20000;

QString lastLine(DownloadRig &rig)
{
    return rig.log()->count() > 0 ? rig.log()->item(0)->text() : QString();
}

} // namespace

class TestDownloadOutcomes : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_rig.reset(); }

    void stallNoticeThenLoadAllowed();
    void refusalsWhileRunning();
    void unreportedVersionAsksFirst();
    void adapterPulledDuringDownload();

private:
    std::unique_ptr<DownloadRig> m_rig;
};

void TestDownloadOutcomes::init()
{
    m_rig = std::make_unique<DownloadRig>();
    QVERIFY2(m_rig->error().isEmpty(), qPrintable(m_rig->error()));
}

// The pack goes silent at packet 3: five seconds later the log says so, the record says
// "stalled", and Load File is allowed again.
void TestDownloadOutcomes::stallNoticeThenLoadAllowed()
{
    QVERIFY(m_rig->openPort());
    m_rig->pack.setSilent(Kind::Data, 4);
    QVERIFY(m_rig->load(32768));
    m_rig->click("btnStart");
    QVERIFY(EventWait::until([&] { return m_rig->pack.commandCount(Kind::Data) == 4; }, kTimeoutMs));
    QElapsedTimer clock;
    clock.start();
    const QString notice =
        QStringLiteral("No answer from the pack for package 3 in 5 s. Check the cable, then "
                       "press Start DownLoad to begin again.");
    QVERIFY(EventWait::until([&] { return lastLine(*m_rig).endsWith(notice); }, kTimeoutMs));
    QVERIFY2(qAbs(clock.elapsed() - 5000) < 500, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_rig->pack.commandCount(Kind::Data), 4); // no resend
    QCOMPARE(DownloadRig::records().size(), 1);
    QCOMPARE(DownloadRig::records().first().value(QStringLiteral("outcome")).toString(),
             QStringLiteral("stalled"));
    QCOMPARE(DownloadRig::records().first().value(QStringLiteral("packets_acknowledged")).toInt(), 3);

    QVERIFY(m_rig->load(40000, 2));
    QCOMPARE(m_rig->answerer.boxes().size(), 0);
}

// While a download runs, Get Version, Load File and closing the window are refused or asked
// about, and none of them puts a byte on the line or touches the image.
void TestDownloadOutcomes::refusalsWhileRunning()
{
    QVERIFY(m_rig->openPort());
    m_rig->pack.setSilent(Kind::Data, 2); // holds the transfer at packet 1 (for five seconds)
    QVERIFY(m_rig->load(32768));
    const QByteArray image = MainWindowTestAccess::image(m_rig->window);
    m_rig->click("btnStart");
    QVERIFY(EventWait::until([&] { return m_rig->pack.commandCount(Kind::Data) == 2; }, kTimeoutMs));
    const int commands = m_rig->pack.totalCommands();
    m_rig->answerer.clear();

    m_rig->click("btnGetVer");
    m_rig->click("btnFileLoad");
    QVERIFY(!m_rig->window.close()); // the question's default: No
    QCOMPARE(m_rig->answerer.fileDialogs().size(), 0);
    const QList<ModalAnswerer::Seen> boxes = m_rig->answerer.boxes();
    QCOMPARE(boxes.size(), 3);
    QCOMPARE(boxes[0].title, QStringLiteral("Information"));
    QCOMPARE(boxes[0].text, QStringLiteral("A download is running. Get the version when it has finished."));
    QCOMPARE(boxes[1].title, QStringLiteral("Warning"));
    QCOMPARE(boxes[1].text, QStringLiteral("A download is running. Load a file when it has finished."));
    QCOMPARE(boxes[2].text, QStringLiteral("A download is running. Close the window anyway?"));
    QVERIFY(m_rig->window.isVisible());
    QCOMPARE(m_rig->exchange().state().pending, eFuncUpgrada);
    QVERIFY(MainWindowTestAccess::image(m_rig->window) == image);
    QCOMPARE(m_rig->pack.totalCommands(), commands);

    m_rig->answerer.answerQuestion(true);
    QVERIFY(m_rig->window.close());
    QCOMPARE(DownloadRig::records().size(), 1);
    QCOMPARE(DownloadRig::records().first().value(QStringLiteral("outcome")).toString(),
             QStringLiteral("interrupted"));
}

// The version in use came from config.ini (the pack does not answer the query): Start asks, No
// sends nothing, Yes starts the handshake.
void TestDownloadOutcomes::unreportedVersionAsksFirst()
{
    Settings::setVersion(DownloadRig::versionDir());
    m_rig->pack.setSilentAll(Kind::Version);
    m_rig->click("btn_openConsole");
    QVERIFY(EventWait::until([&] { return m_rig->pack.commandCount(Kind::Version) == 5; }, kTimeoutMs));
    QVERIFY(m_rig->load(32768));
    m_rig->answerer.clear();
    m_rig->exchange().setVersionWaitMs(300); // Start asks once more, and hears nothing either

    m_rig->click("btnStart");
    QVERIFY(EventWait::until([&] { return m_rig->answerer.boxes().size() == 1; }, kTimeoutMs));
    QCOMPARE(m_rig->answerer.boxes().first().title, QStringLiteral("Warning"));
    QCOMPARE(m_rig->answerer.boxes().first().text,
             QStringLiteral("The pack has not reported its version. Download fw_32768.bin anyway?"));
    QVERIFY(!m_rig->initTimer()->isActive());

    m_rig->answerer.answerQuestion(true);
    m_rig->click("btnStart");
    QVERIFY(EventWait::until([&] { return m_rig->pack.commandCount(Kind::Init) == 1; }, kTimeoutMs));
    m_rig->answerer.answerQuestion(true); // "Close the port and stop it?"
    m_rig->click("btn_openConsole");      // closes the port: the download ends
    const QList<QJsonObject> records = DownloadRig::records();
    QCOMPARE(records.size(), 1);
    QCOMPARE(records.first().value(QStringLiteral("outcome")).toString(), QStringLiteral("link_lost"));
    QCOMPARE(records.first().value(QStringLiteral("version_source")).toString(),
             QStringLiteral("config.ini"));
    QVERIFY(records.first().value(QStringLiteral("pack_version")).isNull());
}

void TestDownloadOutcomes::adapterPulledDuringDownload()
{
    QVERIFY(m_rig->openPort());
    m_rig->pack.setSilent(Kind::Data, 3);
    QVERIFY(m_rig->load(32768));
    m_rig->click("btnStart");
    QVERIFY(EventWait::until([&] { return m_rig->pack.commandCount(Kind::Data) == 3; }, kTimeoutMs));
    m_rig->pack.pullAdapter();
    const QString notice =
        QStringLiteral("The serial port was lost during the download. Reconnect, open the port "
                       "and press Start DownLoad again.");
    QVERIFY(EventWait::until([&] { return lastLine(*m_rig).endsWith(notice); }, kTimeoutMs));
    QVERIFY(!MainWindowTestAccess::portOpen(m_rig->window));
    QVERIFY(!m_rig->exchange().running());
    QCOMPARE(DownloadRig::records().size(), 1);
    QCOMPARE(DownloadRig::records().first().value(QStringLiteral("outcome")).toString(),
             QStringLiteral("link_lost"));
}

QTEST_MAIN(TestDownloadOutcomes)
#include "tst_downloadoutcomes.moc"
