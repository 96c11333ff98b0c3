#include "portflasher.h"

#include "versiontext.h"

namespace Flash {

PortFlasher::PortFlasher(const QString &port, const PortSettings &settings, const SharedImage *image,
                         QObject *parent)
    : QObject(parent), m_settings(settings), m_image(image), m_session(port, settings.session)
{
    connect(&m_session, &Download::PackSession::versionReported, this, &PortFlasher::checkVersion);
    connect(&m_session, &Download::PackSession::versionUnanswered, this, &PortFlasher::checkVersion);
    connect(&m_session, &Download::PackSession::progressed, this, &PortFlasher::progressed);
    connect(&m_session, &Download::PackSession::portLost, this, [this] {
        m_session.end(Download::Outcome::LinkLost, Download::portLostText()); // lost before a download
    });
    connect(&m_session, &Download::PackSession::ended, this, [this] {
        m_session.closePort(); // the pack has its outcome: closing records nothing more
        emit done();
    });
}

Stage PortFlasher::stage() const
{
    switch (m_session.stage()) {
    case Download::PackSession::Stage::Idle:
        return m_session.isOpen() ? Stage::Version : Stage::Waiting;
    case Download::PackSession::Stage::Download:
        return Stage::Download;
    case Download::PackSession::Stage::Verify:
        return Stage::Verify;
    case Download::PackSession::Stage::Ended:
        break;
    }
    return Stage::Finished;
}

QString PortFlasher::phaseName() const
{
    switch (stage()) {
    case Stage::Waiting:
        return QStringLiteral("waiting");
    case Stage::Verify:
        return QStringLiteral("verify");
    case Stage::Version:
        return QStringLiteral("version");
    case Stage::Finished:
        return outcome();
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
    m_session.begin();
    if (!m_session.open()) {
        m_session.end(Download::Outcome::OpenFailed, m_session.openFailure(),
                      m_settings.readVersionOnly ? QString() : m_image->path);
        return;
    }
    // The version query as the window sends it: five copies, one write each, then the wait.
    m_session.queryVersion();
}

void PortFlasher::refuse(const QString &why)
{
    m_session.begin();
    m_session.end(Download::Outcome::ImageRefused, why, m_image->path);
}

void PortFlasher::interrupt()
{
    m_session.interrupt();
}

// After the first version reply, or after the wait for one: the version, then the image, decide
// whether the download starts.
void PortFlasher::checkVersion()
{
    if (m_session.stage() != Download::PackSession::Stage::Idle) {
        return;
    }
    const bool known = m_session.versionKnown();
    const QString version = m_session.version();
    if (m_settings.readVersionOnly) {
        if (known && Download::versionUsable(version)) {
            m_session.end(Download::Outcome::VersionRead, QString());
        } else {
            m_session.end(Download::Outcome::NoVersion, Download::noVersionText(known, version));
        }
        return;
    }
    const Download::StartCheck check = Download::checkImage(*m_image, known, version, m_settings.unverified);
    if (check.verdict != Download::StartCheck::Verdict::Go) {
        m_session.end(check.outcome, check.failure, check.path);
        return;
    }
    m_session.download(check);
}

} // namespace Flash
