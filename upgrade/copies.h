// The copies of commands on the line (State::copies, State::infoCopies): the download machine's
// bookkeeping, apart so the machine's file holds its steps. Plain functions over the state.
#pragma once

#include "downloadmachine.h"

namespace Download {

bool isUpgradeCommand(E_FUNC func);
// A copy of func goes out now: outstanding until an answer is paired with it.
void wentOut(State &s, E_FUNC func, int ordinal, qint64 nowMs);
// How long a copy may go unanswered: 1.5 times the answer time last observed, at least one tick.
qint64 expiryFor(const State &s);
// Forgets the copies that have gone unanswered for longer than s.expiryMs.
void dropExpired(State &s, qint64 nowMs);
// Forgets the copies of earlier downloads that have gone unanswered for longer than expiryFor(s):
// they never will be answered.
void dropEarlierDownloads(State &s, qint64 nowMs);
// Is c a copy of the command in force?
bool inForce(const State &s, const Copy &c);
// A command the driver wrote itself.
void commandWritten(State &s, E_FUNC func, qint64 nowMs);
// The oldest version query or test command out, taken off the line; eFuncNone when none is.
E_FUNC takeInfoCopy(State &s);
// A new version query: the copies of an earlier one are worth no more than its own.
void forgetVersionCopies(State &s);

} // namespace Download
