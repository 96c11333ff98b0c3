// quorvane-flash as a script runs it: the real program against pack simulators on pseudo-terminals,
// its exit code and its JSON report for every outcome, its frames against the window's, and four
// packs at once.
#include "flashrig.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <vector>

using PackSim::Kind;
using PackSim::PackSimulator;

namespace {

// sha256 of the init, data and end frames a pack receives from the window for a 32773-byte image
// of seed 5 whose end command is answered from its second copy (tests/download/tst_download.cpp).
const char kWindowFramesDigest[] = "99464a8078d9a08966fab978491a23fc5381258d1a6f4292974f3655b6259c3f";

} // namespace

class TestFlash : public FlashRig
{
    Q_OBJECT

private slots:
    void exitCodes_data();
    void exitCodes();
    void framesAsTheWindow();
    void fourPacksAtOnce();
    void signalStopsEveryPort_data();
    void signalStopsEveryPort();
    void closedOutputDoesNotStopTheDownload();
    void reportNotWritten_data();
    void reportNotWritten();
    void reportOnStdoutAlone();
    void sameDeviceUnderTwoNames();
};

void TestFlash::exitCodes_data()
{
    QTest::addColumn<QString>("fault");  // a --silent target, "no-end-reply", "pull:N" (after data N)
    QTest::addColumn<QString>("folder"); // where the image lies
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("outcome");

    const QString good = QString::fromLatin1(PackSimulator::kDefaultVersionText);
    QTest::newRow("confirmed") << "" << good << qint64(32768) << QStringList() << 0 << "confirmed";
    QTest::newRow("bad_command_line") << "" << good << qint64(32768) << QStringList{"--baud", "5"} << 1 << "";
    QTest::newRow("cannot_open") << "" << good << qint64(32768) << QStringList{"--port", "/dev/quorvane-none"}
                                 << 2 << "open_failed";
    QTest::newRow("no_version") << "version:all" << good << qint64(32768) << QStringList() << 3
                                << "no_version";
    QTest::newRow("unverified") << "version:all"
                                << "elsewhere" << qint64(32768) << QStringList{"--unverified"} << 0
                                << "confirmed";
    QTest::newRow("path_without_version")
        << ""
        << "elsewhere" << qint64(32768) << QStringList() << 4 << "image_refused";
    QTest::newRow("too_short") << "" << good << qint64(32767) << QStringList() << 4 << "image_refused";
    QTest::newRow("init_unanswered") << "init:all" << good << qint64(32768) << QStringList() << 5
                                     << "init_unanswered";
    QTest::newRow("stalled") << "data:4" << good << qint64(32768) << QStringList{"--stall-timeout", "1"} << 6
                             << "stalled";
    QTest::newRow("link_lost") << "pull:3" << good << qint64(32768) << QStringList() << 7 << "link_lost";
    QTest::newRow("unconfirmed") << "no-end-reply" << good << qint64(32768) << QStringList() << 8
                                 << "unconfirmed";
}

void TestFlash::exitCodes()
{
    QFETCH(QString, fault);
    QFETCH(QString, folder);
    QFETCH(qint64, size);
    QFETCH(QStringList, extra);
    QFETCH(int, code);
    QFETCH(QString, outcome);

    std::unique_ptr<PackSimulator> pack = newPack();
    QVERIFY(pack);
    QString why;
    QVERIFY2(applyFault(pack.get(), fault, &why), qPrintable(why));
    const QString image = writeImage(folder, size, 3);
    QVERIFY(!image.isEmpty());
    QStringList arguments = extra;
    if (!arguments.contains(QLatin1String("--port"))) {
        arguments << QStringLiteral("--port") << pack->slavePath();
    }
    const RunResult r = run(arguments << image);
    QVERIFY2(r.exitCode == code,
             qPrintable(QStringLiteral("exit %1\n%2\n%3").arg(r.exitCode).arg(r.out, r.err)));
    if (outcome.isEmpty()) {
        QVERIFY(r.err.contains(QLatin1String("--baud must be")));
        return;
    }
    QCOMPARE(r.report.size(), 1);
    const QJsonObject o = r.report.first().toObject();
    QCOMPARE(o.value(QStringLiteral("outcome")).toString(), outcome);
    QCOMPARE(o.value(QStringLiteral("exit_code")).toInt(), code);
    QVERIFY(r.out.contains(outcome)); // the summary table
    if (outcome == QLatin1String("confirmed")) {
        QVERIFY(pack->image() == PackSim::expectedImage(PackSim::firmwareBytes(size, 3)));
        QCOMPARE(o.value(QStringLiteral("packets_acknowledged")).toInt(), 16);
        QCOMPARE(o.value(QStringLiteral("unverified")).toBool(),
                 extra.contains(QLatin1String("--unverified")));
        QCOMPARE(
            o.value(QStringLiteral("sha256")).toString().toLatin1(),
            QCryptographicHash::hash(PackSim::firmwareBytes(size, 3), QCryptographicHash::Sha256).toHex());
    }
    if (code == 4 || code == 5 || code == 6) {
        QVERIFY(pack->commandCount(Kind::End) == 0); // nothing completed on the pack
    }
}

void TestFlash::framesAsTheWindow()
{
    std::unique_ptr<PackSimulator> pack = newPack();
    QVERIFY(pack);
    pack->setEndReplyAfter(2);
    const QString image = writeImage(QString::fromLatin1(PackSimulator::kDefaultVersionText), 32773, 5);
    const RunResult r = run({QStringLiteral("--port"), pack->slavePath(), image});
    QCOMPARE(r.exitCode, 0);
    QByteArray all;
    for (const PackSim::ReceivedFrame &frame : pack->receivedFrames()) {
        if (frame.kind == Kind::Init || frame.kind == Kind::Data || frame.kind == Kind::End) {
            all += frame.bytes;
        }
    }
    QCOMPARE(pack->commandCount(Kind::Version), 5);
    QCOMPARE(QCryptographicHash::hash(all, QCryptographicHash::Sha256).toHex(),
             QByteArray(kWindowFramesDigest));
}

// Four packs, the third silent from packet 5 on: three confirmed with the image byte for byte,
// one stalled, and the program's code is the stalled port's.
void TestFlash::fourPacksAtOnce()
{
    std::vector<std::unique_ptr<PackSimulator>> packs;
    QStringList arguments{QStringLiteral("--stall-timeout"), QStringLiteral("1")};
    for (int i = 0; i < 4; ++i) {
        packs.push_back(newPack());
        QVERIFY(packs.back());
        arguments << QStringLiteral("--port") << packs.back()->slavePath();
    }
    QString why;
    QVERIFY(packs[2]->addSilent(QStringLiteral("data:5"), &why));
    const QString image = writeImage(QString::fromLatin1(PackSimulator::kDefaultVersionText), 100000, 9);
    const RunResult r = run(arguments << image);
    QCOMPARE(r.exitCode, 6);
    QCOMPARE(r.report.size(), 4);
    const QByteArray expected = PackSim::expectedImage(PackSim::firmwareBytes(100000, 9));
    for (int i = 0; i < 4; ++i) {
        const QString outcome = r.report[i].toObject().value(QStringLiteral("outcome")).toString();
        QCOMPARE(outcome, i == 2 ? QStringLiteral("stalled") : QStringLiteral("confirmed"));
        QCOMPARE(r.report[i].toObject().value(QStringLiteral("port")).toString(), packs[i]->slavePath());
        if (i != 2) {
            QVERIFY2(packs[i]->image() == expected, qPrintable(QString::number(i)));
        }
    }
    QCOMPARE(packs[2]->commandCount(Kind::Data), 5);
}

void TestFlash::signalStopsEveryPort_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("code");
    QTest::newRow("Ctrl-C") << int(SIGINT) << 130;
    QTest::newRow("hang-up") << int(SIGHUP) << 129;
}

// A signal in the middle of two downloads: both ports closed at once, the summary printed, the
// report written, exit 130 (129 for a hang-up).
void TestFlash::signalStopsEveryPort()
{
    QFETCH(int, signal);
    QFETCH(int, code);
    std::unique_ptr<PackSimulator> a = newPack();
    std::unique_ptr<PackSimulator> b = newPack();
    QVERIFY(a && b);
    a->setPaceBaud(9600);
    b->setPaceBaud(9600);
    const QString image = writeImage(QString::fromLatin1(PackSimulator::kDefaultVersionText), 100000, 4);
    const QString reportPath = m_dir->filePath(QStringLiteral("report.json"));
    QProcess process;
    QSignalSpy finished(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished));
    process.start(QString::fromUtf8(quorvaneFlashExe),
                  {QStringLiteral("--json"), reportPath, QStringLiteral("--port"), a->slavePath(),
                   QStringLiteral("--port"), b->slavePath(), image});
    QTRY_VERIFY_WITH_TIMEOUT(a->commandCount(Kind::Data) >= 1 && b->commandCount(Kind::Data) >= 1, 10000);
    ::kill(static_cast<pid_t>(process.processId()), signal);
    QVERIFY(finished.wait(3000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), code);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    QCOMPARE(out.count(QStringLiteral("interrupted")), 4); // each port's line and its summary row
    QFile report(reportPath);
    QVERIFY(report.open(QIODevice::ReadOnly));
    const QJsonArray ports = QJsonDocument::fromJson(report.readAll()).array();
    QCOMPARE(ports.size(), 2);
    QCOMPARE(ports[1].toObject().value(QStringLiteral("outcome")).toString(), QStringLiteral("interrupted"));
    for (const QJsonValue &port : ports) {
        QCOMPARE(port.toObject().value(QStringLiteral("exit_code")).toInt(),
                 code); // each port's as the run's
    }
    const int dataA = a->commandCount(Kind::Data);
    QTest::qWait(1500); // a live timer or port would send more within a tick
    QCOMPARE(a->commandCount(Kind::Data), dataA);
    QCOMPARE(a->commandCount(Kind::End), 0);
}

// `quorvane-flash ... | head -1`: the reader goes away after the first line; the download goes on
// to its outcome, writes its report and exits with the pack's code.
void TestFlash::closedOutputDoesNotStopTheDownload()
{
    std::unique_ptr<PackSimulator> pack = newPack();
    QVERIFY(pack);
    pack->setPaceBaud(460800); // about 0.1 s a packet: progress lines keep coming after the first
    const QString image = writeImage(QString::fromLatin1(PackSimulator::kDefaultVersionText), 32768, 6);
    const QString reportPath = m_dir->filePath(QStringLiteral("report.json"));
    QProcess process;
    QSignalSpy finished(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished));
    process.start(QStringLiteral("bash"),
                  {QStringLiteral("-c"), QStringLiteral("\"$0\" \"$@\" | head -1; exit ${PIPESTATUS[0]}"),
                   QString::fromUtf8(quorvaneFlashExe), QStringLiteral("--json"), reportPath,
                   QStringLiteral("--port"), pack->slavePath(), image});
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(process.exitCode(), 0); // not 141, death by SIGPIPE
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).count(QLatin1Char('\n')), 1);
    QVERIFY(pack->image() == PackSim::expectedImage(PackSim::firmwareBytes(32768, 6)));
    QFile report(reportPath);
    QVERIFY(report.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(report.readAll()).array().first().toObject().value("outcome").toString(),
             QStringLiteral("confirmed"));
}

void TestFlash::reportNotWritten_data()
{
    QTest::addColumn<QString>("where"); // a place the report passes the checks before the run, yet fails
    QTest::addColumn<QString>("why");
    QTest::newRow("a full device") << "/dev/full"
                                   << "disk full";
}

// A report that cannot be written is an error (9), even though the pack confirmed. (A place that
// is wrong from the start, a missing folder, is refused before the run: tst_flashchecks.)
void TestFlash::reportNotWritten()
{
    QFETCH(QString, where);
    QFETCH(QString, why);
    std::unique_ptr<PackSimulator> pack = newPack();
    QVERIFY(pack);
    const QString image = writeImage(QString::fromLatin1(PackSimulator::kDefaultVersionText), 32768, 3);
    const RunResult r = run({QStringLiteral("--port"), pack->slavePath(), image}, where);
    QCOMPARE(r.exitCode, 9);
    QVERIFY2(r.err.contains(QStringLiteral("quorvane-flash: report not written: %1: %2").arg(where, why)),
             qPrintable(r.err));
    QVERIFY(r.out.contains(QLatin1String("confirmed")));
    QCOMPARE(pack->imagesWritten(), 1);
    QVERIFY(!QFileInfo(where).isFile()); // written where it is, never replaced by a file
}

// --json -: standard output holds the report alone; progress and the summary go to stderr.
void TestFlash::reportOnStdoutAlone()
{
    std::unique_ptr<PackSimulator> pack = newPack();
    QVERIFY(pack);
    const QString image = writeImage(QString::fromLatin1(PackSimulator::kDefaultVersionText), 32768, 3);
    QProcess process;
    process.start(QString::fromUtf8(quorvaneFlashExe), {QStringLiteral("--json"), QStringLiteral("-"),
                                                        QStringLiteral("--port"), pack->slavePath(), image});
    QSignalSpy finished(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished));
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(process.exitCode(), 0);
    QJsonParseError error;
    const QJsonDocument report = QJsonDocument::fromJson(process.readAllStandardOutput(), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(report.array().first().toObject().value("outcome").toString(), QStringLiteral("confirmed"));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(QLatin1String("PORT")) && err.contains(QLatin1String("100 %")), qPrintable(err));
}

// A by-id style link and the device it points to are one port: refused before anything is sent.
void TestFlash::sameDeviceUnderTwoNames()
{
    PackSimulator pack;
    const QString link = m_dir->filePath(QStringLiteral("by-id-pack"));
    QVERIFY2(pack.openPty(link), qPrintable(pack.errorString()));
    const QString image = writeImage(QString::fromLatin1(PackSimulator::kDefaultVersionText), 32768, 3);
    const RunResult r =
        run({QStringLiteral("--port"), link, QStringLiteral("--port"), pack.slavePath(), image});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("a port is given twice: %1 and %2 are the same device, %2")
                                .arg(link, pack.slavePath())),
             qPrintable(r.err));
    QCOMPARE(pack.totalCommands(), 0);
}

QTEST_GUILESS_MAIN(TestFlash)
#include "tst_flash.moc"
