#include "downloadrecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonValue>
#include <QLockFile>

#include <cerrno>

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

QString fileErrorText(int code, const QString &qtText)
{
#ifdef EDQUOT
    if (code == EDQUOT) {
        return QStringLiteral("disk full (quota exceeded)");
    }
#endif
    if (code == ENOSPC) {
        return QStringLiteral("disk full");
    }
    if (!qtText.isEmpty() && qtText != QLatin1String("Unknown error")) {
        return qtText;
    }
    return code != 0 ? qt_error_string(code) : QStringLiteral("write failed");
}

namespace {

// Why the record's lock could not be taken: the folder, or another program.
QString lockProblem(const QString &path, const QLockFile &lock)
{
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (!folder.exists()) {
        return QStringLiteral("the folder %1 does not exist")
            .arg(QDir::toNativeSeparators(folder.filePath()));
    }
    if (!folder.isDir()) {
        return QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(folder.filePath()));
    }
    if (lock.error() == QLockFile::LockFailedError) {
        return QStringLiteral("%1 is locked by another program").arg(path);
    }
    if (!folder.isWritable()) {
        return QStringLiteral("cannot write in the folder %1 (permission denied)")
            .arg(QDir::toNativeSeparators(folder.filePath()));
    }
    return QStringLiteral("cannot create the lock file %1.lock").arg(path);
}

} // namespace

bool appendRecord(const QString &path, const Record &record, QString *error)
{
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(kRecordLockWaitMs)) {
        *error = lockProblem(path, lock);
        return false;
    }
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        *error = fileErrorText(errno, file.errorString());
        return false;
    }
    QByteArray line = QJsonDocument(toJson(record)).toJson(QJsonDocument::Compact);
    line.append('\n');
    const qint64 before = file.size();
    if (before > 0) {
        char last = '\n';
        if (!file.seek(before - 1) || !file.getChar(&last)) {
            *error = file.errorString();
            return false;
        }
        if (last != '\n') {
            line.prepend('\n');
        }
    }
    // Append mode: the line goes to the end whatever the position. Unbuffered: a failed write
    // fails here, with its reason, not later at a flush.
    errno = 0;
    if (file.write(line) != line.size() || !file.flush()) {
        *error = fileErrorText(errno, file.errorString());
        // Take back the part that went in: the next record must not follow half a line.
        if (file.size() > before) {
            file.resize(before);
        }
        return false;
    }
    return true;
}

} // namespace Download
