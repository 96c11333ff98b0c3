#include "portflasher.h"

#include "constants.h"
#include "openadvice.h"
#include "options.h"
#include "portidentity.h"
#include "report.h"

#include <QDir>

namespace Flash {

namespace {

constexpr int kVerifyQueryMs = 1000; // ms between the version queries after the update

} // namespace

PortFlasher::PortFlasher(const QString &port, const PortSettings &settings, const SharedImage *image,
                         QObject *parent)
    : QObject(parent), m_port(port), m_settings(settings), m_image(image), m_exchange(this)
{
    m_exchange.setStallTimeoutMs(settings.stallTimeoutS * 1000);
    m_exchange.setUnreportedVersionSource(Download::VersionSource::None);
    m_exchange.setRetries(settings.retries);
    m_exchange.setSendAtOnce(true); // no tick of dead time before the first init and end commands
    // With --verify the record waits for the version after the update; the flasher appends it.
    m_exchange.setRecordFile(settings.verify ? QString() : settings.recordFile);
    m_verifyTimer.setInterval(kVerifyQueryMs);
    connect(&m_verifyTimer, &QTimer::timeout, this, &PortFlasher::verifyTick);
    connect(&m_exchange, &Download::Exchange::versionReported, this, [this](const QString &version) {
        if (m_stage == Stage::Verify) {
            checkVersionAfter(version);
        }
    });
    if (image && image->verdict == FirmwareImage::LoadVerdict::Loaded) {
        m_exchange.setImage(image->image, image->path);
    }
    connect(&m_exchange, &Download::Exchange::versionReported, this, &PortFlasher::checkVersion);
    connect(&m_exchange, &Download::Exchange::versionUnanswered, this, &PortFlasher::checkVersion);
    connect(&m_exchange, &Download::Exchange::acknowledged, this, &PortFlasher::progressed);
    connect(&m_exchange, &Download::Exchange::finished, this, &PortFlasher::onFinished);
    connect(&m_exchange, &Download::Exchange::portLost, this, [this] {
        if (m_stage == Stage::Verify) {
            return; // a pack restarting into its new firmware may take the adapter with it a while
        }
        if (!finished()) { // lost before a download: the exchange had nothing to finish
            m_failure = portLostText();
            finish(Download::Outcome::LinkLost);
        }
    });
}

QString PortFlasher::phaseName() const
{
    switch (m_stage) {
    case Stage::Waiting:
        return QStringLiteral("waiting");
    case Stage::Opening:
        return QStringLiteral("opening");
    case Stage::Verify:
        return QStringLiteral("verify");
    case Stage::Version:
        return QStringLiteral("version");
    case Stage::Finished:
        return m_record.outcome;
    case Stage::Download:
        break;
    }
    switch (state().phase) {
    case Download::Phase::Handshake:
    case Download::Phase::InitExhausted:
        return QStringLiteral("init");
    case Download::Phase::Transfer:
    case Download::Phase::Stalled:
        return QStringLiteral("transfer");
    case Download::Phase::Finishing:
        return QStringLiteral("end");
    case Download::Phase::Idle:
    case Download::Phase::Done:
        break;
    }
    return QStringLiteral("download");
}

void PortFlasher::start()
{
    m_started = QDateTime::currentDateTime();
    m_stage = Stage::Opening;
    if (!m_exchange.open(m_port, m_settings.baud)) {
        m_failure = QStringLiteral("cannot open %1: %2")
                        .arg(m_port, OpenAdvice::line(m_exchange.openError(),
                                                      OpenAdvice::probe(m_port, m_exchange.openErrorCode())));
        finish(Download::Outcome::OpenFailed);
        return;
    }
    // The version query as the window sends it: five copies, one write each, then the wait.
    m_stage = Stage::Version;
    m_exchange.queryVersion();
}

void PortFlasher::refuse(const QString &why)
{
    m_started = QDateTime::currentDateTime();
    m_failure = why;
    finish(Download::Outcome::ImageRefused);
}

void PortFlasher::interrupt()
{
    if (finished()) {
        return;
    }
    m_exchange.shutdown(); // finishes a running download through the machine
    if (!finished()) {
        m_failure = QStringLiteral("interrupted");
        finish(Download::Outcome::Interrupted);
    }
}

// After the first version reply, or after the wait for one: the version, then the image, decide
// whether the download starts.
void PortFlasher::checkVersion()
{
    if (m_stage != Stage::Version) {
        return;
    }
    // Empty, blank, with a path separator or a control character: no version at all.
    if (!m_exchange.versionKnown() || !versionUsable(m_exchange.version())) {
        if (m_settings.readVersionOnly || !m_settings.unverified) {
            m_failure =
                m_exchange.versionKnown()
                    ? QStringLiteral("the pack reported the version \"%1\", which is no version")
                          .arg(printableVersion(m_exchange.version()))
                    : QStringLiteral("no version reported within %1 s").arg(Quorvane::kVersionWaitMs / 1000);
            finish(Download::Outcome::NoVersion);
            return;
        }
        m_unverified = true; // the path check is skipped for this pack
    } else if (m_settings.readVersionOnly) {
        finish(Download::Outcome::VersionRead);
        return;
    } else if (!FirmwareImage::pathHasVersion(m_image->path, m_exchange.version())) {
        m_failure = QStringLiteral("the path of %1 does not contain the version %2")
                        .arg(m_image->path, FirmwareImage::versionKey(m_exchange.version()));
        finish(Download::Outcome::ImageRefused);
        return;
    }
    if (m_image->verdict != FirmwareImage::LoadVerdict::Loaded) {
        m_failure = FirmwareImage::problemText(m_image->verdict, m_image->path);
        finish(Download::Outcome::ImageRefused);
        return;
    }
    m_stage = Stage::Download;
    m_downloadClock.start();
    m_exchange.start();
}

void PortFlasher::onFinished(const Download::Record &record, const QString &recordError)
{
    m_record = record;
    m_recordError = recordError;
    if (m_settings.verify && record.outcome == Download::outcomeName(Download::Outcome::Confirmed)) {
        // The pack restarts into the new firmware: its version, asked from the next second on, tells
        // whether it runs.
        m_stage = Stage::Verify;
        m_verifyClock.start();
        m_verifyTimer.start();
        return;
    }
    Download::Outcome outcome = Download::Outcome::Interrupted;
    Download::outcomeFromName(record.outcome, &outcome);
    m_failure = outcomeAdvice(outcome, m_exchange.state().packet, m_settings.stallTimeoutS,
                              m_exchange.state().refusedCode);
    finish(outcome);
}

void PortFlasher::verifyTick()
{
    if (m_verifyClock.elapsed() >= qint64(m_settings.verifyTimeoutS) * 1000) {
        m_failure =
            QStringLiteral("no version reported within %1 s after the update").arg(m_settings.verifyTimeoutS);
        finish(Download::Outcome::NoVersionAfter);
        return;
    }
    if (!m_exchange.isOpen() && !m_exchange.open(m_port, m_settings.baud)) {
        return; // not back yet
    }
    m_exchange.queryVersion();
}

void PortFlasher::checkVersionAfter(const QString &version)
{
    m_record.versionAfter = version;
    if (!m_settings.expectVersion.isEmpty() && !version.startsWith(m_settings.expectVersion)) {
        m_failure =
            QStringLiteral("after the update the pack reports \"%1\", not a version starting with \"%2\"")
                .arg(printableVersion(version), printableVersion(m_settings.expectVersion));
        finish(Download::Outcome::WrongVersion);
        return;
    }
    m_failure = QStringLiteral("the pack now reports \"%1\"").arg(printableVersion(version));
    finish(Download::Outcome::Verified);
}

void PortFlasher::finish(Download::Outcome outcome)
{
    if (finished()) {
        return;
    }
    m_verifyTimer.stop();
    const bool afterDownload = m_record.ended.isValid();
    m_stage = Stage::Finished;
    m_outcome = outcome;
    m_exitCode = Download::exitCode(outcome);
    if (!m_record.ended.isValid()) { // ended before a download: what is known of it
        m_record = m_exchange.knownRecord();
        m_record.started = m_started;
        m_record.ended = QDateTime::currentDateTime();
        // What the command line gave, whether or not the port opened.
        m_record.port = m_port;
        m_record.baud = m_settings.baud;
        if (m_record.file.isEmpty() && m_image && !m_settings.readVersionOnly) {
            m_record.file = QDir::toNativeSeparators(m_image->path);
        }
    }
    m_record.outcome = Download::outcomeName(outcome);
    if (m_settings.verify && afterDownload) {
        m_record.ended = QDateTime::currentDateTime(); // the check after the update included
        QString error;
        if (!m_settings.recordFile.isEmpty() &&
            !Download::appendRecord(m_settings.recordFile, m_record, &error)) {
            m_recordError =
                QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(m_settings.recordFile), error);
        }
    }
    m_exchange.closePort(); // the download has its outcome: closing records nothing more
    emit done();
}

} // namespace Flash
