// QuorvaneStation: the production line's window over the engine's station ports.
//   QuorvaneStation --firmware-dir DIR [--port DEV ...] [--baud RATE] [--verify]
//                   [--expect-version TEXT] [--start]
#include "highdpi.h"
#include "onlyprints.h"
#include "stationwindow.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QTextStream>

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0"
#endif

namespace {

struct Options
{
    QCommandLineParser parser;
    QCommandLineOption version{QStringList{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Displays version information.")};
    QCommandLineOption firmwareDir{
        QStringLiteral("firmware-dir"),
        QStringLiteral("The folder of the firmware files (searched at any depth)."), QStringLiteral("DIR")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("A port of the station (repeat it for more); without it, every "
                                           "port, and those that appear later."),
                            QStringLiteral("DEVICE")};
    QCommandLineOption baud{QStringLiteral("baud"), QStringLiteral("The line's speed (default 9600)."),
                            QStringLiteral("RATE")};
    QCommandLineOption verify{QStringLiteral("verify"),
                              QStringLiteral("Reads the pack's version again after the update.")};
    QCommandLineOption expectVersion{QStringLiteral("expect-version"),
                                     QStringLiteral("With --verify: what the version after the update must "
                                                    "start with."),
                                     QStringLiteral("TEXT")};
    QCommandLineOption start{QStringLiteral("start"), QStringLiteral("Starts the station at once.")};

    Options()
    {
        parser.setApplicationDescription(
            QStringLiteral("Flashes battery packs on a production line, a tile per port."));
        parser.addHelpOption();
        parser.addOptions({version, firmwareDir, port, baud, verify, expectVersion, start});
    }
};

} // namespace

int main(int argc, char *argv[])
{
    if (CommandLine::printedWithoutDisplay<Options>(argc, argv, "QuorvaneStation")) {
        return 0;
    }

    HighDpi::enable();
    QApplication app(argc, argv);
    Options options;
    options.parser.process(app);

    Station::StationPreset preset;
    preset.firmwareDir = options.parser.value(options.firmwareDir);
    preset.ports = options.parser.values(options.port);
    if (options.parser.isSet(options.baud)) {
        bool ok = false;
        preset.baud = options.parser.value(options.baud).toInt(&ok);
        if (!ok || preset.baud <= 0) {
            QTextStream(stderr) << "QuorvaneStation: --baud needs a positive number, not \""
                                << options.parser.value(options.baud) << "\"\n";
            return 1;
        }
    }
    preset.verify = options.parser.isSet(options.verify);
    preset.expectVersion = options.parser.value(options.expectVersion);
    preset.start = options.parser.isSet(options.start);

    Station::StationWindow window;
    window.show();
    window.applyPreset(preset);
    return app.exec();
}
