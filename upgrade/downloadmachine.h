// The download as plain logic: a state, the events that reach it and the actions it asks of whoever
// drives it (Download::Exchange). Nothing here touches a widget, a port or a timer: the driver owns
// those, feeds every click, tick, reply, written command and deadline in as an event, and carries
// out the returned actions in their order. The state is the machine's alone: the driver reads it,
// never writes it.
//
// The exchange: Start arms the init timer; each tick sends the init command until the pack answers
// (at most kMaxInitSends copies); the init answer sends packet 0; each data acknowledgement sends
// the next packet; the acknowledgement of the last one arms the end timer, whose ticks send the
// end command until the pack answers or kMaxEndSends copies are out. A reply is matched to the
// command last written (State::pending), not to the command it answers.
//
// A download runs from an accepted Start until it reaches an outcome. Reaching one does not always
// silence the line: after "init unanswered" the init timer keeps ticking and a late init answer
// still starts the transfer, and after "stalled" a late acknowledgement still sends the next
// packet; either makes the download run again. Every other way a download ends (Start again, the
// port closed or lost, closing, a new image, a version query) stops all of its timers, so a new
// download runs alone and only its own replies can complete it.
#pragma once

#include "codec.h"

#include <QString>
#include <QtGlobal>

#include <vector>

namespace Download {

enum class Phase
{
    Idle,          // nothing under way (or ended for good)
    Handshake,     // init commands going out
    InitExhausted, // every init command went unanswered; still listening for a late answer
    Transfer,      // waiting for the acknowledgement of State::packet
    Stalled,       // that acknowledgement did not come in time; still listening for it
    Finishing,     // end commands going out
    Done,          // completed; a late end reply is logged once more
};

enum class Outcome
{
    Confirmed,      // the pack answered the end command
    Unconfirmed,    // kMaxEndSends end commands went unanswered
    InitUnanswered, // a tick passed after the last init command without an answer
    Stalled,        // no acknowledgement of a data packet before the stall deadline
    LinkLost,       // the port went away or was closed
    Restarted,      // Start again while running
    Interrupted,    // the window (or program) closed while running
};
// "confirmed", "unconfirmed", "init_unanswered", "stalled", "link_lost", "restarted", "interrupted"
QString outcomeName(Outcome outcome);

enum class Notice
{
    InitUnanswered,
    Stalled, // Action::value holds the packet number
    EndUnconfirmed,
    LinkLost,
};

// What the record of a download counts, from its Start.
struct Totals
{
    int initSends = 0;
    int endSends = 0;
    quint32 packetsAcknowledged = 0;
    int packetRepeats = 0; // data packets sent again on their stall deadline
};

struct State
{
    Phase phase = Phase::Idle;
    E_FUNC pending = eFuncNone; // function code of the command last written
    int initSends = 0;          // init commands since Start or since the init answer
    int endSends = 0;           // end commands since the last acknowledgement of the last packet
    quint32 packet = 0;         // number of the data packet in flight
    quint32 packetCount = 0;    // packets of the image
    bool initTimer = false;
    bool endTimer = false;
    bool stallTimer = false;
    // Opt-in: a data packet unacknowledged at its stall deadline is sent again, up to `retries`
    // times, before the download counts as stalled. Only for packs that store a packet at the
    // position its number gives; a pack that appends would hold the repeat twice.
    int retries = 0;
    int packetRepeats = 0; // re-sends of State::packet so far
    Totals totals;

    // Under way and without an outcome yet.
    bool running() const
    {
        return phase == Phase::Handshake || phase == Phase::Transfer || phase == Phase::Finishing;
    }
};

enum class EventKind
{
    Start,          // Start accepted (the driver has made its checks)
    InitTick,       // the init timer fired
    EndTick,        // the end timer fired
    Reply,          // an accepted reply with empty INFO (taken as the answer to State::pending)
    OtherReply,     // an accepted reply with INFO: it does not advance the download
    CommandWritten, // the driver wrote a command of its own (Event::func), e.g. the version query
    StallElapsed,   // the stall deadline passed
    LinkLost,       // the port is gone
    PortClosed,     // the user closed the port
    Closing,        // the driver is going away
    ImageChanged,   // a new image (or none) replaced the one the download used
    VersionQuery,   // the version query is about to be written
};

struct Event
{
    EventKind kind;
    E_FUNC func = eFuncNone; // CommandWritten: the code of the command written
};

enum class ActionKind
{
    SendInit,       // write the init command
    SendPacket,     // write data packet `value` (State::packet)
    SendEnd,        // write the end command
    StartInitTimer, // (re)start the repeating init timer
    StopInitTimer,
    StartEndTimer, // (re)start the repeating end timer
    StopEndTimer,
    ArmStall, // (re)start the single-shot stall deadline
    DisarmStall,
    ClearLog,
    SetProgress,  // progress to `value` packets
    LogCompleted, // the completion line
    ShowNotice,   // `notice` (with `value` for Stalled)
    Finish,       // the download reached `outcome`, with `totals`: record it
};

struct Action
{
    ActionKind kind;
    quint32 value = 0;
    Notice notice = Notice::InitUnanswered;
    Outcome outcome = Outcome::Confirmed;
    Totals totals; // Finish: the counts at the moment the download ended
};
using Actions = std::vector<Action>;

// Feeds one event to the machine: updates state and returns what the driver must do, in order.
Actions step(State &state, const Event &event);

// What the driver does with a Start click, checked in this order.
enum class StartVerdict
{
    PortClosed,         // no port is open
    NoImage,            // no image is loaded
    PathWithoutVersion, // the file path does not hold the version in use
    AskUnverified,      // the pack on this port has not reported its version: ask first
    Accepted,
};
StartVerdict checkStart(bool portOpen, quint32 packetCount, bool pathHasVersion, bool versionReported);

} // namespace Download
