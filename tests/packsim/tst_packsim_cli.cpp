// The quorvane-packsim program: its pty path on the first line, a clean stop on SIGTERM with a
// summary, what it logs (a line per command, the hex frames only when asked), and a clear refusal
// of bad flags and devices.
#include "codec.h"
#include "tests/common/buildpaths.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

class TestPackSimCli : public QObject
{
    Q_OBJECT

private slots:
    void servesAPtyAndStopsOnSigterm_data();
    void servesAPtyAndStopsOnSigterm();
    void badCommandLine_data();
    void badCommandLine();
    void deviceThatCannotBeOpened_data();
    void deviceThatCannotBeOpened();
    void help();

private:
    // Runs the program to its end: it must exit with exitCode and name message on stderr. What it
    // wrote on stdout goes to *out.
    void runAndExpect(const QStringList &arguments, int exitCode, const QString &message,
                      QByteArray *out = nullptr);
};

void TestPackSimCli::runAndExpect(const QStringList &arguments, int exitCode, const QString &message,
                                  QByteArray *out)
{
    QProcess sim;
    sim.start(QString::fromUtf8(quorvanePacksimExe), arguments);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), exitCode);
    if (out)
        *out = sim.readAllStandardOutput();
    const QString error = QString::fromLocal8Bit(sim.readAllStandardError());
    QVERIFY2(error.contains(message), qPrintable(error));
}

// The version query as the frame log writes it: its bytes in hex after the colon.
const QRegularExpression kQueryHex(QStringLiteral("RX version +\\d+ bytes: [0-9A-F]{2} [0-9A-F]{2} "));

void TestPackSimCli::servesAPtyAndStopsOnSigterm_data()
{
    QTest::addColumn<QStringList>("logArguments");
    QTest::addColumn<bool>("summaryLine"); // "RX version 24 bytes" on stderr
    QTest::addColumn<bool>("hexOnStderr");
    QTest::addColumn<bool>("hexInFile"); // the file given to --frame-log
    QTest::newRow("default: a line per command") << QStringList() << true << false << false;
    QTest::newRow("--no-log: nothing") << QStringList{"--no-log"} << false << false << false;
    QTest::newRow("-v: frames on stderr, in place of the lines")
        << QStringList{"-v"} << false << true << false;
    QTest::newRow("--frame-log FILE") << QStringList{"--frame-log", "FILE"} << false << false << true;
    QTest::newRow("--log FILE (older name)") << QStringList{"--log", "FILE"} << false << false << true;
    QTest::newRow("--frame-log -") << QStringList{"--frame-log", "-"} << false << true << false;
}

void TestPackSimCli::servesAPtyAndStopsOnSigterm()
{
    QFETCH(QStringList, logArguments);
    QFETCH(bool, summaryLine);
    QFETCH(bool, hexOnStderr);
    QFETCH(bool, hexInFile);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyPACK"));
    const QString image = dir.filePath(QStringLiteral("image.bin"));
    const QString frameLog = dir.filePath(QStringLiteral("frames.log"));
    logArguments.replaceInStrings(QStringLiteral("FILE"), frameLog);
    QProcess sim;
    sim.start(QString::fromUtf8(quorvanePacksimExe),
              QStringList{QStringLiteral("--link"), link, QStringLiteral("--image-out"), image,
                          QStringLiteral("--version-text"), QStringLiteral("BMS_V9.9.99_X")} +
                  logArguments);
    QVERIFY(sim.waitForStarted());
    QTRY_VERIFY(sim.canReadLine());
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY2(path.startsWith(QLatin1String("/dev/")), qPrintable(path));
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);

    // Ask for the version through the link, with a raw descriptor.
    const int fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios tio{};
    QVERIFY(tcgetattr(fd, &tio) == 0);
    cfmakeraw(&tio);
    QVERIFY(tcsetattr(fd, TCSANOW, &tio) == 0);
    const QByteArray query = Codec::tokensToBytes(QByteArray(Codec::kVersionQueryText));
    QCOMPARE(::write(fd, query.constData(), size_t(query.size())), ssize_t(query.size()));
    QByteArray received;
    QList<QByteArray> frames;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                received.append(QByteArray(buffer, int(n)).toHex().toUpper());
            frames.append(Codec::scanFrames(received));
            return !frames.isEmpty();
        }(),
        5000);
    ::close(fd);
    QCOMPARE(Codec::decodeInfo(frames.first()), QByteArray("BMS_V9.9.99_X"));

    sim.terminate(); // SIGTERM
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    const QString summary = QString::fromLocal8Bit(sim.readAllStandardOutput());
    QVERIFY2(summary.contains(QLatin1String("commands: 1 (version 1,")), qPrintable(summary));
    QVERIFY2(summary.contains(QLatin1String("violations: 0")), qPrintable(summary));
    QVERIFY2(summary.contains(QLatin1String("image bytes written: 0")), qPrintable(summary));
    QVERIFY(!QFileInfo(link).isSymLink());

    const QString error = QString::fromLocal8Bit(sim.readAllStandardError());
    QCOMPARE(error.contains(QRegularExpression(QStringLiteral("RX version +\\d+ bytes\n"))), summaryLine);
    QCOMPARE(error.contains(kQueryHex), hexOnStderr);
    QFile file(frameLog);
    QCOMPARE(file.open(QIODevice::ReadOnly) && QString::fromUtf8(file.readAll()).contains(kQueryHex),
             hexInFile);
}

void TestPackSimCli::badCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown flag") << QStringList{"--bogus"} << "bogus";
    QTest::newRow("--silent bad kind") << QStringList{"--silent", "bogus:1"} << "unknown command kind";
    QTest::newRow("--silent data:0") << QStringList{"--silent", "data:0"} << "data:0";
    QTest::newRow("--delay -5") << QStringList{"--delay", "-5"} << "--delay";
    QTest::newRow("--pace abc") << QStringList{"--pace", "abc"} << "--pace";
    QTest::newRow("--baud 0") << QStringList{"--device", "/dev/null", "--baud", "0"} << "--baud";
    QTest::newRow("--corrupt-checksum x:1")
        << QStringList{"--corrupt-checksum", "x:1"} << "--corrupt-checksum";
    QTest::newRow("stray argument") << QStringList{"extra"} << "extra";
    QTest::newRow("--link with --device")
        << QStringList{"--device", "/dev/null", "--link", "/tmp/x"} << "--link";
    QTest::newRow("--delay without value") << QStringList{"--delay"} << "delay";
    QTest::newRow("--store bogus") << QStringList{"--store", "bogus"} << "--store is";
    QTest::newRow("--replug-after-image 0")
        << QStringList{"--replug-after-image", "0"} << "--replug-after-image";
    QTest::newRow("replug and off") << QStringList{"--replug-after-image", "5", "--off-after-image", "5"}
                                    << "exclude each other";
}

void TestPackSimCli::badCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QByteArray out;
    runAndExpect(arguments, 2, message, &out);
    QVERIFY(out.isEmpty()); // no pty path: nothing is served
}

void TestPackSimCli::deviceThatCannotBeOpened_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing device") << QStringList{"--device", "/dev/ttyNOSUCH0"}
                                    << "cannot open /dev/ttyNOSUCH0";
    QTest::newRow("not a serial device") << QStringList{"--device", "/dev/null"} << "not a serial device";
    QTest::newRow("unsupported baud")
        << QStringList{"--device", "/dev/null", "--baud", "12345"} << "unsupported baud rate";
    QTest::newRow("unwritable log") << QStringList{"--log", "/nonexistent-dir/x.log"}
                                    << "cannot open the log file";
}

void TestPackSimCli::deviceThatCannotBeOpened()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    runAndExpect(arguments, 1, message);
}

void TestPackSimCli::help()
{
    QProcess sim;
    sim.start(QString::fromUtf8(quorvanePacksimExe), {QStringLiteral("--help")});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    const QString text = QString::fromLocal8Bit(sim.readAllStandardOutput());
    for (const char *flag :
         {"--device", "--baud", "--link", "--version-text", "--image-out", "--frame-log", "--verbose",
          "--silent", "--delay", "--byte-by-byte", "--noise", "--corrupt-checksum", "--info-replies",
          "--no-end-reply", "--end-reply-after", "--pace"})
        QVERIFY2(text.contains(QLatin1String(flag)), flag);
}

QTEST_GUILESS_MAIN(TestPackSimCli)
#include "tst_packsim_cli.moc"
