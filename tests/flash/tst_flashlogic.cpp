// quorvane-flash's command line and printed results, without a port.
#include "downloadmachine.h"
#include "options.h"
#include "parsedline.h"
#include "report.h"
#include "reportfile.h"

#include <QDir>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

class TestFlashLogic : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void progress_data();
    void progress();
    void exitCodeOfSeveralPorts();
    void summaryAndReport();
    void version_data();
    void version();
    void outcomeTexts();
    void exitCodeOfOutcome_data();
    void exitCodeOfOutcome();
    void unknownOutcomeName();
    void reportFileReplacesTheOld();
};

void TestFlashLogic::parse_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("error");  // empty: accepted
    QTest::addColumn<QString>("parsed"); // mode ports baud stall unverified json file

    QTest::newRow("defaults") << "--port /dev/ttyUSB0 fw.bin"
                              << ""
                              << "0 /dev/ttyUSB0 9600 10 0  fw.bin";
    QTest::newRow("several ports, all options")
        << "--port A --port B --baud 115200 --stall-timeout 3 --unverified --json - fw.bin"
        << ""
        << "0 A,B 115200 3 1 - fw.bin";
    QTest::newRow("list ports") << "--list-ports"
                                << ""
                                << "1  9600 10 0  ";
    QTest::newRow("read version") << "--read-version --port A --baud 19200"
                                  << ""
                                  << "2 A 19200 10 0  ";
    QTest::newRow("expect-version without --verify")
        << "--port A --expect-version V3 fw.bin"
        << "--verify-timeout and --expect-version go with --verify"
        << "";
    QTest::newRow("verify-timeout out of range")
        << "--port A --verify --verify-timeout 0 fw.bin"
        << "--verify-timeout must be a whole number of seconds from 1 to 3600, not '0'"
        << "";
    QTest::newRow("help") << "--help"
                          << ""
                          << "3  9600 10 0  ";
    QTest::newRow("no port") << "fw.bin"
                             << "no --port given"
                             << "";
    QTest::newRow("no file") << "--port A"
                             << "no firmware file given"
                             << "";
    QTest::newRow("two files") << "--port A a.bin b.bin"
                               << "one firmware file, not 2"
                               << "";
    QTest::newRow("odd baud") << "--port A --baud 57600 fw.bin"
                              << "--baud must be 9600, 19200, 38400 or 115200, not '57600'"
                              << "";
    QTest::newRow("zero stall timeout")
        << "--port A --stall-timeout 0 fw.bin"
        << "--stall-timeout must be a whole number of seconds from 1 to 3600, not '0'"
        << "";
    QTest::newRow("unknown option") << "--port A --fast fw.bin"
                                    << "Unknown option 'fast'."
                                    << "";
    QTest::newRow("one device, two spellings") << "--port ttyS0 --port /dev//ttyS0 fw.bin"
                                               << "a port is given twice: ttyS0 and /dev//ttyS0 are the "
                                                  "same device, /dev/ttyS0"
                                               << "";
    QTest::newRow("port twice") << "--port A --port A fw.bin"
                                << "a port is given twice: A"
                                << "";
    QTest::newRow("read version of two ports") << "--read-version --port A --port B"
                                               << "--read-version needs exactly one --port"
                                               << "";
    QTest::newRow("file with list ports") << "--list-ports fw.bin"
                                          << "no firmware file is used with --list-ports or --read-version"
                                          << "";
}

void TestFlashLogic::parse()
{
    QFETCH(QString, arguments);
    QFETCH(QString, error);
    QFETCH(QString, parsed);

    Flash::Options o;
    QString why;
    const bool ok = parseLine(arguments, &o, &why);
    QCOMPARE(why, error);
    QCOMPARE(ok, error.isEmpty());
    if (ok) {
        const QString got = QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                                .arg(static_cast<int>(o.mode))
                                .arg(o.ports.join(QLatin1Char(',')))
                                .arg(o.baud)
                                .arg(o.stallTimeoutS)
                                .arg(o.unverified ? 1 : 0)
                                .arg(o.jsonPath, o.file);
        QCOMPARE(got, parsed);
    }
}

void TestFlashLogic::progress_data()
{
    QTest::addColumn<quint32>("acknowledged");
    QTest::addColumn<quint32>("total");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("step");

    QTest::newRow("nothing yet") << 0u << 512u << qint64(0) << "P    0/512    0 %  - KiB/s  - left  init"
                                 << 0;
    QTest::newRow("a quarter in 10 s")
        << 128u << 512u << qint64(10000) << "P  128/512   25 %  25.6 KiB/s  0:30 left  init" << 20;
    QTest::newRow("all") << 512u << 512u << qint64(40000) << "P  512/512  100 %  25.6 KiB/s  0:00 left  init"
                         << 100;
    QTest::newRow("stalled: no speed, no time left")
        << 4u << 16u << qint64(3000) << "P   4/16   25 %  stalled" << 20;
    QTest::newRow("just under ten per cent")
        << 51u << 512u << qint64(1000) << "P   51/512    9 %  102.0 KiB/s  0:09 left  init" << 0;
}

void TestFlashLogic::progress()
{
    QFETCH(quint32, acknowledged);
    QFETCH(quint32, total);
    QFETCH(qint64, elapsedMs);
    QFETCH(QString, line);
    QFETCH(int, step);
    const bool stalled = line.endsWith(QLatin1String("stalled"));
    Flash::Progress p{QStringLiteral("P"),
                      acknowledged,
                      total,
                      elapsedMs,
                      stalled ? QStringLiteral("stalled") : QStringLiteral("init"),
                      stalled};
    QCOMPARE(Flash::progressLine(p), line);
    QCOMPARE(Flash::progressStep(acknowledged, total), step);
}

void TestFlashLogic::exitCodeOfSeveralPorts()
{
    QList<Download::PortResult> results{Download::PortResult(), Download::PortResult(),
                                        Download::PortResult()};
    QCOMPARE(Flash::overallExitCode(results), 0);
    results[2].exitCode = Flash::kExitStalled;
    results[1].exitCode = Flash::kExitNoVersion;
    QCOMPARE(Flash::overallExitCode(results), Flash::kExitNoVersion); // the first port in order
}

void TestFlashLogic::summaryAndReport()
{
    Download::PortResult a;
    a.record.port = QStringLiteral("/dev/ttyUSB0");
    a.record.packVersion = QStringLiteral("BMS_V2.1.07_2026");
    a.record.outcome = QStringLiteral("confirmed");
    a.record.started = QDateTime(QDate(2026, 12, 8), QTime(9, 0), Qt::UTC);
    a.record.ended = a.record.started.addMSecs(12340);
    Download::PortResult b;
    b.record.port = QStringLiteral("COM5");
    b.record.outcome = QStringLiteral("open_failed");
    b.exitCode = Flash::kExitCannotOpen;
    b.failure = QStringLiteral("cannot open COM5");
    Download::PortResult c = a;
    c.record.port = QStringLiteral("/dev/ttyUSB1");
    c.record.packVersion.clear();
    c.unverified = true;
    QCOMPARE(Flash::summaryTable({a, b, c}),
             QStringLiteral("PORT          VERSION           OUTCOME      SECONDS\n"
                            "/dev/ttyUSB0  BMS_V2.1.07_2026  confirmed       12.3\n"
                            "COM5          -                 open_failed      0.0\n"
                            "/dev/ttyUSB1  - (unverified)    confirmed       12.3\n"));
    const QJsonArray report = Flash::reportJson({a, b});
    QCOMPARE(report.size(), 2);
    QCOMPARE(report[1].toObject().value(QStringLiteral("exit_code")).toInt(), 2);
    QCOMPARE(report[1].toObject().value(QStringLiteral("failure")).toString(), b.failure);
    QVERIFY(!report[0].toObject().contains(QStringLiteral("failure")));
    QVERIFY(report[0].toObject().contains(QStringLiteral("sha256")));
}

void TestFlashLogic::version_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<QString>("printed");
    QTest::newRow("usual") << "BMS_V2.1.07_2026" << true << "BMS_V2.1.07_2026";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("blank") << "   " << false << "   ";
    QTest::newRow("slash") << "/" << false << "/";
    QTest::newRow("backslash") << "V1\\2" << false << "V1\\\\2";
    QTest::newRow("NUL") << QString(QChar(0)) << false << "\\x00";
    QTest::newRow("escape sequence") << "V1\x1b[2J" << false << "V1\\x1b[2J";
    QTest::newRow("C1 control") << QString(QChar(0x9b)) + "V" << false << "\\x9bV";
    QTest::newRow("Chinese") << QString::fromUtf8("电池V2") << true << QString::fromUtf8("电池V2");
    QTest::newRow("a dot") << "." << false << ".";
    QTest::newRow("three characters") << "b1d" << false << "b1d";
    QTest::newRow("blanks around three") << " b1d " << false << " b1d ";
    QTest::newRow("no letter or digit") << "-_.-" << false << "-_.-";
    QTest::newRow("right-to-left override") << QString::fromUtf8("BMS\u202e_V2") << false << "BMS\\u202e_V2";
    QTest::newRow("line separator") << QString::fromUtf8("BMS\u2028V2") << false << "BMS\\u2028V2";
}

void TestFlashLogic::version()
{
    QFETCH(QString, version);
    QFETCH(bool, usable);
    QFETCH(QString, printed);
    QCOMPARE(Flash::versionUsable(version), usable);
    QCOMPARE(Flash::printableVersion(version), printed);
}

void TestFlashLogic::outcomeTexts()
{
    QCOMPARE(Flash::stalledText(5, 10),
             QStringLiteral("stalled: no answer for package 5 in 10 s; check the cable, then run again"));
    QCOMPARE(Flash::portLostText(), QStringLiteral("the port went away (unplugged?)"));
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("fw.bin"));
    QCOMPARE(FirmwareImage::problemText(FirmwareImage::LoadVerdict::TooShort, missing),
             missing + ": not found");
    QCOMPARE(FirmwareImage::problemText(FirmwareImage::LoadVerdict::TooShort, dir.path()),
             QStringLiteral("the file is too short"));
    QVERIFY(FirmwareImage::problemText(FirmwareImage::LoadVerdict::Loaded, missing).isEmpty());
}

// One table gives every outcome its record name, exit code and short text, both ways: a name
// that is not in it is no outcome.
void TestFlashLogic::exitCodeOfOutcome_data()
{
    using Download::Outcome;
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    const auto row = [](Outcome outcome, const char *name, int code, const char *text) {
        QTest::newRow(name) << int(outcome) << name << code << text;
    };
    row(Outcome::Confirmed, "confirmed", 0, "confirmed");
    row(Outcome::Unconfirmed, "unconfirmed", 8, "the end was not confirmed");
    row(Outcome::InitUnanswered, "init_unanswered", 5, "no answer to the start");
    row(Outcome::Stalled, "stalled", 6, "no answer to a package");
    row(Outcome::LinkLost, "link_lost", 7, "the port went away");
    row(Outcome::Restarted, "restarted", 130, "started again");
    row(Outcome::Interrupted, "interrupted", 130, "interrupted");
    row(Outcome::Refused, "refused", 12, "the pack refused a package");
    row(Outcome::VersionRead, "version", 0, "version read"); // --read-version
    row(Outcome::OpenFailed, "open_failed", 2, "the port cannot be opened");
    row(Outcome::NoVersion, "no_version", 3, "no version reported");
    row(Outcome::ImageRefused, "image_refused", 4, "the image does not fit the pack");
    row(Outcome::NotFlashed, "not_flashed", 4, "no firmware for the version");
    row(Outcome::Verified, "verified", 0, "verified"); // --verify
    row(Outcome::WrongVersion, "wrong_version", 10, "another version after the update");
    row(Outcome::NoVersionAfter, "no_version_after", 11, "no version after the update");
}

void TestFlashLogic::exitCodeOfOutcome()
{
    QFETCH(int, outcome);
    QFETCH(QString, name);
    QFETCH(int, code);
    QFETCH(QString, text);
    const auto kind = static_cast<Download::Outcome>(outcome);
    QCOMPARE(Download::outcomeName(kind), name);
    Download::Outcome parsed = Download::Outcome::Confirmed;
    QVERIFY(Download::outcomeFromName(name, &parsed));
    QCOMPARE(int(parsed), outcome);
    QCOMPARE(Download::exitCode(kind), code);
    QCOMPARE(Download::outcomeText(kind), text);
    QCOMPARE(Download::passed(kind), code == 0 && name != QLatin1String("version"));
}

// Every outcome has a row above, and no other name is an outcome.
void TestFlashLogic::unknownOutcomeName()
{
    QSet<QString> names;
    for (int i = 0; i <= int(Download::Outcome::NoVersionAfter); ++i) {
        names.insert(Download::outcomeName(static_cast<Download::Outcome>(i)));
    }
    QCOMPARE(names.size(), int(Download::Outcome::NoVersionAfter) + 1);
    Download::Outcome parsed = Download::Outcome::Stalled;
    QVERIFY(!Download::outcomeFromName(QStringLiteral("closed"), &parsed));
    QVERIFY(!Download::outcomeFromName(QString(), &parsed));
    QCOMPARE(parsed, Download::Outcome::Stalled);
}

void TestFlashLogic::reportFileReplacesTheOld()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.json"));
    QString why;
    QVERIFY2(Flash::writeReportFile(path, "old", &why), qPrintable(why));
    QVERIFY2(Flash::writeReportFile(path, "new", &why), qPrintable(why));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("new"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"report.json"}); // no temporary left
    QVERIFY(!Flash::writeReportFile(dir.filePath(QStringLiteral("none/report.json")), "x", &why));
    QVERIFY(!why.isEmpty());
}

QTEST_GUILESS_MAIN(TestFlashLogic)
#include "tst_flashlogic.moc"
