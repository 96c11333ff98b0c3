// quorvane-flash: the window's download from the command line, to one pack or several at once.
#include "console.h"
#include "firmwarechoice.h"
#include "options.h"
#include "portflasher.h"
#include "report.h"
#include "reportfile.h"
#include "station.h"

#include "datafolder.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QSerialPortInfo>
#include <QTextStream>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

constexpr int kRedrawMs = 250;    // ms between redraws of the progress lines on a terminal
constexpr int kSignalPollMs = 50; // ms between looks at the Ctrl-C flag

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

// --record FILE, else downloads.jsonl in the folder of config.ini.
QString recordPath(const Flash::Options &options)
{
    return options.recordPath.isEmpty() ? Settings::recordPath() : options.recordPath;
}

int listPorts()
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty()) {
        out() << "no serial ports\n";
    }
    for (const QSerialPortInfo &info : ports) {
        QStringList parts{info.systemLocation()};
        const auto add = [&parts](const char *label, const QString &value) {
            if (!value.isEmpty()) {
                parts << QStringLiteral("%1: %2").arg(QLatin1String(label), value);
            }
        };
        add("description", info.description());
        add("manufacturer", info.manufacturer());
        add("serial number", info.serialNumber());
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            add("USB VID:PID", QStringLiteral("%1:%2")
                                   .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                                   .arg(info.productIdentifier(), 4, 16, QLatin1Char('0')));
        }
        out() << parts.join(QStringLiteral("  ")) << '\n';
    }
    out().flush();
    return Flash::kExitConfirmed;
}

// Runs every port's flasher to its end, printing progress, then the summary and the report.
class Run : public QObject
{
public:
    Run(const Flash::Options &options, const Flash::SharedImage *image)
        : m_options(options), m_image(image), m_console(options.jsonPath == QLatin1String("-")),
          m_terminal(m_console.terminal())
    {
        Flash::PortSettings settings;
        settings.session = Flash::sessionSettings(options, recordPath(options));
        settings.unverified = options.unverified;
        settings.readVersionOnly = options.mode == Flash::Options::Mode::ReadVersion;
        for (const QString &port : options.ports) {
            auto flasher = std::make_unique<Flash::PortFlasher>(port, settings, image);
            Flash::PortFlasher *f = flasher.get();
            m_steps.push_back(-1);
            const size_t index = m_flashers.size();
            connect(f, &Flash::PortFlasher::progressed, this, [this, index] { plainProgress(index); });
            connect(f, &Flash::PortFlasher::done, this, [this, index] { portDone(index); });
            m_flashers.push_back(std::move(flasher));
        }
        connect(&m_redraw, &QTimer::timeout, this, [this] { redraw(); });
        connect(&m_signalPoll, &QTimer::timeout, this, [this] {
            if (Flash::signalCount() > 0) {
                interrupt();
            }
        });
    }

    void start()
    {
        m_signalPoll.start(kSignalPollMs);
        if (m_terminal && !readVersionOnly()) {
            m_redraw.start(kRedrawMs);
        }
        // An image that cannot be flashed is refused before any port opens.
        const QString imageProblem = FirmwareImage::problemText(m_image->verdict, m_image->path);
        for (auto &f : m_flashers) {
            if (m_options.mode == Flash::Options::Mode::Flash && !imageProblem.isEmpty()) {
                f->refuse(imageProblem);
            } else {
                f->start();
            }
        }
        redraw();
    }

    int exitCode() const { return m_exitCode; }

private:
    bool readVersionOnly() const { return m_options.mode == Flash::Options::Mode::ReadVersion; }

    Flash::Progress progressOf(const Flash::PortFlasher &f) const
    {
        Flash::Progress p;
        p.port = f.port();
        p.acknowledged = f.state().totals.packetsAcknowledged;
        p.total = f.state().packetCount;
        p.elapsedMs = f.downloadMs();
        p.phase = f.phaseName();
        p.stopped = f.finished() && f.exitCode() != Flash::kExitConfirmed;
        return p;
    }

    void redraw()
    {
        if (!m_terminal || readVersionOnly()) {
            return;
        }
        QString text;
        if (m_drawn > 0) {
            text += QStringLiteral("\x1b[%1A").arg(m_drawn);
        }
        for (const auto &f : m_flashers) {
            text += QStringLiteral("\r\x1b[2K") + Flash::progressLine(progressOf(*f)) + QLatin1Char('\n');
        }
        m_drawn = static_cast<int>(m_flashers.size());
        m_console.line(text);
    }

    // Without a terminal: one line per port at every 10 %.
    void plainProgress(size_t index)
    {
        if (m_terminal) {
            return;
        }
        const Flash::PortFlasher &f = *m_flashers[index];
        const int step = Flash::progressStep(f.state().totals.packetsAcknowledged, f.state().packetCount);
        if (step != m_steps[index]) {
            m_steps[index] = step;
            m_console.line(Flash::progressLine(progressOf(f)) + QLatin1Char('\n'));
        }
    }

    void portDone(size_t index)
    {
        const Flash::PortFlasher &f = *m_flashers[index];
        if (readVersionOnly()) {
            if (f.exitCode() == Flash::kExitConfirmed) {
                m_console.line(Flash::printableVersion(f.version()) + QLatin1Char('\n'));
            } else {
                m_console.error(QStringLiteral("quorvane-flash: %1: %2\n").arg(f.port(), f.failure()));
            }
        } else if (!m_terminal) {
            m_console.line(
                QStringLiteral("%1: %2 after %3 s%4\n")
                    .arg(f.port(), f.outcome(), QString::number(Download::seconds(f.record()), 'f', 1),
                         f.failure().isEmpty() ? QString() : QStringLiteral(" (%1)").arg(f.failure())));
        }
        for (const auto &other : m_flashers) {
            if (!other->finished()) {
                return;
            }
        }
        finishAll();
    }

    void interrupt()
    {
        m_signalPoll.stop();
        m_interrupted = true;
        m_signalExitCode = Flash::exitCodeForSignal(Flash::lastSignal());
        for (auto &f : m_flashers) {
            f->interrupt(); // closes each port and stops its timers at once
        }
    }

    void finishAll()
    {
        m_redraw.stop();
        m_signalPoll.stop();
        redraw();
        QList<Download::PortResult> results;
        for (const auto &f : m_flashers) {
            Download::PortResult r = f->result();
            // A port the signal ended has the run's code: 129 after a hang-up, 130 after Ctrl-C.
            if (m_interrupted && r.exitCode == Flash::kExitInterrupted) {
                r.exitCode = m_signalExitCode;
            }
            results.append(r);
        }
        m_exitCode = m_interrupted ? m_signalExitCode : Flash::overallExitCode(results);
        if (readVersionOnly()) {
            QCoreApplication::exit(m_exitCode);
            return;
        }
        if (m_terminal) {
            for (const Download::PortResult &r : results) {
                if (!r.failure.isEmpty()) {
                    m_console.error(QStringLiteral("%1: %2\n").arg(r.record.port, r.failure));
                }
            }
        }
        m_console.line(QLatin1Char('\n') + Flash::summaryTable(results));
        for (const auto &f : m_flashers) {
            if (!f->recordError().isEmpty()) {
                m_console.line(
                    QStringLiteral("%1: download record not written: %2\n").arg(f->port(), f->recordError()));
            }
        }
        if (!writeReport(results)) {
            m_exitCode = Flash::kExitReportNotWritten;
        }
        QCoreApplication::exit(m_exitCode);
    }

    bool writeReport(const QList<Download::PortResult> &results)
    {
        if (m_options.jsonPath.isEmpty()) {
            return true;
        }
        const QByteArray json = QJsonDocument(Flash::reportJson(results)).toJson(QJsonDocument::Indented);
        const bool onStdout = m_options.jsonPath == QLatin1String("-");
        QString why;
        if (onStdout ? !m_console.report(json, &why)
                     : !Flash::writeReportFile(m_options.jsonPath, json, &why)) {
            m_console.error(QStringLiteral("quorvane-flash: report not written: %1: %2\n")
                                .arg(onStdout ? QStringLiteral("standard output") : m_options.jsonPath, why));
            return false;
        }
        return true;
    }

    Flash::Options m_options;
    const Flash::SharedImage *m_image;
    Flash::Console m_console;
    bool m_terminal;
    std::vector<std::unique_ptr<Flash::PortFlasher>> m_flashers;
    std::vector<int> m_steps;
    QTimer m_redraw;
    QTimer m_signalPoll;
    int m_drawn = 0;
    bool m_interrupted = false;
    int m_signalExitCode = Flash::kExitInterrupted;
    int m_exitCode = Flash::kExitConfirmed;
};

// The --json report's place, checked before any port opens.
bool reportTargetUsable(const Flash::Options &options)
{
    if (options.jsonPath.isEmpty() || options.jsonPath == QLatin1String("-")) {
        return true;
    }
    const QString problem = Flash::reportTargetProblem(options.jsonPath);
    if (!problem.isEmpty()) {
        err() << "quorvane-flash: report not written: " << options.jsonPath << ": " << problem << '\n';
        return false;
    }
    return true;
}

int runStation(QCoreApplication &app, const Flash::Options &options)
{
    const QString problem = Download::firmwareDirProblem(options.firmwareDir);
    if (!problem.isEmpty()) {
        err() << "quorvane-flash: --firmware-dir " << problem << '\n';
        return Flash::kExitBadCommandLine;
    }
    if (!reportTargetUsable(options)) {
        return Flash::kExitReportNotWritten;
    }
    Flash::installSignalHandlers();
    Flash::Station station(options, recordPath(options));
    QTimer::singleShot(0, &station, [&station] { station.start(); });
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-flash"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    Flash::Options options;
    QString error;
    if (!Flash::parseOptions(QCoreApplication::arguments(), &options, &error)) {
        err() << "quorvane-flash: " << error << "\nTry 'quorvane-flash --help'.\n";
        return Flash::kExitBadCommandLine;
    }
    switch (options.mode) {
    case Flash::Options::Mode::Help:
        out() << options.helpText;
        return Flash::kExitConfirmed;
    case Flash::Options::Mode::Version:
        out() << "quorvane-flash " << QUORVANE_VERSION << '\n';
        return Flash::kExitConfirmed;
    case Flash::Options::Mode::ListPorts:
        return listPorts();
    case Flash::Options::Mode::Station:
        return runStation(app, options);
    case Flash::Options::Mode::ReadVersion:
    case Flash::Options::Mode::Flash:
        break;
    }

    if (!reportTargetUsable(options)) {
        return Flash::kExitReportNotWritten;
    }
    // The image is read once and shared by every port.
    Flash::SharedImage image;
    image.path = options.file;
    if (options.mode == Flash::Options::Mode::Flash) {
        image.verdict = FirmwareImage::load(options.file, &image.image);
    }

    Flash::installSignalHandlers();
    Run run(options, &image);
    QTimer::singleShot(0, &run, [&run] { run.start(); });
    const int code = app.exec();
    return code;
}
