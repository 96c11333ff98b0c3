// The download's state machine without a window, a port or a clock: every row of its transition
// table, Start's checks, and whole exchanges driven by a stand-in pack.
#include "machinetable.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QtTest>

using namespace Download;

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
    QTest::newRow("stopped to start again once the pack is asked")
        << st(Fin, eFuncUpgradaEnd, 0, 1, 15, "e") << ev(EventKind::Stop) << "StopEnd Finish:restarted"
        << "Idle pending=5 packet=15 init=0 end=1 timers=";
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

QTEST_APPLESS_MAIN(TestDownloadMachine)
#include "tst_downloadmachine.moc"
