#include "firmwarestore.h"

#include "versiontext.h"

#include <QFileInfo>

#include <algorithm>

namespace Download {

bool FirmwareStore::same(const QString &path)
{
    const QFileInfo info(path);
    const qint64 size = info.exists() ? info.size() : -1;
    const QDateTime modified = info.lastModified();
    Seen &seen = m_seen[path];
    if (seen.unchanged.isValid() && seen.size == size && seen.modified == modified) {
        return true;
    }
    seen = Seen();
    seen.size = size;
    seen.modified = modified;
    seen.unchanged.start();
    return false;
}

void FirmwareStore::look(const QStringList &paths)
{
    for (const QString &path : paths) {
        if (!m_seen.contains(path)) {
            same(path);
        }
    }
}

FirmwareStore::State FirmwareStore::take(const QString &path, FirmwareImage::Image *image, QString *problem,
                                         int *waitMs)
{
    const bool seenBefore = m_seen.contains(path);
    const bool unchanged = same(path) || !seenBefore;
    Seen &seen = m_seen[path];
    // Unchanged since it was first looked at, or since its modification time, whichever is longer.
    const qint64 sinceModified =
        seen.modified.isValid() ? seen.modified.msecsTo(QDateTime::currentDateTime()) : qint64(0);
    const qint64 still = std::max(seen.unchanged.elapsed(), sinceModified);
    if (!unchanged || still < m_settleMs) {
        *waitMs = static_cast<int>(m_settleMs - (unchanged ? still : 0));
        return State::Settling;
    }
    if (!seen.read) {
        FirmwareImage::Image loaded;
        const FirmwareImage::LoadVerdict verdict = FirmwareImage::load(path, &loaded);
        if (!same(path)) { // changed while it was read: what was read is no whole file
            *waitMs = m_settleMs;
            return State::Settling;
        }
        Seen &again = m_seen[path];
        again.read = true;
        again.verdict = verdict;
        again.image = std::move(loaded);
    }
    const Seen &ready = m_seen[path];
    if (ready.verdict != FirmwareImage::LoadVerdict::Loaded) {
        *problem = FirmwareImage::problemText(ready.verdict, path);
        return State::Refused;
    }
    *image = ready.image;
    return State::Ready;
}

} // namespace Download
