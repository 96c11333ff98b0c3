// The serial link apart from any window: the bounded receive buffer and the test of whether a port
// error means the adapter has gone. The window and the command-line flasher both use these.
#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QSerialPort>
#include <QString>

// Traces of the link and of the frames on it ("quorvane.serial").
Q_DECLARE_LOGGING_CATEGORY(lcSerial)

namespace Link {

// Appends received bytes to the receive buffer as upper- or lower-case hexadecimal text (the scan
// upper-cases it). First, as always, a buffer over kRecvCapChars loses its oldest kRecvDropChars;
// then, whatever arrives, the buffer is cut to its newest kRecvMaxChars characters (a whole
// number of bytes), so a flood of noise costs one bounded scan per read and a reply arriving
// behind it is still found.
void appendReceived(QByteArray &recv, const QByteArray &bytes);

// True when an error of an open port means the port is of no further use (the adapter was pulled,
// the device node is gone): the caller closes it. Errors about modem lines (DTR, RTS) that a device
// does not support, and passing read errors of a device that is still there, are not.
bool portIsGone(QSerialPort::SerialPortError error, const QString &portName, bool stillOpen);

// Opens port as name at baud for reading and writing, 8 data bits, no parity, one stop bit, no
// flow control. False when it cannot be opened (the port's error() and errorString() say why).
bool open8N1(QSerialPort &port, const QString &name, qint32 baud);

// Writes a frame in pieces of at most kWriteChunkBytes; returns the bytes accepted, or -1 when the
// device is not open or a piece is refused.
qint64 writeInChunks(QIODevice &device, const QByteArray &frame);

} // namespace Link
