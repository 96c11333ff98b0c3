// Which firmware a station flashes into a pack: exactly one file under the firmware folder whose
// path below that folder holds the first 12 characters of the pack's version, the window's own
// rule. The folder's own name and the file's extension are no part of what is matched, so a
// version such as "bin" or a piece of the folder's path picks nothing.
#pragma once

#include <QString>
#include <QStringList>

namespace Download {

struct FirmwareChoice
{
    QString path;           // the one file; empty when there is none or more than one
    QStringList candidates; // every file that matched, readable or not
    QStringList unreadable; // the candidates that cannot be read
};

// Why the firmware folder cannot serve a station ("DIR: no such folder", ...); empty when it can.
QString firmwareDirProblem(const QString &dir);

// The firmware files under dir, at any depth (*.bin and *.sorrel, letter case ignored), sorted;
// those that cannot be read too (a dangling link, a file without read permission).
QStringList firmwareFiles(const QString &dir);

// The part of file a version is looked for in: its path below dir, without the extension.
QString matchedPart(const QString &dir, const QString &file);

// The files among files (below dir) whose matchedPart holds versionKey(version). A version that
// cannot be flashed by (versionUsable) matches nothing.
FirmwareChoice chooseFirmware(const QString &dir, const QStringList &files, const QString &version);

// Why nothing is flashed, naming the version and the candidates and which of them cannot be read;
// empty when choice.path is set.
QString choiceProblem(const FirmwareChoice &choice, const QString &version);

} // namespace Download
