// Numbers of the updater that more than one place relies on, each named once with its unit.
#pragma once

#include <QtGlobal>

namespace Quorvane {

// Frame layout, in bytes from the start of the frame:
//   offset  0     1     3     5            7     9       13           13 + LENID  17 + LENID
//   field   SOI   VER   ADR   word/CID1    CID2  LENGTH  INFO         CHKSUM      EOI
//   bytes   1     2     2     2            2     4       LENID        4           1
// (What the fields hold, and the LENGTH and CHKSUM rules: codec.h.)
constexpr int kSoiBytes = 1;                              // bytes of SOI
constexpr int kFieldBytes = 2;                            // bytes of VER, ADR, word/CID1 and CID2 each
constexpr int kLengthBytes = 4;                           // bytes of LENGTH
constexpr int kChecksumBytes = 4;                         // bytes of CHKSUM
constexpr int kEoiBytes = 1;                              // bytes of EOI
constexpr int kVerOffset = kSoiBytes;                     // at byte 1
constexpr int kAdrOffset = kVerOffset + kFieldBytes;      // at byte 3
constexpr int kWordOffset = kAdrOffset + kFieldBytes;     // at byte 5; CID1 in a 0x7E frame
constexpr int kCid2Offset = kWordOffset + kFieldBytes;    // at byte 7
constexpr int kLengthOffset = kCid2Offset + kFieldBytes;  // at byte 9
constexpr int kInfoOffset = kLengthOffset + kLengthBytes; // at byte 13
constexpr int kHeaderBytes = kInfoOffset;                 // 13 bytes: SOI through LENGTH
constexpr int kFrameOverheadBytes = kHeaderBytes + kChecksumBytes + kEoiBytes; // 18 bytes besides INFO
constexpr int kMaxLenId = 0x0FFF;       // bytes of INFO a LENGTH field can announce
constexpr int kWriteChunkBytes = 256;   // bytes per write() of a 0xBC frame
constexpr int kUpdataWriteBytes = 146;  // bytes the window's second raw send writes at most
constexpr quint8 kDataFrameCid2 = 0x33; // CID2 of a data packet's frame
constexpr quint8 kDataFrameAdr = 1;     // ADR of a data packet's frame

// Offset of CHKSUM in a frame with lenId INFO bytes.
constexpr int checksumOffset(int lenId)
{
    return kInfoOffset + lenId;
}

// The receive buffer holds a 0x7E frame as the hex text of its bytes: the field at byte offset k
// starts at character hexChars(k), and n bytes take hexChars(n) characters.
constexpr int kHexCharsPerByte = 2; // characters of hex text per byte
constexpr int hexChars(int bytes)
{
    return kHexCharsPerByte * bytes;
}

// Firmware image and packets
constexpr int kPacketBytes = 2048;                               // image bytes per data packet
constexpr int kPacketHexChars = kHexCharsPerByte * kPacketBytes; // characters of image text per data packet
constexpr int kDataFrameBytes = kFrameOverheadBytes + kPacketBytes; // 2066 bytes on the wire
constexpr int kImageHeadBytes = 4;         // bytes of the image head sent in the end command
constexpr qint64 kMinImageBytes = 32768;   // bytes; smaller files are refused
constexpr quint32 kMaxPacketCount = 65535; // packets; the word field and the end count are 16 bits
constexpr qint64 kMaxImageBytes = kImageHeadBytes + qint64(kMaxPacketCount) * kPacketBytes; // bytes
constexpr int kVersionPathChars = 12; // characters of the version a firmware path must contain

// Download timing and retries
constexpr int kUpgradeTickMs = 1000;   // ms between init commands and between end commands
constexpr int kMaxInitSends = 5;       // init commands per Start
constexpr int kMaxEndSends = 4;        // end commands before completion is assumed
constexpr int kVersionQueryCopies = 5; // version query frames written back to back
constexpr int kVersionWaitMs = 3000;   // ms after the query before the version counts as unanswered
constexpr int kStallNoticeMs = 5000;   // ms without an acknowledgement of a data packet before a notice
constexpr int kMaxPacketRetries = 10;  // re-sends of one data packet on its stall deadline (opt-in)

// The production-line station of the command-line flasher
constexpr int kStationQueryMs = 800;       // ms between version queries while waiting for a pack: a pack
                                           // switched on is found within a second
constexpr int kStationPresenceMs = 250;    // ms between looks for a missing port's device file
constexpr int kStationGoneMs = 3000;       // ms without a version reply after which a pack has left
constexpr int kStationStillThereMs = 1000; // ms between the queries that tell a pack has not left

// Receive buffer (hexadecimal text, two characters a byte)
constexpr int kRecvCapChars = 7168;  // characters; above this the oldest part is dropped
constexpr int kRecvDropChars = 1024; // characters dropped at a time
constexpr int kRecvMaxChars = 16384; // characters the buffer never exceeds, whatever arrives

// Window
constexpr int kLampSizePx = 32; // pixels, the link lamp's diameter

} // namespace Quorvane
