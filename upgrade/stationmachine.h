// The loop of one station port as a pure machine: plain state in, actions out, no timers or ports
// inside. StationPort carries the actions out (its timers, its pack session) and feeds back what
// happened; the table test drives every row without a clock.
//
// A port waits for its device file, opens it and asks for the version until a pack answers; the
// pack's firmware is chosen (or it settles, or there is none); the download runs, with the check
// after it where asked; the result stays until the pack has left (no answer for a while, or the
// device gone), and again. The first stop takes no new pack, the second interrupts a download.
#pragma once

#include <QString>

#include <vector>

namespace Download {

// Where a station port is in its loop.
enum class StationPhase
{
    Waiting,   // for a pack: the port is not there, or no pack answers the version query
    Settling,  // a pack is there, its firmware file still changing (being copied)
    Flashing,  // acknowledged / total packets
    Verifying, // asking the version after the update (verify)
    Leaving,   // the pack's result is out: waiting for it to be taken away
    Stopped,   // no more packs (Ctrl-C, Stop)
};

namespace StationLoop {

struct State
{
    StationPhase phase = StationPhase::Waiting;
    bool deviceThere = false; // the device file is there: the port is opened and asked, not watched
    bool portOpen = false;    // the port is open (after Opened, until it is closed or lost)
    bool stopping = false;    // no new pack (the first stop)
    QString version;          // of the pack being served
};

enum class EventKind
{
    Start,
    DeviceSeen,       // the device file has appeared
    Opened,           // the port opened
    OpenFailed,       // it did not; Event::flag: the device file is still there
    QueryTick,        // time for the next version query while waiting
    VersionReported,  // Event::text: the version
    StillThereTick,   // time to ask a leaving pack again
    GoneTimeout,      // a leaving pack has not answered for a while: it has left
    FirmwareReady,    // the choice for State::version: one file, read
    FirmwareSettling, // its file is still changing; Event::ms: when to look again
    FirmwareRefused,  // none, several or unreadable; Event::text: why
    SettleTimeout,
    Verifying,     // the download was confirmed, the version is asked again
    DownloadEnded, // with its result; Event::flag: the port is still open
    PortLost,      // the device went away or the port failed
    StopTakingPacks,
    Interrupt,
};

struct Event
{
    EventKind kind;
    QString text = QString();
    bool flag = false;
    int ms = 0;
};

enum class ActionKind
{
    WatchDevice,      // look for the device file now and at the pace of the presence timer
    StopWatching,     // stop looking for it
    TryOpen,          // open the port: Opened or OpenFailed follows
    ClosePort,        //
    QueryVersion,     // five version queries
    StartQueries,     // QueryTick at the pace of the waiting queries
    StopQueries,      //
    StartGoneTimer,   // GoneTimeout unless an answer restarts it
    StartStillThere,  // StillThereTick once
    StopLeaveTimers,  // the gone and still-there timers
    ChooseFirmware,   // for State::version: FirmwareReady, FirmwareSettling or FirmwareRefused follows
    SettlingNotice,   // the pack's firmware file is still changing: say so, once
    StartSettle,      // Action::ms
    StopSettle,       //
    StartDownload,    // the chosen image
    Interrupt,        // the running download ends (interrupted); DownloadEnded follows
    ReportNotFlashed, // Action::text: why; the pack's result goes out
    ForgetResult,     // the next pack is here: the last one's result leaves the port
    Changed,          // what a front end shows of the port changed
    Stopped,          // the port takes no more packs
};

struct Action
{
    ActionKind kind;
    QString text;
    int ms = 0;
};
using Actions = std::vector<Action>;

Actions step(State &state, const Event &event);

// "Start", "DeviceSeen", ...; "WatchDevice", ... for the table test's failure messages
const char *eventName(EventKind kind);
const char *actionName(ActionKind kind);

} // namespace StationLoop

} // namespace Download
