// The arithmetic and checks of a firmware image, apart from the window: which paths match a
// version, which sizes are accepted, how the file becomes hexadecimal text in whole packets.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QCryptographicHash;
class QIODevice;

namespace FirmwareImage {

// The part of the pack's version a firmware path must contain: its first 12 characters.
QString versionKey(const QString &version);

// True when path holds versionKey(version) anywhere, letter case significant. An empty version
// matches every path.
bool pathHasVersion(const QString &path, const QString &version);

// The path without its last slash-separated component; keeps the trailing slash.
QString directoryOf(const QString &path);

enum class SizeVerdict
{
    Accepted,
    TooShort, // fewer than kMinImageBytes
    TooLarge, // the body needs more packets than a 16-bit packet number can count
};
SizeVerdict checkSize(qint64 fileBytes);

// Characters of hexadecimal text once padded to whole packets (a multiple of kPacketHexChars).
qint64 paddedHexChars(qint64 hexChars);

// Data packets for a file of fileBytes bytes (head included): ceil((fileBytes - 4) / 2048).
quint32 packetCountForFile(qint64 fileBytes);

// Reads exactly fileBytes bytes from an open device and returns them as lower-case hexadecimal
// text: the 4 head bytes as 8 characters in *head8, the body in *bodyHex. *bodyHex gets the
// capacity of its padded length, so padding it later costs no copy. The file is read in pieces
// and converted as it comes, so no whole copy of the raw bytes is held. False, with both outputs
// empty, when the device delivers fewer bytes (read error, file shortened meanwhile).
// When hash is given, every byte read (head and body) is also added to it.
bool readAsHex(QIODevice &device, qint64 fileBytes, QByteArray *head8, QByteArray *bodyHex,
               QCryptographicHash *hash = nullptr);

// Appends the digit 0 to hexText up to the next multiple of kPacketHexChars (nothing when it is
// one already); returns the number of characters appended.
int padToWholePackets(QByteArray &hexText);

// An image ready to send: the head as 8 hexadecimal characters, the body as hexadecimal text
// padded to whole packets, the packet count, and what the download record tells of the file.
struct Image
{
    QByteArray head8;
    QByteArray body;
    quint32 packets = 0;
    qint64 fileBytes = 0;
    QByteArray sha256Hex; // of the file as read, lower-case hexadecimal
};

enum class LoadVerdict
{
    Loaded,
    TooShort,
    TooLarge,
    Unreadable, // cannot be opened, or delivered fewer bytes than its size
};

// The frame of data packet n (0-based) of image: its 2048 bytes, numbered n, as the pack expects
// them. Empty past the last packet.
QByteArray dataFrame(const Image &image, quint32 n);
// The end command of image: its packet count and its head. Empty when the head is not 4 bytes.
QByteArray endFrame(const Image &image);

// The size check, the read and the padding of "Load File", apart from any window; the version
// check of the path is the caller's. *image is set only when the verdict is Loaded.
LoadVerdict load(const QString &path, Image *image);

// Why an image cannot be flashed: "PATH: not found", "the file is too short", ...; empty when loaded.
QString problemText(LoadVerdict verdict, const QString &path);

} // namespace FirmwareImage
