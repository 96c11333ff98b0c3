#include "firmwarechoice.h"

#include "firmwareimage.h"
#include "report.h"

#include <QDirIterator>

namespace Flash {

QStringList firmwareFiles(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, {QStringLiteral("*.bin"), QStringLiteral("*.sorrel")}, QDir::Files | QDir::Readable,
                    QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
    while (it.hasNext()) {
        files << it.next();
    }
    files.sort();
    return files;
}

FirmwareChoice chooseFirmware(const QStringList &files, const QString &version)
{
    FirmwareChoice choice;
    if (!versionUsable(version)) {
        return choice;
    }
    for (const QString &file : files) {
        if (FirmwareImage::pathHasVersion(file, version)) {
            choice.candidates << file;
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
    return QStringLiteral("%1 firmware files for version %2: %3; nothing flashed")
        .arg(choice.candidates.size())
        .arg(printableVersion(version), choice.candidates.join(QStringLiteral(", ")));
}

} // namespace Flash
