// Which firmware a station flashes into a pack: exactly one file under the firmware folder whose
// path holds the first 12 characters of the pack's version, the window's own rule.
#pragma once

#include <QString>
#include <QStringList>

namespace Flash {

struct FirmwareChoice
{
    QString path;           // the one file; empty when there is none or more than one
    QStringList candidates; // every file that matched
};

// The firmware files under dir, at any depth (*.bin and *.sorrel, letter case ignored), sorted.
QStringList firmwareFiles(const QString &dir);

// The files among files whose path holds versionKey(version). A version that cannot be flashed by
// (versionUsable) matches nothing.
FirmwareChoice chooseFirmware(const QStringList &files, const QString &version);

// Why nothing is flashed, naming the version and the candidates; empty when choice.path is set.
QString choiceProblem(const FirmwareChoice &choice, const QString &version);

} // namespace Flash
