#include "station.h"

#include "constants.h"
#include "firmwarechoice.h"
#include "portidentity.h"
#include "reportfile.h"
#include "stationview.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <csignal>

namespace Flash {

namespace {

constexpr int kRedrawMs = 250;       // ms between redraws of the live table on a terminal
constexpr int kSignalPollMs = 50;    // ms between looks at the Ctrl-C count
constexpr int kReportWriteMs = 1000; // ms between rewrites of the report while packs come

} // namespace

Station::Station(const Options &options, const QString &recordFile, QObject *parent)
    : QObject(parent),
      m_options(options), m_settings{sessionSettings(options, recordFile), options.firmwareDir},
      m_console(false), m_reportWrites(kReportWriteMs, [this] { writeReport(); })
{
    connect(&m_redraw, &QTimer::timeout, this, &Station::redraw);
    connect(&m_signalPoll, &QTimer::timeout, this, &Station::onSignals);
    connect(&m_discovery, &QTimer::timeout, this, &Station::discoverPorts);
}

Station::~Station() = default;

void Station::start()
{
    print(QStringLiteral(
              "station: firmware from %1; Ctrl-C stops taking new packs, a second Ctrl-C interrupts\n")
              .arg(m_options.firmwareDir));
    m_firmware.look(Download::firmwareFiles(m_options.firmwareDir)); // the settle time starts now
    for (const QString &port : qAsConst(m_options.ports)) {
        addPort(port);
    }
    if (m_options.allPorts) {
        discoverPorts();
        m_discovery.start(Quorvane::kStationQueryMs);
    }
    m_signalPoll.start(kSignalPollMs);
    if (m_console.terminal()) {
        m_redraw.start(kRedrawMs);
    }
    redraw();
}

void Station::addPort(const QString &port)
{
    m_devices.insert(PortIdentity::canonicalPath(port));
    auto stationPort = std::make_unique<StationPort>(port, m_settings, &m_firmware);
    StationPort *p = stationPort.get();
    connect(p, &StationPort::packDone, this, &Station::onPackDone);
    connect(p, &StationPort::notice, this, [this](const QString &text) { print(text + QLatin1Char('\n')); });
    connect(p, &StationPort::stoppedNow, this, &Station::finishIfStopped);
    m_ports.push_back(std::move(stationPort));
    p->start();
}

// --all-ports: the system's serial ports, and those that appear later, join the station.
void Station::discoverPorts()
{
    if (m_signalsSeen > 0) {
        return;
    }
    for (const QString &port : PortIdentity::newPorts(m_devices)) {
        print(QStringLiteral("%1 joins the station\n").arg(port));
        addPort(port);
    }
}

void Station::onSignals()
{
    const int count = signalCount();
    if (count == m_signalsSeen) {
        return;
    }
#ifdef SIGHUP
    m_hungUp = m_hungUp || lastSignal() == SIGHUP;
#endif
    const bool first = m_signalsSeen == 0;
    m_signalsSeen = count;
    if (first && count == 1 && !m_hungUp) {
        print(QStringLiteral(
            "stopping: no new packs; running downloads finish (Ctrl-C again interrupts them)\n"));
        for (auto &port : m_ports) {
            port->stopTakingPacks();
        }
    } else {
        // A second Ctrl-C, or a hang-up: nobody is watching any more.
        for (auto &port : m_ports) {
            port->interrupt();
        }
    }
    finishIfStopped();
}

void Station::onPackDone(const PortResult &pack)
{
    PortResult result = pack;
    if (m_hungUp && result.exitCode == kExitInterrupted) {
        result.exitCode = kExitHangUp; // nobody was there any more: not a Ctrl-C
    }
    m_results.append(result);
    ++(!flashed(result) ? m_notFlashed : result.exitCode == kExitConfirmed ? m_confirmed : m_failed);
    QString text = stationResultLine(result, m_console.columns()) + QLatin1Char('\n');
    if (m_console.terminal()) {
        text += QLatin1Char('\a');
    }
    print(text);
    m_reportWrites.request();
}

void Station::clearTable()
{
    if (m_console.terminal() && m_drawn > 0) {
        m_console.line(QStringLiteral("\x1b[%1A\r\x1b[J").arg(m_drawn));
    }
    m_drawn = 0;
}

void Station::print(const QString &text)
{
    clearTable();
    m_console.line(text);
    if (m_console.terminal()) {
        redraw();
    }
}

QString Station::tableText() const
{
    int width = 0;
    for (const auto &port : m_ports) {
        width = std::max(width, static_cast<int>(port->port().size()));
    }
    QString text;
    for (const auto &port : m_ports) {
        text += stationRowText(port->row(), width) + QLatin1Char('\n');
    }
    return text + stationTotals(m_confirmed, m_failed, m_notFlashed) + QLatin1Char('\n');
}

void Station::redraw()
{
    if (!m_console.terminal() || m_finished) {
        return;
    }
    clearTable();
    m_console.line(tableText());
    m_drawn = static_cast<int>(m_ports.size()) + 1;
}

void Station::writeReport()
{
    if (m_options.jsonPath.isEmpty()) {
        return;
    }
    QString why;
    const QByteArray json = QJsonDocument(reportJson(m_results)).toJson(QJsonDocument::Indented);
    if (!writeReportFile(m_options.jsonPath, json, &why)) {
        if (!m_reportFailed) {
            m_console.error(
                QStringLiteral("quorvane-flash: report not written: %1: %2\n").arg(m_options.jsonPath, why));
        }
        m_reportFailed = true;
    } else {
        m_reportFailed = false;
    }
}

void Station::finishIfStopped()
{
    if (m_finished || m_signalsSeen == 0) {
        return;
    }
    for (const auto &port : m_ports) {
        if (!port->stopped()) {
            return;
        }
    }
    m_finished = true;
    m_redraw.stop();
    m_signalPoll.stop();
    m_discovery.stop();
    if (m_console.terminal()) {
        clearTable();
        m_console.line(tableText());
    }
    QStringList ports;
    for (const auto &port : m_ports) {
        ports << port->port();
    }
    m_console.line(QLatin1Char('\n') + stationSummary(m_results, ports));
    m_reportWrites.stop();
    writeReport();
    m_exitCode = stationExitCode(m_results);
    if (m_exitCode == kExitConfirmed && m_hungUp) {
        m_exitCode = kExitHangUp;
    }
    if (m_reportFailed) {
        m_exitCode = kExitReportNotWritten;
    }
    QCoreApplication::exit(m_exitCode);
}

} // namespace Flash
