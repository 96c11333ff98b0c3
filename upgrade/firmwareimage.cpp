#include "firmwareimage.h"

#include "codec.h"

#include "constants.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <array>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr qint64 kReadPieceBytes = 1 << 20; // bytes read and converted at a time

// "000102...feff": the two lower-case digits of every byte value.
const std::array<char, 512> &hexPairs()
{
    static const std::array<char, 512> table = [] {
        std::array<char, 512> t{};
        const char digits[] = "0123456789abcdef";
        for (int i = 0; i < 256; ++i) {
            t[2 * i] = digits[i >> 4];
            t[2 * i + 1] = digits[i & 0x0F];
        }
        return t;
    }();
    return table;
}

void toHex(const char *src, qint64 count, char *dst)
{
    const char *pairs = hexPairs().data();
    for (qint64 i = 0; i < count; ++i) {
        const auto value = static_cast<unsigned char>(src[i]);
        std::memcpy(dst + 2 * i, pairs + 2 * value, 2);
    }
}

// Reads exactly count bytes into dst; false when the device gives fewer.
bool readExactly(QIODevice &device, char *dst, qint64 count)
{
    qint64 done = 0;
    while (done < count) {
        const qint64 got = device.read(dst + done, count - done);
        if (got <= 0) {
            return false;
        }
        done += got;
    }
    return true;
}

} // namespace

namespace FirmwareImage {

QString versionKey(const QString &version)
{
    return version.left(Quorvane::kVersionPathChars);
}

bool pathHasVersion(const QString &path, const QString &version)
{
    return path.contains(versionKey(version), Qt::CaseSensitive);
}

QString directoryOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

SizeVerdict checkSize(qint64 fileBytes)
{
    if (fileBytes < Quorvane::kMinImageBytes) {
        return SizeVerdict::TooShort;
    }
    if (fileBytes > Quorvane::kMaxImageBytes) {
        return SizeVerdict::TooLarge;
    }
    return SizeVerdict::Accepted;
}

qint64 paddedHexChars(qint64 hexChars)
{
    const qint64 packets = (hexChars + Quorvane::kPacketHexChars - 1) / Quorvane::kPacketHexChars;
    return packets * Quorvane::kPacketHexChars;
}

quint32 packetCountForFile(qint64 fileBytes)
{
    const qint64 bodyHexChars = 2 * (fileBytes - Quorvane::kImageHeadBytes);
    return static_cast<quint32>(paddedHexChars(bodyHexChars) / Quorvane::kPacketHexChars);
}

bool readAsHex(QIODevice &device, qint64 fileBytes, QByteArray *head8, QByteArray *bodyHex,
               QCryptographicHash *hash)
{
    head8->clear();
    bodyHex->clear();
    if (fileBytes < Quorvane::kImageHeadBytes || checkSize(fileBytes) == SizeVerdict::TooLarge) {
        return false;
    }

    char head[Quorvane::kImageHeadBytes];
    if (!readExactly(device, head, Quorvane::kImageHeadBytes)) {
        return false;
    }
    if (hash) {
        hash->addData(head, Quorvane::kImageHeadBytes);
    }

    const qint64 bodyBytes = fileBytes - Quorvane::kImageHeadBytes;
    QByteArray text;
    text.reserve(static_cast<int>(paddedHexChars(2 * bodyBytes)));
    text.resize(static_cast<int>(2 * bodyBytes));

    std::vector<char> piece(static_cast<size_t>(qMin(bodyBytes, kReadPieceBytes)));
    char *out = text.data();
    for (qint64 done = 0; done < bodyBytes;) {
        const qint64 want = qMin(bodyBytes - done, kReadPieceBytes);
        if (!readExactly(device, piece.data(), want)) {
            return false;
        }
        if (hash) {
            hash->addData(piece.data(), static_cast<int>(want));
        }
        toHex(piece.data(), want, out + 2 * done);
        done += want;
    }

    head8->resize(2 * Quorvane::kImageHeadBytes);
    toHex(head, Quorvane::kImageHeadBytes, head8->data());
    *bodyHex = std::move(text);
    return true;
}

int padToWholePackets(QByteArray &hexText)
{
    const int zeros = static_cast<int>(paddedHexChars(hexText.size()) - hexText.size());
    if (zeros > 0) {
        hexText.append(zeros, '0');
    }
    return zeros;
}

LoadVerdict load(const QString &path, Image *image)
{
    const qint64 fileBytes = QFileInfo(path).size();
    switch (checkSize(fileBytes)) {
    case SizeVerdict::TooShort:
        return LoadVerdict::TooShort;
    case SizeVerdict::TooLarge:
        return LoadVerdict::TooLarge;
    case SizeVerdict::Accepted:
        break;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return LoadVerdict::Unreadable;
    }
    Image loaded;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!readAsHex(file, fileBytes, &loaded.head8, &loaded.body, &hash)) {
        return LoadVerdict::Unreadable;
    }
    padToWholePackets(loaded.body);
    loaded.packets = static_cast<quint32>(loaded.body.size() / Quorvane::kPacketHexChars);
    loaded.fileBytes = fileBytes;
    loaded.sha256Hex = hash.result().toHex();
    *image = std::move(loaded);
    return LoadVerdict::Loaded;
}

QByteArray dataFrame(const Image &image, quint32 n)
{
    if (n >= image.packets) {
        return QByteArray();
    }
    const QByteArray packet =
        image.body.mid(static_cast<int>(n) * Quorvane::kPacketHexChars, Quorvane::kPacketHexChars);
    return Codec::buildDataFrame(packet, static_cast<quint16>(n & 0xFFFF), Quorvane::kDataFrameCid2,
                                 Quorvane::kDataFrameAdr);
}

QByteArray endFrame(const Image &image)
{
    return Codec::buildUpgradeEndFrame(static_cast<quint16>(image.packets & 0xFFFF), image.head8);
}

QString problemText(LoadVerdict verdict, const QString &path)
{
    switch (verdict) {
    case LoadVerdict::Loaded:
        return QString();
    case LoadVerdict::TooShort:
        if (!QFileInfo::exists(path)) {
            return QStringLiteral("%1: not found").arg(path);
        }
        return QStringLiteral("the file is too short");
    case LoadVerdict::TooLarge:
        return QStringLiteral("the file is too large");
    case LoadVerdict::Unreadable:
        break;
    }
    return QFileInfo::exists(path) ? QStringLiteral("the file cannot be read")
                                   : QStringLiteral("%1: not found").arg(path);
}

} // namespace FirmwareImage
