// --help and --version of the windows: they print and exit, and must do so without a display.
#pragma once

#include <QCoreApplication>
#include <QTextStream>

#include <cstring>

namespace CommandLine {

// Whether the command line only asks for --help or --version.
inline bool onlyPrints(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *flag : {"-h", "--help", "-?", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], flag) == 0) {
                return true;
            }
        }
    }
    return false;
}

// Prints the help or "PROGRAM VERSION" without a display when that is all the command line asks;
// true then, and the program exits 0. Options holds a QCommandLineParser `parser` and the
// QCommandLineOption `version`.
template <typename Options> bool printedWithoutDisplay(int argc, char *argv[], const char *program)
{
    if (!onlyPrints(argc, argv)) {
        return false;
    }
    QCoreApplication core(argc, argv);
    Options options;
    options.parser.process(core); // prints the help and exits when asked for it
    if (options.parser.isSet(options.version)) {
        QTextStream(stdout) << program << ' ' << QUORVANE_VERSION << '\n';
    }
    return true;
}

} // namespace CommandLine
