#include "testfirmware.h"

#include "constants.h"

#include <QSaveFile>

namespace PackSim {

QByteArray firmwareBytes(qint64 size, quint32 seed)
{
    QByteArray bytes;
    if (size <= 0)
        return bytes;
    bytes.resize(int(size));
    quint32 state = seed * 2654435761u + 0x9E3779B9u;
    for (qint64 i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u; // LCG; the high byte is well mixed
        quint8 value = quint8(state >> 24);
        if (value == 0 && i > 0 && bytes.at(int(i - 1)) == 0)
            value = 1;
        bytes[int(i)] = char(value);
    }
    return bytes;
}

bool writeFirmwareFile(const QString &path, qint64 size, quint32 seed, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(firmwareBytes(size, seed)) != size || !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

int packetCountFor(qint64 fileSize)
{
    const qint64 body = fileSize - Quorvane::kImageHeadBytes;
    if (body <= 0)
        return 0;
    return int((body + Quorvane::kPacketBytes - 1) / Quorvane::kPacketBytes);
}

QByteArray expectedImage(const QByteArray &fileBytes)
{
    QByteArray image = fileBytes;
    if (fileBytes.size() > Quorvane::kImageHeadBytes) {
        const int padded =
            Quorvane::kImageHeadBytes + packetCountFor(fileBytes.size()) * Quorvane::kPacketBytes;
        image.append(QByteArray(padded - fileBytes.size(), '\0'));
    }
    return image;
}

} // namespace PackSim
