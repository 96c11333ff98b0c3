// The command line of quorvane-flash, parsed apart from the program so every rule can be tested.
#pragma once

#include <QString>
#include <QStringList>

namespace Flash {

// Exit codes of the program (and of each port in the summary).
enum ExitCode
{
    kExitConfirmed = 0,        // every pack confirmed the end of the download
    kExitBadCommandLine = 1,   // bad command line
    kExitCannotOpen = 2,       // a port cannot be opened
    kExitNoVersion = 3,        // a pack did not report its version (and --unverified was not given)
    kExitImageRefused = 4,     // the image was refused for a pack
    kExitInitUnanswered = 5,   // a pack did not answer the init command
    kExitStalled = 6,          // a download stalled (--stall-timeout)
    kExitLinkLost = 7,         // a port was lost during the download
    kExitUnconfirmed = 8,      // the download finished but the pack did not confirm the end command
    kExitReportNotWritten = 9, // the --json report could not be written (wins over every other code)
    kExitWrongVersion = 10,    // --verify: the version after the update does not start with --expect-version
    kExitNoVersionAfter = 11,  // --verify: the pack reported no version after the update in time
    kExitRefused = 12,         // the pack refused a data packet (a return code other than 00)
    kExitHangUp = 129,         // SIGHUP (the terminal went away)
    kExitInterrupted = 130,    // Ctrl-C
};

struct Options
{
    enum class Mode
    {
        Flash,
        ListPorts,
        ReadVersion,
        Help,
        Version,
        Station, // --station: flash every pack plugged in, one after the other on each port
    } mode = Mode::Flash;
    QStringList ports;
    qint32 baud = 9600;
    QString jsonPath; // empty: no report; "-": standard output
    int stallTimeoutS = 10;
    bool unverified = false;
    int retries = 0;       // re-sends of a data packet on its stall deadline before it counts as stalled
    bool allPorts = false; // --station --all-ports
    QString firmwareDir;   // --station
    QString recordPath;    // --record: every download's record is appended to it; empty: the default
    bool verify = false;   // --verify: read the version again after a confirmed end
    int verifyTimeoutS = 30;
    QString expectVersion; // --expect-version: what the version after the update must start with
    QString file;
    QString helpText; // Mode::Help
};

// Parses arguments (argv[0] first). False, with *error set, on a bad command line.
bool parseOptions(const QStringList &arguments, Options *options, QString *error);

// The text of --help, exit codes included.
QString helpText();

} // namespace Flash
