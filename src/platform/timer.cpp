#include "platform/timer.h"

#include "platform/exception.h"

#include <QTimerEvent>

namespace {
bool g_failNextStart = false;
}

Timer::Timer(QObject *parent) : QObject(parent)
{
    updateTimer();
}

Timer::~Timer() = default; // QObject kills its timers

void Timer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    updateTimer();
}

void Timer::setInterval(int ms)
{
    ms = qMax(ms, 0);
    if (ms == m_interval)
        return;
    m_interval = ms;
    updateTimer();
}

void Timer::failNextStartForTesting()
{
    g_failNextStart = true;
}

void Timer::updateTimer()
{
    if (m_timerId != 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
    if (!m_enabled || m_interval <= 0)
        return;
    // Coarse: the kernel may coalesce our wake-ups with others (at most 5 % late), which saves power
    // on the very laptop whose battery we are measuring.
    if (g_failNextStart)
        g_failNextStart = false;
    else
        m_timerId = startTimer(m_interval, Qt::CoarseTimer);
    if (m_timerId == 0)
        throw Exception(QStringLiteral("Not enough timers available"));
}

void Timer::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerId) {
        QObject::timerEvent(event);
        return;
    }
    // A copy: the handler may replace onTimer or delete this timer.
    const std::function<void()> handler = onTimer;
    if (handler)
        handler();
}
