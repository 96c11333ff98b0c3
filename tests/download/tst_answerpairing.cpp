// The download's answer pairing on a simulated clock: a stand-in pack that answers late, erases,
// drops or refuses, and the transcript of what went on the line, to the millisecond.
#include "machinetable.h"

#include <QStringList>
#include <QtTest>

#include <map>

using namespace Download;

class TestAnswerPairing : public QObject
{
    Q_OBJECT

private slots:
    void pairing_data();
    void pairing();
};

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

void TestAnswerPairing::pairing_data()
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

void TestAnswerPairing::pairing()
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

QTEST_APPLESS_MAIN(TestAnswerPairing)
#include "tst_answerpairing.moc"
