// The station's firmware files as packs take them. A file is used only once its size and
// modification time have stayed the same for the settle time (seen so, or its modification time
// that far back), so a file still being copied into the firmware folder is never flashed half; and each file
// is read once (its sha256 from the very bytes read, the bytes sent) until it changes. One store serves every
// port of the station.
#pragma once

#include "firmwareimage.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QString>

namespace Download {

constexpr int kFirmwareSettleMs = 2000; // ms a firmware file must stay unchanged before it is used

class FirmwareStore
{
public:
    explicit FirmwareStore(int settleMs = kFirmwareSettleMs) : m_settleMs(settleMs) {}

    int settleMs() const { return m_settleMs; }

    enum class State
    {
        Ready,    // *image holds the file
        Settling, // changed within the settle time: ask again after *waitMs
        Refused,  // cannot be flashed: *problem says why
    };
    // The image of path, or why not yet, or why not.
    State take(const QString &path, FirmwareImage::Image *image, QString *problem, int *waitMs);
    // Starts the settle time of the files seen so far, so that a pack arriving later need not wait.
    void look(const QStringList &paths);

private:
    struct Seen
    {
        qint64 size = -1;
        QDateTime modified;
        QElapsedTimer unchanged; // since size and modified were last seen to change
        bool read = false;
        FirmwareImage::LoadVerdict verdict = FirmwareImage::LoadVerdict::Unreadable;
        FirmwareImage::Image image;
    };
    // Looks at path again; true when it is as it was last seen.
    bool same(const QString &path);

    int m_settleMs;
    QHash<QString, Seen> m_seen;
};

} // namespace Download
