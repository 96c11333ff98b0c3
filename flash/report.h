// What quorvane-flash prints: the progress line of a port, the summary table, the JSON report and
// the program's exit code. Plain functions over plain values, so each can be tested alone.
#pragma once

#include "downloadrecord.h"
#include "firmwareimage.h"

#include <QJsonArray>
#include <QList>
#include <QString>

namespace Flash {

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

// A port's end: its record (port, version, outcome and times among its fields) and what the
// report adds to it.
struct PortResult
{
    Download::Record record;
    int exitCode = 0;
    QString failure; // why the port ended before a download, if it did
    bool unverified = false;
};

// Whether a version can be flashed by: at least 4 characters besides blanks, a letter or digit
// among them, no path separator, no control, format (bidirectional) or line-separator character.
// Any other version counts as not reported.
bool versionUsable(const QString &version);
// The version as printed: control, format and line-separator characters (and the backslash)
// escaped, \xNN or \uNNNN.
QString printableVersion(const QString &version);

// What a port's outcome line says, why and what to do next:
// "stalled: no answer for package 5 in 10 s; check the cable, then run again"
QString stalledText(quint32 packet, int stallTimeoutS);
// "the port went away (unplugged?)"
QString portLostText();
// The exit code of a download's outcome name ("confirmed" 0, "stalled" 6, "interrupted" 130, ...).
int exitCodeForOutcome(const QString &outcome);
// Why a download ended and what to do next, for every outcome but "confirmed" (empty for that).
QString outcomeAdvice(const QString &outcome, quint32 packet, int stallTimeoutS, int returnCode = 0);
// Why an image cannot be flashed: "PATH: not found", "the file is too short", ...; empty when loaded.
QString imageProblemText(FirmwareImage::LoadVerdict verdict, const QString &path);

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
