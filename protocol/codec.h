// The frame codec of the pack's serial protocol: pure functions over QByteArray/QString.
//
// A frame on the wire is SOI VER ADR CID1-or-word CID2 LENGTH INFO CHKSUM EOI; the offsets and
// sizes of the fields are named once, in constants.h ("Frame layout").
// SOI is 0x7E (replies, the test command; every field but SOI/EOI is ASCII hex text) or 0xBC
// (upgrade commands and the version query; the word field and INFO are raw bytes). EOI is 0x0D.
//
// LENGTH: four hex digits, LCHKSUM in the top nibble and LENID (INFO bytes on the wire, 0..4095)
//   in the low 12 bits; LCHKSUM = (16 - ((D0 + D1 + D2) mod 16)) mod 16 over the three digits of
//   LENID, so the four digits of LENGTH always sum to a multiple of 16.
// CHKSUM: the byte values from VER through the last INFO byte, exactly as on the wire, summed
//   into 16 bits (carries dropped); the checksum is (65536 - sum) mod 65536, written as four hex
//   digits, high digit first.
#pragma once

#include <QByteArray>
#include <QList>
#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcProtocol)

// Function code of the command last written; a reply is taken as the answer to it.
enum E_FUNC
{
    eFuncNone = 0, // nothing sent yet: no reply handler acts on it
    eFuncTest = 2,
    eFuncUpgradaInit = 3,
    eFuncUpgrada = 4,
    eFuncUpgradaEnd = 5,
    eFuncVersion = 6,
};

namespace Codec {

// The two commands that are stored whole, as blank-separated hex tokens.
extern const char kUpgradeInitText[];  // 18 bytes: BC "2501" AA AA "32" "0000" "FCBF" 0D
extern const char kVersionQueryText[]; // 18 bytes: BC "0101" 34 36 "C1" "0000" "FDA0" 0D

constexpr char kSoiAscii = '\x7E';
constexpr char kSoiUpgrade = '\xBC';
constexpr char kEoi = '\x0D';

// Hexadecimal digits, either case.
constexpr bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
// Value of one hexadecimal digit, -1 for any other character.
constexpr int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
// Byte value of the two digits at p, high digit first; -1 unless both are hexadecimal digits.
constexpr int hexByteAt(const char *p)
{
    const int hi = hexValue(p[0]);
    const int lo = hexValue(p[1]);
    return hi < 0 || lo < 0 ? -1 : (hi << 4) | lo;
}
// The same for the two characters of text at offset, which must lie inside text.
inline int hexByteAt(const QByteArray &text, int offset)
{
    return hexByteAt(text.constData() + offset);
}

// Frame checksum over raw bytes.
quint16 calcCheckSum(const QByteArray &bytes);
// Frame checksum over bytes given as hex text (two digits a byte, either case).
quint16 calcHexCheckSum(const QByteArray &hexText);

// LENGTH field value for an INFO of lenId bytes (0..4095).
quint16 lengthField(int lenId);
// LENID carried by a received LENGTH field (high byte hi, low byte lo); -1 when its LCHKSUM is wrong.
int lenIdFromLength(quint8 hi, quint8 lo);

// Hex text to bytes: removes every non-hex character from hexString (in place), then decodes pairs.
// Odd length: trace and empty result.
QByteArray convertToACC2(QString &hexString);

// Raw-send token rule: split at every single whitespace character, parse each piece as unsigned
// hex, append its low 8 bits; pieces that do not parse (empty ones included) are skipped.
QByteArray tokensToBytes(const QByteArray &text);

// 0xBC data frame: VER "25", ADR and CID2 as lower-case hex digits, the word as two raw bytes,
// LENGTH always "8800", INFO = the bytes hexPayload encodes, CHKSUM lower case.
// Empty when the assembled text does not convert (hexPayload of odd length).
QByteArray buildDataFrame(const QByteArray &hexPayload, quint16 word, quint8 cid2, quint8 adr);

// 0x7E frame: header VER ADR CID1 CID2 LENGTH as hex text, INFO text appended, all upper case,
// CHKSUM upper case over that text. Empty (and a trace) for an INFO longer than 4095 characters,
// which LENGTH cannot announce.
QByteArray buildAsciiFrame(const QByteArray &info, quint8 cid1, quint8 cid2, quint8 adr, quint8 ver);

// 0xBC end frame: "2501", count as two raw bytes, "34C004", the 4 head bytes (given as 8 hex
// characters), CHKSUM upper case: 22 bytes. Empty (and a trace) unless head8Hex is exactly 8
// hexadecimal digits, so a broken end command never reaches the line.
QByteArray buildUpgradeEndFrame(quint16 packetCount, const QByteArray &head8Hex);

// One step of the receive scan over the receive buffer (hex text, upper case, two characters a
// byte). Looks for the next acceptable 0x7E frame, with the start marker only at byte boundaries:
// LENGTH check, 0x0D at its end, upper-case CHKSUM equal to the computed one. On success removes
// everything before the frame's end (noise, rejected candidates, the frame), stores the INFO hex
// text (2 x LENID characters, empty for an empty INFO) in *infoHex and returns true. Otherwise the
// buffer is left as it is and false is returned. The buffer is turned to upper case first.
// A candidate whose fields hold characters that are not hexadecimal digits is rejected.
// *returnCode, when given, gets the reply's return code: the value of its two CID2 digits (00:
// normal), -1 when they are not hexadecimal digits.
// Traces the per-candidate lines (LENGTH, checksums, rejections, the accepted length); the caller
// traces the buffer itself.
bool takeNextFrame(QByteArray &buffer, QByteArray *infoHex, int *returnCode = nullptr);

// The whole scan: every acceptable frame in order (their INFO hex text); the buffer keeps the
// unconsumed tail.
QList<QByteArray> scanFrames(QByteArray &buffer);

// INFO hex text of a received 0x7E frame to its payload bytes (INFO is itself hex text).
QByteArray decodeInfo(const QByteArray &infoHex);

// A return code as the frame carries it: two upper-case hex digits ("02").
QString returnCodeText(int code);

} // namespace Codec
