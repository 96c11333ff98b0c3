// How a pack's session on one port ended: one enum, and for each outcome its name in the record
// and the report, the flasher's exit code and a short text, all in one table (outcome.cpp). A name
// that is not in the table is no outcome.
#pragma once

#include "downloadrecord.h"

#include <QString>
#include <QStringList>

namespace Download {

// Exit codes of quorvane-flash (and of each port in its summary).
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

enum class Outcome
{
    // The download's own ends (the machine's).
    Confirmed,      // the pack answered the end command
    Unconfirmed,    // kMaxEndSends end commands went unanswered
    InitUnanswered, // a tick passed after the last init command without an answer
    Stalled,        // no acknowledgement of a data packet before the stall deadline
    LinkLost,       // the port went away or was closed
    Restarted,      // Start again while running
    Interrupted,    // the window (or program) closed while running
    Refused,        // the pack answered a data packet with a return code other than 00
                    // Ends before a download.
    VersionRead,    // --read-version: the version was read
    OpenFailed,     // the port could not be opened
    NoVersion,      // no usable version reported
    ImageRefused,   // the image cannot be flashed into this pack
    NotFlashed,     // station: no firmware (or no single one) for the pack's version
                    // Ends of the check after the update (--verify).
    Verified,       // the pack answered the version query after the update (as expected)
    WrongVersion,   // it reported a version not starting with --expect-version
    NoVersionAfter, // it reported none in time
};

// "confirmed", "unconfirmed", "init_unanswered", "stalled", "link_lost", "restarted", "interrupted",
// "refused", "version", "open_failed", "no_version", "image_refused", "not_flashed", "verified",
// "wrong_version", "no_version_after"
QString outcomeName(Outcome outcome);
// The outcome of a name; false when the name is none (a record of another program's version).
bool outcomeFromName(const QString &name, Outcome *outcome);
int exitCode(Outcome outcome);
// A short English line for a summary or a tile: "confirmed", "no answer to a package", ...
QString outcomeText(Outcome outcome);
// Whether the pack took its firmware: confirmed, or verified after the update.
bool passed(Outcome outcome);
// Whether a download ran: not for the ends before one.
bool flashed(Outcome outcome);

// Why a download ended and what to do next, for every outcome of a download but a confirmed one
// (empty for that): packet is the package in force, returnCode the pack's refusal.
QString outcomeAdvice(Outcome outcome, quint32 packet, int stallTimeoutS, int returnCode = 0);
// "stalled: no answer for package 5 in 10 s; check the cable, then run again"
QString stalledText(quint32 packet, int stallTimeoutS);
// "the port went away (unplugged?)"
QString portLostText();

// A session's end: its record (port, version, outcome and times among its fields) and what a
// report adds to it.
struct PortResult
{
    Record record;
    Outcome outcome = Outcome::Confirmed;
    int exitCode = kExitConfirmed;
    QString failure; // why it ended, in a line (verified: what the pack now reports); empty: confirmed
    bool unverified = false;
    QStringList candidates; // not_flashed: the firmware files that matched the version (none, or several)
};

} // namespace Download
