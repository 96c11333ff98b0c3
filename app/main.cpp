// Entry point: the application, the one window, the event loop.
#include "highdpi.h"
#include "mainwindow.h"
#include "onlyprints.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0"
#endif

namespace {

struct Options
{
    QCommandLineParser parser;
    QCommandLineOption version{QStringList{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Displays version information.")};
    QCommandLineOption port{
        QStringLiteral("port"),
        QStringLiteral("Lists DEVICE first in the port list and selects it (for links the "
                       "system does not enumerate, such as pseudo-terminals)."),
        QStringLiteral("DEVICE")};

    Options()
    {
        parser.setApplicationDescription(
            QStringLiteral("Sends firmware to a battery pack's BMS over a serial line."));
        parser.addHelpOption();
        parser.addOption(version);
        parser.addOption(port);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    if (CommandLine::printedWithoutDisplay<Options>(argc, argv, "Quorvane")) {
        return 0;
    }

    HighDpi::enable();
    QApplication app(argc, argv);
    Options options;
    options.parser.process(app);

    MainWindow window;
    if (options.parser.isSet(options.port)) {
        window.setExtraPort(options.parser.value(options.port));
    }
    window.show();
    return app.exec();
}
