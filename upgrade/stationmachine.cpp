#include "stationmachine.h"

namespace Download {

namespace StationLoop {

namespace {

bool downloading(const State &s)
{
    return s.phase == StationPhase::Flashing || s.phase == StationPhase::Verifying;
}

void add(Actions &out, ActionKind kind, const QString &text = QString(), int ms = 0)
{
    out.push_back(Action{kind, text, ms});
}

void closePort(State &s, Actions &out)
{
    s.portOpen = false;
    add(out, ActionKind::ClosePort);
}

void stopNow(State &s, Actions &out)
{
    if (s.phase == StationPhase::Stopped) {
        return;
    }
    add(out, ActionKind::StopWatching);
    add(out, ActionKind::StopQueries);
    add(out, ActionKind::StopLeaveTimers);
    add(out, ActionKind::StopSettle);
    closePort(s, out);
    s.phase = StationPhase::Stopped;
    add(out, ActionKind::Changed);
    add(out, ActionKind::Stopped);
}

// Waiting for the next pack: with the device gone, for its file; with it there, for an answer.
void toWaiting(State &s, Actions &out, bool deviceGone)
{
    if (s.stopping) {
        stopNow(s, out);
        return;
    }
    add(out, ActionKind::StopLeaveTimers);
    add(out, ActionKind::StopSettle);
    s.phase = StationPhase::Waiting;
    if (deviceGone) {
        s.deviceThere = false;
        closePort(s, out);
        add(out, ActionKind::StopQueries);
        add(out, ActionKind::WatchDevice);
    } else {
        add(out, ActionKind::StartQueries);
        add(out, ActionKind::QueryVersion);
    }
    add(out, ActionKind::Changed);
}

// The result is out: it stays until the pack has left.
void toLeaving(State &s, Actions &out)
{
    s.phase = StationPhase::Leaving;
    add(out, ActionKind::StartGoneTimer);
    add(out, ActionKind::QueryVersion);
    add(out, ActionKind::Changed);
}

void onVersion(State &s, Actions &out, const QString &version)
{
    switch (s.phase) {
    case StationPhase::Waiting:
        if (s.stopping) {
            stopNow(s, out);
            return;
        }
        add(out, ActionKind::StopQueries);
        s.version = version;
        add(out, ActionKind::ForgetResult);
        add(out, ActionKind::ChooseFirmware);
        return;
    case StationPhase::Leaving: // still there: ask again in a moment
        add(out, ActionKind::StartGoneTimer);
        add(out, ActionKind::StartStillThere);
        return;
    default:
        return;
    }
}

} // namespace

Actions step(State &s, const Event &e)
{
    Actions out;
    const bool choosing = s.phase == StationPhase::Waiting || s.phase == StationPhase::Settling;
    switch (e.kind) {
    case EventKind::Start:
        toWaiting(s, out, true);
        break;
    case EventKind::DeviceSeen:
        if (s.phase == StationPhase::Waiting && !s.deviceThere) {
            s.deviceThere = true;
            add(out, ActionKind::StopWatching);
            add(out, ActionKind::StartQueries);
            add(out, ActionKind::TryOpen);
        }
        break;
    case EventKind::Opened:
        s.portOpen = true;
        if (s.phase == StationPhase::Waiting) {
            add(out, ActionKind::QueryVersion);
        }
        break;
    case EventKind::OpenFailed:
        if (!e.flag && s.phase == StationPhase::Waiting) {
            toWaiting(s, out, true); // the device went meanwhile: watch for it again
        }
        break;
    case EventKind::QueryTick:
        if (s.phase == StationPhase::Waiting && s.deviceThere) {
            add(out, s.portOpen ? ActionKind::QueryVersion : ActionKind::TryOpen);
        }
        break;
    case EventKind::VersionReported:
        onVersion(s, out, e.text);
        break;
    case EventKind::StillThereTick:
        if (s.phase == StationPhase::Leaving) {
            add(out, ActionKind::QueryVersion);
        }
        break;
    case EventKind::GoneTimeout:
        if (s.phase == StationPhase::Leaving) {
            toWaiting(s, out, false);
        }
        break;
    case EventKind::FirmwareReady:
        if (choosing) {
            s.phase = StationPhase::Flashing;
            add(out, ActionKind::StartDownload);
            add(out, ActionKind::Changed);
        }
        break;
    case EventKind::FirmwareSettling:
        if (choosing) {
            if (s.phase != StationPhase::Settling) {
                add(out, ActionKind::SettlingNotice);
            }
            s.phase = StationPhase::Settling;
            add(out, ActionKind::StartSettle, QString(), e.ms);
            add(out, ActionKind::Changed);
        }
        break;
    case EventKind::FirmwareRefused:
        if (choosing) {
            add(out, ActionKind::ReportNotFlashed, e.text);
            toLeaving(s, out);
        }
        break;
    case EventKind::SettleTimeout:
        if (s.phase == StationPhase::Settling) {
            add(out, ActionKind::ChooseFirmware);
        }
        break;
    case EventKind::Verifying:
        if (s.phase == StationPhase::Flashing) {
            s.phase = StationPhase::Verifying;
            add(out, ActionKind::Changed);
        }
        break;
    case EventKind::DownloadEnded:
        if (!downloading(s)) {
            break;
        }
        s.portOpen = e.flag;
        if (s.stopping) {
            stopNow(s, out);
        } else if (!e.flag) {
            toWaiting(s, out, true);
        } else {
            toLeaving(s, out);
        }
        break;
    case EventKind::PortLost:
        if (downloading(s)) {
            s.portOpen = false; // the download ends, or its check opens the port again
            break;
        }
        if (s.phase != StationPhase::Stopped) {
            toWaiting(s, out, true);
        }
        break;
    case EventKind::StopTakingPacks:
        s.stopping = true;
        if (!downloading(s)) {
            stopNow(s, out);
        }
        break;
    case EventKind::Interrupt:
        s.stopping = true;
        if (downloading(s)) {
            add(out, ActionKind::Interrupt);
        } else {
            stopNow(s, out);
        }
        break;
    }
    return out;
}

const char *eventName(EventKind kind)
{
    static const char *const names[] = {
        "Start",           "DeviceSeen",     "Opened",      "OpenFailed",    "QueryTick",
        "VersionReported", "StillThereTick", "GoneTimeout", "FirmwareReady", "FirmwareSettling",
        "FirmwareRefused", "SettleTimeout",  "Verifying",   "DownloadEnded", "PortLost",
        "StopTakingPacks", "Interrupt",
    };
    return names[static_cast<int>(kind)];
}

const char *actionName(ActionKind kind)
{
    static const char *const names[] = {
        "WatchDevice",    "StopWatching",     "TryOpen",        "ClosePort",       "QueryVersion",
        "StartQueries",   "StopQueries",      "StartGoneTimer", "StartStillThere", "StopLeaveTimers",
        "ChooseFirmware", "SettlingNotice",   "StartSettle",    "StopSettle",      "StartDownload",
        "Interrupt",      "ReportNotFlashed", "ForgetResult",   "Changed",         "Stopped",
    };
    return names[static_cast<int>(kind)];
}

} // namespace StationLoop

} // namespace Download
