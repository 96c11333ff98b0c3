// The words the download machine's table tests use for its states and actions
// ("Transfer pending=4 packet=3 init=0 end=0 timers=s", "SendPacket:3 ArmStall"), and the
// builders of the states in its rows.
#pragma once

#include "constants.h"
#include "downloadmachine.h"

#include <QString>
#include <QStringList>

namespace Download {

inline const char *phaseName(Phase phase)
{
    switch (phase) {
    case Phase::Idle:
        return "Idle";
    case Phase::Handshake:
        return "Handshake";
    case Phase::InitExhausted:
        return "InitExhausted";
    case Phase::Stalled:
        return "Stalled";
    case Phase::Transfer:
        return "Transfer";
    case Phase::Finishing:
        return "Finishing";
    case Phase::Done:
        return "Done";
    }
    return "?";
}

inline const char *commandName(E_FUNC func)
{
    switch (func) {
    case eFuncUpgradaInit:
        return "init";
    case eFuncUpgrada:
        return "packet";
    case eFuncUpgradaEnd:
        return "end";
    case eFuncVersion:
        return "version";
    case eFuncTest:
        return "test";
    default:
        return "nothing";
    }
}

inline const char *noticeName(Notice notice)
{
    switch (notice) {
    case Notice::InitUnanswered:
        return "init_unanswered";
    case Notice::Stalled:
        return "stalled";
    case Notice::EndUnconfirmed:
        return "end_unconfirmed";
    case Notice::LinkLost:
        return "link_lost";
    case Notice::Refused:
        return "refused";
    }
    return "?";
}

// "SendPacket:3 ArmStall": the actions in order, with their argument where they have one.
inline QString describe(const Actions &actions)
{
    QStringList words;
    for (const Action &a : actions) {
        switch (a.kind) {
        case ActionKind::SendInit:
            words << QStringLiteral("SendInit");
            break;
        case ActionKind::SendPacket:
            words << QStringLiteral("SendPacket:%1").arg(a.value);
            break;
        case ActionKind::SendEnd:
            words << QStringLiteral("SendEnd");
            break;
        case ActionKind::StartInitTimer:
            words << QStringLiteral("StartInit");
            break;
        case ActionKind::StopInitTimer:
            words << QStringLiteral("StopInit");
            break;
        case ActionKind::StartEndTimer:
            words << QStringLiteral("StartEnd");
            break;
        case ActionKind::StopEndTimer:
            words << QStringLiteral("StopEnd");
            break;
        case ActionKind::ArmStall:
            words << QStringLiteral("ArmStall");
            break;
        case ActionKind::DisarmStall:
            words << QStringLiteral("DisarmStall");
            break;
        case ActionKind::ClearLog:
            words << QStringLiteral("ClearLog");
            break;
        case ActionKind::SetProgress:
            words << QStringLiteral("Progress:%1").arg(a.value);
            break;
        case ActionKind::LogCompleted:
            words << QStringLiteral("LogCompleted");
            break;
        case ActionKind::ShowNotice:
            words << QStringLiteral("Notice:%1").arg(QLatin1String(noticeName(a.notice))) +
                         (a.notice == Notice::Stalled ? QStringLiteral(":%1").arg(a.value) : QString()) +
                         (a.notice == Notice::Refused ? QStringLiteral(":%1:%2").arg(a.value).arg(a.code)
                                                      : QString());
            break;
        case ActionKind::Finish:
            words << QStringLiteral("Finish:%1").arg(outcomeName(a.outcome));
            break;
        case ActionKind::ArmExpiry:
            words << QStringLiteral("ArmExpiry:%1").arg(a.value);
            break;
        case ActionKind::DisarmExpiry:
            words << QStringLiteral("DisarmExpiry");
            break;
        case ActionKind::Paired: // shown only when the answer advanced nothing
            if (a.stale) {
                words << QStringLiteral("Stale:%1").arg(QLatin1String(commandName(a.func)));
            }
            break;
        case ActionKind::TakeInfo:
            words << QStringLiteral("Info:%1").arg(QLatin1String(commandName(a.func)));
            break;
        }
    }
    return words.join(QLatin1Char(' '));
}

// "Transfer pending=4 packet=3 init=0 end=0 timers=s"
inline QString describe(const State &s)
{
    QString timers;
    timers += s.initTimer ? QStringLiteral("i") : QString();
    timers += s.endTimer ? QStringLiteral("e") : QString();
    timers += s.stallTimer ? QStringLiteral("s") : QString();
    const QString repeats =
        s.retries > 0 ? QStringLiteral(" repeats=%1/%2").arg(s.packetRepeats).arg(s.retries) : QString();
    return QStringLiteral("%1 pending=%2 packet=%3 init=%4 end=%5 timers=%6")
               .arg(QLatin1String(phaseName(s.phase)))
               .arg(static_cast<int>(s.pending))
               .arg(s.packet)
               .arg(s.initSends)
               .arg(s.endSends)
               .arg(timers) +
           repeats;
}

// A state of a 16-packet image; timers as in describe().
inline State st(Phase phase, E_FUNC pending, int initSends, int endSends, quint32 packet, const char *timers,
                quint32 count = 16)
{
    State s;
    s.phase = phase;
    s.pending = pending;
    s.initSends = initSends;
    s.endSends = endSends;
    s.packet = packet;
    s.packetCount = count;
    const QByteArray t(timers);
    s.initTimer = t.contains('i');
    s.endTimer = t.contains('e');
    s.stallTimer = t.contains('s');
    if (pending == eFuncUpgradaInit || pending == eFuncUpgrada || pending == eFuncUpgradaEnd) {
        Copy out; // one copy of the command last written is out, unanswered
        out.func = pending;
        out.packet = packet;
        s.copies.push_back(out);
    }
    return s;
}

// The same state with `retries` re-sends allowed, `repeats` of them made for the packet in flight.
inline State withRetries(State s, int retries, int repeats)
{
    s.retries = retries;
    s.packetRepeats = repeats;
    return s;
}

inline Event ev(EventKind kind, E_FUNC func = eFuncNone)
{
    return Event{kind, func};
}

// An empty answer with a return code.
inline Event answer(int code)
{
    return Event{EventKind::Reply, eFuncNone, 0, code};
}

// A state with a version query out.
inline State queried(State s)
{
    s.infoCopies.push_back(eFuncVersion);
    return s;
}

} // namespace Download
