// The station's history: the last results, newest first, read from the download record
// (downloads.jsonl, which every program appends to), so it is there again after a restart. A line
// that is no record (torn, another program's, not JSON) is skipped.
#pragma once

#include "downloadrecord.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace Station {

constexpr int kHistoryRows = 200;                // results the history keeps
constexpr qint64 kHistoryTailBytes = 512 * 1024; // bytes of the record's end read at start-up

struct HistoryEntry
{
    QDateTime ended;
    QString port;
    QString version;
    QString file;
    QString outcome; // the record's name
    double seconds = 0;
};

HistoryEntry historyEntry(const Download::Record &record);
// One line of the record; false when it is none.
bool parseHistoryLine(const QByteArray &line, HistoryEntry *entry);
// The last `rows` records of the file at path, newest first; none when it cannot be read.
QList<HistoryEntry> readHistory(const QString &path, int rows = kHistoryRows);

} // namespace Station
