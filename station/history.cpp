#include "history.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace Station {

HistoryEntry historyEntry(const Download::Record &record)
{
    HistoryEntry entry;
    entry.ended = record.ended;
    entry.port = record.port;
    entry.version = record.packVersion;
    entry.file = record.file;
    entry.outcome = record.outcome;
    entry.seconds = Download::seconds(record);
    return entry;
}

bool parseHistoryLine(const QByteArray &line, HistoryEntry *entry)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return false;
    }
    const QJsonObject o = document.object();
    const QDateTime ended =
        QDateTime::fromString(o.value(QStringLiteral("ended")).toString(), Qt::ISODateWithMs);
    const QString outcome = o.value(QStringLiteral("outcome")).toString();
    if (!ended.isValid() || outcome.isEmpty()) {
        return false;
    }
    entry->ended = ended;
    entry->port = o.value(QStringLiteral("port")).toString();
    entry->version = o.value(QStringLiteral("pack_version")).toString();
    entry->file = o.value(QStringLiteral("file")).toString();
    entry->outcome = outcome;
    entry->seconds = o.value(QStringLiteral("seconds")).toDouble();
    return true;
}

QList<HistoryEntry> readHistory(const QString &path, int rows)
{
    QList<HistoryEntry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return entries;
    }
    const qint64 from = qMax<qint64>(0, file.size() - kHistoryTailBytes);
    if (!file.seek(from)) {
        return entries;
    }
    QList<QByteArray> lines = file.readAll().split('\n');
    if (from > 0 && !lines.isEmpty()) {
        lines.removeFirst(); // the read began inside a line
    }
    for (auto line = lines.crbegin(); line != lines.crend() && entries.size() < rows; ++line) {
        HistoryEntry entry;
        if (parseHistoryLine(line->trimmed(), &entry)) {
            entries << entry;
        }
    }
    return entries;
}

} // namespace Station
