#include "exchange.h"

#include "codec.h"
#include "constants.h"
#include "link.h"
#include "portidentity.h"

#include <QDir>

#include <utility>

Q_LOGGING_CATEGORY(lcUpgrade, "quorvane.upgrade", QtInfoMsg)

namespace Download {

Exchange::Exchange(QObject *parent)
    : QObject(parent), m_serial(this), m_initTimer(this), m_endTimer(this), m_stallTimer(this),
      m_versionTimer(this), m_expiryTimer(this), m_stallTimeoutMs(Quorvane::kStallNoticeMs),
      m_versionWaitMs(Quorvane::kVersionWaitMs)
{
    qRegisterMetaType<E_FUNC>();
    qRegisterMetaType<Download::Notice>();
    qRegisterMetaType<Download::Record>();
    // A coarse timer may fire up to 5 % late; the pack expects its commands a second apart. The
    // names let tests find the timers.
    m_initTimer.setObjectName(QStringLiteral("initTimer"));
    m_endTimer.setObjectName(QStringLiteral("endTimer"));
    for (QTimer *timer : {&m_initTimer, &m_endTimer}) {
        timer->setTimerType(Qt::PreciseTimer);
    }
    setTickMs(Quorvane::kUpgradeTickMs);
    m_stallTimer.setSingleShot(true);
    m_versionTimer.setSingleShot(true);
    m_expiryTimer.setSingleShot(true);
    m_expiryTimer.setTimerType(Qt::PreciseTimer);
    m_clock.start();
    connect(&m_initTimer, &QTimer::timeout, this, &Exchange::initTick);
    connect(&m_endTimer, &QTimer::timeout, this, &Exchange::endTick);
    connect(&m_stallTimer, &QTimer::timeout, this, [this] { feed(EventKind::StallElapsed); });
    connect(&m_expiryTimer, &QTimer::timeout, this, [this] { feed(EventKind::CopiesExpired); });
    // A version reply stops the wait: when it runs out, this query went unanswered, even if an
    // earlier one on the port was answered; that pack may not be the one on the line now, so its
    // version no longer stands for this port's pack.
    connect(&m_versionTimer, &QTimer::timeout, this, [this] {
        m_versionReported = false;
        emit versionUnanswered();
    });
    // Queued: the port is closed from the event loop, never inside its own notification.
    connect(&m_serial, &QSerialPort::errorOccurred, this, &Exchange::onPortError, Qt::QueuedConnection);
}

void Exchange::setTickMs(int ms)
{
    m_initTimer.setInterval(ms);
    m_endTimer.setInterval(ms);
    m_state.tickMs = ms;
}

bool Exchange::open(const QString &portName, qint32 baud)
{
    const QString device = PortIdentity::canonicalPath(portName);
    m_portName = portName;
    m_baud = baud;
    if (!Link::open8N1(m_serial, device, baud)) {
        m_openError = m_serial.errorString();
        m_openErrorCode = m_serial.error();
        qCDebug(lcSerial) << "cannot open" << portName << m_openError;
        return false;
    }
    QString lockError;
    if (!PortIdentity::lockOpenPort(m_serial, &lockError)) {
        m_serial.close();
        m_openError = lockError;
        m_openErrorCode = QSerialPort::PermissionError; // as Qt reports a held lock file
        qCDebug(lcSerial) << "cannot lock" << portName << m_openError;
        return false;
    }
    m_openError.clear();
    m_openErrorCode = QSerialPort::NoError;
    // Unique: opening again must not read twice for one notification.
    connect(&m_serial, &QSerialPort::readyRead, this, &Exchange::readAvailable, Qt::UniqueConnection);
    attach(&m_serial, portName, baud);
    return true;
}

void Exchange::attach(QIODevice *device, const QString &portName, qint32 baud)
{
    if (device != &m_serial) {
        connect(device, &QIODevice::readyRead, this, &Exchange::readAvailable, Qt::UniqueConnection);
    }
    m_device = device;
    m_portName = portName;
    m_baud = baud;
    m_recv.clear();
    m_versionReported = false; // a new port may lead to another pack
    m_version.clear();
}

void Exchange::closePort()
{
    feed(EventKind::PortClosed);
    detach();
}

void Exchange::detach()
{
    m_versionTimer.stop();
    if (m_serial.isOpen()) {
        m_serial.close();
    }
    m_serial.clearError();
    m_device = nullptr;
    m_versionReported = false;
}

bool Exchange::isOpen() const
{
    return m_device && m_device->isOpen();
}

void Exchange::setImage(const FirmwareImage::Image &image, const QString &path)
{
    feed(EventKind::ImageChanged);
    m_image = image;
    m_imagePath = path;
    m_state.packetCount = image.packets;
}

void Exchange::clearImage()
{
    setImage(FirmwareImage::Image(), QString());
}

void Exchange::queryVersion()
{
    feed(EventKind::VersionQuery);
    const QByteArray query = Codec::tokensToBytes(QByteArray(Codec::kVersionQueryText));
    for (int i = 0; i < Quorvane::kVersionQueryCopies; ++i) {
        writeCommand(query, eFuncVersion);
    }
    if (isOpen()) {
        m_versionTimer.start(m_versionWaitMs);
    }
}

void Exchange::start()
{
    m_versionTimer.stop(); // the download's own answers are no version
    feed(EventKind::Start);
    m_started = QDateTime::currentDateTime();
}

void Exchange::stopToRestart()
{
    feed(EventKind::Stop);
}

void Exchange::shutdown()
{
    m_versionTimer.stop();
    feed(EventKind::Closing);
}

qint64 Exchange::writeCommand(const QByteArray &bytes, E_FUNC func)
{
    feed(EventKind::CommandWritten, func);
    return write(bytes);
}

qint64 Exchange::writeFrame(const QByteArray &frame, E_FUNC func)
{
    feed(EventKind::CommandWritten, func);
    return isOpen() ? Link::writeInChunks(*m_device, frame) : -1;
}

qint64 Exchange::write(const QByteArray &bytes)
{
    if (!isOpen() || bytes.isEmpty()) {
        return isOpen() ? 0 : -1;
    }
    const qint64 written = m_device->write(bytes);
    qCDebug(lcSerial) << "written" << written << bytes.toHex();
    return written;
}

void Exchange::initTick()
{
    feed(EventKind::InitTick);
}

void Exchange::endTick()
{
    feed(EventKind::EndTick);
}

void Exchange::readAvailable()
{
    if (!isOpen()) {
        return;
    }
    const QByteArray data = m_device->readAll();
    if (data.isEmpty()) {
        return; // an empty read leaves the buffer as it is
    }
    qCDebug(lcSerial).nospace() << "recv data=" << data.toHex(' ').toUpper().constData();
    Link::appendReceived(m_recv, data);
    // A reply may write the next command (and so change what is pending) before the scan goes on.
    QByteArray infoHex;
    int returnCode = 0;
    while (Codec::takeNextFrame(m_recv, &infoHex, &returnCode)) {
        takeReply(infoHex, returnCode);
    }
}

// An empty answer goes to the download; one with INFO to the version query or test command it is
// paired with (TakeInfo).
void Exchange::takeReply(const QByteArray &infoHex, int returnCode)
{
    if (infoHex.isEmpty()) {
        feed(EventKind::Reply, eFuncNone, returnCode);
        return;
    }
    m_infoPayload = Codec::decodeInfo(infoHex);
    feed(EventKind::InfoReply);
}

void Exchange::takeInfo(E_FUNC func)
{
    const QByteArray payload = std::exchange(m_infoPayload, QByteArray());
    if (func == eFuncVersion) {
        m_versionTimer.stop();
        m_version = QString::fromUtf8(payload);
        m_versionReported = true;
        emit versionReported(m_version);
        return;
    }
    qCDebug(lcUpgrade) << "answer with INFO paired with"
                       << (func == eFuncTest ? "the test command" : "nothing");
    emit infoReply(func, payload);
}

void Exchange::tracePairing(const Action &a) const
{
    if (!lcUpgrade().isDebugEnabled()) {
        return;
    }
    QString copy = QStringLiteral("nothing");
    if (a.func == eFuncUpgradaInit) {
        copy = QStringLiteral("init, copy %1").arg(a.copy);
    } else if (a.func == eFuncUpgrada) {
        copy = QStringLiteral("packet %1, copy %2").arg(a.value).arg(a.copy);
    } else if (a.func == eFuncUpgradaEnd) {
        copy = QStringLiteral("end, copy %1").arg(a.copy);
    }
    qCDebug(lcUpgrade).noquote() << QStringLiteral("answer (return code %1) paired with %2%3")
                                        .arg(Codec::returnCodeText(a.code), copy,
                                             a.stale ? QStringLiteral(": stale") : QString());
}

void Exchange::onPortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || m_device != &m_serial ||
        !Link::portIsGone(error, m_serial.portName(), m_serial.isOpen())) {
        return;
    }
    qCDebug(lcSerial) << "port lost" << error << m_serial.errorString();
    feed(EventKind::LinkLost);
    detach();
    emit portLost();
}

void Exchange::feed(EventKind kind, E_FUNC func, int code)
{
    const quint32 acknowledgedBefore = m_state.totals.packetsAcknowledged;
    const Actions actions = step(m_state, Event{kind, func, m_clock.elapsed(), code});
    for (const Action &action : actions) {
        carryOut(action);
    }
    if (m_state.totals.packetsAcknowledged != acknowledgedBefore) {
        emit acknowledged(m_state.totals.packetsAcknowledged);
    }
}

void Exchange::carryOut(const Action &action)
{
    switch (action.kind) {
    case ActionKind::SendInit:
        write(Codec::tokensToBytes(QByteArray(Codec::kUpgradeInitText)));
        break;
    case ActionKind::SendPacket:
        emit packetSent(action.value, m_image.packets);
        if (isOpen()) {
            Link::writeInChunks(*m_device, FirmwareImage::dataFrame(m_image, action.value));
        }
        break;
    case ActionKind::SendEnd:
        write(FirmwareImage::endFrame(m_image)); // nothing when the head is broken
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
        m_stallTimer.start(m_stallTimeoutMs);
        break;
    case ActionKind::DisarmStall:
        m_stallTimer.stop();
        break;
    case ActionKind::ClearLog:
        emit logCleared();
        break;
    case ActionKind::SetProgress:
        emit progressChanged(action.value);
        break;
    case ActionKind::LogCompleted:
        emit completed();
        break;
    case ActionKind::ShowNotice:
        emit notice(action.notice, action.value, action.code);
        break;
    case ActionKind::ArmExpiry:
        m_expiryTimer.start(static_cast<int>(action.value));
        break;
    case ActionKind::DisarmExpiry:
        m_expiryTimer.stop();
        break;
    case ActionKind::Paired:
        tracePairing(action);
        break;
    case ActionKind::TakeInfo:
        takeInfo(action.func);
        break;
    case ActionKind::Finish:
        finishRecord(action);
        break;
    }
}

Record Exchange::knownRecord() const
{
    Record r;
    r.started = m_started;
    r.port = m_portName;
    r.baud = m_baud;
    r.packVersion = m_versionReported ? m_version : QString();
    r.versionSource = m_versionReported ? VersionSource::Pack : m_unreportedSource;
    r.file = QDir::toNativeSeparators(m_imagePath);
    r.size = m_image.fileBytes;
    r.sha256 = QString::fromLatin1(m_image.sha256Hex);
    r.packets = m_image.packets;
    r.programVersion = QStringLiteral(QUORVANE_VERSION);
    return r;
}

void Exchange::finishRecord(const Action &action)
{
    Record r = knownRecord();
    r.ended = QDateTime::currentDateTime();
    r.packetsAcknowledged = action.totals.packetsAcknowledged;
    r.initSends = action.totals.initSends;
    r.endSends = action.totals.endSends;
    r.packetRepeats = action.totals.packetRepeats;
    r.staleAnswers = action.totals.staleAnswers;
    r.outcome = outcomeName(action.outcome);

    QString error;
    if (!m_recordPath.isEmpty() && !appendRecord(m_recordPath, r, &error)) {
        error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(m_recordPath), error);
        qCWarning(lcUpgrade) << "download record not written:" << error;
    }
    emit finished(r, error);
}

} // namespace Download
