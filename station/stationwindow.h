// QuorvaneStation's window: the production line's front end over the engine's station ports
// (upgrade/stationport.h). Each port runs its own loop in the engine; the window sets the station
// up, starts and stops it, and shows what the ports report: a tile per port, the totals since
// Start, and the history of the last results from the download record.
#pragma once

#include "firmwarestore.h"
#include "history.h"
#include "outcome.h"
#include "stationport.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QTranslator>

#include <memory>
#include <vector>

namespace Ui {
class StationWindow;
}

namespace Station {

class PortTile;

constexpr int kRateRefreshMs = 10000; // ms between refreshes of the packs per hour

// What the command line sets before the window is shown.
struct StationPreset
{
    QString firmwareDir;
    QStringList ports; // none: every port, and those that appear later
    qint32 baud = 0;   // 0: the remembered one
    bool verify = false;
    QString expectVersion;
    bool start = false;
};

class StationWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit StationWindow(QWidget *parent = nullptr);
    ~StationWindow() override;

    void applyPreset(const StationPreset &preset);
    // Puts a device the system does not list (a pseudo-terminal) in the port list, chosen.
    void addExtraPort(const QString &device);
    bool running() const { return !m_ports.empty(); }
    bool downloading() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void onStart();
    void onStop();
    void onBrowse();
    void onLanguage(int index);
    void fillPortList();
    void showFolder();
    void discoverPorts();
    void addPort(const QString &port);
    void onPackDone(Download::StationPort *port, const Download::PortResult &result);
    void onStopped();
    void setRunning(bool running);
    void showTotals();
    void showHistory();
    QString shownFile(const QString &file) const;
    void addHistory(const HistoryEntry &entry);
    void beep(int times);
    void retranslate();

    std::unique_ptr<Ui::StationWindow> ui;
    QTranslator m_translator;
    QTranslator m_appTranslator; // the shared boxes' titles (Quorvane's own)
    QTranslator m_qtTranslator;  // Qt's own strings: the boxes' buttons, the file dialog

    std::unique_ptr<Download::FirmwareStore> m_store;
    Download::StationSettings m_settings;
    std::vector<std::unique_ptr<Download::StationPort>> m_ports;
    QHash<Download::StationPort *, PortTile *> m_tiles;
    QSet<QString> m_devices;  // canonical paths of the ports in the station
    QStringList m_extraPorts; // from the command line
    QTimer m_discovery;
    QTimer m_rateTimer;
    QElapsedTimer m_since; // since Start
    bool m_stopping = false;
    int m_passed = 0;
    int m_failed = 0;
    int m_notFlashed = 0;
    QList<HistoryEntry> m_history; // newest first
};

} // namespace Station
