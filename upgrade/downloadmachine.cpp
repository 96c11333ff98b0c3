#include "downloadmachine.h"

#include "constants.h"

namespace Download {

namespace {

Action act(ActionKind kind, quint32 value = 0)
{
    Action a{kind, 0, Notice::InitUnanswered, Outcome::Confirmed, Totals()};
    a.value = value;
    return a;
}

Action notice(Notice which, quint32 value = 0)
{
    Action a = act(ActionKind::ShowNotice);
    a.notice = which;
    a.value = value;
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
}

// Sends packet s.packet when the image has it, and arms the stall deadline for its answer.
void sendPacket(State &s, Actions &out)
{
    if (s.packet >= s.packetCount) {
        return; // nothing to cut a packet from
    }
    out.push_back(act(ActionKind::SendPacket, s.packet));
    s.pending = eFuncUpgrada;
    out.push_back(act(ActionKind::ArmStall));
    s.stallTimer = true;
}

void start(State &s, Actions &out)
{
    if (s.running()) {
        out.push_back(finish(s, Outcome::Restarted));
    }
    // The download before this one ends here, every timer of it with it: an end command of the old
    // one going out inside the new one would take one of the new acknowledgements as its answer.
    stopTimers(s, out);
    out.push_back(act(ActionKind::ClearLog));
    out.push_back(act(ActionKind::SetProgress, 0));
    s.initSends = 0;
    s.endSends = 0;
    s.packet = 0;
    s.totals = Totals();
    out.push_back(act(ActionKind::StartInitTimer));
    s.initTimer = true;
    s.phase = Phase::Handshake;
}

void initTick(State &s, Actions &out)
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
    out.push_back(act(ActionKind::SendInit));
    s.pending = eFuncUpgradaInit;
    ++s.initSends;
    ++s.totals.initSends;
}

void initAnswered(State &s, Actions &out)
{
    if (s.phase != Phase::Handshake && s.phase != Phase::InitExhausted) {
        return; // no handshake under way (ended for good, or never started)
    }
    stopInitTimer(s, out);
    s.packet = 0;
    s.packetRepeats = 0;
    s.initSends = 0;
    s.phase = Phase::Transfer;
    sendPacket(s, out);
}

void dataAcknowledged(State &s, Actions &out)
{
    // A repeated acknowledgement of the last packet, before the first end command has gone out,
    // starts the end phase over.
    if (s.phase != Phase::Transfer && s.phase != Phase::Stalled && s.phase != Phase::Finishing) {
        return;
    }
    disarmStall(s, out);
    s.totals.packetsAcknowledged = qMax(s.totals.packetsAcknowledged, s.packet + 1);
    if (s.packet + 1 >= s.packetCount) {
        // The last packet is in; the end command follows on the next ticks.
        out.push_back(act(ActionKind::StartEndTimer));
        s.endTimer = true;
        s.endSends = 0;
        s.phase = Phase::Finishing;
        return;
    }
    s.phase = Phase::Transfer; // a late acknowledgement after a stall takes the download up again
    ++s.packet;
    s.packetRepeats = 0;
    sendPacket(s, out);
}

void endAnswered(State &s, Actions &out)
{
    if (s.phase != Phase::Finishing && s.phase != Phase::Done) {
        return; // no end phase of this download: an old end command's answer completes nothing
    }
    stopEndTimer(s, out);
    out.push_back(act(ActionKind::SetProgress, s.packetCount));
    out.push_back(act(ActionKind::LogCompleted));
    if (s.phase == Phase::Finishing) {
        out.push_back(finish(s, Outcome::Confirmed));
        s.phase = Phase::Done;
    }
}

void endTick(State &s, Actions &out)
{
    if (s.phase != Phase::Finishing) {
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
    out.push_back(act(ActionKind::SendEnd));
    s.pending = eFuncUpgradaEnd;
    ++s.endSends;
    ++s.totals.endSends;
}

void stallElapsed(State &s, Actions &out)
{
    if (!s.stallTimer) {
        return; // disarmed meanwhile
    }
    s.stallTimer = false;
    if (s.phase == Phase::Transfer && s.packetRepeats < s.retries) {
        ++s.packetRepeats; // the same packet again, with a fresh deadline
        ++s.totals.packetRepeats;
        sendPacket(s, out);
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
}

void closing(State &s, Actions &out)
{
    stopTimers(s, out);
    if (s.running()) {
        out.push_back(finish(s, Outcome::Interrupted));
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

void reply(State &s, Actions &out)
{
    switch (s.pending) {
    case eFuncUpgradaInit:
        initAnswered(s, out);
        break;
    case eFuncUpgrada:
        dataAcknowledged(s, out);
        break;
    case eFuncUpgradaEnd:
        endAnswered(s, out);
        break;
    default:
        break; // an empty answer to another command
    }
}

} // namespace

QString outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Confirmed:
        return QStringLiteral("confirmed");
    case Outcome::Unconfirmed:
        return QStringLiteral("unconfirmed");
    case Outcome::InitUnanswered:
        return QStringLiteral("init_unanswered");
    case Outcome::Stalled:
        return QStringLiteral("stalled");
    case Outcome::LinkLost:
        return QStringLiteral("link_lost");
    case Outcome::Restarted:
        return QStringLiteral("restarted");
    case Outcome::Interrupted:
        return QStringLiteral("interrupted");
    }
    return QString();
}

Actions step(State &state, const Event &event)
{
    Actions out;
    switch (event.kind) {
    case EventKind::Start:
        start(state, out);
        break;
    case EventKind::InitTick:
        initTick(state, out);
        break;
    case EventKind::EndTick:
        endTick(state, out);
        break;
    case EventKind::Reply:
        reply(state, out);
        break;
    case EventKind::OtherReply:
        break; // does not advance the download
    case EventKind::CommandWritten:
        state.pending = event.func;
        break;
    case EventKind::StallElapsed:
        stallElapsed(state, out);
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
    case EventKind::ImageChanged:
    case EventKind::VersionQuery:
        endForGood(state, out);
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
