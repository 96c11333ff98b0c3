#include "firmwarefolder.h"

#include "firmwarechoice.h"
#include "firmwareimage.h"
#include "versiontext.h"

#include <QSet>

namespace Station {

namespace {

// The files among parts that a version starting with key would pick.
QList<int> pickedBy(const QStringList &parts, const QString &version)
{
    QList<int> picked;
    for (int i = 0; i < parts.size(); ++i) {
        if (FirmwareImage::pathHasVersion(parts.at(i), version)) {
            picked << i;
        }
    }
    return picked;
}

} // namespace

FolderSummary summarizeFolder(const QString &dir)
{
    FolderSummary summary;
    summary.problem = Download::firmwareDirProblem(dir);
    if (!summary.problem.isEmpty()) {
        return summary;
    }
    const QStringList files = Download::firmwareFiles(dir);
    QStringList parts;
    for (const QString &file : files) {
        parts << Download::matchedPart(dir, file);
    }
    summary.files = files.size();
    QSet<QString> keys;
    QSet<QString> clashKeys;
    for (const QString &part : qAsConst(parts)) {
        QString bestKey;
        QList<int> best;
        // The last part wins a tie: a file's own name says more than its folder's.
        for (const QString &name : part.split(QLatin1Char('/'))) {
            if (!Download::versionUsable(name)) {
                continue;
            }
            const QList<int> picked = pickedBy(parts, name);
            if (bestKey.isEmpty() || picked.size() <= best.size()) {
                bestKey = FirmwareImage::versionKey(name);
                best = picked;
            }
        }
        if (bestKey.isEmpty()) {
            ++summary.unnamed;
            continue;
        }
        keys.insert(bestKey);
        if (best.size() > 1 && !clashKeys.contains(bestKey)) {
            clashKeys.insert(bestKey);
            FirmwareClash clash{bestKey, {}};
            for (int i : qAsConst(best)) {
                clash.files << files.at(i);
            }
            summary.clashes << clash;
        }
    }
    summary.versions = keys.size();
    return summary;
}

} // namespace Station
