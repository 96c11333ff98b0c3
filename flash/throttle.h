// An action that may be asked for often but runs at most once per interval: the first request
// runs it at once, later ones within the interval are gathered into one run at its end. The
// station rewrites its report through one, so a line of many packs does not rewrite it per pack.
#pragma once

#include <QTimer>

#include <functional>

namespace Flash {

class Throttle
{
public:
    Throttle(int intervalMs, std::function<void()> action) : m_action(std::move(action))
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(intervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_pending) {
                run();
            }
        });
    }

    void request()
    {
        if (m_timer.isActive()) {
            m_pending = true;
        } else {
            run();
        }
    }

    // No more runs: a gathered request is dropped (the caller does the last run itself).
    void stop()
    {
        m_timer.stop();
        m_pending = false;
    }

    int runs() const { return m_runs; }

private:
    void run()
    {
        m_pending = false;
        ++m_runs;
        m_timer.start();
        m_action();
    }

    std::function<void()> m_action;
    QTimer m_timer;
    bool m_pending = false;
    int m_runs = 0;
};

} // namespace Flash
