#include "downloadrecord.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonValue>
#include <QLockFile>

namespace Download {

namespace {

constexpr int kRecordLockWaitMs = 2000; // ms to wait for another program's write of the record

QString isoWithOffset(const QDateTime &time)
{
    // A local time prints no offset of its own; as an offset time it does ("+01:00", or "Z").
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace

QString versionSourceName(VersionSource source)
{
    switch (source) {
    case VersionSource::Pack:
        return QStringLiteral("pack");
    case VersionSource::ConfigIni:
        return QStringLiteral("config.ini");
    case VersionSource::None:
        break;
    }
    return QStringLiteral("none");
}

double seconds(const Record &record)
{
    return record.started.msecsTo(record.ended) / 1000.0;
}

QJsonObject toJson(const Record &record)
{
    QJsonObject o;
    o.insert(QStringLiteral("started"), isoWithOffset(record.started));
    o.insert(QStringLiteral("ended"), isoWithOffset(record.ended));
    o.insert(QStringLiteral("port"), record.port);
    o.insert(QStringLiteral("baud"), record.baud);
    o.insert(QStringLiteral("pack_version"),
             record.packVersion.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(record.packVersion));
    o.insert(QStringLiteral("version_source"), versionSourceName(record.versionSource));
    o.insert(QStringLiteral("file"), record.file);
    o.insert(QStringLiteral("size"), record.size);
    o.insert(QStringLiteral("sha256"), record.sha256);
    o.insert(QStringLiteral("packets"), static_cast<qint64>(record.packets));
    o.insert(QStringLiteral("packets_acknowledged"), static_cast<qint64>(record.packetsAcknowledged));
    o.insert(QStringLiteral("init_sends"), record.initSends);
    o.insert(QStringLiteral("end_sends"), record.endSends);
    o.insert(QStringLiteral("packet_repeats"), record.packetRepeats);
    o.insert(QStringLiteral("stale_answers"), record.staleAnswers);
    o.insert(QStringLiteral("outcome"), record.outcome);
    o.insert(QStringLiteral("version_after"),
             record.versionAfter.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(record.versionAfter));
    o.insert(QStringLiteral("seconds"), seconds(record));
    o.insert(QStringLiteral("program_version"), record.programVersion);
    return o;
}

bool appendRecord(const QString &path, const Record &record, QString *error)
{
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(kRecordLockWaitMs)) {
        *error = QStringLiteral("%1 is locked by another program").arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        *error = file.errorString();
        return false;
    }
    QByteArray line = QJsonDocument(toJson(record)).toJson(QJsonDocument::Compact);
    line.append('\n');
    if (file.size() > 0) {
        char last = '\n';
        if (!file.seek(file.size() - 1) || !file.getChar(&last)) {
            *error = file.errorString();
            return false;
        }
        if (last != '\n') {
            line.prepend('\n');
        }
    }
    // Append mode: the line goes to the end whatever the position.
    if (file.write(line) != line.size() || !file.flush()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace Download
