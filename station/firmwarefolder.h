// What the firmware folder holds, told before any pack is flashed: how many files, for how many
// versions, and which files one version would pick together (a pack of that version is then not
// flashed). A pack's version picks the one file whose path below the folder holds the version's
// first 12 characters (firmwarechoice.h); the version a file is meant for is not written anywhere,
// so it is taken to be the most telling part of its path: the folder or file name, 4 characters or
// more, whose first 12 characters the fewest files hold.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace Station {

// Files that one version would pick together, and that version's first 12 characters.
struct FirmwareClash
{
    QString key;
    QStringList files;
};

struct FolderSummary
{
    QString problem; // the folder cannot serve (firmwareDirProblem); the rest is empty then
    int files = 0;
    int versions = 0; // distinct versions the files are for; clashing files count once
    int unnamed = 0;  // files without a part that can be a version
    QList<FirmwareClash> clashes;
};

FolderSummary summarizeFolder(const QString &dir);

} // namespace Station
