// quorvane-flash --station: every port runs its own loop (StationPort); the station prints each
// pack's result line (with a bell on a terminal) above a live table of the ports, keeps the report
// up to date after every pack, and stops in two steps: the first Ctrl-C stops taking new packs and
// lets running downloads finish, a second one interrupts them. Then a summary per outcome and per
// port; the exit code is 0 when every pack flashed was confirmed.
#pragma once

#include "console.h"
#include "firmwarestore.h"
#include "options.h"
#include "report.h"
#include "stationport.h"
#include "throttle.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <memory>
#include <vector>

namespace Flash {

using Download::FirmwareStore;
using Download::StationPort;
using Download::StationSettings;

class Station : public QObject
{
    Q_OBJECT

public:
    Station(const Options &options, const QString &recordFile, QObject *parent = nullptr);
    ~Station() override;

    void start();
    int exitCode() const { return m_exitCode; }

private:
    void addPort(const QString &port);
    void discoverPorts();
    void onSignals();
    void onPackDone(const PortResult &result);
    void print(const QString &text); // a line above the live table
    void redraw();
    void clearTable(); // a terminal's live table, taken away before a line goes above it
    QString tableText() const;
    void writeReport();
    void finishIfStopped();

    Options m_options;
    StationSettings m_settings;
    Console m_console;
    FirmwareStore m_firmware;
    std::vector<std::unique_ptr<StationPort>> m_ports;
    QSet<QString> m_devices; // canonical paths of the ports in the station
    QList<PortResult> m_results;
    QTimer m_redraw;
    QTimer m_signalPoll;
    QTimer m_discovery;
    Throttle m_reportWrites; // the report after a pack: at most once a second
    int m_signalsSeen = 0;
    bool m_hungUp = false;
    bool m_reportFailed = false;
    bool m_finished = false;
    int m_drawn = 0;
    int m_confirmed = 0;
    int m_failed = 0;
    int m_notFlashed = 0;
    int m_exitCode = kExitConfirmed;
};

} // namespace Flash
