#pragma once

#include <QObject>

#include <functional>

class QTimerEvent;

// The Windows-style timer component: an enabled flag and an interval. Like its model it starts out
// enabled with an interval of 1000 ms; a system timer runs whenever it is enabled with an interval
// above 0 (ticks before onTimer is set do nothing).
class Timer final : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject *parent = nullptr);
    ~Timer() override;

    bool isEnabled() const { return m_enabled; }
    // Enabling starts a period of one interval; a tick comes at the end of each period. Disabling stops
    // at once. If the system gives no timer, the flag is set first and then
    // Exception("Not enough timers available") is thrown: the timer stays "enabled" with nothing behind
    // it until setEnabled(false).
    void setEnabled(bool enabled);

    int interval() const { return m_interval; }
    // Milliseconds; negative counts as 0, which means no ticks. A change restarts the period if enabled
    // (and may throw like setEnabled).
    void setInterval(int ms);

    // Called on each tick. Exceptions from it pass on to the application's error guard.
    std::function<void()> onTimer;

    // Makes the next system-timer request fail.
    static void failNextStartForTesting();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void updateTimer();

    bool m_enabled = true;
    int m_interval = 1000;
    int m_timerId = 0;
};
