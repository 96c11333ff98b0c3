// A port's tile on the station window, readable from across the bench: the port's name large, its
// state in colour (grey waiting, blue flashing with a bar and the time left, green PASS, red FAIL
// with its reason, amber when no firmware was chosen), the pack's version and file, the version
// running after the check, the port's own counts, and whether the last pack is still there.
//
// For tests and tools it carries the dynamic properties port, state ("waiting", "flashing",
// "verifying", "passed", "failed", "not_flashed", "stopped"), outcome (the record's name), version,
// file and packPresent.
#pragma once

#include "outcome.h"
#include "stationport.h"

#include <QFrame>

class QLabel;
class QProgressBar;

namespace Station {

// A pack's result as its tile tells it.
struct TileResult
{
    Download::Outcome outcome = Download::Outcome::Confirmed;
    QString version;
    QString versionAfter;
    int candidates = 0; // not flashed: the files the version picked (0 none, 2 or more too many)
};

class PortTile : public QFrame
{
    Q_OBJECT

public:
    explicit PortTile(const QString &port, QWidget *parent = nullptr);

    void showRow(const Download::StationRow &row);
    void showResult(const TileResult &result);
    // firmwareDir: the folder the file is shown below.
    void setFirmwareDir(const QString &dir) { m_firmwareDir = dir; }

    int passedCount() const { return m_passed; }
    int failedCount() const { return m_failed; }

protected:
    void changeEvent(QEvent *event) override;

private:
    QString stateName() const;
    void refresh();
    QString stateText(const QString &state) const;
    QString reasonText() const;

    Download::StationRow m_row;
    TileResult m_result;
    bool m_hasResult = false;
    int m_passed = 0;
    int m_failed = 0;
    QString m_firmwareDir;
    QLabel *m_portLabel;
    QLabel *m_stateLabel;
    QProgressBar *m_progress;
    QLabel *m_timeLeft;
    QLabel *m_versionLabel;
    QLabel *m_fileLabel;
    QLabel *m_afterLabel;
    QLabel *m_reasonLabel;
    QLabel *m_presenceLabel;
    QLabel *m_countsLabel;
};

} // namespace Station
