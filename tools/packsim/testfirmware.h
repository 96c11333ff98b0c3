// Firmware files for tests and demos, and the image the pack should end up with.
#pragma once

#include <QByteArray>
#include <QString>

namespace PackSim {

// size bytes of a deterministic pattern (the same size and seed give the same bytes). No zero run
// longer than a byte, so the zero padding of the last packet is never mistaken for file bytes.
QByteArray firmwareBytes(qint64 size, quint32 seed = 1);

// Writes firmwareBytes(size, seed) to path (directories are not created). False and *error on failure.
bool writeFirmwareFile(const QString &path, qint64 size, quint32 seed = 1, QString *error = nullptr);

// What the simulator reassembles from a download of fileBytes: the 4-byte head, then the body padded
// with zero bytes to whole 2048-byte packets.
QByteArray expectedImage(const QByteArray &fileBytes);

// Number of data packets a download of a file of fileSize bytes sends.
int packetCountFor(qint64 fileSize);

} // namespace PackSim
