// Why a port did not open, and what the user can do about it: the one explainer of the window,
// the flasher and the station. The decision is pure (classify and
// advice, table-tested); probe() gathers the facts the system tells about the device.
#pragma once

#include <QSerialPort>
#include <QString>

namespace OpenAdvice {

enum class Cause
{
    Busy,       // another program holds the port (a lock file, exclusive use, EBUSY)
    Permission, // the user may not read and write the device
    Other       // missing device, a driver error: the system's reason says enough
};

// What the system tells about a device that did not open.
struct Facts
{
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    bool accessAllowed = true;   // the user may read and write the device file
    QString holder;              // the program holding it, "name (pid N)"; empty when unknown
    bool exclusivePorts = false; // a system whose ports refuse a second opener (Windows)
    QString device;              // the device file (/dev/ttyUSB0) or the port name (COM5)
    QString group;               // the group that owns the device file
};

Cause classify(const Facts &facts);
// The sentence after "Cannot open <port>: <reason>." that fits the cause; empty for Other.
QString advice(const Facts &facts);
// The system's reason for a failed open, in the window's language: a translation has its own
// words for a port not found, access denied, a port busy or in use and a device gone, and keeps
// the system's text after a sentence of its own for any other; in English the system's text stays.
QString reason(const Facts &facts, const QString &systemText);
// The whole text for the log, the status bar and its tooltip; reason is the system's.
QString message(const QString &portName, const QString &systemReason, const Facts &facts);

// The same in one English line for a program without a window (the flasher, the station), after
// "cannot open PORT: ": "in use by another program", "in use by minicom (pid 42)", "permission
// denied; your user must be in the group that owns /dev/ttyUSB0 (dialout)", or the system's text.
QString line(const QString &systemText, const Facts &facts);

// The facts of this system for a port that failed to open with error.
Facts probe(const QString &portName, QSerialPort::SerialPortError error);

} // namespace OpenAdvice
