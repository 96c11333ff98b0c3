// Whether the device behind a port name is still there: after a read error, a port whose device has
// gone (an adapter pulled) is given up. On Linux the name is a device file (a bare name lies below
// /dev); on Windows a name such as COM5 is looked up in the system's list of serial ports.
#pragma once

#include <QString>

namespace SerialPresence {

bool portStillPresent(const QString &portName);

} // namespace SerialPresence
