// The command line of quorvane-flash, parsed apart from the program so every rule can be tested.
#pragma once

#include "outcome.h"
#include "packsession.h"

#include <QString>
#include <QStringList>

namespace Flash {

// The exit codes of the program (and of each port in the summary) are the outcomes' (outcome.h).
using Download::ExitCode;
using Download::kExitBadCommandLine;
using Download::kExitCannotOpen;
using Download::kExitConfirmed;
using Download::kExitHangUp;
using Download::kExitImageRefused;
using Download::kExitInitUnanswered;
using Download::kExitInterrupted;
using Download::kExitLinkLost;
using Download::kExitNoVersion;
using Download::kExitNoVersionAfter;
using Download::kExitRefused;
using Download::kExitReportNotWritten;
using Download::kExitStalled;
using Download::kExitUnconfirmed;
using Download::kExitWrongVersion;

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

// What every pack's session takes from the command line; recordFile: where the records go.
Download::SessionSettings sessionSettings(const Options &options, const QString &recordFile);

// The text of --help, exit codes included.
QString helpText();

} // namespace Flash
