#include "downloadmachine.h"

#include "constants.h"
#include "copies.h"

namespace Download {

namespace {

Action act(ActionKind kind, quint32 value = 0)
{
    Action a;
    a.kind = kind;
    a.value = value;
    return a;
}

Action notice(Notice which, quint32 value = 0)
{
    Action a = act(ActionKind::ShowNotice, value);
    a.notice = which;
    return a;
}

Action finish(const State &s, Outcome outcome)
{
    Action a = act(ActionKind::Finish);
    a.outcome = outcome;
    a.totals = s.totals;
    return a;
}

// Stops whatever timer runs; the actions only for those that do.
void disarmStall(State &s, Actions &out)
{
    if (s.stallTimer) {
        out.push_back(act(ActionKind::DisarmStall));
        s.stallTimer = false;
    }
}

void disarmExpiry(State &s, Actions &out)
{
    if (s.expiryTimer) {
        out.push_back(act(ActionKind::DisarmExpiry));
        s.expiryTimer = false;
    }
}

void stopInitTimer(State &s, Actions &out)
{
    if (s.initTimer) {
        out.push_back(act(ActionKind::StopInitTimer));
        s.initTimer = false;
    }
}

void stopEndTimer(State &s, Actions &out)
{
    if (s.endTimer) {
        out.push_back(act(ActionKind::StopEndTimer));
        s.endTimer = false;
    }
}

void stopTimers(State &s, Actions &out)
{
    stopInitTimer(s, out);
    stopEndTimer(s, out);
    disarmStall(s, out);
    disarmExpiry(s, out);
    s.held = Held::Nothing;
}

// Sends packet s.packet when the image has it, and arms the stall deadline for its answer.
void sendPacket(State &s, Actions &out, qint64 nowMs)
{
    if (s.packet >= s.packetCount) {
        return; // nothing to cut a packet from
    }
    out.push_back(act(ActionKind::SendPacket, s.packet));
    wentOut(s, eFuncUpgrada, s.packetRepeats + 1, nowMs);
    out.push_back(act(ActionKind::ArmStall));
    s.stallTimer = true;
}

void sendInit(State &s, Actions &out, qint64 nowMs)
{
    out.push_back(act(ActionKind::SendInit));
    ++s.initSends;
    ++s.totals.initSends;
    wentOut(s, eFuncUpgradaInit, s.initSends, nowMs);
}

void sendEnd(State &s, Actions &out, qint64 nowMs)
{
    out.push_back(act(ActionKind::SendEnd));
    ++s.endSends;
    ++s.totals.endSends;
    wentOut(s, eFuncUpgradaEnd, s.endSends, nowMs);
}

// The last packet is in; the end command follows on the ticks (the first at once with sendAtOnce).
void beginEnd(State &s, Actions &out, qint64 nowMs)
{
    out.push_back(act(ActionKind::StartEndTimer));
    s.endTimer = true;
    s.endSends = 0;
    if (s.sendAtOnce) {
        sendEnd(s, out, nowMs);
    }
}

void armExpiry(State &s, Actions &out, qint64 nowMs)
{
    const qint64 last = s.copies.back().sentMs + s.expiryMs; // the newest copy expires last
    out.push_back(act(ActionKind::ArmExpiry, static_cast<quint32>(qMax<qint64>(1, last - nowMs))));
    s.expiryTimer = true;
}

// Writes the held command.
void release(State &s, Actions &out, qint64 nowMs)
{
    disarmExpiry(s, out);
    const Held next = s.held;
    s.held = Held::Nothing;
    if (next == Held::Packet) {
        sendPacket(s, out, nowMs);
    } else if (next == Held::End) {
        beginEnd(s, out, nowMs);
    }
}

// The next command goes out now, or, while copies are still out, once each has been answered or
// has expired.
void proceed(State &s, Actions &out, Held next, qint64 nowMs)
{
    s.held = next;
    if (s.copies.empty()) {
        release(s, out, nowMs);
        return;
    }
    s.expiryMs = expiryFor(s);
    armExpiry(s, out, nowMs);
}

void releaseWhenClear(State &s, Actions &out, qint64 nowMs)
{
    if (s.held != Held::Nothing && s.copies.empty()) {
        release(s, out, nowMs);
    }
}

void copiesExpired(State &s, Actions &out, qint64 nowMs)
{
    if (!s.expiryTimer) {
        return; // disarmed meanwhile
    }
    s.expiryTimer = false;
    if (s.held == Held::Nothing) {
        return;
    }
    dropExpired(s, nowMs);
    if (s.copies.empty()) {
        release(s, out, nowMs);
    } else {
        armExpiry(s, out, nowMs);
    }
}

void start(State &s, Actions &out, qint64 nowMs)
{
    if (s.running()) {
        out.push_back(finish(s, Outcome::Restarted));
    }
    // The download before this one ends here, every timer of it with it: an end command of the old
    // one going out inside the new one would take one of the new acknowledgements as its answer.
    stopTimers(s, out);
    out.push_back(act(ActionKind::ClearLog));
    out.push_back(act(ActionKind::SetProgress, 0));
    // Copies of the old download that have gone unanswered for long enough will not be answered;
    // the younger ones are still paired, and their answers absorbed.
    s.expiryMs = expiryFor(s);
    dropExpired(s, nowMs);
    ++s.download;
    s.initSends = 0;
    s.endSends = 0;
    s.packet = 0;
    s.packetRepeats = 0;
    s.totals = Totals();
    out.push_back(act(ActionKind::StartInitTimer));
    s.initTimer = true;
    s.phase = Phase::Handshake;
    if (s.sendAtOnce) {
        sendInit(s, out, nowMs);
    }
}

void initTick(State &s, Actions &out, qint64 nowMs)
{
    if (s.phase != Phase::Handshake && s.phase != Phase::InitExhausted) {
        return; // a tick already queued when the handshake ended
    }
    if (s.initSends >= Quorvane::kMaxInitSends) {
        // The handshake is exhausted; the timer keeps ticking and a late answer is still taken.
        if (s.phase == Phase::Handshake) {
            out.push_back(notice(Notice::InitUnanswered));
            out.push_back(finish(s, Outcome::InitUnanswered));
            s.phase = Phase::InitExhausted;
        }
        return;
    }
    sendInit(s, out, nowMs);
}

void initAnswered(State &s, Actions &out, qint64 nowMs)
{
    stopInitTimer(s, out);
    s.packet = 0;
    s.packetRepeats = 0;
    s.initSends = 0;
    s.phase = Phase::Transfer;
    proceed(s, out, Held::Packet, nowMs);
}

void dataAcknowledged(State &s, Actions &out, qint64 nowMs)
{
    disarmStall(s, out);
    s.totals.packetsAcknowledged = qMax(s.totals.packetsAcknowledged, s.packet + 1);
    if (s.packet + 1 >= s.packetCount) {
        s.phase = Phase::Finishing;
        proceed(s, out, Held::End, nowMs);
        return;
    }
    s.phase = Phase::Transfer; // a late acknowledgement after a stall takes the download up again
    ++s.packet;
    s.packetRepeats = 0;
    proceed(s, out, Held::Packet, nowMs);
}

void endAnswered(State &s, Actions &out)
{
    stopEndTimer(s, out);
    out.push_back(act(ActionKind::SetProgress, s.packetCount));
    out.push_back(act(ActionKind::LogCompleted));
    if (s.phase == Phase::Finishing) {
        out.push_back(finish(s, Outcome::Confirmed));
        s.phase = Phase::Done;
    }
}

// A data packet the pack refused (return code `code`): again while retries are left, else the end.
void dataRefused(State &s, Actions &out, int code, qint64 nowMs)
{
    disarmStall(s, out);
    s.refusedCode = code;
    if (s.packetRepeats < s.retries) {
        ++s.packetRepeats;
        ++s.totals.packetRepeats;
        proceed(s, out, Held::Packet, nowMs);
        return;
    }
    stopTimers(s, out);
    Action a = notice(Notice::Refused, s.packet);
    a.code = code;
    out.push_back(a);
    out.push_back(finish(s, Outcome::Refused));
    s.phase = Phase::Idle;
}

void endTick(State &s, Actions &out, qint64 nowMs)
{
    if (s.phase != Phase::Finishing || s.held != Held::Nothing) {
        stopEndTimer(s, out); // a tick already queued when the end phase ended
        return;
    }
    if (s.endSends >= Quorvane::kMaxEndSends) {
        // No answer to any end command: the download is reported complete all the same, and the
        // notice that the pack did not say so goes above that line.
        stopEndTimer(s, out);
        out.push_back(act(ActionKind::LogCompleted));
        out.push_back(act(ActionKind::SetProgress, s.packetCount));
        out.push_back(notice(Notice::EndUnconfirmed));
        out.push_back(finish(s, Outcome::Unconfirmed));
        s.phase = Phase::Done;
        return;
    }
    sendEnd(s, out, nowMs);
}

void stallElapsed(State &s, Actions &out, qint64 nowMs)
{
    if (!s.stallTimer) {
        return; // disarmed meanwhile
    }
    s.stallTimer = false;
    if (s.phase == Phase::Transfer && s.packetRepeats < s.retries) {
        ++s.packetRepeats; // the same packet again, with a fresh deadline
        ++s.totals.packetRepeats;
        sendPacket(s, out, nowMs);
        return;
    }
    if (s.phase == Phase::Transfer) {
        out.push_back(notice(Notice::Stalled, s.packet));
        out.push_back(finish(s, Outcome::Stalled));
        s.phase = Phase::Stalled;
    }
}

void portGone(State &s, Actions &out, bool lost)
{
    stopTimers(s, out);
    if (s.running()) {
        if (lost) {
            out.push_back(notice(Notice::LinkLost));
        }
        out.push_back(finish(s, Outcome::LinkLost));
    }
    if (s.phase != Phase::Done) {
        s.phase = Phase::Idle;
    }
    // The next port may lead to another pack: nothing written on this one is answered there.
    s.copies.clear();
    s.infoCopies.clear();
}

void closing(State &s, Actions &out)
{
    stopTimers(s, out);
    if (s.running()) {
        out.push_back(finish(s, Outcome::Interrupted));
    }
    s.phase = Phase::Idle;
}

void stopToRestart(State &s, Actions &out)
{
    stopTimers(s, out);
    if (s.running()) {
        out.push_back(finish(s, Outcome::Restarted));
    }
    s.phase = Phase::Idle;
}

// A download that has reached its outcome is ended for good: no late answer acts on it any more.
void endForGood(State &s, Actions &out)
{
    if (s.running()) {
        return; // the driver refuses these while a download runs
    }
    stopTimers(s, out);
    s.phase = Phase::Idle;
}

// An empty answer: paired with the oldest upgrade command still out.
void reply(State &s, Actions &out, const Event &e)
{
    if (s.held != Held::Nothing) {
        dropExpired(s, e.nowMs);
    }
    dropEarlierDownloads(s, e.nowMs);
    Action paired = act(ActionKind::Paired);
    paired.code = e.code;
    paired.stale = true;
    if (s.copies.empty()) {
        out.push_back(paired); // with nothing: no command is out
        ++s.totals.staleAnswers;
        releaseWhenClear(s, out, e.nowMs);
        return;
    }
    const Copy c = s.copies.front();
    s.copies.pop_front();
    paired.func = c.func;
    paired.value = c.packet;
    paired.copy = c.ordinal;
    paired.stale = !inForce(s, c);
    out.push_back(paired);
    if (paired.stale) {
        ++s.totals.staleAnswers;
        releaseWhenClear(s, out, e.nowMs);
        return;
    }
    if (e.code != 0) {
        // A refusal acknowledges nothing: init and end go on with their ticks.
        if (c.func == eFuncUpgrada && s.phase == Phase::Transfer) {
            dataRefused(s, out, e.code, e.nowMs);
        } else {
            releaseWhenClear(s, out, e.nowMs);
        }
        return;
    }
    s.answerMs = e.nowMs - c.sentMs;
    if (c.func == eFuncUpgradaInit) {
        initAnswered(s, out, e.nowMs);
    } else if (c.func == eFuncUpgrada) {
        dataAcknowledged(s, out, e.nowMs);
    } else {
        endAnswered(s, out);
    }
}

// An answer with INFO: paired with the oldest version query or test command still out.
void infoReply(State &s, Actions &out)
{
    Action a = act(ActionKind::TakeInfo);
    a.func = takeInfoCopy(s);
    out.push_back(a);
}

// A new version query: the copies of an earlier one are worth no more than its own.
void versionQuery(State &s, Actions &out)
{
    endForGood(s, out);
    s.infoCopies.erase(std::remove(s.infoCopies.begin(), s.infoCopies.end(), eFuncVersion),
                       s.infoCopies.end());
}

} // namespace

Actions step(State &state, const Event &event)
{
    Actions out;
    const qint64 now = event.nowMs;
    switch (event.kind) {
    case EventKind::Start:
        start(state, out, now);
        break;
    case EventKind::InitTick:
        initTick(state, out, now);
        break;
    case EventKind::EndTick:
        endTick(state, out, now);
        break;
    case EventKind::Reply:
        reply(state, out, event);
        break;
    case EventKind::InfoReply:
        infoReply(state, out);
        break;
    case EventKind::CommandWritten:
        commandWritten(state, event.func, now);
        break;
    case EventKind::CopiesExpired:
        copiesExpired(state, out, now);
        break;
    case EventKind::StallElapsed:
        stallElapsed(state, out, now);
        break;
    case EventKind::LinkLost:
        portGone(state, out, true);
        break;
    case EventKind::PortClosed:
        portGone(state, out, false);
        break;
    case EventKind::Closing:
        closing(state, out);
        break;
    case EventKind::Stop:
        stopToRestart(state, out);
        break;
    case EventKind::ImageChanged:
        endForGood(state, out);
        break;
    case EventKind::VersionQuery:
        versionQuery(state, out);
        break;
    }
    return out;
}

StartVerdict checkStart(bool portOpen, quint32 packetCount, bool pathHasVersion, bool versionReported)
{
    if (!portOpen) {
        return StartVerdict::PortClosed;
    }
    if (packetCount == 0) {
        return StartVerdict::NoImage;
    }
    if (!pathHasVersion) {
        return StartVerdict::PathWithoutVersion;
    }
    return versionReported ? StartVerdict::Accepted : StartVerdict::AskUnverified;
}

} // namespace Download
