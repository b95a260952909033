#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <exception>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

class Exception;
class TerminationSignals;

// The application object. Its notify() is the one error guard of the program: exceptions thrown by any
// event handler end up in handleException(), which shows them in an error box, and the program goes on.
// SIGTERM, SIGINT, SIGHUP and the end of the desktop session take the exit path at once (exit code 0).
class Application final : public QApplication {
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    ~Application() override;

    // The running Application, or nullptr.
    static Application *instance();

    // Caption of every error box; defaults to the application name. (Not the display name: Qt would
    // append that to every window title on Linux.)
    void setTitle(const QString &title);
    QString title() const;

    // Creates an object owned by the application into a program-wide reference. The reference points at
    // the object's storage before its constructor runs, so code called from the constructor may use it.
    // If the constructor throws, the half-built object is gone, ref is nullptr and the error passes on.
    // The first QWidget created this way becomes the main window. The exit path destroys owned objects
    // newest first; when an owned object is destroyed, ref is reset to nullptr if it still points at it,
    // so ref must live at least as long as the object (a program-wide variable).
    template <class T, class... Args>
    void createForm(T *&ref, Args &&...args);
    QWidget *mainWindow() const;

    // Shows the main window, runs the event loop until quit, then runs the exit path. Returns the loop's
    // exit code. Without a main window, or when a termination request came first, there is no loop.
    int run();
    // Exit path: hide every top-level window, destroy owned objects newest first. Idempotent.
    void destroyOwned();
    // Ends every event loop, nested ones (open boxes) included, with exit code 0 and no question; run()
    // then takes the exit path. What the termination signals and the session's end call.
    void terminate();
    bool isTerminating() const { return m_terminating; }

    // Drops EAbort silently; otherwise shows the error box (caption title(), text errorBoxText(message))
    // from a queued call, so the failing handler has returned first (a timer then keeps ticking while the
    // box is open). For other std::exceptions the message is what().
    void handleException(const std::exception &error);
    // The message with a full stop appended when it is non-empty and its last character's code is above
    // that of '.', so "abc" and "9" get one but "abc!", "a)" and "abc." do not.
    static QString errorBoxText(const QString &message);
    // "Exception <class> in module <module> at <address>.\r\n<message>[.]\r\n"; the address as at least 8
    // upper-case hex digits; the module falls back to the executable's file name.
    static QString startupFailureText(const Exception &e);
    static QString startupFailureText(const QString &className, const QString &module, quintptr address,
                                      const QString &message);
    // The start-up failure box: caption "Application Error", no owner.
    void showStartupFailure(const Exception &e);

    bool notify(QObject *receiver, QEvent *event) override;

private:
    void adopt(QObject *object, std::function<void()> clearRef);
    static void *allocate(std::size_t size, std::size_t alignment);
    static void deallocate(void *storage, std::size_t size, std::size_t alignment) noexcept;

    QString m_title;
    QPointer<QWidget> m_mainWindow;
    std::vector<QPointer<QObject>> m_owned;
    bool m_terminating = false;
    TerminationSignals *m_signals = nullptr;
};

template <class T, class... Args>
void Application::createForm(T *&ref, Args &&...args)
{
    static_assert(std::is_base_of_v<QObject, T>, "createForm creates QObjects");
    // The same allocation a plain new-expression makes, so Qt's object tree may delete it as usual.
    void *storage = allocate(sizeof(T), alignof(T));
    ref = static_cast<T *>(storage);
    T *object = nullptr;
    try {
        object = ::new (storage) T(std::forward<Args>(args)...);
    } catch (...) {
        ref = nullptr;
        deallocate(storage, sizeof(T), alignof(T));
        throw;
    }
    ref = object;
    T **slot = &ref;
    adopt(object, [slot, object] {
        if (*slot == object)
            *slot = nullptr;
    });
}
