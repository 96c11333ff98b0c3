// The download's state machine without a window, a port or a clock: every row of its transition
// table, Start's checks, and whole exchanges driven by a stand-in pack.
#include "constants.h"
#include "downloadmachine.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QtTest>

#include <map>

using namespace Download;

namespace {

const char *phaseName(Phase phase)
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

const char *commandName(E_FUNC func)
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

const char *noticeName(Notice notice)
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
QString describe(const Actions &actions)
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
QString describe(const State &s)
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
State st(Phase phase, E_FUNC pending, int initSends, int endSends, quint32 packet, const char *timers,
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
State withRetries(State s, int retries, int repeats)
{
    s.retries = retries;
    s.packetRepeats = repeats;
    return s;
}

Event ev(EventKind kind, E_FUNC func = eFuncNone)
{
    return Event{kind, func};
}

// An empty answer with a return code.
Event answer(int code)
{
    return Event{EventKind::Reply, eFuncNone, 0, code};
}

// A state with a version query out.
State queried(State s)
{
    s.infoCopies.push_back(eFuncVersion);
    return s;
}

} // namespace

Q_DECLARE_METATYPE(Download::State)
Q_DECLARE_METATYPE(Download::Event)
Q_DECLARE_METATYPE(Download::StartVerdict)

class TestDownloadMachine : public QObject
{
    Q_OBJECT

private slots:
    void transition_data();
    void transition();
    void checkStart_data();
    void checkStart();
    void wholeExchange_data();
    void wholeExchange();
    void totalsForTheRecord();
    void pairing_data();
    void pairing();
};

void TestDownloadMachine::transition_data()
{
    QTest::addColumn<State>("before");
    QTest::addColumn<Event>("event");
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QString>("after");

    const auto S = EventKind::Start;
    const auto I = EventKind::InitTick;
    const auto E = EventKind::EndTick;
    const auto R = EventKind::Reply;
    const auto Idle = Phase::Idle;
    const auto Hs = Phase::Handshake;
    const auto Tr = Phase::Transfer;
    const auto Fin = Phase::Finishing;
    const auto Done = Phase::Done;
    const auto Ex = Phase::InitExhausted;
    const auto Stl = Phase::Stalled;

    // Start
    QTest::newRow("start from idle") << st(Idle, eFuncVersion, 0, 0, 0, "") << ev(S)
                                     << "ClearLog Progress:0 StartInit"
                                     << "Handshake pending=6 packet=0 init=0 end=0 timers=i";
    QTest::newRow("start during transfer restarts it")
        << st(Tr, eFuncUpgrada, 0, 0, 5, "s") << ev(S)
        << "Finish:restarted DisarmStall ClearLog Progress:0 StartInit"
        << "Handshake pending=4 packet=0 init=0 end=0 timers=i";
    // The old end timer must not tick on into the new download.
    QTest::newRow("start while finishing stops the end timer")
        << st(Fin, eFuncUpgradaEnd, 0, 2, 15, "e") << ev(S)
        << "Finish:restarted StopEnd ClearLog Progress:0 StartInit"
        << "Handshake pending=5 packet=0 init=0 end=0 timers=i";
    QTest::newRow("start after an unanswered init")
        << st(Ex, eFuncUpgradaInit, 5, 0, 0, "i") << ev(S) << "StopInit ClearLog Progress:0 StartInit"
        << "Handshake pending=3 packet=0 init=0 end=0 timers=i";
    QTest::newRow("start after a stall records nothing more")
        << st(Stl, eFuncUpgrada, 0, 0, 9, "") << ev(S) << "ClearLog Progress:0 StartInit"
        << "Handshake pending=4 packet=0 init=0 end=0 timers=i";
    QTest::newRow("start after completion")
        << st(Done, eFuncUpgradaEnd, 0, 1, 15, "") << ev(S) << "ClearLog Progress:0 StartInit"
        << "Handshake pending=5 packet=0 init=0 end=0 timers=i";

    // Init ticks
    QTest::newRow("first init tick") << st(Hs, eFuncVersion, 0, 0, 0, "i") << ev(I) << "SendInit"
                                     << "Handshake pending=3 packet=0 init=1 end=0 timers=i";
    QTest::newRow("fifth init tick") << st(Hs, eFuncUpgradaInit, 4, 0, 0, "i") << ev(I) << "SendInit"
                                     << "Handshake pending=3 packet=0 init=5 end=0 timers=i";
    QTest::newRow("tick after the fifth: notice, timer keeps ticking")
        << st(Hs, eFuncUpgradaInit, 5, 0, 0, "i") << ev(I) << "Notice:init_unanswered Finish:init_unanswered"
        << "InitExhausted pending=3 packet=0 init=5 end=0 timers=i";
    QTest::newRow("later ticks of an exhausted handshake")
        << st(Ex, eFuncUpgradaInit, 5, 0, 0, "i") << ev(I) << ""
        << "InitExhausted pending=3 packet=0 init=5 end=0 timers=i";
    QTest::newRow("init tick queued before the init answer")
        << st(Tr, eFuncUpgrada, 0, 0, 3, "s") << ev(I) << ""
        << "Transfer pending=4 packet=3 init=0 end=0 timers=s";

    // Init answer
    QTest::newRow("init answer sends packet 0") << st(Hs, eFuncUpgradaInit, 2, 0, 0, "i")
                                                << ev(R, eFuncUpgradaInit) << "StopInit SendPacket:0 ArmStall"
                                                << "Transfer pending=4 packet=0 init=0 end=0 timers=s";
    QTest::newRow("late init answer after the notice")
        << st(Ex, eFuncUpgradaInit, 5, 0, 0, "i") << ev(R, eFuncUpgradaInit)
        << "StopInit SendPacket:0 ArmStall"
        << "Transfer pending=4 packet=0 init=0 end=0 timers=s";
    QTest::newRow("init answer with no image sends nothing")
        << st(Hs, eFuncUpgradaInit, 1, 0, 0, "i", 0) << ev(R, eFuncUpgradaInit) << "StopInit"
        << "Transfer pending=3 packet=0 init=0 end=0 timers=";
    QTest::newRow("init answer to a download ended for good")
        << st(Idle, eFuncUpgradaInit, 5, 0, 0, "") << ev(R, eFuncUpgradaInit) << "Stale:init"
        << "Idle pending=3 packet=0 init=5 end=0 timers=";

    // Data acknowledgements
    QTest::newRow("ack sends the next packet")
        << st(Tr, eFuncUpgrada, 0, 0, 3, "s") << ev(R, eFuncUpgrada) << "DisarmStall SendPacket:4 ArmStall"
        << "Transfer pending=4 packet=4 init=0 end=0 timers=s";
    QTest::newRow("ack of the last packet starts the end timer")
        << st(Tr, eFuncUpgrada, 0, 3, 15, "s") << ev(R, eFuncUpgrada) << "DisarmStall StartEnd"
        << "Finishing pending=4 packet=15 init=0 end=0 timers=e";
    // An answer is paired with the copy it answers: a second answer to the last packet answers a
    // second copy of it, never the end command to come.
    QTest::newRow("second answer to the last packet is stale")
        << st(Fin, eFuncUpgrada, 0, 0, 15, "e") << ev(R, eFuncUpgrada) << "Stale:packet"
        << "Finishing pending=4 packet=15 init=0 end=0 timers=e";
    QTest::newRow("late ack of the old download in the second after Start")
        << st(Hs, eFuncUpgrada, 0, 0, 0, "i") << ev(R) << "Stale:packet"
        << "Handshake pending=4 packet=0 init=0 end=0 timers=i";
    QTest::newRow("late ack after a stall goes on")
        << st(Stl, eFuncUpgrada, 0, 0, 7, "") << ev(R, eFuncUpgrada) << "SendPacket:8 ArmStall"
        << "Transfer pending=4 packet=8 init=0 end=0 timers=s";
    QTest::newRow("ack to a download ended for good")
        << st(Idle, eFuncUpgrada, 0, 0, 7, "") << ev(R, eFuncUpgrada) << "Stale:packet"
        << "Idle pending=4 packet=7 init=0 end=0 timers=";

    // End ticks and answer
    QTest::newRow("end tick sends the end command")
        << st(Fin, eFuncUpgrada, 0, 0, 15, "e") << ev(E) << "SendEnd"
        << "Finishing pending=5 packet=15 init=0 end=1 timers=e";
    QTest::newRow("fifth end tick: unconfirmed") << st(Fin, eFuncUpgradaEnd, 0, 4, 15, "e") << ev(E)
                                                 << "StopEnd LogCompleted Progress:16 Notice:end_unconfirmed "
                                                    "Finish:unconfirmed"
                                                 << "Done pending=5 packet=15 init=0 end=4 timers=";
    QTest::newRow("end answer confirms") << st(Fin, eFuncUpgradaEnd, 0, 2, 15, "e") << ev(R, eFuncUpgradaEnd)
                                         << "StopEnd Progress:16 LogCompleted Finish:confirmed"
                                         << "Done pending=5 packet=15 init=0 end=2 timers=";
    QTest::newRow("second end answer logs again")
        << st(Done, eFuncUpgradaEnd, 0, 2, 15, "") << ev(R, eFuncUpgradaEnd) << "Progress:16 LogCompleted"
        << "Done pending=5 packet=15 init=0 end=2 timers=";
    QTest::newRow("end answer during a new handshake completes nothing")
        << st(Hs, eFuncUpgradaEnd, 0, 0, 0, "i") << ev(R) << "Stale:end"
        << "Handshake pending=5 packet=0 init=0 end=0 timers=i";
    QTest::newRow("end answer after a stall completes nothing")
        << st(Stl, eFuncUpgradaEnd, 0, 0, 7, "") << ev(R) << "Stale:end"
        << "Stalled pending=5 packet=7 init=0 end=0 timers=";
    QTest::newRow("end tick outside the end phase stops its timer")
        << st(Hs, eFuncUpgradaInit, 1, 0, 0, "ie") << ev(E) << "StopEnd"
        << "Handshake pending=3 packet=0 init=1 end=0 timers=i";
    QTest::newRow("end tick after completion sends nothing")
        << st(Done, eFuncUpgradaEnd, 0, 2, 15, "") << ev(E) << ""
        << "Done pending=5 packet=15 init=0 end=2 timers=";
    QTest::newRow("end answer to a download ended for good")
        << st(Idle, eFuncUpgradaEnd, 0, 2, 15, "") << ev(R, eFuncUpgradaEnd) << "Stale:end"
        << "Idle pending=5 packet=15 init=0 end=2 timers=";

    // Stall deadline
    QTest::newRow("stall deadline") << st(Tr, eFuncUpgrada, 0, 0, 7, "s") << ev(EventKind::StallElapsed)
                                    << "Notice:stalled:7 Finish:stalled"
                                    << "Stalled pending=4 packet=7 init=0 end=0 timers=";
    QTest::newRow("stall deadline with a retry left: the same packet again")
        << withRetries(st(Tr, eFuncUpgrada, 0, 0, 7, "s"), 2, 1) << ev(EventKind::StallElapsed)
        << "SendPacket:7 ArmStall"
        << "Transfer pending=4 packet=7 init=0 end=0 timers=s repeats=2/2";
    QTest::newRow("stall deadline with the retries used up")
        << withRetries(st(Tr, eFuncUpgrada, 0, 0, 7, "s"), 2, 2) << ev(EventKind::StallElapsed)
        << "Notice:stalled:7 Finish:stalled"
        << "Stalled pending=4 packet=7 init=0 end=0 timers= repeats=2/2";
    QTest::newRow("acknowledgement of a repeat: the next packet has every retry again")
        << withRetries(st(Tr, eFuncUpgrada, 0, 0, 7, "s"), 2, 2) << ev(R, eFuncUpgrada)
        << "DisarmStall SendPacket:8 ArmStall"
        << "Transfer pending=4 packet=8 init=0 end=0 timers=s repeats=0/2";
    // Refusals: a return code other than 00 acknowledges nothing
    QTest::newRow("refused packet: the download ends")
        << st(Tr, eFuncUpgrada, 0, 0, 7, "s") << answer(2) << "DisarmStall Notice:refused:7:2 Finish:refused"
        << "Idle pending=4 packet=7 init=0 end=0 timers=";
    QTest::newRow("refused packet with a retry left: the same packet again")
        << withRetries(st(Tr, eFuncUpgrada, 0, 0, 7, "s"), 1, 0) << answer(2)
        << "DisarmStall SendPacket:7 ArmStall"
        << "Transfer pending=4 packet=7 init=0 end=0 timers=s repeats=1/1";
    QTest::newRow("refused init: the ticks go on")
        << st(Hs, eFuncUpgradaInit, 2, 0, 0, "i") << answer(2) << ""
        << "Handshake pending=3 packet=0 init=2 end=0 timers=i";
    QTest::newRow("refused end: the ticks go on")
        << st(Fin, eFuncUpgradaEnd, 0, 2, 15, "e") << answer(0x90) << ""
        << "Finishing pending=5 packet=15 init=0 end=2 timers=e";
    QTest::newRow("answer with INFO paired with the version query")
        << queried(st(Tr, eFuncUpgrada, 0, 0, 7, "s")) << ev(EventKind::InfoReply) << "Info:version"
        << "Transfer pending=4 packet=7 init=0 end=0 timers=s";
    QTest::newRow("stall deadline already disarmed")
        << st(Tr, eFuncUpgrada, 0, 0, 7, "") << ev(EventKind::StallElapsed) << ""
        << "Transfer pending=4 packet=7 init=0 end=0 timers=";

    // The port goes
    QTest::newRow("link lost during transfer")
        << st(Tr, eFuncUpgrada, 0, 0, 7, "s") << ev(EventKind::LinkLost)
        << "DisarmStall Notice:link_lost Finish:link_lost"
        << "Idle pending=4 packet=7 init=0 end=0 timers=";
    QTest::newRow("link lost during the handshake")
        << st(Hs, eFuncUpgradaInit, 2, 0, 0, "i") << ev(EventKind::LinkLost)
        << "StopInit Notice:link_lost Finish:link_lost"
        << "Idle pending=3 packet=0 init=2 end=0 timers=";
    QTest::newRow("port closed by the user while finishing")
        << st(Fin, eFuncUpgradaEnd, 0, 1, 15, "e") << ev(EventKind::PortClosed) << "StopEnd Finish:link_lost"
        << "Idle pending=5 packet=15 init=0 end=1 timers=";
    QTest::newRow("link lost after a stall")
        << st(Stl, eFuncUpgrada, 0, 0, 7, "") << ev(EventKind::LinkLost) << ""
        << "Idle pending=4 packet=7 init=0 end=0 timers=";
    QTest::newRow("link lost with nothing running")
        << st(Done, eFuncUpgradaEnd, 0, 1, 15, "") << ev(EventKind::LinkLost) << ""
        << "Done pending=5 packet=15 init=0 end=1 timers=";

    // Closing, a new image, a version query, other replies
    QTest::newRow("closing while running")
        << st(Tr, eFuncUpgrada, 0, 0, 7, "s") << ev(EventKind::Closing) << "DisarmStall Finish:interrupted"
        << "Idle pending=4 packet=7 init=0 end=0 timers=";
    QTest::newRow("closing with nothing running")
        << st(Idle, eFuncNone, 0, 0, 0, "") << ev(EventKind::Closing) << ""
        << "Idle pending=0 packet=0 init=0 end=0 timers=";
    QTest::newRow("new image after an unanswered init")
        << st(Ex, eFuncUpgradaInit, 5, 0, 0, "i") << ev(EventKind::ImageChanged) << "StopInit"
        << "Idle pending=3 packet=0 init=5 end=0 timers=";
    QTest::newRow("new image refused while running")
        << st(Tr, eFuncUpgrada, 0, 0, 7, "s") << ev(EventKind::ImageChanged) << ""
        << "Transfer pending=4 packet=7 init=0 end=0 timers=s";
    QTest::newRow("version query after a stall")
        << st(Stl, eFuncUpgrada, 0, 0, 7, "") << ev(EventKind::VersionQuery) << ""
        << "Idle pending=4 packet=7 init=0 end=0 timers=";
    QTest::newRow("answer with INFO and no query out: taken for nothing")
        << st(Tr, eFuncUpgrada, 0, 0, 7, "s") << ev(EventKind::InfoReply) << "Info:nothing"
        << "Transfer pending=4 packet=7 init=0 end=0 timers=s";
    QTest::newRow("a command of the driver's own is pending next")
        << st(Idle, eFuncUpgradaEnd, 0, 0, 0, "") << ev(EventKind::CommandWritten, eFuncVersion) << ""
        << "Idle pending=6 packet=0 init=0 end=0 timers=";
    QTest::newRow("empty reply with no upgrade command out")
        << st(Tr, eFuncVersion, 0, 0, 7, "s") << ev(R, eFuncVersion) << "Stale:nothing"
        << "Transfer pending=6 packet=7 init=0 end=0 timers=s";
}

void TestDownloadMachine::transition()
{
    QFETCH(State, before);
    QFETCH(Event, event);
    QFETCH(QString, actions);
    QFETCH(QString, after);

    State state = before;
    QCOMPARE(describe(step(state, event)), actions);
    QCOMPARE(describe(state), after);
}

void TestDownloadMachine::checkStart_data()
{
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<quint32>("packets");
    QTest::addColumn<bool>("pathOk");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<StartVerdict>("verdict");

    QTest::newRow("port closed beats everything")
        << false << 0u << false << false << StartVerdict::PortClosed;
    QTest::newRow("no image") << true << 0u << false << true << StartVerdict::NoImage;
    QTest::newRow("path without the version")
        << true << 16u << false << false << StartVerdict::PathWithoutVersion;
    QTest::newRow("version not reported") << true << 16u << true << false << StartVerdict::AskUnverified;
    QTest::newRow("accepted") << true << 16u << true << true << StartVerdict::Accepted;
}

void TestDownloadMachine::checkStart()
{
    QFETCH(bool, portOpen);
    QFETCH(quint32, packets);
    QFETCH(bool, pathOk);
    QFETCH(bool, reported);
    QFETCH(StartVerdict, verdict);
    QCOMPARE(Download::checkStart(portOpen, packets, pathOk, reported), verdict);
}

// A stand-in pack: after Start the driver ticks the running timers once a second and the pack
// answers every command but those listed. The transcript lists what went on the line, in order.
void TestDownloadMachine::wholeExchange_data()
{
    QTest::addColumn<quint32>("packets");
    QTest::addColumn<QString>("silent"); // "init", "end", "data:N", "once:N" (only its first copy)
    QTest::addColumn<QString>("transcript");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<int>("retries");

    QTest::newRow("three packets, all answered") << 3u << ""
                                                 << "init p0 p1 p2 end"
                                                 << "confirmed" << 0;
    QTest::newRow("pack never answers init") << 2u << "init"
                                             << "init init init init init"
                                             << "init_unanswered" << 0;
    QTest::newRow("pack never answers end") << 2u << "end"
                                            << "init p0 p1 end end end end"
                                            << "unconfirmed" << 0;
    QTest::newRow("pack silent at packet 1") << 4u << "data:1"
                                             << "init p0 p1"
                                             << "stalled" << 0;
    QTest::newRow("an answer lost once, one retry") << 3u << "once:1"
                                                    << "init p0 p1 p1 p2 end"
                                                    << "confirmed" << 1;
    QTest::newRow("an answer lost once, no retry") << 3u << "once:1"
                                                   << "init p0 p1"
                                                   << "stalled" << 0;
    QTest::newRow("pack silent at packet 1, two retries") << 4u << "data:1"
                                                          << "init p0 p1 p1 p1"
                                                          << "stalled" << 2;
}

void TestDownloadMachine::wholeExchange()
{
    QFETCH(quint32, packets);
    QFETCH(QString, silent);
    QFETCH(QString, transcript);
    QFETCH(QString, outcome);
    QFETCH(int, retries);

    State s;
    s.packetCount = packets;
    s.retries = retries;
    bool lostOnce = false;
    QStringList line;
    QString reached;
    QList<Event> queue{ev(EventKind::Start)};
    // Each second of the clock: the pending answer (if any), then the timers that run.
    for (int second = 0; second < 30 && reached.isEmpty(); ++second) {
        while (!queue.isEmpty()) {
            Event e = queue.takeFirst();
            e.nowMs = second * 1000;
            for (const Action &a : step(s, e)) {
                if (a.kind == ActionKind::Finish) {
                    reached = outcomeName(a.outcome);
                }
                bool answered = true;
                if (a.kind == ActionKind::SendInit) {
                    line << QStringLiteral("init");
                    answered = silent != QLatin1String("init");
                } else if (a.kind == ActionKind::SendPacket) {
                    line << QStringLiteral("p%1").arg(a.value);
                    answered = silent != QStringLiteral("data:%1").arg(a.value);
                    if (silent == QStringLiteral("once:%1").arg(a.value) && !lostOnce) {
                        answered = false;
                        lostOnce = true;
                    }
                } else if (a.kind == ActionKind::SendEnd) {
                    line << QStringLiteral("end");
                    answered = silent != QLatin1String("end");
                } else {
                    continue;
                }
                if (answered) {
                    queue << ev(EventKind::Reply, s.pending);
                }
            }
        }
        if (s.stallTimer) {
            queue << ev(EventKind::StallElapsed);
        }
        if (s.expiryTimer) {
            queue << ev(EventKind::CopiesExpired);
        }
        if (s.initTimer) {
            queue << ev(EventKind::InitTick);
        }
        if (s.endTimer) {
            queue << ev(EventKind::EndTick);
        }
    }
    QCOMPARE(line.join(QLatin1Char(' ')), transcript);
    QCOMPARE(reached, outcome);
    const QStringList sent = line.filter(QRegularExpression(QStringLiteral("^p")));
    QCOMPARE(s.totals.packetRepeats, sent.size() - QSet<QString>(sent.begin(), sent.end()).size());
    QVERIFY(!s.running());
}

void TestDownloadMachine::totalsForTheRecord()
{
    State s;
    s.packetCount = 2;
    step(s, ev(EventKind::Start));
    for (int i = 0; i < 3; ++i) {
        step(s, ev(EventKind::InitTick));
    }
    step(s, ev(EventKind::Reply, eFuncUpgradaInit));
    QCOMPARE(s.initSends, 0);        // the counter of the handshake starts again ...
    QCOMPARE(s.totals.initSends, 3); // ... the record's does not
    step(s, ev(EventKind::Reply));   // the answers to the other two init copies: absorbed ...
    step(s, ev(EventKind::Reply));
    QCOMPARE(s.totals.staleAnswers, 2); // ... and counted, and then packet 0 goes
    step(s, ev(EventKind::Reply, eFuncUpgrada));
    step(s, ev(EventKind::Reply, eFuncUpgrada));
    step(s, ev(EventKind::EndTick));
    step(s, ev(EventKind::EndTick));
    step(s, ev(EventKind::Reply, eFuncUpgradaEnd));
    QCOMPARE(s.totals.endSends, 2);
    QCOMPARE(s.totals.packetsAcknowledged, 2u);
    QCOMPARE(s.phase, Phase::Done);
    QCOMPARE(describe(step(s, ev(EventKind::Reply))),
             QStringLiteral("Progress:2 LogCompleted")); // end copy 2

    // A restart records what the ended download did, not the fresh counts of the new one.
    s.packetCount = 40;
    step(s, ev(EventKind::Start));
    step(s, ev(EventKind::InitTick));
    step(s, ev(EventKind::Reply));
    for (int i = 0; i < 32; ++i) {
        step(s, ev(EventKind::Reply));
    }
    const Actions restart = step(s, ev(EventKind::Start));
    QCOMPARE(restart.front().kind, ActionKind::Finish);
    QCOMPARE(restart.front().outcome, Outcome::Restarted);
    QCOMPARE(restart.front().totals.packetsAcknowledged, 32u);
    QCOMPARE(restart.front().totals.initSends, 1);
    QCOMPARE(s.totals.packetsAcknowledged, 0u);
}

// A stand-in pack on a simulated clock (ms): it answers the copies it hears in the order it heard
// them, and the driver runs the timers the machine asks for. Pack words (blank-separated):
// "late=MS" answer time; "late:CMD#N=MS" for that copy only; "erase=MS" an init keeps the pack
// busy that long (answered when done, frames meanwhile unheard); "silent:CMD[#N]" no answer;
// "refuse:CMD[#N]=CODE"; "retries=N"; "atonce" (State::sendAtOnce). CMD is init, pK or end.
namespace {

struct StandIn
{
    qint64 lateMs = 0;
    qint64 eraseMs = 0;
    QMap<QString, qint64> lateCopy;
    QStringList silent;
    QMap<QString, int> refuse;
    QMap<QString, int> heard; // copies heard, by command
    qint64 busyUntil = 0;
    qint64 lastAnswer = 0; // answers leave in order
    QStringList stored;    // "p0 p1 ... end" of the last image
    int unheard = 0;

    // Returns the answer's time (-1: none) and sets *code.
    qint64 hear(const QString &cmd, qint64 t, int *code)
    {
        if (t < busyUntil) {
            ++unheard;
            return -1;
        }
        const QString copy = QStringLiteral("%1#%2").arg(cmd).arg(++heard[cmd]);
        *code = refuse.value(copy, refuse.value(cmd, 0));
        qint64 at = t + lateCopy.value(copy, lateMs);
        if (*code == 0 && cmd == QLatin1String("init")) {
            stored.clear();
            if (eraseMs > 0) {
                busyUntil = t + eraseMs;
                at = busyUntil;
            }
        } else if (*code == 0 && !stored.contains(cmd)) {
            stored << cmd;
        }
        if (silent.contains(copy) || silent.contains(cmd)) {
            return -1;
        }
        lastAnswer = qMax(lastAnswer, at);
        return lastAnswer;
    }
};

} // namespace

void TestDownloadMachine::pairing_data()
{
    QTest::addColumn<QString>("pack");
    QTest::addColumn<QString>("transcript"); // what went out, CMD@ms
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("stale");

    QTest::newRow("one copy each") << "late=10"
                                   << "init@1000 p0@1010 p1@1020 end@2030"
                                   << "confirmed"
                                   << "p0 p1 end" << 0;
    // The answer to the first init comes after the second went out: packet 0 waits for the second
    // answer, and the end's second answer logs again but advances nothing.
    QTest::newRow("every answer 1.1 s late") << "late=1100"
                                             << "init@1000 init@2000 p0@3100 p1@4200 end@6300 end@7300"
                                             << "confirmed"
                                             << "p0 p1 end" << 1;
    QTest::newRow("late, never answers the end")
        << "late=1100 silent:end"
        << "init@1000 init@2000 p0@3100 p1@4200 end@6300 end@7300 end@8300 end@9300"
        << "unconfirmed"
        << "p0 p1 end" << 1;
    // Erasing for 2.5 s, the pack does not hear init 2 and 3; packet 0 waits until they expire,
    // 1.5 x 2.5 s after each went out.
    QTest::newRow("init copies unheard while erasing")
        << "erase=2500"
        << "init@1000 init@2000 init@3000 p0@6750 p1@6750 end@7750"
        << "confirmed"
        << "p0 p1 end" << 0;
    QTest::newRow("a retried packet's first answer comes late")
        << "retries=1 late=10 late:p1#1=5200"
        << "init@1000 p0@1010 p1@1020 p1@6020 p2@6220 end@7230"
        << "confirmed"
        << "p0 p1 p2 end" << 1;
    QTest::newRow("refused packet") << "refuse:p1#1=2"
                                    << "init@1000 p0@1000 p1@1000"
                                    << "refused"
                                    << "p0" << 0;
    QTest::newRow("refused packet, one retry") << "retries=1 refuse:p1#1=2"
                                               << "init@1000 p0@1000 p1@1000 p1@1000 end@2000"
                                               << "confirmed"
                                               << "p0 p1 end" << 0;
    QTest::newRow("refused end") << "refuse:end=2"
                                 << "init@1000 p0@1000 p1@1000 end@2000 end@3000 end@4000 end@5000"
                                 << "unconfirmed"
                                 << "p0 p1" << 0;
    QTest::newRow("refused init") << "refuse:init=2"
                                  << "init@1000 init@2000 init@3000 init@4000 init@5000"
                                  << "init_unanswered"
                                  << "" << 0;
    QTest::newRow("at once: no tick before the first init and end") << "atonce late=10"
                                                                    << "init@0 p0@10 p1@20 end@30"
                                                                    << "confirmed"
                                                                    << "p0 p1 end" << 0;
    QTest::newRow("at once, end unanswered: four copies a second apart")
        << "atonce silent:end"
        << "init@0 p0@0 p1@0 end@0 end@1000 end@2000 end@3000"
        << "unconfirmed"
        << "p0 p1 end" << 0;
}

void TestDownloadMachine::pairing()
{
    QFETCH(QString, pack);
    QFETCH(QString, transcript);
    QFETCH(QString, outcome);
    QFETCH(QString, stored);
    QFETCH(int, stale);

    StandIn p;
    State s;
    s.packetCount = transcript.contains(QLatin1String("p2@")) ? 3 : 2;
    for (const QString &word : pack.split(QLatin1Char(' '))) {
        const QString key = word.section(QLatin1Char('='), 0, 0);
        const int value = word.section(QLatin1Char('='), 1).toInt();
        if (key == QLatin1String("late")) {
            p.lateMs = value;
        } else if (key.startsWith(QLatin1String("late:"))) {
            p.lateCopy.insert(key.mid(5), value);
        } else if (key == QLatin1String("erase")) {
            p.eraseMs = value;
        } else if (key.startsWith(QLatin1String("silent:"))) {
            p.silent << key.mid(7);
        } else if (key.startsWith(QLatin1String("refuse:"))) {
            p.refuse.insert(key.mid(7), value);
        } else if (key == QLatin1String("retries")) {
            s.retries = value;
        } else {
            s.sendAtOnce = key == QLatin1String("atonce");
        }
    }

    enum What
    {
        Answer,
        Init,
        End,
        Stall,
        Expiry
    };
    std::multimap<qint64, std::pair<What, int>> due; // time -> what, with its code or timer token
    int tokens[5] = {};
    auto arm = [&](What w, qint64 at) { due.emplace(at, std::make_pair(w, ++tokens[w])); };
    QStringList line;
    QString reached;
    Event next = ev(EventKind::Start);
    qint64 now = 0;
    for (;;) {
        next.nowMs = now;
        for (const Action &a : step(s, next)) {
            QString cmd;
            switch (a.kind) {
            case ActionKind::SendInit:
                cmd = QStringLiteral("init");
                break;
            case ActionKind::SendPacket:
                cmd = QStringLiteral("p%1").arg(a.value);
                break;
            case ActionKind::SendEnd:
                cmd = QStringLiteral("end");
                break;
            case ActionKind::StartInitTimer:
                arm(Init, now + s.tickMs);
                break;
            case ActionKind::StartEndTimer:
                arm(End, now + s.tickMs);
                break;
            case ActionKind::ArmStall:
                arm(Stall, now + Quorvane::kStallNoticeMs);
                break;
            case ActionKind::ArmExpiry:
                arm(Expiry, now + a.value);
                break;
            case ActionKind::StopInitTimer:
            case ActionKind::StopEndTimer:
            case ActionKind::DisarmStall:
            case ActionKind::DisarmExpiry:
                ++tokens[a.kind == ActionKind::StopInitTimer  ? Init
                         : a.kind == ActionKind::StopEndTimer ? End
                         : a.kind == ActionKind::DisarmStall  ? Stall
                                                              : Expiry];
                break;
            case ActionKind::Finish:
                reached = reached.isEmpty() ? outcomeName(a.outcome) : reached;
                break;
            default:
                break;
            }
            if (!cmd.isEmpty()) {
                line << QStringLiteral("%1@%2").arg(cmd).arg(now);
                int code = 0;
                const qint64 at = p.hear(cmd, now, &code);
                if (at >= 0) {
                    due.emplace(at, std::make_pair(Answer, code));
                }
            }
        }
        // The next event that still counts; a repeating timer is armed again as it fires.
        bool found = false;
        while (!due.empty() && !found) {
            const auto first = due.begin();
            const What w = first->second.first;
            const int arg = first->second.second;
            now = first->first;
            due.erase(first);
            if (w == Answer) {
                next = answer(arg);
                found = true;
            } else if (arg == tokens[w]) {
                if (w == Init || w == End) {
                    arm(w, now + s.tickMs);
                }
                const EventKind kinds[] = {EventKind::Reply, EventKind::InitTick, EventKind::EndTick,
                                           EventKind::StallElapsed, EventKind::CopiesExpired};
                next = ev(kinds[w]);
                found = true;
            }
        }
        if (!found || now > 20000) {
            break;
        }
    }
    QCOMPARE(line.join(QLatin1Char(' ')), transcript);
    QCOMPARE(reached, outcome);
    QCOMPARE(p.stored.join(QLatin1Char(' ')), stored);
    QCOMPARE(s.totals.staleAnswers, stale);
}

QTEST_APPLESS_MAIN(TestDownloadMachine)
#include "tst_downloadmachine.moc"
