#include "portidentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace PortIdentity {

QString systemLocation(const QString &portName)
{
#ifdef Q_OS_WIN
    QString name = portName;
    if (name.startsWith(QLatin1String("\\\\.\\"))) {
        name.remove(0, 4);
    }
    return name.toUpper();
#else
    if (portName.isEmpty()) {
        return QString();
    }
    // Qt's own rule: a path (absolute, or relative from "./" or "../") as given, any other name below
    // /dev ("pts/3" is /dev/pts/3).
    const bool path = portName.startsWith(QLatin1Char('/')) || portName.startsWith(QLatin1String("./")) ||
                      portName.startsWith(QLatin1String("../"));
    return QDir::cleanPath(path ? portName : QStringLiteral("/dev/") + portName);
#endif
}

QString canonicalPath(const QString &portName)
{
    const QString location = systemLocation(portName);
#ifndef Q_OS_WIN
    const QString resolved = QFileInfo(location).canonicalFilePath();
    if (!resolved.isEmpty()) {
        return resolved;
    }
#endif
    return location;
}

QStringList newPorts(const QSet<QString> &canonicalPaths)
{
    QStringList ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        if (!canonicalPaths.contains(canonicalPath(info.systemLocation()))) {
            ports << info.systemLocation();
        }
    }
    return ports;
}

bool findSameDevice(const QStringList &canonicalPaths, int *first, int *second)
{
    for (int i = 0; i < canonicalPaths.size(); ++i) {
        const int j = canonicalPaths.indexOf(canonicalPaths.at(i), i + 1);
        if (j > i) {
            *first = i;
            *second = j;
            return true;
        }
    }
    return false;
}

QString inUseText()
{
    return QStringLiteral("in use by another program");
}

bool lockHandle(long long handle, QString *error)
{
#ifdef Q_OS_WIN
    Q_UNUSED(handle)
    Q_UNUSED(error)
    return true;
#else
    int result = 0;
    do {
        result = ::flock(static_cast<int>(handle), LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        return true;
    }
    *error = errno == EWOULDBLOCK ? inUseText() : QString::fromLocal8Bit(std::strerror(errno));
    return false;
#endif
}

bool lockOpenPort(QSerialPort &port, QString *error)
{
#ifdef Q_OS_WIN
    Q_UNUSED(port)
    Q_UNUSED(error)
    return true;
#else
    return lockHandle(static_cast<long long>(port.handle()), error);
#endif
}

} // namespace PortIdentity
