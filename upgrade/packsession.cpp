#include "packsession.h"

#include "firmwarechoice.h"
#include "firmwarestore.h"
#include "openadvice.h"
#include "versiontext.h"

#include <QDir>

namespace Download {

namespace {

constexpr int kVerifyQueryMs = 1000; // ms between the version queries after the update

StartCheck refused(Outcome outcome, const QString &failure, const QString &path = QString())
{
    StartCheck check;
    check.verdict = StartCheck::Verdict::Refuse;
    check.outcome = outcome;
    check.failure = failure;
    check.path = path;
    return check;
}

} // namespace

QString noVersionText(bool versionKnown, const QString &version)
{
    return versionKnown
               ? QStringLiteral("the pack reported the version \"%1\", which is no version")
                     .arg(printableVersion(version))
               : QStringLiteral("no version reported within %1 s").arg(Quorvane::kVersionWaitMs / 1000);
}

StartCheck checkImage(const SharedImage &image, bool versionKnown, const QString &version,
                      bool unverifiedAllowed)
{
    bool unverified = false;
    if (!versionKnown || !versionUsable(version)) {
        if (!unverifiedAllowed) {
            return refused(Outcome::NoVersion, noVersionText(versionKnown, version), image.path);
        }
        unverified = true; // the path check is skipped for this pack
    } else if (!FirmwareImage::pathHasVersion(image.path, version)) {
        return refused(Outcome::ImageRefused,
                       QStringLiteral("the path of %1 does not contain the version %2")
                           .arg(image.path, FirmwareImage::versionKey(version)),
                       image.path);
    }
    if (image.verdict != FirmwareImage::LoadVerdict::Loaded) {
        return refused(Outcome::ImageRefused, FirmwareImage::problemText(image.verdict, image.path),
                       image.path);
    }
    StartCheck check;
    check.verdict = StartCheck::Verdict::Go;
    check.unverified = unverified;
    check.path = image.path;
    check.image = image.image;
    return check;
}

StartCheck checkFolder(const QString &dir, FirmwareStore *store, const QString &version)
{
    const FirmwareChoice choice = chooseFirmware(dir, firmwareFiles(dir), version);
    const QString problem = choiceProblem(choice, version);
    if (!problem.isEmpty()) {
        StartCheck check = refused(Outcome::NotFlashed, problem);
        check.candidates = choice.candidates;
        return check;
    }
    StartCheck check;
    check.path = choice.path;
    check.candidates = choice.candidates;
    switch (store->take(choice.path, &check.image, &check.failure, &check.waitMs)) {
    case FirmwareStore::State::Settling:
        check.verdict = StartCheck::Verdict::Wait;
        return check;
    case FirmwareStore::State::Refused: {
        StartCheck refusal = refused(Outcome::NotFlashed, check.failure, choice.path);
        refusal.candidates = choice.candidates;
        return refusal;
    }
    case FirmwareStore::State::Ready:
        break;
    }
    check.verdict = StartCheck::Verdict::Go;
    return check;
}

PackSession::PackSession(const QString &port, const SessionSettings &settings, QObject *parent)
    : QObject(parent), m_port(port), m_settings(settings), m_exchange(this)
{
    m_exchange.setStallTimeoutMs(settings.stallTimeoutS * 1000);
    m_exchange.setUnreportedVersionSource(VersionSource::None);
    m_exchange.setRetries(settings.retries);
    m_exchange.setSendAtOnce(true); // no tick of dead time before the first init and end commands
    m_verifyTimer.setInterval(kVerifyQueryMs);
    connect(&m_verifyTimer, &QTimer::timeout, this, &PackSession::verifyTick);
    connect(&m_exchange, &Exchange::versionReported, this, [this](const QString &version) {
        if (m_stage == Stage::Verify) {
            checkVersionAfter(version);
        } else {
            emit versionReported(version);
        }
    });
    connect(&m_exchange, &Exchange::versionUnanswered, this, [this] {
        if (m_stage != Stage::Verify) {
            emit versionUnanswered();
        }
    });
    connect(&m_exchange, &Exchange::acknowledged, this, &PackSession::progressed);
    connect(&m_exchange, &Exchange::finished, this,
            [this](const Record &record, const QString &) { onFinished(record); });
    connect(&m_exchange, &Exchange::portLost, this, [this] {
        // In a download the exchange ends it (link_lost); a pack restarting into its new firmware
        // may take the adapter with it a while.
        if (m_stage != Stage::Download && m_stage != Stage::Verify) {
            emit portLost();
        }
    });
    begin();
}

void PackSession::begin()
{
    m_started = QDateTime::currentDateTime();
    m_stage = Stage::Idle;
    m_file.clear();
    m_unverified = false;
    m_downloaded = false;
    m_recordError.clear();
    m_downloadClock.invalidate();
    m_result = PortResult();
    m_exchange.clearImage();
}

bool PackSession::open()
{
    if (m_exchange.open(m_port, m_settings.baud)) {
        m_openFailure.clear();
        return true;
    }
    m_openFailure = QStringLiteral("cannot open %1: %2")
                        .arg(m_port, OpenAdvice::line(m_exchange.openError(),
                                                      OpenAdvice::probe(m_port, m_exchange.openErrorCode())));
    return false;
}

void PackSession::closePort()
{
    m_exchange.closePort();
}

void PackSession::download(const StartCheck &check)
{
    m_file = check.path;
    m_unverified = check.unverified;
    m_exchange.setImage(check.image, check.path);
    m_stage = Stage::Download;
    m_downloadClock.start();
    m_exchange.start();
}

void PackSession::onFinished(const Record &record)
{
    if (m_stage != Stage::Download) {
        return;
    }
    m_downloaded = true;
    m_result.record = record;
    Outcome outcome = Outcome::Interrupted;
    outcomeFromName(record.outcome, &outcome);
    if (m_settings.verify && outcome == Outcome::Confirmed) {
        // The pack restarts into the new firmware: its version, asked from the next second on, tells
        // whether it runs.
        m_stage = Stage::Verify;
        m_verifyClock.start();
        m_verifyTimer.start();
        emit verifying();
        return;
    }
    end(outcome, outcomeAdvice(outcome, state().packet, m_settings.stallTimeoutS, state().refusedCode));
}

void PackSession::verifyTick()
{
    if (m_verifyClock.elapsed() >= qint64(m_settings.verifyTimeoutS) * 1000) {
        end(Outcome::NoVersionAfter, QStringLiteral("no version reported within %1 s after the update")
                                         .arg(m_settings.verifyTimeoutS));
        return;
    }
    if (!m_exchange.isOpen() && !m_exchange.open(m_port, m_settings.baud)) {
        return; // not back yet
    }
    m_exchange.queryVersion();
}

void PackSession::checkVersionAfter(const QString &version)
{
    m_result.record.versionAfter = version;
    if (!m_settings.expectVersion.isEmpty() && !version.startsWith(m_settings.expectVersion)) {
        end(Outcome::WrongVersion,
            QStringLiteral("after the update the pack reports \"%1\", not a version starting with \"%2\"")
                .arg(printableVersion(version), printableVersion(m_settings.expectVersion)));
        return;
    }
    end(Outcome::Verified, QStringLiteral("the pack now reports \"%1\"").arg(printableVersion(version)));
}

void PackSession::refuse(const StartCheck &check)
{
    m_result.candidates = check.candidates;
    end(check.outcome, check.failure, check.path);
}

void PackSession::interrupt()
{
    if (hasEnded()) {
        return;
    }
    if (m_stage == Stage::Download) {
        m_exchange.shutdown(); // ends the download through the machine: onFinished follows
    }
    end(Outcome::Interrupted, QStringLiteral("interrupted"));
}

// The record of the pack, built here alone: a download's from the exchange, with the check after it;
// otherwise what is known of the port, the pack and the image.
void PackSession::end(Outcome outcome, const QString &failure, const QString &file)
{
    if (hasEnded()) {
        return;
    }
    if (!file.isEmpty()) {
        m_file = file;
    }
    m_verifyTimer.stop();
    Record &r = m_result.record;
    if (!m_downloaded) {
        r = m_exchange.knownRecord();
        r.started = m_started;
        r.port = m_port;
        r.baud = m_settings.baud;
        if (r.file.isEmpty()) {
            r.file = QDir::toNativeSeparators(m_file);
        }
    }
    r.ended = QDateTime::currentDateTime(); // the check after the update included
    r.outcome = outcomeName(outcome);
    m_result.outcome = outcome;
    m_result.exitCode = exitCode(outcome);
    if (outcome == Outcome::NotFlashed && !versionUsable(r.packVersion)) {
        m_result.exitCode = kExitNoVersion; // the pack said nothing that names a firmware
    }
    m_result.failure = failure;
    m_result.unverified = m_unverified;
    m_stage = Stage::Ended;
    // A download's record, and the station's pack that got no firmware: the line's history holds both.
    const bool recorded = m_downloaded || outcome == Outcome::NotFlashed;
    QString error;
    if (recorded && !m_settings.recordFile.isEmpty() && !appendRecord(m_settings.recordFile, r, &error)) {
        m_recordError = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(m_settings.recordFile), error);
        qCWarning(lcUpgrade) << "download record not written:" << m_recordError;
    }
    emit ended(m_result);
}

} // namespace Download
