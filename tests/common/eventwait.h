// Runs the event loop until a condition holds: the one wait of the tests, the guided tour, the
// download benchmarks and the Windows checks. Qt Core only, header-only, so each of them takes it
// without linking the test helpers.
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace EventWait {

// Runs the event loop until done() holds or timeoutMs pass; returns done(). done() is looked at
// every 5 ms from a timer of the loop itself, so the loop sleeps only in its poll: timers, ports and
// sockets run at full speed (QTest::qWaitFor sleeps between its looks). A done() that never holds
// makes a wait of timeoutMs that keeps the events going.
inline bool until(const std::function<bool()> &done, int timeoutMs)
{
    if (done()) {
        return true;
    }
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= timeoutMs) {
            loop.quit();
        }
    });
    look.start(5);
    loop.exec();
    return done();
}

} // namespace EventWait
