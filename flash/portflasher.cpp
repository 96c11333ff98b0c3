#include "portflasher.h"

#include "codec.h"
#include "constants.h"
#include "link.h"
#include "options.h"

#include <QDir>

namespace Flash {

namespace {

constexpr int kVersionWaitMs = 3000; // ms to wait for the pack's version after the query

} // namespace

int exitCodeFor(Download::Outcome outcome)
{
    switch (outcome) {
    case Download::Outcome::Confirmed:
        return kExitConfirmed;
    case Download::Outcome::Unconfirmed:
        return kExitUnconfirmed;
    case Download::Outcome::InitUnanswered:
        return kExitInitUnanswered;
    case Download::Outcome::Stalled:
        return kExitStalled;
    case Download::Outcome::LinkLost:
        return kExitLinkLost;
    case Download::Outcome::Restarted:
    case Download::Outcome::Closed:
        return kExitInterrupted;
    }
    return kExitInterrupted;
}

PortFlasher::PortFlasher(const QString &port, const PortSettings &settings, const SharedImage *image,
                         QObject *parent)
    : QObject(parent), m_port(port), m_settings(settings), m_image(image), m_serial(this)
{
    for (QTimer *timer : {&m_initTimer, &m_endTimer}) {
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(Quorvane::kUpgradeTickMs);
    }
    m_stallTimer.setSingleShot(true);
    m_versionTimer.setSingleShot(true);
    connect(&m_initTimer, &QTimer::timeout, this, [this] { feed(Download::EventKind::InitTick); });
    connect(&m_endTimer, &QTimer::timeout, this, [this] { feed(Download::EventKind::EndTick); });
    connect(&m_stallTimer, &QTimer::timeout, this, [this] { feed(Download::EventKind::StallElapsed); });
    connect(&m_versionTimer, &QTimer::timeout, this, &PortFlasher::versionTimedOut);
    connect(&m_serial, &QSerialPort::readyRead, this, &PortFlasher::onReadyRead);
    // Queued: the port is closed from the event loop, never inside its own notification.
    connect(&m_serial, &QSerialPort::errorOccurred, this, &PortFlasher::onError, Qt::QueuedConnection);

    m_record.port = port;
    m_record.baud = settings.baud;
    m_record.file = image ? QDir::toNativeSeparators(image->path) : QString();
    if (image && image->verdict == FirmwareImage::LoadVerdict::Loaded) {
        m_record.size = image->image.fileBytes;
        m_record.sha256 = QString::fromLatin1(image->image.sha256Hex);
        m_record.packets = image->image.packets;
        m_state.packetCount = image->image.packets;
    }
    m_record.programVersion = QStringLiteral(QUORVANE_VERSION);
}

QString PortFlasher::phaseName() const
{
    switch (m_stage) {
    case Stage::Waiting:
        return QStringLiteral("waiting");
    case Stage::Opening:
        return QStringLiteral("opening");
    case Stage::Version:
        return QStringLiteral("version");
    case Stage::Finished:
        return m_record.outcome;
    case Stage::Download:
        break;
    }
    switch (m_state.phase) {
    case Download::Phase::Handshake:
        return QStringLiteral("init");
    case Download::Phase::Transfer:
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
    m_record.started = QDateTime::currentDateTime();
    m_stage = Stage::Opening;
    m_serial.setPortName(m_port);
    m_serial.setBaudRate(m_settings.baud, QSerialPort::AllDirections);
    m_serial.setDataBits(QSerialPort::Data8);
    m_serial.setParity(QSerialPort::NoParity);
    m_serial.setStopBits(QSerialPort::OneStop);
    m_serial.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_serial.open(QIODevice::ReadWrite)) {
        m_failure = QStringLiteral("cannot open %1: %2").arg(m_port, m_serial.errorString());
        finish(kExitCannotOpen, QStringLiteral("open_failed"));
        return;
    }

    // The version query as the window sends it: five copies, one write each.
    m_stage = Stage::Version;
    feed(Download::EventKind::VersionQuery);
    m_state.pending = eFuncVersion;
    const QByteArray query = Codec::tokensToBytes(QByteArray(Codec::kVersionQueryText));
    for (int i = 0; i < Quorvane::kVersionQueryCopies; ++i) {
        m_serial.write(query);
    }
    m_versionTimer.start(kVersionWaitMs);
}

void PortFlasher::interrupt()
{
    if (finished()) {
        return;
    }
    if (m_stage == Stage::Download) {
        feed(Download::EventKind::Closing); // finishes through the machine
    }
    if (!finished()) {
        m_failure = QStringLiteral("interrupted");
        finish(kExitInterrupted, QStringLiteral("interrupted"));
    }
}

void PortFlasher::onReadyRead()
{
    const QByteArray data = m_serial.readAll();
    if (data.isEmpty()) {
        return;
    }
    Link::appendReceived(m_recv, data);
    QByteArray info;
    while (!finished() && Codec::takeNextFrame(m_recv, &info)) {
        const E_FUNC pending = m_state.pending;
        if (info.isEmpty()) {
            const bool upgrade =
                pending == eFuncUpgradaInit || pending == eFuncUpgrada || pending == eFuncUpgradaEnd;
            feed(upgrade ? Download::EventKind::Reply : Download::EventKind::OtherReply, pending);
        } else if (pending == eFuncVersion) {
            onVersion(QString::fromUtf8(Codec::decodeInfo(info)));
        } else {
            feed(Download::EventKind::OtherReply);
        }
    }
}

void PortFlasher::onError(QSerialPort::SerialPortError error)
{
    if (finished() || !Link::portIsGone(error, m_serial.portName(), m_serial.isOpen())) {
        return;
    }
    m_failure = QStringLiteral("port lost: %1").arg(m_serial.errorString());
    if (m_stage == Stage::Download) {
        feed(Download::EventKind::LinkLost);
    }
    if (!finished()) {
        finish(kExitLinkLost, QStringLiteral("link_lost"));
    }
}

void PortFlasher::onVersion(const QString &version)
{
    m_version = version;
    m_versionReported = true;
    if (m_stage != Stage::Version) {
        return; // one of the later answers to the five queries
    }
    m_versionTimer.stop();
    if (m_settings.readVersionOnly) {
        finish(kExitConfirmed, QStringLiteral("version"));
        return;
    }
    if (!FirmwareImage::pathHasVersion(m_image->path, version)) {
        m_failure = QStringLiteral("the path of %1 does not contain the version %2")
                        .arg(m_image->path, FirmwareImage::versionKey(version));
        finish(kExitImageRefused, QStringLiteral("image_refused"));
        return;
    }
    versionTimedOut(); // checked: go on as after the wait
}

void PortFlasher::versionTimedOut()
{
    if (m_stage != Stage::Version) {
        return;
    }
    if (!m_versionReported) {
        if (m_settings.readVersionOnly || !m_settings.unverified) {
            m_failure = QStringLiteral("no version reported within %1 s").arg(kVersionWaitMs / 1000);
            finish(kExitNoVersion, QStringLiteral("no_version"));
            return;
        }
        m_unverified = true; // the path check is skipped for this pack
    }
    if (m_image->verdict != FirmwareImage::LoadVerdict::Loaded) {
        m_failure = m_image->verdict == FirmwareImage::LoadVerdict::TooShort
                        ? QStringLiteral("the file is too short")
                    : m_image->verdict == FirmwareImage::LoadVerdict::TooLarge
                        ? QStringLiteral("the file is too large")
                        : QStringLiteral("the file cannot be read");
        finish(kExitImageRefused, QStringLiteral("image_refused"));
        return;
    }
    m_stage = Stage::Download;
    m_record.started = QDateTime::currentDateTime();
    m_downloadClock.start();
    feed(Download::EventKind::Start);
}

void PortFlasher::feed(Download::EventKind kind, E_FUNC func)
{
    m_state.initTimer = m_initTimer.isActive();
    m_state.endTimer = m_endTimer.isActive();
    const quint32 acknowledged = m_state.packetsAcknowledged;
    const Download::Actions actions = Download::step(m_state, Download::Event{kind, func});
    for (const Download::Action &action : actions) {
        carryOut(action);
    }
    if (m_state.packetsAcknowledged != acknowledged) {
        emit progressed();
    }
}

void PortFlasher::carryOut(const Download::Action &action)
{
    using Download::ActionKind;
    const FirmwareImage::Image &image = m_image->image;
    switch (action.kind) {
    case ActionKind::SendInit:
        m_serial.write(Codec::tokensToBytes(QByteArray(Codec::kUpgradeInitText)));
        break;
    case ActionKind::SendPacket: {
        const QByteArray packet = image.body.mid(static_cast<int>(action.value) * Quorvane::kPacketHexChars,
                                                 Quorvane::kPacketHexChars);
        Link::writeInChunks(
            m_serial, Codec::buildDataFrame(packet, static_cast<quint16>(action.value & 0xFFFF), 0x33, 1));
        break;
    }
    case ActionKind::SendEnd:
        m_serial.write(
            Codec::buildUpgradeEndFrame(static_cast<quint16>(image.packets & 0xFFFF), image.head8));
        break;
    case ActionKind::StartInitTimer:
        m_initTimer.start();
        break;
    case ActionKind::StopInitTimer:
        m_initTimer.stop();
        break;
    case ActionKind::StartEndTimer:
        m_endTimer.start();
        break;
    case ActionKind::StopEndTimer:
        m_endTimer.stop();
        break;
    case ActionKind::ArmStall:
        m_stallTimer.start(m_settings.stallTimeoutS * 1000);
        break;
    case ActionKind::DisarmStall:
        m_stallTimer.stop();
        break;
    case ActionKind::ClearLog:
    case ActionKind::SetProgress:
    case ActionKind::LogCompleted:
    case ActionKind::ShowNotice:
        break; // the progress line shows the state itself
    case ActionKind::Finish:
        finish(exitCodeFor(action.outcome), action.outcome == Download::Outcome::Closed
                                                ? QStringLiteral("interrupted")
                                                : Download::outcomeName(action.outcome));
        break;
    }
}

void PortFlasher::finish(int exitCode, const QString &outcome)
{
    if (finished()) {
        return;
    }
    m_stage = Stage::Finished;
    m_exitCode = exitCode;
    for (QTimer *timer : {&m_initTimer, &m_endTimer, &m_stallTimer, &m_versionTimer}) {
        timer->stop();
    }
    if (m_serial.isOpen()) {
        m_serial.close();
    }
    m_record.ended = QDateTime::currentDateTime();
    m_record.packVersion = m_versionReported ? m_version : QString();
    m_record.versionSource = m_versionReported ? QStringLiteral("pack") : QStringLiteral("none");
    m_record.packetsAcknowledged = m_state.packetsAcknowledged;
    m_record.initSends = m_state.initSendsTotal;
    m_record.endSends = m_state.endSendsTotal;
    m_record.outcome = outcome;
    emit done();
}

} // namespace Flash
