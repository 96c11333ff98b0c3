// What quorvane-flash checks before it touches a port, run for real against a pack simulator on a
// pseudo-terminal that must hear nothing: the image, the --json report's place, the station's
// firmware folder; and a report on standard output that cannot get there.
#include "flashrig.h"

#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

using PackSim::PackSimulator;

class TestFlashChecks : public FlashRig
{
    Q_OBJECT

private slots:
    void beforeAnyPort_data();
    void beforeAnyPort();
    void reportOnStdoutLost_data();
    void reportOnStdoutLost();
};

void TestFlashChecks::beforeAnyPort_data()
{
    QTest::addColumn<QString>("arguments"); // PACK: the pack's port; DIR: the test's folder
    QTest::addColumn<QString>("report");    // below DIR
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    QTest::addColumn<int>("rows"); // in the report

    const QString image = QStringLiteral("DIR/%1/fw_SIZE.bin").arg(PackSimulator::kDefaultVersionText);
    QTest::newRow("image not found") << "--baud 19200 --port PACK DIR/fw_32768.bin"
                                     << "report.json" << 4 << "DIR/fw_32768.bin: not found" << 1;
    QTest::newRow("image too short") << "--baud 19200 --port PACK " + QString(image).replace("SIZE", "32767")
                                     << "report.json" << 4 << "the file is too short" << 1;
    QTest::newRow("report folder missing")
        << "--port PACK " + QString(image).replace("SIZE", "32768") << "none/report.json" << 9
        << "quorvane-flash: report not written: DIR/none/report.json: the folder DIR/none does not exist"
        << 0;
    QTest::newRow("report is a folder")
        << "--port PACK " + QString(image).replace("SIZE", "32768") << "fw" << 9 << "DIR/fw is a folder" << 0;
    QTest::newRow("station: no firmware folder")
        << "--station --firmware-dir DIR/none --port PACK"
        << "report.json" << 1 << "quorvane-flash: --firmware-dir DIR/none: no such folder" << 0;
    QTest::newRow("station: firmware folder is a file")
        << "--station --firmware-dir " + QString(image).replace("SIZE", "32768") + " --port PACK"
        << "report.json" << 1 << "fw_32768.bin: not a folder" << 0;
    QTest::newRow("station: report folder missing")
        << "--station --firmware-dir DIR --port PACK"
        << "none/report.json" << 9 << "the folder DIR/none does not exist" << 0;
}

void TestFlashChecks::beforeAnyPort()
{
    QFETCH(QString, arguments);
    QFETCH(QString, report);
    QFETCH(int, code);
    QFETCH(QString, says);
    QFETCH(int, rows);
    std::unique_ptr<PackSimulator> pack = newPack();
    QVERIFY(pack);
    const QString version = QString::fromLatin1(PackSimulator::kDefaultVersionText);
    QVERIFY(!writeImage(version, 32768, 3).isEmpty() && !writeImage(version, 32767, 3).isEmpty());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("fw")));
    const QString dir = m_dir->path();
    QStringList words = arguments.split(QLatin1Char(' '));
    for (QString &word : words) {
        word.replace(QLatin1String("PACK"), pack->slavePath()).replace(QLatin1String("DIR"), dir);
    }
    const RunResult r = run(words, m_dir->filePath(report));
    QVERIFY2(r.exitCode == code,
             qPrintable(QStringLiteral("exit %1\n%2\n%3").arg(r.exitCode).arg(r.out, r.err)));
    QVERIFY2((r.out + r.err).contains(says.replace(QLatin1String("DIR"), dir)), qPrintable(r.out + r.err));
    QCOMPARE(pack->totalCommands(), 0); // the port was never opened
    QCOMPARE(r.report.size(), rows);
    if (rows > 0) {
        // A refused row says what the command line gave and its own exit code.
        const QJsonObject o = r.report.first().toObject();
        QCOMPARE(o.value(QStringLiteral("outcome")).toString(), QStringLiteral("image_refused"));
        QCOMPARE(o.value(QStringLiteral("exit_code")).toInt(), 4);
        QCOMPARE(o.value(QStringLiteral("baud")).toInt(), 19200);
        QCOMPARE(o.value(QStringLiteral("port")).toString(), pack->slavePath());
        QVERIFY(!o.value(QStringLiteral("program_version")).toString().isEmpty());
    }
}

void TestFlashChecks::reportOnStdoutLost_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("says");
    QTest::newRow("a full device") << "/dev/full"
                                   << "report not written: standard output: disk full";
    QTest::newRow("a closed pipe") << "pipe"
                                   << "report not written: standard output: Broken pipe";
}

// --json - whose standard output refuses the report: exit 9 with the reason, never success.
void TestFlashChecks::reportOnStdoutLost()
{
    QFETCH(QString, output);
    QFETCH(QString, says);
    int pipeEnds[2] = {-1, -1};
    if (output == QLatin1String("pipe")) {
        QCOMPARE(::pipe(pipeEnds), 0);
        ::close(pipeEnds[0]); // nobody will read it
        output = QStringLiteral("/proc/self/fd/%1").arg(pipeEnds[1]);
    }
    QProcess process;
    process.setStandardOutputFile(output); // opened here, before the program starts
    QSignalSpy finished(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished));
    // A missing image: refused at once, so the report is all the program writes to its output.
    process.start(QString::fromUtf8(quorvaneFlashExe),
                  {QStringLiteral("--json"), QStringLiteral("-"), QStringLiteral("--port"),
                   QStringLiteral("/dev/quorvane-none"), m_dir->filePath(QStringLiteral("none.bin"))});
    QVERIFY(finished.wait(kRunTimeoutMs));
    if (pipeEnds[1] >= 0) {
        ::close(pipeEnds[1]);
    }
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 9);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(says), qPrintable(err));
}

QTEST_GUILESS_MAIN(TestFlashChecks)
#include "tst_flashchecks.moc"
