#include "options.h"

#include "constants.h"
#include "portidentity.h"

#include <QCommandLineParser>

namespace Flash {

namespace {

const char kExitCodesText[] =
    "Exit codes:\n"
    "  0  every pack confirmed the end of the download\n"
    "  1  bad command line\n"
    "  2  a port cannot be opened\n"
    "  3  a pack did not report its version (and --unverified was not given)\n"
    "  4  the image was refused for a pack (version not in the path, too short,\n"
    "     too large, unreadable)\n"
    "  5  a pack did not answer the init command\n"
    "  6  a download stalled (--stall-timeout)\n"
    "  7  a port was lost during the download\n"
    "  8  the download finished but the pack did not confirm the end command\n"
    "  9  the --json report could not be written (this code wins over the others)\n"
    "  10  --verify: the version after the update does not start with --expect-version\n"
    "  11  --verify: the pack reported no version after the update in time\n"
    "  12  the pack refused a package (it answered with a return code other than 00)\n"
    "  129  ended by a hang-up (SIGHUP); ports closed and the report written\n"
    "  130  interrupted (Ctrl-C)\n"
    "With several ports: 0 when every port got 0, otherwise the code of the\n"
    "first port, in command-line order, that did not.\n";

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Displays this help.")};
    QCommandLineOption version{QStringList{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Displays the program's version.")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Serial port of a pack (repeat for several packs at once)."),
                            QStringLiteral("DEV")};
    QCommandLineOption baud{QStringLiteral("baud"), QStringLiteral("9600 (default), 19200, 38400 or 115200."),
                            QStringLiteral("RATE"), QStringLiteral("9600")};
    QCommandLineOption json{QStringLiteral("json"),
                            QStringLiteral("Writes a JSON report, one object per port, to FILE (- for "
                                           "standard output)."),
                            QStringLiteral("FILE")};
    QCommandLineOption stall{QStringLiteral("stall-timeout"),
                             QStringLiteral("Ends a port's download when a packet stays unacknowledged "
                                            "this long (default 10)."),
                             QStringLiteral("SECONDS"), QStringLiteral("10")};
    QCommandLineOption unverified{QStringLiteral("unverified"),
                                  QStringLiteral("Downloads to a pack that does not report its version "
                                                 "(the path check is skipped for it).")};
    QCommandLineOption listPorts{QStringLiteral("list-ports"),
                                 QStringLiteral("Lists the serial ports and exits.")};
    QCommandLineOption readVersion{
        QStringLiteral("read-version"),
        QStringLiteral("Prints the version the pack on --port reports and exits.")};
    QCommandLineOption retries{
        QStringLiteral("retries"),
        QStringLiteral("Sends a data packet again, up to N times, when its acknowledgement does not come "
                       "before the stall deadline (default 0). Only for packs that store a packet at the "
                       "position its number gives: a pack that appends packets is corrupted by a repeat."),
        QStringLiteral("N"), QStringLiteral("0")};
    QCommandLineOption station{
        QStringLiteral("station"),
        QStringLiteral("Production line: on every port, wait for a pack, flash the one firmware under "
                       "--firmware-dir whose path holds its version, wait for it to leave, repeat.")};
    QCommandLineOption firmwareDir{QStringLiteral("firmware-dir"),
                                   QStringLiteral("With --station: the folder the firmware is picked from."),
                                   QStringLiteral("DIR")};
    QCommandLineOption record{QStringLiteral("record"),
                              QStringLiteral("Appends the record of every download to FILE (default: "
                                             "downloads.jsonl beside config.ini)."),
                              QStringLiteral("FILE")};
    QCommandLineOption verify{
        QStringLiteral("verify"),
        QStringLiteral("After a confirmed end, keeps the port open and asks the version once a second "
                       "until the pack answers (it may be silent while it restarts).")};
    QCommandLineOption verifyTimeout{
        QStringLiteral("verify-timeout"),
        QStringLiteral("With --verify: how long to ask for the version after the update (default 30)."),
        QStringLiteral("SECONDS"), QStringLiteral("30")};
    QCommandLineOption expectVersion{
        QStringLiteral("expect-version"),
        QStringLiteral("With --verify: the version after the update must start with TEXT."),
        QStringLiteral("TEXT")};
    QCommandLineOption allPorts{
        QStringLiteral("all-ports"),
        QStringLiteral("With --station: every serial port, and those that appear later.")};

    Parser()
    {
        parser.setApplicationDescription(
            QStringLiteral("Downloads firmware to the BMS of one battery pack or several at once."));
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({help, version, port, baud, json, stall, unverified, listPorts, readVersion,
                           retries, station, firmwareDir, allPorts, record, verify, verifyTimeout,
                           expectVersion});
        parser.addPositionalArgument(QStringLiteral("FILE"),
                                     QStringLiteral("The firmware image (*.bin, *.sorrel)."));
    }
};

// One device under two names (a /dev/serial/by-id/... link and the device) is one port.
bool sameDeviceTwice(const QStringList &ports, QString *error)
{
    QStringList devices;
    for (const QString &port : ports) {
        devices << PortIdentity::canonicalPath(port);
    }
    int first = 0;
    int second = 0;
    if (!PortIdentity::findSameDevice(devices, &first, &second)) {
        return true;
    }
    *error = ports.at(first) == ports.at(second)
                 ? QStringLiteral("a port is given twice: %1").arg(ports.at(first))
                 : QStringLiteral("a port is given twice: %1 and %2 are the same device, %3")
                       .arg(ports.at(first), ports.at(second), devices.at(first));
    return false;
}

// --station --firmware-dir DIR (--port DEV ... | --all-ports)
bool parseStation(const Parser &p, const QStringList &files, Options *o, QString *error)
{
    o->mode = Options::Mode::Station;
    o->firmwareDir = p.parser.value(p.firmwareDir);
    o->allPorts = p.parser.isSet(p.allPorts);
    if (p.parser.isSet(p.listPorts) || p.parser.isSet(p.readVersion) || p.parser.isSet(p.unverified)) {
        *error = QStringLiteral("--station goes without --list-ports, --read-version and --unverified");
    } else if (o->firmwareDir.isEmpty()) {
        *error = QStringLiteral("--station needs --firmware-dir DIR");
    } else if (!files.isEmpty()) {
        *error = QStringLiteral("--station takes its firmware from --firmware-dir, not from '%1'")
                     .arg(files.first());
    } else if (o->allPorts == !o->ports.isEmpty()) {
        *error = QStringLiteral("--station needs --port DEV (one or more) or --all-ports");
    } else if (o->jsonPath == QLatin1String("-")) {
        *error = QStringLiteral("--station writes its report to a file, not to standard output");
    }
    return error->isEmpty();
}

} // namespace

QString helpText()
{
    Parser p;
    return QStringLiteral(
               "Usage: quorvane-flash --port DEV [--port DEV2 ...] [--baud RATE] [--json FILE|-]\n"
               "                      [--stall-timeout SECONDS] [--unverified] [--retries N]\n"
               "                      [--record FILE] [--verify [--verify-timeout SECONDS]\n"
               "                      [--expect-version TEXT]] FILE\n"
               "       quorvane-flash --station --firmware-dir DIR (--port DEV ... | --all-ports)\n"
               "                      [--baud RATE] [--stall-timeout SECONDS] [--retries N] [--json FILE]\n"
               "                      [--record FILE] [--verify [--verify-timeout SECONDS]\n"
               "                      [--expect-version TEXT]]\n"
               "       quorvane-flash --list-ports\n"
               "       quorvane-flash --read-version --port DEV [--baud RATE]\n\n") +
           p.parser.helpText().section(QLatin1Char('\n'), 1) + QLatin1Char('\n') +
           QString::fromLatin1(kExitCodesText);
}

bool parseOptions(const QStringList &arguments, Options *options, QString *error)
{
    Parser p;
    if (!p.parser.parse(arguments)) {
        *error = p.parser.errorText();
        return false;
    }
    Options o;
    if (p.parser.isSet(p.help)) {
        o.mode = Options::Mode::Help;
        o.helpText = helpText();
        *options = o;
        return true;
    }
    if (p.parser.isSet(p.version)) {
        o.mode = Options::Mode::Version;
        *options = o;
        return true;
    }
    if (p.parser.isSet(p.listPorts) && p.parser.isSet(p.readVersion)) {
        *error = QStringLiteral("--list-ports and --read-version exclude each other");
        return false;
    }
    o.ports = p.parser.values(p.port);
    bool ok = false;
    o.baud = p.parser.value(p.baud).toInt(&ok);
    if (!ok || (o.baud != 9600 && o.baud != 19200 && o.baud != 38400 && o.baud != 115200)) {
        *error = QStringLiteral("--baud must be 9600, 19200, 38400 or 115200, not '%1'")
                     .arg(p.parser.value(p.baud));
        return false;
    }
    o.stallTimeoutS = p.parser.value(p.stall).toInt(&ok);
    if (!ok || o.stallTimeoutS < 1 || o.stallTimeoutS > 3600) {
        *error = QStringLiteral("--stall-timeout must be a whole number of seconds from 1 to 3600, not '%1'")
                     .arg(p.parser.value(p.stall));
        return false;
    }
    o.retries = p.parser.value(p.retries).toInt(&ok);
    if (!ok || o.retries < 0 || o.retries > Quorvane::kMaxPacketRetries) {
        *error = QStringLiteral("--retries must be a whole number from 0 to %1, not '%2'")
                     .arg(Quorvane::kMaxPacketRetries)
                     .arg(p.parser.value(p.retries));
        return false;
    }
    o.verify = p.parser.isSet(p.verify);
    o.expectVersion = p.parser.value(p.expectVersion);
    o.verifyTimeoutS = p.parser.value(p.verifyTimeout).toInt(&ok);
    if (!ok || o.verifyTimeoutS < 1 || o.verifyTimeoutS > 3600) {
        *error = QStringLiteral("--verify-timeout must be a whole number of seconds from 1 to 3600, not '%1'")
                     .arg(p.parser.value(p.verifyTimeout));
        return false;
    }
    if (!o.verify && (p.parser.isSet(p.verifyTimeout) || p.parser.isSet(p.expectVersion))) {
        *error = QStringLiteral("--verify-timeout and --expect-version go with --verify");
        return false;
    }
    o.jsonPath = p.parser.value(p.json);
    o.recordPath = p.parser.value(p.record);
    o.unverified = p.parser.isSet(p.unverified);
    const QStringList files = p.parser.positionalArguments();

    if (p.parser.isSet(p.station)) {
        if (!parseStation(p, files, &o, error)) {
            return false;
        }
    } else if (p.parser.isSet(p.firmwareDir) || p.parser.isSet(p.allPorts)) {
        *error = QStringLiteral("--firmware-dir and --all-ports go with --station");
        return false;
    } else if (p.parser.isSet(p.listPorts)) {
        o.mode = Options::Mode::ListPorts;
    } else if (p.parser.isSet(p.readVersion)) {
        o.mode = Options::Mode::ReadVersion;
        if (o.ports.size() != 1) {
            *error = QStringLiteral("--read-version needs exactly one --port");
            return false;
        }
    } else {
        if (o.ports.isEmpty()) {
            *error = QStringLiteral("no --port given");
            return false;
        }
        if (files.size() != 1) {
            *error = files.isEmpty() ? QStringLiteral("no firmware file given")
                                     : QStringLiteral("one firmware file, not %1").arg(files.size());
            return false;
        }
        o.file = files.first();
    }
    if (o.mode != Options::Mode::Flash && o.mode != Options::Mode::Station && !files.isEmpty()) {
        *error = QStringLiteral("no firmware file is used with --list-ports or --read-version");
        return false;
    }
    if (!sameDeviceTwice(o.ports, error)) {
        return false;
    }
    *options = o;
    return true;
}

Download::SessionSettings sessionSettings(const Options &options, const QString &recordFile)
{
    Download::SessionSettings session;
    session.baud = options.baud;
    session.stallTimeoutS = options.stallTimeoutS;
    session.retries = options.retries;
    session.recordFile = recordFile;
    session.verify = options.verify;
    session.verifyTimeoutS = options.verifyTimeoutS;
    session.expectVersion = options.expectVersion;
    return session;
}

} // namespace Flash
