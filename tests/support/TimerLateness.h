#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

// While it lives, the worst lateness of a 5 ms timer on the calling
// thread's event loop: how long other work kept that thread from its turn.
class TimerLateness {
public:
    TimerLateness()
    {
        m_clock.start();
        m_tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            m_worst = std::max(m_worst, m_clock.elapsed() - m_last - 5);
            m_last = m_clock.elapsed();
        });
        m_tick.start(5);
    }
    qint64 worstMs() const { return m_worst; }

private:
    QElapsedTimer m_clock;
    QTimer m_tick;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};
