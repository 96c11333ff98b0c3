#include "benchsupport.h"
#include "tests/common/buildpaths.h"

#include "eventwait.h"
#include "packsimulator.h"

#include <QEventLoop>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QTimer>

using PackSim::Kind;

SimThread::SimThread()
{
    m_clock.start();
}

SimThread::~SimThread()
{
    quit();
    wait();
}

bool SimThread::startSimulator()
{
    start();
    m_ready.acquire(); // run() releases it once the pseudo-terminal is open or has failed
    return !m_path.isEmpty();
}

QByteArray SimThread::image() const
{
    QMutexLocker lock(&m_mutex);
    return m_image;
}

std::vector<double> SimThread::takeSamples()
{
    QMutexLocker lock(&m_mutex);
    std::vector<double> samples;
    samples.swap(m_samples);
    return samples;
}

void SimThread::run()
{
    PackSim::PackSimulator pack;
    pack.setReportViolationsOnStderr(true);
    if (!pack.openPty()) {
        m_error = pack.errorString();
        m_ready.release();
        return;
    }
    m_path = pack.slavePath();
    qint64 ackNs = -1;
    connect(&pack, &PackSim::PackSimulator::replySent, &pack, [&](Kind kind) {
        ++m_replies;
        ackNs = (kind == Kind::Data || kind == Kind::Init) ? m_clock.nsecsElapsed() : -1;
    });
    connect(&pack, &PackSim::PackSimulator::commandReceived, &pack, [&](Kind kind) {
        if (kind != Kind::Data || ackNs < 0)
            return;
        const double us = static_cast<double>(m_clock.nsecsElapsed() - ackNs) / 1000.0;
        ackNs = -1;
        QMutexLocker lock(&m_mutex);
        m_samples.push_back(us);
    });
    connect(&pack, &PackSim::PackSimulator::imageCompleted, &pack, [&](const QByteArray &image) {
        {
            QMutexLocker lock(&m_mutex);
            m_image = image;
        }
        ++m_images;
    });
    connect(&pack, &PackSim::PackSimulator::violationFound, &pack, [&] { ++m_violations; });
    m_ready.release();
    exec();
    pack.close();
}

PackSimProcess::~PackSimProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        EventWait::until([this] { return m_process.state() == QProcess::NotRunning; }, 2000);
    }
}

bool PackSimProcess::start(const QStringList &arguments, int timeoutMs)
{
    // QUORVANE_PACKSIM names another build of the program (e.g. to compare simulator versions).
    const QString program = qEnvironmentVariableIsEmpty("QUORVANE_PACKSIM")
                                ? QString::fromUtf8(quorvanePacksimExe)
                                : qEnvironmentVariable("QUORVANE_PACKSIM");
    // Qt's own event dispatcher: its timers wake the simulator to the microsecond, where GLib's
    // round to whole milliseconds. The window in this process keeps the default dispatcher.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_NO_GLIB"), QStringLiteral("1"));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, arguments);
    if (!EventWait::until(
            [this] { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; },
            timeoutMs) ||
        !m_process.canReadLine()) {
        m_error =
            QStringLiteral("%1 did not print the path it serves (%2)").arg(program, m_process.errorString());
        return false;
    }
    m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return !m_path.isEmpty();
}

bool PackSimProcess::stop(int timeoutMs)
{
    m_process.terminate();
    const bool ended =
        EventWait::until([this] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
    m_summary = QString::fromLocal8Bit(m_process.readAllStandardOutput()).trimmed();
    return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

int PackSimProcess::violations() const
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^violations: (\\d+)$"), QRegularExpression::MultilineOption)
            .match(m_summary);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}
