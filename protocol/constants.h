// Numbers of the updater that more than one place relies on, each named once with its unit.
#pragma once

#include <QtGlobal>

namespace Quorvane {

// Frame layout
constexpr int kFrameOverheadBytes = 18; // bytes: SOI, VER, ADR, word/CID1, CID2, LENGTH, CHKSUM, EOI
constexpr int kMaxLenId = 0x0FFF;       // bytes of INFO a LENGTH field can announce
constexpr int kWriteChunkBytes = 256;   // bytes per write() of a 0xBC frame
constexpr quint8 kDataFrameCid2 = 0x33; // CID2 of a data packet's frame
constexpr quint8 kDataFrameAdr = 1;     // ADR of a data packet's frame

// Firmware image and packets
constexpr int kPacketBytes = 2048;                // image bytes per data packet
constexpr int kPacketHexChars = 2 * kPacketBytes; // characters of image text per data packet
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
constexpr int kStationQueryMs = 2000;      // ms between version queries while waiting for a pack
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
