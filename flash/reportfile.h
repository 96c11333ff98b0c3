// Where quorvane-flash's --json report goes, written so that it is never lost or mistaken: checked
// before any port opens, written whole or not at all, and never put in the place of something
// that is not a report (a device, a FIFO).
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace Flash {

// Why the report cannot be written at path, seen before anything is flashed: "PATH is a folder",
// "the folder DIR does not exist", "cannot write in the folder DIR (permission denied)"; empty when
// it can be.
QString reportTargetProblem(const QString &path);

// Writes the report at path. A regular file (or none yet) gets a temporary file in its folder,
// written, flushed and synced to the disk, then renamed over it, so an old report never stands for
// this run; on any error the temporary file goes and the old report stays. Anything else that
// exists (a device, a FIFO) is written in place, never replaced. Every write, flush and sync is
// checked. False, with *error set ("disk full", ...), when that fails.
bool writeReportFile(const QString &path, const QByteArray &bytes, QString *error);

// Writes the report to stream (standard output for --json -) and flushes it. False, with *error
// set, when that fails: a closed pipe, a full device.
bool writeReportStream(std::FILE *stream, const QByteArray &bytes, QString *error);

} // namespace Flash
