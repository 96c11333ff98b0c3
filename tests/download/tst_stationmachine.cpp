// The station port's loop, row by row and without a clock: a state ("Waiting device open" for a
// waiting port whose device is there and open; "stopping" after the first stop), an event, the
// actions in their order and the state after.
#include "stationmachine.h"

#include <QStringList>
#include <QtTest>

using namespace Download;
using namespace Download::StationLoop;

namespace {

const QStringList kPhases{"Waiting", "Settling", "Flashing", "Verifying", "Leaving", "Stopped"};

State parseState(const QString &text)
{
    const QStringList words = text.split(QLatin1Char(' '));
    State s;
    s.phase = static_cast<StationPhase>(kPhases.indexOf(words.value(0)));
    s.deviceThere = words.contains(QStringLiteral("device"));
    s.portOpen = words.contains(QStringLiteral("open"));
    s.stopping = words.contains(QStringLiteral("stopping"));
    s.version = QStringLiteral("V1");
    return s;
}

QString stateText(const State &s)
{
    QStringList words{kPhases.value(static_cast<int>(s.phase))};
    if (s.deviceThere) {
        words << QStringLiteral("device");
    }
    if (s.portOpen) {
        words << QStringLiteral("open");
    }
    if (s.stopping) {
        words << QStringLiteral("stopping");
    }
    return words.join(QLatin1Char(' '));
}

EventKind eventOf(const QString &name)
{
    for (int k = 0; k <= static_cast<int>(EventKind::Interrupt); ++k) {
        if (name == QLatin1String(eventName(static_cast<EventKind>(k)))) {
            return static_cast<EventKind>(k);
        }
    }
    qFatal("no event %s", qPrintable(name));
    return EventKind::Start;
}

} // namespace

class TestStationMachine : public QObject
{
    Q_OBJECT

private slots:
    void step_data();
    void step();
    void aPackFromPlugToPull();
};

void TestStationMachine::step_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("event"); // "OpenFailed+" sets Event::flag
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QString>("after");
    // The port stops; the port waits for its device again.
    const char *const stop = "StopWatching StopQueries StopLeaveTimers StopSettle ClosePort Changed Stopped";
    const char *const gone = "StopLeaveTimers StopSettle ClosePort StopQueries WatchDevice Changed";
    const auto row = [](const char *before, const char *event, const char *actions, const char *after) {
        QTest::newRow(qPrintable(QStringLiteral("%1 / %2").arg(QLatin1String(before), QLatin1String(event))))
            << before << event << actions << after;
    };
    // Waiting for the device, then for a pack.
    row("Waiting", "Start", gone, "Waiting");
    row("Waiting", "DeviceSeen", "StopWatching StartQueries TryOpen", "Waiting device");
    row("Waiting device", "DeviceSeen", "", "Waiting device");
    row("Waiting device", "Opened", "QueryVersion", "Waiting device open");
    row("Waiting device", "OpenFailed+", "", "Waiting device");
    row("Waiting device", "OpenFailed", gone, "Waiting");
    row("Waiting device", "QueryTick", "TryOpen", "Waiting device");
    row("Waiting device open", "QueryTick", "QueryVersion", "Waiting device open");
    row("Waiting", "QueryTick", "", "Waiting");
    // A pack answers: its firmware is chosen.
    row("Waiting device open", "VersionReported", "StopQueries ForgetResult ChooseFirmware",
        "Waiting device open");
    row("Waiting device open", "FirmwareReady", "StartDownload Changed", "Flashing device open");
    row("Waiting device open", "FirmwareSettling", "SettlingNotice StartSettle Changed",
        "Settling device open");
    row("Settling device open", "FirmwareSettling", "StartSettle Changed", "Settling device open");
    row("Settling device open", "SettleTimeout", "ChooseFirmware", "Settling device open");
    row("Settling device open", "FirmwareReady", "StartDownload Changed", "Flashing device open");
    row("Waiting device open", "FirmwareRefused", "ReportNotFlashed StartGoneTimer QueryVersion Changed",
        "Leaving device open");
    row("Leaving device open", "SettleTimeout", "", "Leaving device open");
    // The download and the check after it.
    row("Flashing device open", "VersionReported", "", "Flashing device open");
    row("Flashing device open", "Verifying", "Changed", "Verifying device open");
    row("Flashing device open", "PortLost", "", "Flashing device");
    row("Verifying device", "PortLost", "", "Verifying device");
    row("Flashing device open", "DownloadEnded+", "StartGoneTimer QueryVersion Changed",
        "Leaving device open");
    row("Verifying device open", "DownloadEnded+", "StartGoneTimer QueryVersion Changed",
        "Leaving device open");
    row("Flashing device", "DownloadEnded", gone, "Waiting");
    row("Leaving device open", "DownloadEnded+", "", "Leaving device open");
    // The pack leaves: no answer for a while, or the device gone.
    row("Leaving device open", "VersionReported", "StartGoneTimer StartStillThere", "Leaving device open");
    row("Leaving device open", "StillThereTick", "QueryVersion", "Leaving device open");
    row("Waiting device open", "StillThereTick", "", "Waiting device open");
    row("Leaving device open", "GoneTimeout", "StopLeaveTimers StopSettle StartQueries QueryVersion Changed",
        "Waiting device open");
    row("Waiting device open", "GoneTimeout", "", "Waiting device open");
    row("Leaving device open", "PortLost", gone, "Waiting");
    row("Settling device open", "PortLost", gone, "Waiting");
    // The first stop takes no new pack; a running download goes on, the second stop interrupts it.
    row("Waiting device open", "StopTakingPacks", stop, "Stopped device stopping");
    row("Leaving device open", "StopTakingPacks", stop, "Stopped device stopping");
    row("Flashing device open", "StopTakingPacks", "", "Flashing device open stopping");
    row("Verifying device open", "StopTakingPacks", "", "Verifying device open stopping");
    row("Flashing device open stopping", "DownloadEnded+", stop, "Stopped device stopping");
    row("Flashing device open stopping", "Interrupt", "Interrupt", "Flashing device open stopping");
    row("Verifying device open", "Interrupt", "Interrupt", "Verifying device open stopping");
    row("Settling device open", "Interrupt", stop, "Stopped device stopping");
    row("Stopped stopping", "Interrupt", "", "Stopped stopping");
    row("Stopped stopping", "PortLost", "", "Stopped stopping");
    // A pack that answers after the first stop is not taken.
    row("Waiting device open stopping", "VersionReported", stop, "Stopped device stopping");
    row("Leaving device open stopping", "GoneTimeout", stop, "Stopped device stopping");
}

void TestStationMachine::step()
{
    QFETCH(QString, before);
    QFETCH(QString, event);
    QFETCH(QString, actions);
    QFETCH(QString, after);
    State s = parseState(before);
    const bool flag = event.endsWith(QLatin1Char('+'));
    const Event e{eventOf(flag ? event.chopped(1) : event), QStringLiteral("V2"), flag, 40};
    QStringList done;
    for (const Action &a : StationLoop::step(s, e)) {
        done << QLatin1String(actionName(a.kind));
        if (a.kind == ActionKind::StartSettle) {
            QCOMPARE(a.ms, 40);
        }
        if (a.kind == ActionKind::ReportNotFlashed) {
            QCOMPARE(a.text, QStringLiteral("V2")); // why, as the choice said
        }
    }
    QCOMPARE(done.join(QLatin1Char(' ')), actions);
    QCOMPARE(stateText(s), after);
}

// The version a pack reported is the one its firmware is chosen for, and stays on the port after
// the pack has left; a new pack's version replaces it.
void TestStationMachine::aPackFromPlugToPull()
{
    State s;
    StationLoop::step(s, Event{EventKind::Start});
    StationLoop::step(s, Event{EventKind::DeviceSeen});
    StationLoop::step(s, Event{EventKind::Opened});
    StationLoop::step(s, Event{EventKind::VersionReported, QStringLiteral("BMS_V2.1")});
    QCOMPARE(s.version, QStringLiteral("BMS_V2.1"));
    StationLoop::step(s, Event{EventKind::FirmwareReady});
    StationLoop::step(s, Event{EventKind::DownloadEnded, QString(), true});
    StationLoop::step(s, Event{EventKind::GoneTimeout});
    QCOMPARE(s.phase, StationPhase::Waiting);
    QCOMPARE(s.version, QStringLiteral("BMS_V2.1"));
    StationLoop::step(s, Event{EventKind::VersionReported, QStringLiteral("BMS_V3.0")});
    QCOMPARE(s.version, QStringLiteral("BMS_V3.0"));
}

QTEST_GUILESS_MAIN(TestStationMachine)
#include "tst_stationmachine.moc"
