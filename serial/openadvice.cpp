#include "openadvice.h"

#include "portidentity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

QString translate(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

#ifndef Q_OS_WIN

// The lock file Qt's serial port takes ("LCK..ttyUSB0", "LCK..pts_3"): its holder, if any.
QString lockHolder(const QString &device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/"))) {
        name = name.mid(5);
    }
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *dir : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp",
                            "/var/tmp", "/var/lock/lockdev", "/run/lock"}) {
        const QString path = QLatin1String(dir) + QStringLiteral("/LCK..") + name;
        if (!QFileInfo::exists(path)) {
            continue;
        }
        qint64 pid = 0;
        QString host;
        QString app;
        if (QLockFile(path).getLockInfo(&pid, &host, &app) && pid > 0) {
            return QStringLiteral("%1 (pid %2)").arg(app.isEmpty() ? QStringLiteral("?") : app).arg(pid);
        }
    }
    return QString();
}

// A process with the device open, from /proc (only the user's own processes can be seen).
QString procHolder(const QString &device)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty()) {
        return QString();
    }
    const QString self = QString::number(QCoreApplication::applicationPid());
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid == self || pid.toLongLong() <= 0) {
            continue;
        }
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == target) {
                QFile comm(proc.filePath(pid + QStringLiteral("/comm")));
                const QString name = comm.open(QIODevice::ReadOnly)
                                         ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                         : QStringLiteral("?");
                return QStringLiteral("%1 (pid %2)").arg(name, pid);
            }
        }
    }
    return QString();
}
#endif

} // namespace

namespace OpenAdvice {

Cause classify(const Facts &facts)
{
    if (facts.error != QSerialPort::PermissionError) {
        return Cause::Other;
    }
    // Qt reports a held lock file and EBUSY as a permission error too; only a device the user may
    // not read and write is one.
    if (!facts.holder.isEmpty() || facts.exclusivePorts || facts.accessAllowed) {
        return Cause::Busy;
    }
    return Cause::Permission;
}

QString advice(const Facts &facts)
{
    switch (classify(facts)) {
    case Cause::Busy:
        if (!facts.holder.isEmpty()) {
            return translate("The port is in use by %1. Close that program, then press Open Serial again.")
                .arg(facts.holder);
        }
        return translate("The port is in use by another program. Close it, then press Open Serial again.");
    case Cause::Permission:
        return translate("Your user must be in the group that owns %1 (%2); add it and log in again.")
            .arg(facts.device, facts.group);
    case Cause::Other:
        break;
    }
    return QString();
}

QString reason(const Facts &facts, const QString &systemText)
{
    const char *words = QT_TRANSLATE_NOOP("MainWindow", "The system reports: %1");
    switch (facts.error) {
    case QSerialPort::DeviceNotFoundError:
        words = QT_TRANSLATE_NOOP("MainWindow", "The port does not exist");
        break;
    case QSerialPort::PermissionError:
        words = classify(facts) == Cause::Busy ? QT_TRANSLATE_NOOP("MainWindow", "The port is busy or in use")
                                               : QT_TRANSLATE_NOOP("MainWindow", "Permission denied");
        break;
    case QSerialPort::ResourceError:
        words = QT_TRANSLATE_NOOP("MainWindow", "The device is gone");
        break;
    default:
        break;
    }
    // The system speaks English here: without a translation its own text says it best.
    const QString translated = translate(words);
    if (translated == QLatin1String(words)) {
        return systemText;
    }
    return translated.contains(QLatin1String("%1")) ? translated.arg(systemText) : translated;
}

QString message(const QString &portName, const QString &systemReason, const Facts &facts)
{
    const QString text = translate("Cannot open %1: %2").arg(portName, reason(facts, systemReason));
    const QString more = advice(facts);
    if (more.isEmpty()) {
        return text;
    }
    // The system's reason has no full stop of its own.
    return QCoreApplication::translate("MainWindow", "%1. %2", "a failed open's reason, then the advice")
        .arg(text, more);
}

QString line(const QString &systemText, const Facts &facts)
{
    switch (classify(facts)) {
    case Cause::Busy:
        return facts.holder.isEmpty() ? PortIdentity::inUseText()
                                      : QStringLiteral("in use by %1").arg(facts.holder);
    case Cause::Permission:
        return QStringLiteral("permission denied; your user must be in the group that owns %1 (%2)")
            .arg(facts.device, facts.group);
    case Cause::Other:
        break;
    }
    return systemText;
}

Facts probe(const QString &portName, QSerialPort::SerialPortError error)
{
    Facts facts;
    facts.error = error;
#ifdef Q_OS_WIN
    facts.exclusivePorts = true;
    facts.device = portName;
#else
    facts.device = PortIdentity::systemLocation(portName);
    facts.group = QFileInfo(facts.device).group();
    facts.accessAllowed = ::access(QFile::encodeName(facts.device).constData(), R_OK | W_OK) == 0;
    if (error == QSerialPort::PermissionError) {
        facts.holder = lockHolder(facts.device);
        if (facts.holder.isEmpty()) {
            facts.holder = procHolder(facts.device);
        }
    }
#endif
    return facts;
}

} // namespace OpenAdvice
