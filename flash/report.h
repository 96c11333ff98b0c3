// What quorvane-flash prints: the progress line of a port, the summary table, the JSON report and
// the program's exit code. Plain functions over plain values, so each can be tested alone.
#pragma once

#include "downloadrecord.h"
#include "firmwareimage.h"
#include "outcome.h"
#include "versiontext.h"

#include <QJsonArray>
#include <QList>
#include <QString>

namespace Flash {

using Download::outcomeAdvice;
using Download::portLostText;
using Download::PortResult;
using Download::printableVersion;
using Download::stalledText;
using Download::versionUsable;

struct Progress
{
    QString port;
    quint32 acknowledged = 0; // packets acknowledged
    quint32 total = 0;        // packets of the image
    qint64 elapsedMs = 0;     // since the download started
    QString phase;
    bool stopped = false; // the download ended without confirmation (stalled, lost, interrupted)
};

// "/dev/ttyUSB0  123/512  24 %  4.1 KiB/s  1:35 left  transfer"; the speed and the time left
// are "-" until a packet has been acknowledged, and left out once the download has stopped.
QString progressLine(const Progress &p);
// The percentage step (0, 10, ... 100) a plain progress line reports.
int progressStep(quint32 acknowledged, quint32 total);

// A table: port, version, outcome, seconds; one row per port, columns aligned. A pack flashed
// without a version (--unverified) shows "- (unverified)".
QString summaryTable(const QList<PortResult> &results);
// Rows of cells in columns two spaces apart, each as wide as its widest cell: the first leftColumns
// cells of a row left-justified, the others (counts, seconds) right-justified.
QString alignedTable(const QList<QStringList> &rows, int leftColumns);
// One object per port: the record's fields, plus exit_code, unverified and, where there is one,
// the failure.
QJsonArray reportJson(const QList<PortResult> &results);
// 0 when every port got 0, otherwise the code of the first port (in command-line order) that did not.
int overallExitCode(const QList<PortResult> &results);

} // namespace Flash
