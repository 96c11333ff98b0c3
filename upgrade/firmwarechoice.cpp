#include "firmwarechoice.h"

#include "firmwareimage.h"
#include "versiontext.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace Download {

QString firmwareDirProblem(const QString &dir)
{
    const QFileInfo info(dir);
    if (!info.exists()) {
        return QStringLiteral("%1: no such folder").arg(dir);
    }
    if (!info.isDir()) {
        return QStringLiteral("%1: not a folder").arg(dir);
    }
    if (!info.isReadable() || !info.isExecutable()) {
        return QStringLiteral("%1: the folder cannot be read (permission denied)").arg(dir);
    }
    return QString();
}

QStringList firmwareFiles(const QString &dir)
{
    QStringList files;
    // System: a dangling link is listed too, as a file that cannot be read.
    QDirIterator it(dir, {QStringLiteral("*.bin"), QStringLiteral("*.sorrel")}, QDir::Files | QDir::System,
                    QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
    while (it.hasNext()) {
        files << it.next();
    }
    files.sort();
    return files;
}

QString matchedPart(const QString &dir, const QString &file)
{
    const QString below = QDir(dir).relativeFilePath(file);
    const int dot = below.lastIndexOf(QLatin1Char('.'));
    return dot > below.lastIndexOf(QLatin1Char('/')) ? below.left(dot) : below;
}

FirmwareChoice chooseFirmware(const QString &dir, const QStringList &files, const QString &version)
{
    FirmwareChoice choice;
    if (!versionUsable(version)) {
        return choice;
    }
    for (const QString &file : files) {
        if (FirmwareImage::pathHasVersion(matchedPart(dir, file), version)) {
            choice.candidates << file;
            const QFileInfo info(file);
            if (!info.isFile() || !info.isReadable()) {
                choice.unreadable << file;
            }
        }
    }
    if (choice.candidates.size() == 1) {
        choice.path = choice.candidates.first();
    }
    return choice;
}

QString choiceProblem(const FirmwareChoice &choice, const QString &version)
{
    if (!choice.path.isEmpty()) {
        return QString();
    }
    if (!versionUsable(version)) {
        return QStringLiteral("the pack reports no usable version (\"%1\"); nothing flashed")
            .arg(printableVersion(version));
    }
    const QString key = printableVersion(FirmwareImage::versionKey(version));
    if (choice.candidates.isEmpty()) {
        return QStringLiteral("no firmware for version %1: no file path holds \"%2\"; nothing flashed")
            .arg(printableVersion(version), key);
    }
    QStringList named;
    for (const QString &file : choice.candidates) {
        named << (choice.unreadable.contains(file) ? QStringLiteral("%1 (cannot be read)").arg(file) : file);
    }
    return QStringLiteral("%1 firmware files for version %2: %3; nothing flashed")
        .arg(choice.candidates.size())
        .arg(printableVersion(version), named.join(QStringLiteral(", ")));
}

} // namespace Download
