#include "reportfile.h"

#include "downloadrecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace Flash {

namespace {

// Every byte of an open file on the disk; false, with *error set, when the disk refuses them.
bool syncToDisk(QFileDevice &file, QString *error)
{
    errno = 0;
#ifdef Q_OS_WIN
    const bool synced = _commit(file.handle()) == 0;
#else
    const bool synced = ::fsync(file.handle()) == 0;
#endif
    if (!synced) {
        *error = Download::fileErrorText(errno, QString());
    }
    return synced;
}

bool writeAll(QFileDevice &file, const QByteArray &bytes, QString *error)
{
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *error = Download::fileErrorText(errno, file.errorString());
        return false;
    }
    return true;
}

// A device or a FIFO: written where it is.
bool writeInPlace(const QString &path, const QByteArray &bytes, QString *error)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = Download::fileErrorText(errno, file.errorString());
        return false;
    }
    return writeAll(file, bytes, error);
}

} // namespace

QString reportTargetProblem(const QString &path)
{
    const QFileInfo target(path);
    if (target.isDir()) {
        return QStringLiteral("%1 is a folder").arg(path);
    }
    if (target.exists() && !target.isWritable()) {
        return QStringLiteral("%1 cannot be written (permission denied)").arg(path);
    }
    if (target.exists() && !target.isFile()) {
        return QString(); // a device or a FIFO, written in place
    }
    const QString folder = QDir::toNativeSeparators(target.absolutePath());
    const QFileInfo folderInfo(target.absolutePath());
    if (!folderInfo.exists()) {
        return QStringLiteral("the folder %1 does not exist").arg(folder);
    }
    if (!folderInfo.isDir()) {
        return QStringLiteral("%1 is not a folder").arg(folder);
    }
    if (!folderInfo.isWritable()) {
        return QStringLiteral("cannot write in the folder %1 (permission denied)").arg(folder);
    }
    return QString();
}

bool writeReportFile(const QString &path, const QByteArray &bytes, QString *error)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        return writeInPlace(path, bytes, error);
    }
    QSaveFile file(path); // the temporary file goes with it unless committed
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = Download::fileErrorText(errno, file.errorString());
        return false;
    }
    if (!writeAll(file, bytes, error) || !syncToDisk(file, error)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool writeReportStream(std::FILE *stream, const QByteArray &bytes, QString *error)
{
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream) !=
            static_cast<size_t>(bytes.size()) ||
        std::fflush(stream) != 0) {
        *error = Download::fileErrorText(errno, QString());
        return false;
    }
    return true;
}

} // namespace Flash
