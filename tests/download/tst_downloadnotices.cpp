// What the window tells while a download runs or cannot start, in English and in Chinese, in the
// real window against the pack simulator: the questions before Start DownLoad and Close Serial stop
// a running download, the reason a port did not open, whole, in the log and the status bar, a
// version query nobody answers, and an end the pack does not confirm.
#include "downloadrig.h"

#include <QComboBox>
#include <QScrollBar>
#include <QSerialPort>
#include <QStatusBar>
#include <QTranslator>

using PackSim::Kind;

namespace {

constexpr int kTimeoutMs = 20000;
constexpr int kReplyDelayMs = 100; // ms: sixteen packets take long enough to click in between

// The rows of one text: the language (0 English, 1 Chinese) and the text in it; the Chinese is the
// translation's unless given (tst_resources holds the translation to the very text).
void addRows(const char *english, const char *chinese = nullptr)
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("text");
    QTranslator translation;
    QVERIFY(translation.load(QStringLiteral(":/language/Quorvane_zh_CN.qm")));
    QTest::newRow("English") << 0 << QString::fromUtf8(english);
    QTest::newRow("Chinese") << 1
                             << (chinese ? QString::fromUtf8(chinese)
                                         : translation.translate("MainWindow", english));
}

} // namespace

class TestDownloadNotices : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_rig.reset(); }

    void startAsksWhileRunning_data()
    {
        addRows("A download is running. Stop it and start again from the first package?");
    }
    void startAsksWhileRunning() { answerNoWhileRunning("btnStart", "start"); }
    void closeSerialAsksWhileRunning_data() { addRows("A download is running. Close the port and stop it?"); }
    void closeSerialAsksWhileRunning() { answerNoWhileRunning("btn_openConsole", "close"); }
    void busyPortNamesItsHolder_data()
    {
        addRows(
            "Cannot open %1: %2. The port is in use by %3. Close that program, then press Open Serial again.",
            "无法打开%1：%2。串口正被%3占用。请关闭该程序，然后再次点击打开串口。");
    }
    void busyPortNamesItsHolder();
    void versionUnanswered_data()
    {
        addRows(
            "The pack did not report its version. Check the cable and the baud rate, then press Get Version "
            "again.");
    }
    void versionUnanswered();
    void versionUnansweredAfterAnAnswer();
    void endUnconfirmedOnTop_data()
    {
        addRows(
            "The pack did not confirm the end of the download. Press Get Version to see which firmware it "
            "runs.");
    }
    void endUnconfirmedOnTop();

private:
    void setLanguage(int language) { m_rig->widget<QComboBox>("cbxLanguage")->setCurrentIndex(language); }
    void answerNoWhileRunning(const char *button, const char *picture);

    std::unique_ptr<DownloadRig> m_rig;
};

void TestDownloadNotices::init()
{
    m_rig = std::make_unique<DownloadRig>();
    QVERIFY2(m_rig->error().isEmpty(), qPrintable(m_rig->error()));
}

// Start DownLoad and Close Serial ask while packets go over; No (the default) leaves the download as
// it was: every packet once, in order, one init, the port open, the end confirmed.
void TestDownloadNotices::answerNoWhileRunning(const char *button, const char *picture)
{
    QFETCH(int, language);
    QFETCH(QString, text);
    QVERIFY(m_rig->openPort());
    setLanguage(language);
    m_rig->pack.setReplyDelay(kReplyDelayMs);
    m_rig->exchange().setTickMs(3 * kReplyDelayMs); // the init answered before a second one is due
    QVERIFY(m_rig->load(32768));
    m_rig->click("btnStart");
    QVERIFY(EventWait::until([&] { return m_rig->pack.commandCount(Kind::Data) == 3; }, kTimeoutMs));
    m_rig->answerer.clear();
    m_rig->answerer.setBeforeAnswer([&](QWidget *box) {
        shoot(m_rig->window, QStringLiteral("%1-question-%2").arg(picture, language ? "zh" : "en"), box);
    });
    m_rig->click(button);

    QCOMPARE(m_rig->answerer.boxes().size(), 1);
    QCOMPARE(m_rig->answerer.boxes().first().title,
             language == 0 ? QStringLiteral("Warning") : QStringLiteral("警告"));
    QCOMPARE(m_rig->answerer.boxes().first().text, text);
    QVERIFY(MainWindowTestAccess::portOpen(m_rig->window));
    QVERIFY(MainWindowTestAccess::exchange(m_rig->window).running());

    QVERIFY(EventWait::until([&] { return !DownloadRig::records().isEmpty(); }, kTimeoutMs));
    QCOMPARE(m_rig->pack.commandCount(Kind::Init), 1);
    const QList<PackSim::ReceivedFrame> data = m_rig->frames(Kind::Data);
    QCOMPARE(data.size(), 16);
    for (int i = 0; i < data.size(); ++i) {
        QCOMPARE(int(data[i].word), i);
    }
    QVERIFY(m_rig->pack.image() == PackSim::expectedImage(m_rig->fileBytes));
    QCOMPARE(DownloadRig::records().size(), 1);
    QCOMPARE(DownloadRig::records().first().value(QStringLiteral("outcome")).toString(),
             QStringLiteral("confirmed"));
}

// Another program holds the port (here this test, through its own port object and Qt's lock file):
// the log and the status bar's tooltip carry the whole reason, with the holder, and no group advice.
// The log line wraps at the window's width and keeps its separator after the time stamp.
void TestDownloadNotices::busyPortNamesItsHolder()
{
    QFETCH(int, language);
    QFETCH(QString, text);
    setLanguage(language);
    QSerialPort holder(m_rig->pack.slavePath());
    QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));
    m_rig->click("btn_openConsole");
    QVERIFY(!MainWindowTestAccess::portOpen(m_rig->window));

    const QString who = QStringLiteral("%1 (pid %2)")
                            .arg(QCoreApplication::applicationName())
                            .arg(QCoreApplication::applicationPid());
    // The system's reason, in Chinese the translation's words for a busy port.
    const QString reason = language ? QStringLiteral("串口忙或已被占用")
                                    : MainWindowTestAccess::exchange(m_rig->window).openError();
    const QString message = text.arg(m_rig->pack.slavePath(), reason, who);
    QCOMPARE(m_rig->window.statusBar()->currentMessage(), message);
    QCOMPARE(m_rig->window.statusBar()->toolTip(), message);
    QListWidget *log = m_rig->log();
    QCOMPARE(log->count(), 1);
    const QString line = log->item(0)->text();
    QCOMPARE(line.mid(12, 3), QStringLiteral(":  ")); // after the time stamp, as ":  Update completed"
    QCOMPARE(line.mid(15), message);

    // Whole at 637 px: no horizontal scroll bar, the row tall enough for the wrapped text.
    QCOMPARE(m_rig->window.width(), 637);
    QCoreApplication::processEvents();
    QVERIFY(!log->horizontalScrollBar()->isVisible());
    const QRect row = log->visualItemRect(log->item(0));
    const int oneLine = log->fontMetrics().height();
    const QRect needed =
        log->fontMetrics().boundingRect(QRect(0, 0, row.width() - 6, 0), Qt::TextWordWrap, line);
    QVERIFY2(row.height() >= needed.height() && needed.height() > oneLine,
             qPrintable(QStringLiteral("row %1 px, text %2 px").arg(row.height()).arg(needed.height())));
    QVERIFY(row.right() <= log->viewport()->width());
}

// A pack that never answers the version query (a wrong baud rate, a bad cable): 3 s after the last
// query the log says so, after the time stamp's separator.
void TestDownloadNotices::versionUnanswered()
{
    QFETCH(int, language);
    QFETCH(QString, text);
    setLanguage(language);
    m_rig->pack.setSilentAll(Kind::Version);
    qint64 lastQueryMs = -1;
    QObject::connect(&m_rig->pack, &PackSim::PackSimulator::commandReceived, &m_rig->pack,
                     [&] { lastQueryMs = m_rig->pack.elapsedMs(); });
    m_rig->click("btn_openConsole");
    QVERIFY(EventWait::until([&] { return m_rig->log()->count() == 1; }, kTimeoutMs));
    const qint64 waitedMs = m_rig->pack.elapsedMs() - lastQueryMs;
    QVERIFY2(qAbs(waitedMs - 3000) < 300, qPrintable(QString::number(waitedMs)));
    QCOMPARE(m_rig->pack.commandCount(Kind::Version), 5);
    QCOMPARE(m_rig->log()->item(0)->text().mid(12), QStringLiteral(":  ") + text);
    shoot(m_rig->window, QStringLiteral("version-unanswered-%1").arg(language ? "zh" : "en"));
}

// A pack that answered when the port was opened and has since gone quiet (its cable pulled from
// the pack, the adapter still in): Get Version is not left without an answer either.
void TestDownloadNotices::versionUnansweredAfterAnAnswer()
{
    QVERIFY(m_rig->openPort());
    QCOMPARE(m_rig->log()->count(), 0);
    m_rig->exchange().setVersionWaitMs(300); // the 3 s themselves: versionUnanswered
    m_rig->pack.setSilentAll(Kind::Version);
    m_rig->click("btnGetVer");
    QVERIFY(EventWait::until([&] { return m_rig->log()->count() == 1; }, kTimeoutMs));
    QCOMPARE(m_rig->pack.commandCount(Kind::Version), 5);
    QVERIFY(m_rig->log()->item(0)->text().contains(QStringLiteral("did not report its version")));
}

// The pack answers none of the four end commands: the completion line stays, and the notice above
// it, the newest line, says what to do.
void TestDownloadNotices::endUnconfirmedOnTop()
{
    QFETCH(int, language);
    QFETCH(QString, text);
    QVERIFY(m_rig->openPort());
    setLanguage(language);
    m_rig->pack.setNoEndReply(true);
    QVERIFY(m_rig->load(32768));
    m_rig->click("btnStart");
    QVERIFY(EventWait::until([&] { return !DownloadRig::records().isEmpty(); }, kTimeoutMs));
    QCOMPARE(m_rig->pack.commandCount(Kind::End), 4);
    QCOMPARE(m_rig->log()->item(1)->text().mid(12), language ? QStringLiteral("更新完成") : completedText());
    QCOMPARE(m_rig->log()->item(0)->text().mid(12), QStringLiteral(":  ") + text);
    QCOMPARE(m_rig->progress()->value(), 16);
    QCOMPARE(DownloadRig::records().first().value(QStringLiteral("outcome")).toString(),
             QStringLiteral("unconfirmed"));
    shoot(m_rig->window, QStringLiteral("end-unconfirmed-%1").arg(language ? "zh" : "en"));
}

QTEST_MAIN(TestDownloadNotices)
#include "tst_downloadnotices.moc"
