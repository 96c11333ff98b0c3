// QuorvaneStation's window on the line, for bench/station.sh: the real window offscreen, started on
// the given ports (links of paced simulator processes that replug after each image), until the
// download record holds the given number of packs. Prints the time that took and the longest the
// window's event loop went without turning, which the operators would see as a frozen window.
//   stationwindow_bench FIRMWARE_DIR PACKS LINK...
#include "datafolder.h"
#include "eventwait.h"
#include "stationwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kTurnMs = 5;                 // ms between the looks at the event loop
constexpr int kTimeoutMs = 10 * 60 * 1000; // the longest a run may take

int recordedPacks(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? static_cast<int>(file.readAll().count('\n')) : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        QTextStream(stderr) << "usage: stationwindow_bench FIRMWARE_DIR PACKS LINK...\n";
        return 1;
    }
    const int packs = args.at(2).toInt();
    const QString record = Settings::recordPath();
    QFile::remove(record);

    Station::StationWindow window;
    window.show();
    qint64 longestGapMs = 0;
    QElapsedTimer sinceTurn;
    QTimer turns;
    QObject::connect(&turns, &QTimer::timeout,
                     [&] { longestGapMs = std::max(longestGapMs, sinceTurn.restart()); });
    Station::StationPreset preset;
    preset.firmwareDir = args.at(1);
    preset.ports = args.mid(3);
    preset.baud = 115200;
    preset.start = true;
    QElapsedTimer clock;
    clock.start();
    window.applyPreset(preset);
    sinceTurn.start();
    turns.start(kTurnMs);
    const bool done = EventWait::until([&] { return recordedPacks(record) >= packs; }, kTimeoutMs);
    const double seconds = clock.elapsed() / 1000.0;
    turns.stop();
    if (!done) {
        QTextStream(stderr) << "the record holds " << recordedPacks(record) << " of " << packs << " packs\n";
        return 1;
    }
    out << QStringLiteral("%1 %2\n").arg(seconds, 0, 'f', 2).arg(longestGapMs);
    return 0;
}
