// What a station prints: a row of the live table per port, the totals, a result line per pack and
// the summary at the end. Plain functions over plain values.
#pragma once

#include "report.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Flash {

// Where a station port is in its loop.
enum class StationPhase
{
    Waiting,  // for a pack: the port is not there, or no pack answers the version query
    Settling, // a pack is there, its firmware file still changing (being copied)
    Flashing, // acknowledged / total packets
    Leaving,  // the pack's result is out: waiting for it to be taken away
    Stopped,  // no more packs (Ctrl-C)
};

struct StationRow
{
    QString port;
    StationPhase phase = StationPhase::Waiting;
    quint32 acknowledged = 0;
    quint32 total = 0;
    QString outcome; // the last pack's outcome, kept until the next pack arrives
};

// "PORT  waiting", "PORT  firmware still changing", "PORT  flashing 12/48", "PORT  done (confirmed); remove
// pack", "PORT  FAIL (stalled); pack removed", "PORT  stopped"; the port left-justified to width. Every
// outcome but a confirmed one reads as a failure.
QString stationRowText(const StationRow &row, int width);
// "packs confirmed: 3  failed: 1  not flashed: 2"
QString stationTotals(int confirmed, int failed, int notFlashed);

// Outcomes of a pack that was not flashed: its result has no download.
QString notFlashedOutcome(); // "not_flashed"
bool flashed(const PortResult &result);

// One line per pack: port, version, file, outcome, seconds, and why it failed in brackets. With
// a width (a terminal's columns), the line fits it: the file's path is shortened from the left
// ("...BMS_V2.1.07_2026/bms.bin"), and a reason that does not fit follows on lines of its own.
QString stationResultLine(const PortResult &result, int width = 0);
// The counts per outcome, then per port (confirmed, failed, not flashed), every given port a row.
QString stationSummary(const QList<PortResult> &results, const QStringList &ports);
// 0 when every pack flashed was confirmed; otherwise the code of the first that was not.
int stationExitCode(const QList<PortResult> &results);

} // namespace Flash
