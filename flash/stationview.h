// What a station prints: a row of the live table per port, the totals, a result line per pack and
// the summary at the end. Plain functions over plain values.
#pragma once

#include "report.h"
#include "stationport.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Flash {

using Download::StationPhase;
using Download::StationRow;

// "PORT  waiting", "PORT  firmware still changing", "PORT  flashing 12/48", "PORT  done (confirmed); remove
// pack", "PORT  FAIL (stalled); pack removed", "PORT  stopped"; the port left-justified to width. Every
// outcome but a confirmed one reads as a failure.
QString stationRowText(const StationRow &row, int width);
// "packs confirmed: 3  failed: 1  not flashed: 2"
QString stationTotals(int confirmed, int failed, int notFlashed);

// Whether the pack's result has a download (not_flashed has none).
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
