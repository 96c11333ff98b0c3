#include "portpresence.h"

#include "portidentity.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace SerialPresence {

bool portStillPresent(const QString &portName)
{
    const QString location = PortIdentity::systemLocation(portName);
#ifdef Q_OS_WIN
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        if (PortIdentity::systemLocation(info.portName()) == location) {
            return true;
        }
    }
    return false;
#else
    return !location.isEmpty() && QFileInfo::exists(location);
#endif
}

} // namespace SerialPresence
