#include "portpresence.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace SerialPresence {

bool portStillPresent(const QString &portName)
{
#ifdef Q_OS_WIN
    // Names may come as "COM5" or in the device namespace "\\.\COM5"; Windows ignores case.
    QString name = portName;
    if (name.startsWith(QLatin1String("\\\\.\\"))) {
        name.remove(0, 4);
    }
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        if (info.portName().compare(name, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
#else
    const QString file =
        portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
    return QFileInfo::exists(file);
#endif
}

} // namespace SerialPresence
