// Which device a port name means, and holding that device for this program alone. One pack can be
// reached under two names (a /dev/serial/by-id/… link and the /dev/ttyUSB0 it points to): ports
// are compared by their canonical path, and an open port takes an exclusive advisory lock on its
// device, which a second program (root or not) is refused.
#pragma once

#include <QSerialPort>
#include <QSet>
#include <QString>
#include <QStringList>

namespace PortIdentity {

// The device file of a port name: "ttyUSB0" means "/dev/ttyUSB0" and "pts/3" "/dev/pts/3"; a path
// (from "/", "./" or "../") stays as given (cleaned).
// On Windows "COM5", "com5" and "\\.\COM5" all mean "COM5".
QString systemLocation(const QString &portName);

// The device behind a port name, every symbolic link resolved. A name whose file does not exist
// resolves to its systemLocation().
QString canonicalPath(const QString &portName);

// The system's serial ports (their systemLocation) whose devices are not among canonicalPaths: the
// ports that have appeared since a station last looked.
QStringList newPorts(const QSet<QString> &canonicalPaths);
// Whether two entries of canonicalPaths are the same device: sets *first and *second (indices,
// first < second) of the first such pair.
bool findSameDevice(const QStringList &canonicalPaths, int *first, int *second);

// "in use by another program"
QString inUseText();

// Takes the exclusive advisory lock on the device open under handle (flock(LOCK_EX | LOCK_NB) on
// Linux; Windows opens a port exclusively already). The lock lasts until the handle is closed.
// False with *error set to inUseText() when another open holds it, or to the system's reason.
bool lockHandle(long long handle, QString *error);
bool lockOpenPort(QSerialPort &port, QString *error);

} // namespace PortIdentity
