// The record of downloads: one JSON object per download that reached an outcome, appended as one
// line to downloads.jsonl beside config.ini. The window and the command-line flasher write the
// same fields.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace Download {

// Where the version a download was checked against came from.
enum class VersionSource
{
    Pack,      // the pack reported it on this port
    ConfigIni, // the window's saved version, from an earlier session
    None,      // no version at all (the flasher's --unverified)
};
// "pack", "config.ini", "none"
QString versionSourceName(VersionSource source);

struct Record
{
    QDateTime started;
    QDateTime ended;
    QString port;
    qint32 baud = 0;
    QString packVersion; // as reported on this port; null when the pack did not report it
    VersionSource versionSource = VersionSource::None;
    QString file;
    qint64 size = 0;
    QString sha256;
    quint32 packets = 0;             // packets of the image
    quint32 packetsAcknowledged = 0; // packets the pack acknowledged
    int initSends = 0;
    int endSends = 0;
    int packetRepeats = 0; // data packets sent again on their stall deadline (--retries, retries=)
    int staleAnswers = 0;  // answers to copies other than the command in force, absorbed
    QString outcome;
    QString programVersion;
    QString versionAfter; // the version the pack reported after the update (--verify); null: none
};

// Seconds from started to ended, to the millisecond.
double seconds(const Record &record);

// The object, field by field; times as ISO 8601 with milliseconds and the UTC offset.
QJsonObject toJson(const Record &record);

// Appends the record as one line, in one write in append mode while holding the file's lock
// (path + ".lock"), so records of two programs that finish at once never tear or lose a line. A
// last line left without its newline (a crash while writing) is closed first, so the new record
// starts a line of its own. A write or flush that fails (a full disk) takes back what it wrote,
// so no half line stays. False, with *error set, when the file cannot be locked, opened or
// written: a missing or unwritable folder, a full disk ("disk full") and a lock another program
// holds each say so.
bool appendRecord(const QString &path, const Record &record, QString *error);

// Why a file operation failed, from the errno it left (code) and Qt's text for it: "disk full"
// for a full disk or quota, otherwise Qt's text, or the system's when Qt had none.
QString fileErrorText(int code, const QString &qtText);

} // namespace Download
