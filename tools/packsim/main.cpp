// quorvane-packsim: a battery pack on a serial line, for manual runs and the demo.
//
//   quorvane-packsim [--link PATH]            make a pseudo-terminal, print the path to open, serve it
//   quorvane-packsim --device PATH --baud N   serve a real serial device
// stderr gets one line per command, unless the hex frame log is asked for: -v (on stderr instead)
// or --frame-log FILE.
//
// Exit status: 0 after SIGINT/SIGTERM, 1 when the line, the log or the image file cannot be set up,
// 2 for a bad command line.
#include "packsimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTime>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    const ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
    static_cast<void>(ignored);
}

int usageError(const QString &message)
{
    std::fprintf(stderr, "quorvane-packsim: %s\nTry --help.\n", qPrintable(message));
    return 2;
}

// --corrupt-checksum takes an optional target: alone it means every answer.
QStringList withOptionalValues(const QStringList &arguments)
{
    QStringList result;
    for (int i = 0; i < arguments.size(); ++i) {
        result.append(arguments.at(i));
        if (arguments.at(i) == QLatin1String("--corrupt-checksum") &&
            (i + 1 == arguments.size() || arguments.at(i + 1).startsWith(QLatin1Char('-'))))
            result.append(QStringLiteral("all"));
    }
    return result;
}

bool readCount(const QCommandLineParser &parser, const QString &name, int minimum, int *value, QString *error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    *value = parser.value(name).toInt(&ok);
    if (!ok || *value < minimum) {
        *error = QStringLiteral("--%1 needs a whole number of at least %2, not \"%3\"")
                     .arg(name)
                     .arg(minimum)
                     .arg(parser.value(name));
        return false;
    }
    return true;
}

// --store, --replug-after-image and --off-after-image.
bool applyLineOptions(const QCommandLineParser &parser, PackSim::PackSimulator *pack, QString *error)
{
    PackSim::StoreMode store = PackSim::StoreMode::ByNumber;
    if (!PackSim::PackSimulator::storeModeFromName(parser.value(QStringLiteral("store")), &store)) {
        *error = QStringLiteral("--store is \"number\" or \"append\", not \"%1\"")
                     .arg(parser.value(QStringLiteral("store")));
        return false;
    }
    pack->setStoreMode(store);
    int replugMs = 0;
    int offMs = 0;
    if (!readCount(parser, QStringLiteral("replug-after-image"), 1, &replugMs, error) ||
        !readCount(parser, QStringLiteral("off-after-image"), 1, &offMs, error))
        return false;
    if (replugMs > 0 && offMs > 0) {
        *error = QStringLiteral("--replug-after-image and --off-after-image exclude each other");
        return false;
    }
    if (replugMs > 0)
        pack->setAfterImage(PackSim::AfterImage::Replug, replugMs);
    else if (offMs > 0)
        pack->setAfterImage(PackSim::AfterImage::PowerCycle, offMs);
    QObject::connect(pack, &PackSim::PackSimulator::adapterPulled, pack, [] {
        std::fprintf(stderr, "%s quorvane-packsim: unplugged\n",
                     qPrintable(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"))));
    });
    QObject::connect(pack, &PackSim::PackSimulator::pluggedIn, pack, [](const QString &path) {
        std::fprintf(stderr, "%s quorvane-packsim: plugged in again: %s\n",
                     qPrintable(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"))),
                     qPrintable(path));
    });
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-packsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Answers the updater as a battery pack's BMS would, on a pseudo-terminal (default: its path is\n"
        "printed as the first line on stdout) or on a real serial device. Checks every command, rebuilds\n"
        "the downloaded image, and can misbehave on purpose (the fault options).\n"
        "KIND is one of version, init, data, end, test."));
    parser.addHelpOption();
    const QList<QCommandLineOption> options = {
        {QStringLiteral("device"),
         QStringLiteral("Serve the serial device PATH instead of a pseudo-terminal."),
         QStringLiteral("PATH")},
        {QStringLiteral("baud"), QStringLiteral("Baud rate of --device (default 115200)."),
         QStringLiteral("N"), QStringLiteral("115200")},
        {QStringLiteral("link"), QStringLiteral("Also make a symlink PATH to the pseudo-terminal."),
         QStringLiteral("PATH")},
        {QStringLiteral("version-text"),
         QStringLiteral("Version the pack reports (default \"%1\").")
             .arg(QLatin1String(PackSim::PackSimulator::kDefaultVersionText)),
         QStringLiteral("TEXT")},
        {QStringLiteral("image-out"),
         QStringLiteral("Write the rebuilt image to FILE after every end command."), QStringLiteral("FILE")},
        {QStringList{QStringLiteral("frame-log"), QStringLiteral("log")},
         QStringLiteral(
             "Log every frame both ways, in hex, to FILE (\"-\" for stderr), instead of a line per "
             "command on stderr."),
         QStringLiteral("FILE")},
        {QStringList{QStringLiteral("v"), QStringLiteral("verbose")},
         QStringLiteral("Log every frame both ways, in hex, on stderr (without it, stderr gets one line "
                        "per command).")},
        {QStringLiteral("no-log"), QStringLiteral("Nothing on stderr per command or frame.")},
        {QStringLiteral("silent"),
         QStringLiteral("Do not answer the N-th (from 1) or every command of KIND. Repeatable."),
         QStringLiteral("KIND[:N|:all]")},
        {QStringLiteral("delay"), QStringLiteral("Hold every answer MS milliseconds."), QStringLiteral("MS")},
        {QStringLiteral("late"), QStringLiteral("Hold the answers to KIND MS milliseconds more. Repeatable."),
         QStringLiteral("KIND=MS")},
        {QStringLiteral("busy"),
         QStringLiteral("Work MS milliseconds on each KIND command (init: erasing; data: writing): answer\n"
                        "when done, and drop unheard every frame that arrives meanwhile. Repeatable."),
         QStringLiteral("KIND=MS")},
        {QStringLiteral("refuse"),
         QStringLiteral("Answer the N-th KIND command with return code CODE (hex) and do nothing with it\n"
                        "(a refused packet is not stored). Repeatable."),
         QStringLiteral("KIND:N=CODE")},
        {QStringLiteral("byte-by-byte"), QStringLiteral("Write answers one byte at a time.")},
        {QStringLiteral("byte-gap"),
         QStringLiteral("Milliseconds between bytes with --byte-by-byte (default 1)."), QStringLiteral("MS"),
         QStringLiteral("1")},
        {QStringLiteral("noise"), QStringLiteral("Put N noise bytes (never a frame) before every answer."),
         QStringLiteral("N")},
        {QStringLiteral("corrupt-checksum"),
         QStringLiteral(
             "Answer with a wrong CHKSUM: every answer (no value or \"all\"), or KIND[:N|:all]. Repeatable."),
         QStringLiteral("TARGET")},
        {QStringLiteral("info-replies"),
         QStringLiteral("Answer init, data and end with INFO instead of empty.")},
        {QStringLiteral("no-end-reply"), QStringLiteral("Never answer the end command.")},
        {QStringLiteral("end-reply-after"),
         QStringLiteral("Answer the end command only from its N-th copy after init."), QStringLiteral("N")},
        {QStringLiteral("pace"),
         QStringLiteral("Answer no earlier than the command would have arrived at BAUD (10 bits a byte)."),
         QStringLiteral("BAUD")},
        {QStringLiteral("store"),
         QStringLiteral(
             "Where a data packet goes: \"number\" (default; at its number, a repeat is harmless)\n"
             "or \"append\" (after the ones before, a repeat corrupts the image)."),
         QStringLiteral("MODE"), QStringLiteral("number")},
        {QStringLiteral("replug-after-image"),
         QStringLiteral("MS after answering an image's end command, unplug; plug back in (same --link)\n"
                        "MS later: the next pack of a production line."),
         QStringLiteral("MS")},
        {QStringLiteral("version-after-image"),
         QStringLiteral("Report TEXT as the version once an image's end command is answered (the new\n"
                        "firmware; with --off-after-image after a silent restart)."),
         QStringLiteral("TEXT")},
        {QStringLiteral("off-after-image"),
         QStringLiteral("MS after answering an image's end command, power off (the port stays) for MS."),
         QStringLiteral("MS")},
    };
    parser.addOptions(options);
    if (!parser.parse(withOptionalValues(QCoreApplication::arguments())))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    PackSim::PackSimulator pack;
    QString error;
    int baud = 115200;
    int delay = 0;
    int gap = 1;
    int noise = 0;
    int endAfter = 0;
    int pace = 0;
    if (!readCount(parser, QStringLiteral("baud"), 1, &baud, &error) ||
        !readCount(parser, QStringLiteral("delay"), 0, &delay, &error) ||
        !readCount(parser, QStringLiteral("byte-gap"), 0, &gap, &error) ||
        !readCount(parser, QStringLiteral("noise"), 0, &noise, &error) ||
        !readCount(parser, QStringLiteral("end-reply-after"), 1, &endAfter, &error) ||
        !readCount(parser, QStringLiteral("pace"), 1, &pace, &error))
        return usageError(error);
    for (const QString &target : parser.values(QStringLiteral("silent"))) {
        if (!pack.addSilent(target, &error))
            return usageError(QStringLiteral("--silent %1").arg(error));
    }
    for (const QString &option : {QStringLiteral("late"), QStringLiteral("busy"), QStringLiteral("refuse")}) {
        for (const QString &text : parser.values(option)) {
            if (!pack.addTimedFault(option, text, &error))
                return usageError(QStringLiteral("--%1 %2").arg(option, error));
        }
    }
    for (const QString &target : parser.values(QStringLiteral("corrupt-checksum"))) {
        if (!pack.addCorruptChecksum(target, &error))
            return usageError(QStringLiteral("--corrupt-checksum %1").arg(error));
    }
    if (parser.isSet(QStringLiteral("version-text")) &&
        !pack.setVersionText(parser.value(QStringLiteral("version-text"))))
        return usageError(QStringLiteral("--version-text is longer than a frame can carry (2047 bytes)"));
    if (parser.isSet(QStringLiteral("link")) && parser.isSet(QStringLiteral("device")))
        return usageError(QStringLiteral("--link goes with a pseudo-terminal, not with --device"));
    pack.setReplyDelay(delay);
    pack.setByteByByte(parser.isSet(QStringLiteral("byte-by-byte")), gap);
    pack.setNoiseBytes(noise);
    pack.setInfoReplies(parser.isSet(QStringLiteral("info-replies")));
    pack.setNoEndReply(parser.isSet(QStringLiteral("no-end-reply")));
    pack.setEndReplyAfter(endAfter);
    pack.setPaceBaud(pace);
    pack.setImageOutputPath(parser.value(QStringLiteral("image-out")));
    pack.setVersionAfterImage(parser.value(QStringLiteral("version-after-image")));
    if (!applyLineOptions(parser, &pack, &error))
        return usageError(error);

    const QString logPath = parser.value(QStringLiteral("frame-log"));
    if (!parser.isSet(QStringLiteral("no-log"))) {
        // The summary only when no frame log is asked for: the frame log holds every line of it.
        pack.setSummaryToStderr(!parser.isSet(QStringLiteral("verbose")) && logPath.isEmpty());
        if (parser.isSet(QStringLiteral("verbose")) || logPath == QLatin1String("-"))
            pack.setLogToStderr(true);
        if (!logPath.isEmpty() && logPath != QLatin1String("-") && !pack.setLogFile(logPath)) {
            std::fprintf(stderr, "quorvane-packsim: %s\n", qPrintable(pack.errorString()));
            return 1;
        }
    }

    const bool device = parser.isSet(QStringLiteral("device"));
    const bool opened = device ? pack.openDevice(parser.value(QStringLiteral("device")), baud)
                               : pack.openPty(parser.value(QStringLiteral("link")));
    if (!opened) {
        std::fprintf(stderr, "quorvane-packsim: %s\n", qPrintable(pack.errorString()));
        return 1;
    }
    std::printf("%s\n", qPrintable(pack.slavePath()));
    std::fflush(stdout);
    std::fprintf(stderr, "quorvane-packsim: serving %s%s%s, version \"%s\"\n", qPrintable(pack.slavePath()),
                 pack.linkPath().isEmpty() ? "" : " via ", qPrintable(pack.linkPath()),
                 qPrintable(pack.versionText()));

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) {
        std::perror("quorvane-packsim: socketpair");
        return 1;
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    QObject::connect(&pack, &PackSim::PackSimulator::lineFailed, &app,
                     [](const QString &) { QCoreApplication::exit(1); });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    const int status = app.exec();
    pack.close();

    std::printf("commands: %d (version %d, init %d, data %d, end %d, test %d, unknown %d)\n",
                pack.totalCommands(), pack.commandCount(PackSim::Kind::Version),
                pack.commandCount(PackSim::Kind::Init), pack.commandCount(PackSim::Kind::Data),
                pack.commandCount(PackSim::Kind::End), pack.commandCount(PackSim::Kind::Test),
                pack.commandCount(PackSim::Kind::Unknown));
    std::printf("replies: %d\nrejected frames: %d\nviolations: %d\n", pack.repliesSent(),
                pack.rejectedFrames(), pack.violationCount());
    std::printf("images: %d, last %d bytes; image bytes written: %lld\n", pack.imagesWritten(),
                int(pack.image().size()), static_cast<long long>(pack.imageBytesWritten()));
    std::fflush(stdout);
    return status;
}
