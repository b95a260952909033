#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a call on the GUI thread: the signal handler only writes the
// signal number into a pipe, a socket notifier reads it in the event loop and calls onSignal.
// One instance at a time; the previous handlers come back when it is destroyed. No-op off Unix.
class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void(int signal)> onSignal, QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the pipe or the handlers could not be set up (a warning says so); the signals then
    // keep their default action.
    bool isActive() const { return m_notifier != nullptr; }

private:
    void readSignals();

    std::function<void(int)> m_onSignal;
    int m_readFd = -1;
    int m_writeFd = -1;
    QSocketNotifier *m_notifier = nullptr;
};
