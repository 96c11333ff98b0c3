// The download as plain logic: a state, the events that reach it and the actions it asks of whoever
// drives it (the window, or the command-line flasher). Nothing here touches a widget, a port or a
// timer: the driver owns those, feeds every click, tick, reply and deadline in as an event, and
// carries out the returned actions in their order.
//
// The exchange: Start arms the init timer; each tick sends the init command until the pack answers
// (at most kMaxInitSends copies); the init answer sends packet 0; each data acknowledgement sends
// the next packet; the acknowledgement of the last one arms the end timer, whose ticks send the
// end command until the pack answers or kMaxEndSends copies are out. A reply is matched to the
// command last written (State::pending), not to the command it answers.
//
// A download is *running* from an accepted Start until it reaches an outcome. Reaching one does not
// silence the line: after "init unanswered" the init timer keeps ticking and a late init answer
// still starts the transfer, and after "stalled" a late acknowledgement still sends the next
// packet; either makes the download run again. A new image or a version query ends such a
// download for good.
#pragma once

#include "codec.h"

#include <QString>
#include <QtGlobal>

#include <vector>

namespace Download {

enum class Phase
{
    Idle,      // nothing under way (or ended for good)
    Handshake, // init commands going out
    Transfer,  // waiting for the acknowledgement of State::packet
    Finishing, // end commands going out
    Done,      // completed; a late end reply is logged once more
};

enum class Outcome
{
    Confirmed,      // the pack answered the end command
    Unconfirmed,    // kMaxEndSends end commands went unanswered
    InitUnanswered, // a tick passed after the last init command without an answer
    Stalled,        // no acknowledgement of a data packet before the stall deadline
    LinkLost,       // the port went away or was closed
    Restarted,      // Start again while running
    Closed,         // the window (or program) closed while running
};
// "confirmed", "unconfirmed", "init_unanswered", "stalled", "link_lost", "restarted", "closed"
QString outcomeName(Outcome outcome);

enum class Notice
{
    InitUnanswered,
    Stalled, // Action::value holds the packet number
    EndUnconfirmed,
    LinkLost,
};

struct State
{
    Phase phase = Phase::Idle;
    bool running = false;
    E_FUNC pending = eFuncNone; // function code of the command last written
    int initSends = 0;          // init commands since Start or since the init answer
    int endSends = 0;           // end commands since the last acknowledgement of the last packet
    quint32 packet = 0;         // number of the data packet in flight
    quint32 packetCount = 0;    // packets of the loaded image
    bool initTimer = false;
    bool endTimer = false;
    bool stallTimer = false;
    // For the record of the download, counted from Start.
    int initSendsTotal = 0;
    int endSendsTotal = 0;
    quint32 packetsAcknowledged = 0;
};

enum class EventKind
{
    Start,        // Start accepted (the driver has made its checks)
    InitTick,     // the init timer fired
    EndTick,      // the end timer fired
    Reply,        // an accepted reply with empty INFO; Event::func is the code pending when taken
    OtherReply,   // an accepted reply that does not advance (INFO, or another code pending)
    StallElapsed, // the stall deadline passed
    LinkLost,     // the port is gone
    PortClosed,   // the user closed the port
    Closing,      // the driver is going away
    ImageChanged, // a new image (or none) replaced the one the download used
    VersionQuery, // the version query is about to be written
};

struct Event
{
    EventKind kind;
    E_FUNC func = eFuncNone;
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
    Finish,       // the download reached `outcome`: record it
};

struct Action
{
    ActionKind kind;
    quint32 value = 0;
    Notice notice = Notice::InitUnanswered;
    Outcome outcome = Outcome::Confirmed;
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
