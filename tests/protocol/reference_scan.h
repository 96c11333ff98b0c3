// A deliberately plain model of the receive scan and of a frame check, written with QByteArray's
// own searches and conversions, for comparing the codec's fast scan against it (stress test and
// fuzz target). Slow on purpose: every step is one obvious library call. It shares only the frame
// layout and the digit test with the codec.
#pragma once

#include "codec.h"
#include "constants.h"

#include <QByteArray>

#include <algorithm>

namespace Reference {

using namespace Quorvane;

inline bool isHexText(const QByteArray &text)
{
    return std::all_of(text.cbegin(), text.cend(), Codec::isHexDigit);
}

// Upper case for ASCII letters only; other bytes are kept as they are.
inline QByteArray asciiUpper(QByteArray text)
{
    for (char &c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// LENID of a LENGTH given as its 4 ASCII digits, -1 when its check nibble is wrong or a digit is
// not hexadecimal.
inline int lenIdOf(const QByteArray &lengthDigits)
{
    if (lengthDigits.size() != 4 || !isHexText(lengthDigits))
        return -1;
    bool ok = false;
    const int value = lengthDigits.toInt(&ok, 16);
    if (!ok)
        return -1;
    const int lenId = value & 0x0FFF;
    const int digitSum = (lenId >> 8) + ((lenId >> 4) & 0xF) + (lenId & 0xF);
    const int check = (16 - digitSum % 16) % 16;
    return check == (value >> 12) ? lenId : -1;
}

// Whether the hex text of a whole candidate frame (starting with "7E", upper case) is acceptable;
// on success *info gets its INFO text (hex of the INFO characters).
inline bool frameTextIsValid(const QByteArray &text, QByteArray *info)
{
    if (text.size() < hexChars(kFrameOverheadBytes) || !text.startsWith("7E") || !text.endsWith("0D") ||
        !isHexText(text))
        return false;
    const int lenId = lenIdOf(QByteArray::fromHex(text.mid(hexChars(kLengthOffset), hexChars(kLengthBytes))));
    if (lenId < 0 || text.size() != hexChars(kFrameOverheadBytes + lenId))
        return false;
    const QByteArray covered =
        QByteArray::fromHex(text.mid(hexChars(kVerOffset), hexChars(checksumOffset(lenId) - kVerOffset)));
    int sum = 0;
    for (char c : covered)
        sum += static_cast<unsigned char>(c);
    const QByteArray expected =
        QByteArray::number((0x10000 - (sum & 0xFFFF)) & 0xFFFF, 16).rightJustified(4, '0').toUpper();
    if (QByteArray::fromHex(text.mid(hexChars(checksumOffset(lenId)), hexChars(kChecksumBytes))) != expected)
        return false;
    if (info)
        *info = text.mid(hexChars(kInfoOffset), hexChars(lenId));
    return true;
}

// One accept of the scan: start markers only at even positions, every candidate checked from its
// start to its computed end, the first good one taken and everything up to its end removed.
inline bool takeNextFrame(QByteArray &buffer, QByteArray *info)
{
    buffer = asciiUpper(buffer);
    if (buffer.size() < hexChars(kFrameOverheadBytes))
        return false;
    for (int x = buffer.indexOf("7E"); x >= 0; x = buffer.indexOf("7E", x + 1)) {
        if (x % 2 != 0)
            continue;
        const QByteArray lengthText = buffer.mid(x + hexChars(kLengthOffset), hexChars(kLengthBytes));
        const int lenId = lenIdOf(QByteArray::fromHex(lengthText));
        if (lenId < 0 || lengthText.size() != hexChars(kLengthBytes) || !isHexText(lengthText))
            continue;
        const int end = x + hexChars(kFrameOverheadBytes + lenId);
        if (end > buffer.size())
            continue;
        if (frameTextIsValid(buffer.mid(x, end - x), info)) {
            buffer.remove(0, end);
            return true;
        }
    }
    return false;
}

} // namespace Reference
