// quorvane-flash: the window's download from the command line, to one pack or several at once.
#include "options.h"
#include "portflasher.h"
#include "report.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QSerialPortInfo>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

#ifdef Q_OS_WIN
#include <io.h>
#define QUORVANE_ISATTY(fd) _isatty(fd)
#define QUORVANE_FILENO(f) _fileno(f)
#else
#include <unistd.h>
#define QUORVANE_ISATTY(fd) isatty(fd)
#define QUORVANE_FILENO(f) fileno(f)
#endif

namespace {

constexpr int kRedrawMs = 250;    // ms between redraws of the progress lines on a terminal
constexpr int kSignalPollMs = 50; // ms between looks at the Ctrl-C flag

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int)
{
    g_interrupted = 1;
}

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
        : m_options(options), m_terminal(QUORVANE_ISATTY(QUORVANE_FILENO(stdout)) != 0)
    {
        Flash::PortSettings settings;
        settings.baud = options.baud;
        settings.stallTimeoutS = options.stallTimeoutS;
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
            if (g_interrupted) {
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
        for (auto &f : m_flashers) {
            f->start();
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
        return p;
    }

    void redraw()
    {
        if (!m_terminal || readVersionOnly()) {
            return;
        }
        if (m_drawn > 0) {
            out() << "\x1b[" << m_drawn << 'A';
        }
        for (const auto &f : m_flashers) {
            out() << "\r\x1b[2K" << Flash::progressLine(progressOf(*f)) << '\n';
        }
        m_drawn = static_cast<int>(m_flashers.size());
        out().flush();
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
            out() << Flash::progressLine(progressOf(f)) << '\n';
            out().flush();
        }
    }

    void portDone(size_t index)
    {
        const Flash::PortFlasher &f = *m_flashers[index];
        if (readVersionOnly()) {
            if (f.exitCode() == Flash::kExitConfirmed) {
                out() << f.version() << '\n';
            } else {
                err() << "quorvane-flash: " << f.port() << ": " << f.failure() << '\n';
            }
        } else if (!m_terminal) {
            out() << f.port() << ": " << f.outcome() << " after "
                  << QString::number(Download::seconds(f.record()), 'f', 1) << " s"
                  << (f.failure().isEmpty() ? QString() : QStringLiteral(" (%1)").arg(f.failure())) << '\n';
        }
        out().flush();
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
        for (auto &f : m_flashers) {
            f->interrupt(); // closes each port and stops its timers at once
        }
    }

    void finishAll()
    {
        m_redraw.stop();
        m_signalPoll.stop();
        redraw();
        QList<Flash::PortResult> results;
        for (const auto &f : m_flashers) {
            Flash::PortResult r;
            r.exitCode = f->exitCode();
            r.failure = f->failure();
            r.unverified = f->versionUnverified();
            r.record = f->record();
            results.append(r);
        }
        m_exitCode = m_interrupted ? Flash::kExitInterrupted : Flash::overallExitCode(results);
        if (readVersionOnly()) {
            QCoreApplication::exit(m_exitCode);
            return;
        }
        if (m_terminal) {
            for (const Flash::PortResult &r : results) {
                if (!r.failure.isEmpty()) {
                    err() << r.record.port << ": " << r.failure << '\n';
                }
            }
            err().flush();
        }
        out() << '\n' << Flash::summaryTable(results);
        for (const auto &f : m_flashers) {
            if (!f->recordError().isEmpty()) {
                out() << f->port() << ": download record not written: " << f->recordError() << '\n';
            }
        }
        out().flush();
        writeReport(results);
        QCoreApplication::exit(m_exitCode);
    }

    void writeReport(const QList<Flash::PortResult> &results)
    {
        if (m_options.jsonPath.isEmpty()) {
            return;
        }
        const QByteArray json = QJsonDocument(Flash::reportJson(results)).toJson(QJsonDocument::Indented);
        if (m_options.jsonPath == QLatin1String("-")) {
            out() << json;
            out().flush();
            return;
        }
        QFile file(m_options.jsonPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(json) != json.size()) {
            err() << "quorvane-flash: the report " << m_options.jsonPath
                  << " cannot be written: " << file.errorString() << '\n';
        }
    }

    Flash::Options m_options;
    bool m_terminal;
    std::vector<std::unique_ptr<Flash::PortFlasher>> m_flashers;
    std::vector<int> m_steps;
    QTimer m_redraw;
    QTimer m_signalPoll;
    int m_drawn = 0;
    bool m_interrupted = false;
    int m_exitCode = Flash::kExitConfirmed;
};

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
    case Flash::Options::Mode::ReadVersion:
    case Flash::Options::Mode::Flash:
        break;
    }

    // The image is read once and shared by every port.
    Flash::SharedImage image;
    image.path = options.file;
    if (options.mode == Flash::Options::Mode::Flash) {
        image.verdict = FirmwareImage::load(options.file, &image.image);
    }

    std::signal(SIGINT, onInterrupt);
#ifdef SIGTERM
    std::signal(SIGTERM, onInterrupt);
#endif
    Run run(options, &image);
    QTimer::singleShot(0, &run, [&run] { run.start(); });
    const int code = app.exec();
    return code;
}
