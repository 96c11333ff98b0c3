// The download as plain logic: a state, the events that reach it and the actions it asks of whoever
// drives it (Download::Exchange). Nothing here touches a widget, a port or a timer: the driver owns
// those, feeds every click, tick, reply, written command and deadline in as an event (stamped with
// its own monotonic clock), and carries out the returned actions in their order. The state is the
// machine's alone: the driver reads it, never writes it.
//
// The exchange: Start arms the init timer; each tick sends the init command until the pack answers
// (at most kMaxInitSends copies); the init answer sends packet 0; each data acknowledgement sends
// the next packet; the acknowledgement of the last one arms the end timer, whose ticks send the
// end command until the pack answers or kMaxEndSends copies are out. With State::sendAtOnce the
// first init and the first end command go out at once and the ticks only repeat them.
//
// Pairing. An answer carries nothing that says which command it answers, so every copy of a
// command that goes out stays outstanding until an answer is paired with it, oldest first: empty
// answers with the upgrade commands (init, data, end), answers with INFO with the version queries
// and test commands. An empty answer advances the download only when the copy it is paired with is
// a copy of the command in force and its return code is 00; any other is counted as stale. When
// the command in force is answered while other copies are still out, the next command is held
// until each of them has been answered or has gone unanswered for 1.5 times the answer time just
// observed (at least one tick): their late answers then cannot be taken for the next command's.
// A refusal (a return code other than 00) acknowledges nothing: a refused data packet goes again
// when retries are allowed and otherwise ends the download as refused; a refused init or end
// command counts as unanswered.
//
// A download runs from an accepted Start until it reaches an outcome. Reaching one does not always
// silence the line: after "init unanswered" the init timer keeps ticking and a late init answer
// still starts the transfer, and after "stalled" a late acknowledgement still sends the next
// packet; either makes the download run again. Every other way a download ends (Start again, the
// port closed or lost, closing, a new image, a version query) stops all of its timers, so a new
// download runs alone and only its own replies can complete it.
#pragma once

#include "codec.h"

#include "constants.h"
#include "outcome.h"

#include <QString>
#include <QtGlobal>

#include <deque>
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

enum class Notice
{
    InitUnanswered,
    Stalled, // Action::value holds the packet number
    EndUnconfirmed,
    LinkLost,
    Refused, // Action::value holds the packet number, Action::code the return code
};

// What the record of a download counts, from its Start.
struct Totals
{
    int initSends = 0;
    int endSends = 0;
    quint32 packetsAcknowledged = 0;
    int packetRepeats = 0; // data packets sent again (stall deadline or refusal)
    int staleAnswers = 0;  // answers paired with a copy that was not the command in force
};

// One copy of an upgrade command on the line, outstanding until an answer is paired with it.
struct Copy
{
    E_FUNC func = eFuncNone; // eFuncUpgradaInit, eFuncUpgrada or eFuncUpgradaEnd
    quint32 packet = 0;      // data: the packet's number
    int ordinal = 1;         // which copy of that command it is, from 1
    quint32 download = 0;    // State::download when it went out
    qint64 sentMs = 0;       // the driver's clock when it went out
};

// What goes out once the copies still outstanding have been answered or have expired.
enum class Held
{
    Nothing,
    Packet, // State::packet
    End,    // the end phase
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
    int refusedCode = 0;   // the return code of the last refusal of a data packet
    Totals totals;

    // Pairing (see the top of this file).
    quint32 download = 0;          // counts Starts; copies of an earlier download advance nothing
    std::deque<Copy> copies;       // upgrade commands out, oldest first
    std::deque<E_FUNC> infoCopies; // version queries and test commands out, oldest first
    int tickMs = Quorvane::kUpgradeTickMs;
    qint64 answerMs = -1;      // how long the pack took for the last answer that advanced, -1: none yet
    Held held = Held::Nothing; // the next command, waiting for the copies before it
    qint64 expiryMs = 0;       // while held: how long a copy may go unanswered
    bool expiryTimer = false;
    // The first init command at Start and the first end command after the last acknowledgement go
    // out at once instead of on the first tick (the flasher; the window keeps its ticks).
    bool sendAtOnce = false;

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
    Reply,          // an accepted reply with empty INFO, return code Event::code
    InfoReply,      // an accepted reply with INFO: paired with a version query or a test command
    CommandWritten, // the driver wrote a command of its own (Event::func), e.g. the version query
    CopiesExpired,  // the expiry deadline of the held command passed
    StallElapsed,   // the stall deadline passed
    LinkLost,       // the port is gone
    PortClosed,     // the user closed the port
    Closing,        // the driver is going away
    Stop,           // the user stops the download to start it again once the pack is asked anew
    ImageChanged,   // a new image (or none) replaced the one the download used
    VersionQuery,   // the version query is about to be written
};

struct Event
{
    EventKind kind;
    E_FUNC func = eFuncNone; // CommandWritten: the code of the command written
    qint64 nowMs = 0;        // the driver's monotonic clock
    int code = 0;            // Reply: the return code (CID2), -1 when it is not two hex digits
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
    ShowNotice,   // `notice` (with `value` for Stalled and Refused, `code` for Refused)
    Finish,       // the download reached `outcome`, with `totals`: record it
    ArmExpiry,    // (re)start the single-shot expiry deadline, `value` ms from now
    DisarmExpiry,
    Paired,   // trace: an empty answer (return code `code`) was paired with copy `copy` of `func`
              // (packet `value`); `stale` when it advanced nothing
    TakeInfo, // an answer with INFO was paired with a copy of `func` (eFuncNone: with nothing)
};

struct Action
{
    ActionKind kind = ActionKind::SendInit;
    quint32 value = 0;
    Notice notice = Notice::InitUnanswered;
    Outcome outcome = Outcome::Confirmed;
    Totals totals; // Finish: the counts at the moment the download ended
    E_FUNC func = eFuncNone;
    int copy = 0;
    int code = 0;
    bool stale = false;
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
