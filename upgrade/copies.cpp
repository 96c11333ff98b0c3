// The bookkeeping of the copies on the line: which are out, which have expired, which one an
// answer is paired with. The rules themselves are told at the top of downloadmachine.h.
#include "copies.h"

#include <algorithm>

namespace Download {

bool isUpgradeCommand(E_FUNC func)
{
    return func == eFuncUpgradaInit || func == eFuncUpgrada || func == eFuncUpgradaEnd;
}

void wentOut(State &s, E_FUNC func, int ordinal, qint64 nowMs)
{
    Copy c;
    c.func = func;
    c.packet = s.packet;
    c.ordinal = ordinal;
    c.download = s.download;
    c.sentMs = nowMs;
    s.copies.push_back(c);
    s.pending = func;
}

qint64 expiryFor(const State &s)
{
    return qMax<qint64>(s.tickMs, s.answerMs < 0 ? 0 : s.answerMs * 3 / 2);
}

void dropExpired(State &s, qint64 nowMs)
{
    while (!s.copies.empty() && s.copies.front().sentMs + s.expiryMs <= nowMs) {
        s.copies.pop_front(); // sent in order, so the oldest expire first
    }
}

bool inForce(const State &s, const Copy &c)
{
    if (c.download != s.download) {
        return false;
    }
    switch (c.func) {
    case eFuncUpgradaInit:
        return s.phase == Phase::Handshake || s.phase == Phase::InitExhausted;
    case eFuncUpgrada:
        return (s.phase == Phase::Transfer || s.phase == Phase::Stalled) && c.packet == s.packet;
    case eFuncUpgradaEnd:
        return s.phase == Phase::Finishing || s.phase == Phase::Done;
    default:
        return false;
    }
}

void commandWritten(State &s, E_FUNC func, qint64 nowMs)
{
    if (isUpgradeCommand(func)) {
        int ordinal = 1;
        for (const Copy &c : s.copies) {
            ordinal += c.download == s.download && c.func == func && c.packet == s.packet ? 1 : 0;
        }
        wentOut(s, func, ordinal, nowMs);
        return;
    }
    if (func != eFuncNone) {
        s.infoCopies.push_back(func);
    }
    s.pending = func;
}

void dropEarlierDownloads(State &s, qint64 nowMs)
{
    const qint64 window = expiryFor(s);
    while (!s.copies.empty() && s.copies.front().download != s.download &&
           s.copies.front().sentMs + window <= nowMs) {
        s.copies.pop_front();
    }
}

E_FUNC takeInfoCopy(State &s)
{
    if (s.infoCopies.empty()) {
        return eFuncNone;
    }
    const E_FUNC func = s.infoCopies.front();
    s.infoCopies.pop_front();
    return func;
}

void forgetVersionCopies(State &s)
{
    s.infoCopies.erase(std::remove(s.infoCopies.begin(), s.infoCopies.end(), eFuncVersion),
                       s.infoCopies.end());
}

} // namespace Download
