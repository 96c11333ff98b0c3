// The station's command line, its choice of firmware and what it prints, without a port.
#include "firmwarechoice.h"
#include "options.h"
#include "parsedline.h"
#include "stationview.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestStationLogic : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void choice_data();
    void choice();
    void rows_data();
    void rows();
    void summaryAndExitCode();
    void resultLineFits_data();
    void resultLineFits();
};

void TestStationLogic::parse_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("error");  // empty: accepted
    QTest::addColumn<QString>("parsed"); // ports allPorts dir retries
    QTest::newRow("two ports") << "--station --firmware-dir fw --port A --port B"
                               << ""
                               << "A,B 0 fw 0";
    QTest::newRow("all ports, retries") << "--station --firmware-dir fw --all-ports --retries 3"
                                        << ""
                                        << " 1 fw 3";
    QTest::newRow("retries without station") << "--port A --retries 2 fw.bin"
                                             << ""
                                             << "A 0  2";
    QTest::newRow("no folder") << "--station --port A"
                               << "--station needs --firmware-dir DIR"
                               << "";
    QTest::newRow("no port") << "--station --firmware-dir fw"
                             << "--station needs --port DEV (one or more) or --all-ports"
                             << "";
    QTest::newRow("ports and all ports") << "--station --firmware-dir fw --all-ports --port A"
                                         << "--station needs --port DEV (one or more) or --all-ports"
                                         << "";
    QTest::newRow("a file as well") << "--station --firmware-dir fw --port A fw.bin"
                                    << "--station takes its firmware from --firmware-dir, not from 'fw.bin'"
                                    << "";
    QTest::newRow("report on stdout") << "--station --firmware-dir fw --port A --json -"
                                      << "--station writes its report to a file, not to standard output"
                                      << "";
    QTest::newRow("unverified") << "--station --firmware-dir fw --port A --unverified"
                                << "--station goes without --list-ports, --read-version and --unverified"
                                << "";
    QTest::newRow("folder without station") << "--port A --firmware-dir fw fw.bin"
                                            << "--firmware-dir and --all-ports go with --station"
                                            << "";
    QTest::newRow("negative retries") << "--port A --retries -1 fw.bin"
                                      << "--retries must be a whole number from 0 to 10, not '-1'"
                                      << "";
    QTest::newRow("too many retries") << "--port A --retries 11 fw.bin"
                                      << "--retries must be a whole number from 0 to 10, not '11'"
                                      << "";
}

void TestStationLogic::parse()
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
        QCOMPARE(QStringLiteral("%1 %2 %3 %4")
                     .arg(o.ports.join(QLatin1Char(',')))
                     .arg(o.allPorts ? 1 : 0)
                     .arg(o.firmwareDir)
                     .arg(o.retries),
                 parsed);
        QCOMPARE(o.mode == Flash::Options::Mode::Station, arguments.startsWith(QLatin1String("--station")));
    }
}

void TestStationLogic::choice_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("path");    // chosen, below the folder; empty: none
    QTest::addColumn<QString>("problem"); // what the line says, below the folder's path
    QTest::newRow("one match") << "BMS_V2.1.07_2026"
                               << "BMS_V2.1.07_2026/bms.bin"
                               << "";
    QTest::newRow("first 12 characters") << "BMS_V3.0.01_later"
                                         << "v3/BMS_V3.0.01_fw.sorrel"
                                         << "";
    QTest::newRow("none") << "BMS_V9.9.99_2030"
                          << ""
                          << "no firmware for version BMS_V9.9.99_2030: no file path holds \"BMS_V9.9.99_\"; "
                             "nothing flashed";
    QTest::newRow("two") << "BMS_V1.0.00_2020"
                         << ""
                         << "2 firmware files for version BMS_V1.0.00_2020: "
                            "DIR/a/BMS_V1.0.00_2020.bin, DIR/b/BMS_V1.0.00_2020.bin; nothing flashed";
    QTest::newRow("slash") << "/"
                           << ""
                           << "the pack reports no usable version (\"/\"); nothing flashed";
    QTest::newRow("empty") << ""
                           << ""
                           << "the pack reports no usable version (\"\"); nothing flashed";
    QTest::newRow("one readable, one not")
        << "BMS_V4.0.00_2024"
        << ""
        << "2 firmware files for version BMS_V4.0.00_2024: DIR/d/BMS_V4.0.00_2024.bin, "
           "DIR/e/BMS_V4.0.00_2024.bin (cannot be read); nothing flashed";
    // Only the path below the folder counts: not the folder's own name, not the extension.
    QTest::newRow("the folder's own name") << "FIRMWARE_ROOT"
                                           << ""
                                           << "no firmware for version FIRMWARE_ROOT: no file path holds "
                                              "\"FIRMWARE_ROO\"; nothing flashed";
    QTest::newRow("the extension") << "sorrel"
                                   << ""
                                   << "no firmware for version sorrel: no file path holds \"sorrel\"; "
                                      "nothing flashed";
    QTest::newRow("too short") << "bin"
                               << ""
                               << "the pack reports no usable version (\"bin\"); nothing flashed";
    QTest::newRow("a dot") << "."
                           << ""
                           << "the pack reports no usable version (\".\"); nothing flashed";
}

void TestStationLogic::choice()
{
    QFETCH(QString, version);
    QFETCH(QString, path);
    QFETCH(QString, problem);
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QDir dir(temporary.filePath(QStringLiteral("FIRMWARE_ROOT")));
    for (const char *file :
         {"BMS_V2.1.07_2026/bms.bin", "v3/BMS_V3.0.01_fw.sorrel", "a/BMS_V1.0.00_2020.bin",
          "b/BMS_V1.0.00_2020.bin", "BMS_V9.9.99_2030/notes.txt", "d/BMS_V4.0.00_2024.bin"}) {
        const QString at = dir.filePath(QLatin1String(file));
        QVERIFY(QDir().mkpath(QFileInfo(at).path()));
        QFile f(at);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    // A link to nothing cannot be read, whoever runs the test (root reads a file without rights).
    QVERIFY(dir.mkpath(QStringLiteral("e")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone.bin")), dir.filePath("e/BMS_V4.0.00_2024.bin")));
    const QStringList files = Download::firmwareFiles(dir.path());
    QCOMPARE(files.size(), 6); // notes.txt is no firmware
    const Download::FirmwareChoice choice = Download::chooseFirmware(dir.path(), files, version);
    QCOMPARE(choice.path, path.isEmpty() ? QString() : dir.filePath(path));
    QCOMPARE(Download::choiceProblem(choice, version), QString(problem).replace("DIR", dir.path()));
}

void TestStationLogic::rows_data()
{
    QTest::addColumn<int>("phase");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("text");
    QTest::newRow("waiting") << int(Download::StationPhase::Waiting) << ""
                             << "P1    waiting";
    QTest::newRow("firmware being copied") << int(Download::StationPhase::Settling) << ""
                                           << "P1    firmware still changing";
    QTest::newRow("flashing") << int(Download::StationPhase::Flashing) << ""
                              << "P1    flashing 12/48";
    QTest::newRow("done") << int(Download::StationPhase::Leaving) << "confirmed"
                          << "P1    done (confirmed); remove pack";
    QTest::newRow("failed") << int(Download::StationPhase::Leaving) << "unconfirmed"
                            << "P1    FAIL (unconfirmed); remove pack";
    QTest::newRow("not flashed") << int(Download::StationPhase::Leaving) << "not_flashed"
                                 << "P1    not flashed; remove pack";
    // The last result stays on the row once the pack is gone, until the next one arrives.
    QTest::newRow("failed, pack gone") << int(Download::StationPhase::Waiting) << "stalled"
                                       << "P1    FAIL (stalled); pack removed";
    QTest::newRow("done, pack gone") << int(Download::StationPhase::Waiting) << "confirmed"
                                     << "P1    done (confirmed); pack removed";
    QTest::newRow("verifying") << int(Download::StationPhase::Verifying) << ""
                               << "P1    verifying";
    QTest::newRow("stopped") << int(Download::StationPhase::Stopped) << ""
                             << "P1    stopped";
}

void TestStationLogic::rows()
{
    QFETCH(int, phase);
    QFETCH(QString, outcome);
    QFETCH(QString, text);
    Download::StationRow row;
    row.port = QStringLiteral("P1");
    row.phase = Download::StationPhase(phase);
    row.acknowledged = 12;
    row.total = 48;
    row.outcome = outcome;
    QCOMPARE(Flash::stationRowText(row, 4), text);
}

void TestStationLogic::summaryAndExitCode()
{
    const auto result = [](const char *port, const char *outcome, int code) {
        Download::PortResult r;
        r.record.port = QLatin1String(port);
        r.record.outcome = QLatin1String(outcome);
        Download::outcomeFromName(r.record.outcome, &r.outcome);
        r.record.packVersion = QStringLiteral("V1\x1b");
        r.exitCode = code;
        return r;
    };
    QList<Download::PortResult> results{result("P1", "confirmed", 0), result("P2", "not_flashed", 4),
                                        result("P1", "confirmed", 0)};
    QCOMPARE(Flash::stationExitCode(results), 0); // a pack not flashed is no failed download
    QCOMPARE(Flash::stationResultLine(results[0]), QStringLiteral("P1  V1\\x1b  -  confirmed  0.0 s"));
    results.append(result("P2", "stalled", 6));
    QCOMPARE(Flash::stationExitCode(results), 6);
    QCOMPARE(Flash::stationSummary(results, {"P1", "P2", "P3"}),
             QStringLiteral("OUTCOME      PACKS\n"
                            "confirmed        2\n"
                            "not_flashed      1\n"
                            "stalled          1\n"
                            "\n"
                            "PORT  CONFIRMED  FAILED  NOT FLASHED\n"
                            "P1            2       0            0\n"
                            "P2            0       1            1\n"
                            "P3            0       0            0\n"));
    QCOMPARE(Flash::stationTotals(2, 1, 1), QStringLiteral("packs confirmed: 2  failed: 1  not flashed: 1"));
}

void TestStationLogic::resultLineFits_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("text");
    QTest::newRow("no terminal") << 0 << "why"
                                 << "P1  V2.1  /srv/firmware/line-4/V2.1/bms.bin  stalled  1.5 s (why)";
    QTest::newRow("fits") << 80 << ""
                          << "P1  V2.1  /srv/firmware/line-4/V2.1/bms.bin  stalled  1.5 s";
    QTest::newRow("the path shortened from the left") << 40 << ""
                                                      << "P1  V2.1  ...2.1/bms.bin  stalled  1.5 s";
    QTest::newRow("the reason on lines of its own") << 40 << "stalled: no answer for package 4 in 1 s"
                                                    << "P1  V2.1  ...2.1/bms.bin  stalled  1.5 s\n"
                                                       "  (stalled: no answer for package 4 in 1\n"
                                                       "  s)";
    QTest::newRow("narrower than the fields") << 20 << ""
                                              << "P1  V2.1  ...n  s...";
}

// On a terminal a result line is never wider than the terminal.
void TestStationLogic::resultLineFits()
{
    QFETCH(int, width);
    QFETCH(QString, failure);
    QFETCH(QString, text);
    Download::PortResult r;
    r.record.port = QStringLiteral("P1");
    r.record.packVersion = QStringLiteral("V2.1");
    r.record.file = QStringLiteral("/srv/firmware/line-4/V2.1/bms.bin");
    r.record.outcome = QStringLiteral("stalled");
    r.record.started = QDateTime::currentDateTime();
    r.record.ended = r.record.started.addMSecs(1500);
    r.failure = failure;
    const QString line = Flash::stationResultLine(r, width);
    QCOMPARE(line, text);
    for (const QString &part : line.split(QLatin1Char('\n'))) {
        QVERIFY2(width == 0 || part.size() <= width, qPrintable(part));
    }
}

QTEST_GUILESS_MAIN(TestStationLogic)
#include "tst_stationlogic.moc"
