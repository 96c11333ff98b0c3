#include "downloadmachine.h"

#include "constants.h"

namespace Download {

namespace {

Action act(ActionKind kind, quint32 value = 0)
{
    Action a{kind};
    a.value = value;
    return a;
}

Action notice(Notice which, quint32 value = 0)
{
    Action a{ActionKind::ShowNotice};
    a.notice = which;
    a.value = value;
    return a;
}

Action finish(Outcome outcome)
{
    Action a{ActionKind::Finish};
    a.outcome = outcome;
    return a;
}

bool active(Phase phase)
{
    return phase == Phase::Handshake || phase == Phase::Transfer || phase == Phase::Finishing;
}

// Stops whatever timer runs; the actions only for those that do.
void disarmStall(State &s, Actions &out)
{
    if (s.stallTimer) {
        out.push_back(act(ActionKind::DisarmStall));
        s.stallTimer = false;
    }
}

void stopTimers(State &s, Actions &out)
{
    if (s.initTimer) {
        out.push_back(act(ActionKind::StopInitTimer));
        s.initTimer = false;
    }
    if (s.endTimer) {
        out.push_back(act(ActionKind::StopEndTimer));
        s.endTimer = false;
    }
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
    if (s.running) {
        out.push_back(finish(Outcome::Restarted));
    }
    disarmStall(s, out);
    out.push_back(act(ActionKind::ClearLog));
    out.push_back(act(ActionKind::SetProgress, 0));
    s.initSends = 0;
    s.endSends = 0;
    s.packet = 0;
    s.initSendsTotal = 0;
    s.endSendsTotal = 0;
    s.packetsAcknowledged = 0;
    // A running end timer keeps running: Start only restarts the handshake.
    out.push_back(act(ActionKind::StartInitTimer));
    s.initTimer = true;
    s.phase = Phase::Handshake;
    s.running = true;
}

void initTick(State &s, Actions &out)
{
    if (s.initSends >= Quorvane::kMaxInitSends) {
        // The handshake is exhausted; the timer keeps ticking and a late answer is still taken.
        if (s.running && s.phase == Phase::Handshake) {
            out.push_back(notice(Notice::InitUnanswered));
            out.push_back(finish(Outcome::InitUnanswered));
            s.running = false;
        }
        return;
    }
    out.push_back(act(ActionKind::SendInit));
    s.pending = eFuncUpgradaInit;
    ++s.initSends;
    ++s.initSendsTotal;
}

void initAnswered(State &s, Actions &out)
{
    if (s.phase != Phase::Handshake) {
        return; // no handshake under way (ended for good, or never started)
    }
    if (s.initTimer) {
        out.push_back(act(ActionKind::StopInitTimer));
        s.initTimer = false;
    }
    s.packet = 0;
    s.initSends = 0;
    s.phase = Phase::Transfer;
    s.running = true;
    sendPacket(s, out);
}

void dataAcknowledged(State &s, Actions &out)
{
    // During a new handshake the code of the last data packet may still be pending, so its late
    // acknowledgement is taken as one, as before the restart.
    if (!active(s.phase)) {
        return;
    }
    disarmStall(s, out);
    s.packetsAcknowledged = qMax(s.packetsAcknowledged, s.packet + 1);
    if (s.phase != Phase::Handshake) {
        s.running = true; // a late acknowledgement after a stall takes the download up again
    }
    if (s.packet + 1 == s.packetCount) {
        // The last packet is in; the end command follows on the next ticks.
        out.push_back(act(ActionKind::StartEndTimer));
        s.endTimer = true;
        s.endSends = 0;
        if (s.phase != Phase::Handshake) {
            s.phase = Phase::Finishing;
        }
        return;
    }
    ++s.packet;
    sendPacket(s, out);
}

void endAnswered(State &s, Actions &out)
{
    if (s.phase == Phase::Idle) {
        return;
    }
    if (s.endTimer) {
        out.push_back(act(ActionKind::StopEndTimer));
        s.endTimer = false;
    }
    out.push_back(act(ActionKind::SetProgress, s.packetCount));
    out.push_back(act(ActionKind::LogCompleted));
    if (s.phase == Phase::Finishing) {
        if (s.running) {
            out.push_back(finish(Outcome::Confirmed));
        }
        s.phase = Phase::Done;
        s.running = false;
    }
}

void endTick(State &s, Actions &out)
{
    if (s.endSends >= Quorvane::kMaxEndSends) {
        // No answer to any end command: the download is reported complete all the same, with a
        // notice that the pack did not say so.
        out.push_back(act(ActionKind::StopEndTimer));
        s.endTimer = false;
        const bool finishing = s.phase == Phase::Finishing;
        if (finishing) {
            out.push_back(notice(Notice::EndUnconfirmed));
        }
        out.push_back(act(ActionKind::LogCompleted));
        out.push_back(act(ActionKind::SetProgress, s.packetCount));
        if (finishing) {
            if (s.running) {
                out.push_back(finish(Outcome::Unconfirmed));
            }
            s.phase = Phase::Done;
            s.running = false;
        }
        return;
    }
    out.push_back(act(ActionKind::SendEnd));
    s.pending = eFuncUpgradaEnd;
    ++s.endSends;
    ++s.endSendsTotal;
}

void stallElapsed(State &s, Actions &out)
{
    if (!s.stallTimer) {
        return; // disarmed meanwhile
    }
    s.stallTimer = false;
    if (s.running && s.phase == Phase::Transfer) {
        out.push_back(notice(Notice::Stalled, s.packet));
        out.push_back(finish(Outcome::Stalled));
        s.running = false;
    }
}

void portGone(State &s, Actions &out, bool lost)
{
    stopTimers(s, out);
    if (s.running) {
        if (lost) {
            out.push_back(notice(Notice::LinkLost));
        }
        out.push_back(finish(Outcome::LinkLost));
        s.running = false;
    }
    if (s.phase != Phase::Done) {
        s.phase = Phase::Idle;
    }
}

void closing(State &s, Actions &out)
{
    stopTimers(s, out);
    if (s.running) {
        out.push_back(finish(Outcome::Closed));
        s.running = false;
    }
    s.phase = Phase::Idle;
}

// A download that has reached its outcome is ended for good: no late answer acts on it any more.
void endForGood(State &s, Actions &out)
{
    if (s.running) {
        return; // the driver refuses these while a download runs
    }
    stopTimers(s, out);
    s.phase = Phase::Idle;
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
    case Outcome::Closed:
        return QStringLiteral("closed");
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
        switch (event.func) {
        case eFuncUpgradaInit:
            initAnswered(state, out);
            break;
        case eFuncUpgrada:
            dataAcknowledged(state, out);
            break;
        case eFuncUpgradaEnd:
            endAnswered(state, out);
            break;
        default:
            break;
        }
        break;
    case EventKind::OtherReply:
        break; // does not advance the download
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
