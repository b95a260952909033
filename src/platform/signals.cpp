#include "platform/signals.h"

#include <QSocketNotifier>
#include <QtGlobal>

#if defined(Q_OS_UNIX)
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

#if defined(Q_OS_UNIX)
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
std::atomic<int> g_writeFd{-1};
struct sigaction g_previous[std::size(kSignals)];

extern "C" void onTerminationSignal(int signal)
{
    const int savedErrno = errno;
    const int fd = g_writeFd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        // A full pipe already guarantees a wake-up, so a failed write loses nothing.
        const ssize_t written = ::write(fd, &byte, 1);
        (void)written;
    }
    errno = savedErrno;
}

bool prepare(int fd)
{
    const int fdFlags = ::fcntl(fd, F_GETFD);
    const int flFlags = ::fcntl(fd, F_GETFL);
    return fdFlags != -1 && flFlags != -1 && ::fcntl(fd, F_SETFD, fdFlags | FD_CLOEXEC) != -1
        && ::fcntl(fd, F_SETFL, flFlags | O_NONBLOCK) != -1;
}

} // namespace
#endif

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, QObject *parent)
    : QObject(parent), m_onSignal(std::move(onSignal))
{
#if defined(Q_OS_UNIX)
    if (g_writeFd.load() >= 0) {
        qWarning("korvel: termination signals are already being watched");
        return;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        qWarning("korvel: cannot watch termination signals: %s", std::strerror(errno));
        return;
    }
    m_readFd = fds[0];
    m_writeFd = fds[1];
    if (!prepare(m_readFd) || !prepare(m_writeFd)) {
        qWarning("korvel: cannot watch termination signals: %s", std::strerror(errno));
        return; // the destructor closes the pipe
    }
    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignals);
    g_writeFd.store(m_writeFd);

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
#endif
}

TerminationSignals::~TerminationSignals()
{
#if defined(Q_OS_UNIX)
    if (m_notifier != nullptr) {
        for (size_t i = 0; i < std::size(kSignals); ++i)
            ::sigaction(kSignals[i], &g_previous[i], nullptr);
        g_writeFd.store(-1);
    }
    delete m_notifier;
    if (m_readFd >= 0)
        ::close(m_readFd);
    if (m_writeFd >= 0)
        ::close(m_writeFd);
#endif
}

void TerminationSignals::readSignals()
{
#if defined(Q_OS_UNIX)
    unsigned char buffer[16];
    ssize_t count;
    while ((count = ::read(m_readFd, buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR)) {
        for (ssize_t i = 0; i < count; ++i) {
            if (m_onSignal)
                m_onSignal(buffer[i]);
        }
    }
#endif
}
