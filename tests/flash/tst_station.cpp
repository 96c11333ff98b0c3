// quorvane-flash --station as a line runs it: the real program against pack simulators on
// pseudo-terminals that are plugged in, flashed, unplugged and plugged in again.
#include "packsimulator.h"
#include "terminal.h"
#include "testfirmware.h"
#include "tests/common/stationline.h"

#include <QDir>
#include <QFile>
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

constexpr qint64 kImageBytes = 32768;
const char kVersionA[] = "BMS_V2.1.07_2026";
const char kVersionB[] = "BMS_V3.0.00_2027";
using Line = StationLine;

} // namespace

class TestStation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fourPortsThreePacksEach();
    void poweredOffPackHasLeft();
    void firmwareNotChosen_data();
    void firmwareNotChosen();
    void ctrlC_data();
    void ctrlC();
    void onATerminal();

private:
    // A pack reporting version, behind the link m_dir/name, unplugged until plugIn(); after
    // `packs` images it stays where it is.
    std::unique_ptr<Line> newLine(const QString &name, const char *version, int packs);
    void writeFirmware(const QString &relative, quint32 seed);
    // The station on lines; its output to terminal when given, else to m_out.
    bool startStation(const std::vector<std::unique_ptr<Line>> &lines, const QStringList &extra = {},
                      Terminal *terminal = nullptr);
    bool waitForOutput(const QString &text, int timeoutMs = 15000);
    int stopStation(int interrupts = 1, int signal = SIGINT);
    QJsonArray report() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_station;
    QString m_out;
    Terminal *m_terminal = nullptr;
};

void TestStation::init()
{
    qRegisterMetaType<QProcess::ExitStatus>();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    writeFirmware(QStringLiteral("fw/%1/bms.bin").arg(QLatin1String(kVersionA)), 1);
    writeFirmware(QStringLiteral("fw/%1/bms.bin").arg(QLatin1String(kVersionB)), 2);
    m_out.clear();
    m_terminal = nullptr;
}

void TestStation::cleanup()
{
    if (m_station && m_station->state() != QProcess::NotRunning) {
        m_station->kill();
        m_station->waitForFinished();
    }
    m_station.reset();
}

void TestStation::writeFirmware(const QString &relative, quint32 seed)
{
    const QString path = m_dir->filePath(relative);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(PackSim::writeFirmwareFile(path, kImageBytes, seed));
}

std::unique_ptr<Line> TestStation::newLine(const QString &name, const char *version, int packs)
{
    const int seed = QLatin1String(version) == QLatin1String(kVersionA) ? 1 : 2;
    return Line::make(this, m_dir->filePath(name), version, kImageBytes, seed, packs);
}

bool TestStation::startStation(const std::vector<std::unique_ptr<Line>> &lines, const QStringList &extra,
                               Terminal *terminal)
{
    QStringList arguments{
        QStringLiteral("--station"),        QStringLiteral("--firmware-dir"),  m_dir->filePath("fw"),
        QStringLiteral("--json"),           m_dir->filePath("report.json"),    QStringLiteral("--record"),
        m_dir->filePath("downloads.jsonl"), QStringLiteral("--stall-timeout"), QStringLiteral("2")};
    for (const auto &line : lines) {
        arguments << QStringLiteral("--port") << line->link;
    }
    m_station = std::make_unique<QProcess>();
    m_terminal = terminal;
    if (terminal) {
        terminal->attach(m_station.get());
    } else {
        m_station->setProcessChannelMode(QProcess::MergedChannels);
        connect(m_station.get(), &QProcess::readyRead, this,
                [this] { m_out += QString::fromUtf8(m_station->readAll()); });
    }
    m_station->start(QString::fromUtf8(quorvaneFlashExe), arguments + extra);
    return m_station->waitForStarted() && waitForOutput(QStringLiteral("station: "));
}

bool TestStation::waitForOutput(const QString &text, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    const auto seen = [this, &text] { return (m_terminal ? m_terminal->text() : m_out).contains(text); };
    while (!seen() && clock.elapsed() < timeoutMs) {
        QTest::qWait(20);
    }
    return seen();
}

int TestStation::stopStation(int interrupts, int signal)
{
    QSignalSpy finished(m_station.get(), qOverload<int, QProcess::ExitStatus>(&QProcess::finished));
    for (int i = 0; i < interrupts; ++i) {
        ::kill(static_cast<pid_t>(m_station->processId()), signal);
        QTest::qWait(100);
    }
    if (m_station->state() != QProcess::NotRunning && !finished.wait(30000)) {
        return -1;
    }
    if (!m_terminal) {
        m_out += QString::fromUtf8(m_station->readAll());
    }
    return m_station->exitStatus() == QProcess::NormalExit ? m_station->exitCode() : -1;
}

QJsonArray TestStation::report() const
{
    QFile file(m_dir->filePath(QStringLiteral("report.json")));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).array() : QJsonArray();
}

// Four ports, three packs each, plugged in after the station started: plug, flash, unplug, plug
// the next. Every image byte for byte, a result line and a report entry per pack.
void TestStation::fourPortsThreePacksEach()
{
    std::vector<std::unique_ptr<Line>> lines;
    for (int i = 0; i < 4; ++i) {
        lines.push_back(newLine(QStringLiteral("ttyPACK%1").arg(i + 1), i < 2 ? kVersionA : kVersionB, 3));
        QVERIFY(lines.back());
        lines.back()->pack->setAfterImage(PackSim::AfterImage::Replug, 200);
    }
    QVERIFY2(startStation(lines), qPrintable(m_out));
    for (auto &line : lines) {
        QVERIFY(line->pack->plugIn());
    }
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(lines.begin(), lines.end(), [](const auto &l) { return l->exact + l->wrong == 3; }),
        40000);
    QTRY_COMPARE_WITH_TIMEOUT(m_out.count(QRegularExpression(QStringLiteral("  confirmed  \\d+\\.\\d s"))),
                              12, 5000);
    QCOMPARE(stopStation(), 0);
    for (const auto &line : lines) {
        QCOMPARE(line->exact, 3);
        QCOMPARE(line->pack->violationCount(), 0);
    }
    QVERIFY2(m_out.contains(QRegularExpression(QStringLiteral("confirmed +12\\n"))), qPrintable(m_out));
    QCOMPARE(report().size(), 12);
    QFile record(m_dir->filePath(QStringLiteral("downloads.jsonl")));
    QVERIFY(record.open(QIODevice::ReadOnly));
    QCOMPARE(record.readAll().count('\n'), 12);
}

// The pack is switched off while the port stays: no answer for 3 s means it has left, and the
// pack answering again is the next one.
void TestStation::poweredOffPackHasLeft()
{
    std::vector<std::unique_ptr<Line>> lines;
    lines.push_back(newLine(QStringLiteral("ttyPACK1"), kVersionA, 2));
    QVERIFY(lines.back());
    lines.back()->pack->setAfterImage(PackSim::AfterImage::PowerCycle, 3500);
    QVERIFY(lines.back()->pack->plugIn());
    QVERIFY2(startStation(lines), qPrintable(m_out));
    QTRY_VERIFY_WITH_TIMEOUT(lines.back()->exact == 2, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(m_out.count(QStringLiteral("  confirmed  ")), 2, 5000);
    QCOMPARE(stopStation(), 0);
    QCOMPARE(lines.back()->pack->plugIns(), 1); // the port stayed all along
}

void TestStation::firmwareNotChosen_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("code"); // the report row's
    QTest::newRow("no firmware")
        << "BMS_V9.9.99_2030"
        << "no firmware for version BMS_V9.9.99_2030: no file path holds \"BMS_V9.9.99_\"; nothing flashed"
        << 4;
    QTest::newRow("two") << "BMS_V1.0.00_2020"
                         << "2 firmware files for version BMS_V1.0.00_2020: "
                            "FW/a/BMS_V1.0.00_2020.bin, FW/b/BMS_V1.0.00_2020.bin; nothing flashed"
                         << 4;
    // A piece of the folder's path, or of the extension, is no version.
    QTest::newRow("the extension") << "bin"
                                   << "the pack reports no usable version (\"bin\"); nothing flashed" << 3;
}

void TestStation::firmwareNotChosen()
{
    QFETCH(QString, version);
    QFETCH(QString, line);
    QFETCH(int, code);
    writeFirmware(QStringLiteral("fw/a/BMS_V1.0.00_2020.bin"), 3);
    writeFirmware(QStringLiteral("fw/b/BMS_V1.0.00_2020.bin"), 4);
    const QByteArray text = version.toLatin1();
    std::vector<std::unique_ptr<Line>> lines;
    lines.push_back(newLine(QStringLiteral("ttyPACK1"), text.constData(), 1));
    QVERIFY(lines.back() && lines.back()->pack->plugIn());
    QVERIFY2(startStation(lines), qPrintable(m_out));
    QVERIFY2(waitForOutput(line.replace(QLatin1String("FW"), m_dir->filePath("fw"))), qPrintable(m_out));
    QVERIFY(waitForOutput(QStringLiteral("  not_flashed  ")));
    QCOMPARE(stopStation(), 0); // nothing flashed, nothing failed
    QCOMPARE(lines.back()->pack->commandCount(Kind::Init), 0);
    const QJsonObject row = report().first().toObject();
    QCOMPARE(row.value("outcome").toString(), QStringLiteral("not_flashed"));
    QCOMPARE(row.value("exit_code").toInt(), code);
    QCOMPARE(row.value("baud").toInt(), 9600);
    QVERIFY(!row.value("program_version").toString().isEmpty());
}

void TestStation::ctrlC_data()
{
    QTest::addColumn<int>("interrupts");
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("code");
    QTest::newRow("first: the download finishes") << 1 << int(SIGINT) << 0;
    QTest::newRow("second: it is interrupted") << 2 << int(SIGINT) << 130;
    QTest::newRow("a hang-up interrupts at once") << 1 << int(SIGHUP) << 129;
}

void TestStation::ctrlC()
{
    QFETCH(int, interrupts);
    QFETCH(int, signal);
    QFETCH(int, code);
    std::vector<std::unique_ptr<Line>> lines;
    lines.push_back(newLine(QStringLiteral("ttyPACK1"), kVersionA, 1));
    QVERIFY(lines.back() && lines.back()->pack->plugIn());
    lines.back()->pack->setPaceBaud(230400); // about 0.2 s a packet
    QVERIFY2(startStation(lines), qPrintable(m_out));
    QTRY_VERIFY_WITH_TIMEOUT(lines.back()->pack->commandCount(Kind::Data) >= 2, 10000);
    QCOMPARE(stopStation(interrupts, signal), code);
    QCOMPARE(m_out.contains(QLatin1String("stopping: no new packs")), signal == SIGINT);
    if (code == 0) {
        QCOMPARE(lines.back()->exact, 1);
        QVERIFY(m_out.contains(QLatin1String("  confirmed  ")));
    } else {
        QCOMPARE(lines.back()->pack->commandCount(Kind::End), 0);
        QVERIFY(m_out.contains(QLatin1String("  interrupted  ")));
    }
    QCOMPARE(report().size(), 1);
    QCOMPARE(report().first().toObject().value("exit_code").toInt(), code); // the pack's as the run's
}

// On an 80-column terminal: a failed pack reads as a failure and stays on its row once taken
// away, a pack not flashed counts in the totals, and result lines with long paths fit the width.
void TestStation::onATerminal()
{
    constexpr int kColumns = 80;
    Terminal terminal(kColumns);
    QVERIFY(terminal.isOpen());
    std::vector<std::unique_ptr<Line>> lines;
    lines.push_back(newLine(QStringLiteral("ttyPACK1"), kVersionA, 1));
    lines.push_back(newLine(QStringLiteral("ttyPACK2"), "BMS_V9.9.99_2030", 1));
    QVERIFY(lines[0] && lines[1]);
    QString why;
    QVERIFY2(lines[0]->pack->addSilent(QStringLiteral("data:3"), &why), qPrintable(why));
    QVERIFY2(startStation(lines, {}, &terminal), qPrintable(terminal.text()));
    QVERIFY(lines[0]->pack->plugIn() && lines[1]->pack->plugIn());
    QVERIFY2(waitForOutput(QStringLiteral("FAIL (stalled); remove pack")), qPrintable(terminal.text()));
    lines[0]->pack->unplug();
    QVERIFY2(waitForOutput(QStringLiteral("FAIL (stalled); pack removed")), qPrintable(terminal.text()));
    QVERIFY2(waitForOutput(QStringLiteral("packs confirmed: 0  failed: 1  not flashed: 1")),
             qPrintable(terminal.text()));
    QCOMPARE(stopStation(), 6);
    int results = 0;
    for (const QString &line : terminal.plainLines()) {
        const bool result =
            line.contains(QLatin1String("  stalled  ")) || line.contains(QLatin1String("  not_flashed  "));
        if (result || line.startsWith(QLatin1String("  ("))) {
            QVERIFY2(line.size() <= kColumns, qPrintable(line));
            results += line.contains(QLatin1String("  stalled  ")) ? 1 : 0;
        }
    }
    QCOMPARE(results, 1);
    QVERIFY(
        terminal.text().contains(QRegularExpression(QStringLiteral("  \\.\\.\\.[^ ]*/bms\\.bin  stalled"))));
}

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
