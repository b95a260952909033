#include "platform/application.h"

#include "platform/exception.h"
#include "platform/messagebox.h"
#include "platform/signals.h"

#include <QFileInfo>
#include <QSessionManager>

#include <stdexcept>

#if defined(__GLIBCXX__)
#include <cxxabi.h>
#endif

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    m_signals = new TerminationSignals([this](int) { terminate(); }, this);
#ifndef QT_NO_SESSIONMANAGER
    // Granted by not cancelling; then leave like on a termination signal.
    connect(this, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) { terminate(); });
#endif
}

Application::~Application()
{
    destroyOwned();
}

Application *Application::instance()
{
    return qobject_cast<Application *>(QCoreApplication::instance());
}

void Application::setTitle(const QString &title)
{
    m_title = title;
}

QString Application::title() const
{
    return m_title.isEmpty() ? applicationName() : m_title;
}

QWidget *Application::mainWindow() const
{
    return m_mainWindow;
}

void *Application::allocate(std::size_t size, std::size_t alignment)
{
    if (alignment > __STDCPP_DEFAULT_NEW_ALIGNMENT__)
        return ::operator new(size, std::align_val_t(alignment));
    return ::operator new(size);
}

void Application::deallocate(void *storage, std::size_t size, std::size_t alignment) noexcept
{
    if (alignment > __STDCPP_DEFAULT_NEW_ALIGNMENT__)
        ::operator delete(storage, size, std::align_val_t(alignment));
    else
        ::operator delete(storage, size);
}

void Application::adopt(QObject *object, std::function<void()> clearRef)
{
    m_owned.emplace_back(object);
    connect(object, &QObject::destroyed, this, [clearRef = std::move(clearRef)] { clearRef(); });
    if (!m_mainWindow && object->isWidgetType())
        m_mainWindow = static_cast<QWidget *>(object);
}

int Application::run()
{
    int code = 0;
    if (m_mainWindow && !m_terminating) {
        m_mainWindow->show();
        code = exec();
    }
    destroyOwned();
    m_terminating = false; // taken
    return code;
}

void Application::destroyOwned()
{
    // Guarded copies: hiding one window may run code that deletes another.
    std::vector<QPointer<QWidget>> windows;
    for (QWidget *window : topLevelWidgets())
        windows.emplace_back(window);
    for (const QPointer<QWidget> &window : windows) {
        if (window && window->isVisible())
            window->hide();
    }
    while (!m_owned.empty()) {
        QPointer<QObject> object = m_owned.back();
        m_owned.pop_back();
        delete object.data();
    }
    m_mainWindow = nullptr;
}

void Application::terminate()
{
    m_terminating = true;
    // exit(), unlike quit(), ends every running event loop and cannot be refused by a window.
    QCoreApplication::exit(0);
}

QString Application::errorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

QString Application::startupFailureText(const Exception &e)
{
    QString module = e.moduleName();
    if (module.isEmpty() && QCoreApplication::instance() != nullptr)
        module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (module.isEmpty())
        module = QStringLiteral("korvel");
    return startupFailureText(QString::fromLatin1(e.className()), module, e.address(), e.message());
}

QString Application::startupFailureText(const QString &className, const QString &module, quintptr address,
                                        const QString &message)
{
    QString text = QStringLiteral("Exception %1 in module %2 at %3.\r\n%4")
                       .arg(className, module, QString::number(address, 16).toUpper().rightJustified(8, u'0'),
                            message);
    if (!message.isEmpty() && !message.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text + QLatin1String("\r\n");
}

void Application::showStartupFailure(const Exception &e)
{
    MessageBox::showError(nullptr, QStringLiteral("Application Error"), startupFailureText(e));
}

void Application::handleException(const std::exception &error)
{
    if (dynamic_cast<const EAbort *>(&error) != nullptr)
        return;
    const auto *own = dynamic_cast<const Exception *>(&error);
    const QString message = own != nullptr ? own->message() : QString::fromUtf8(error.what());
    const QString caption = title();
    const QString text = errorBoxText(message);
    // Queued: the failing handler returns first. Qt holds back a timer's next tick while that timer's
    // event is on the stack, so a box opened from inside the tick would stop the timer.
    QMetaObject::invokeMethod(
        this,
        [this, caption, text] {
            if (m_terminating)
                MessageBox::echo(caption, text);
            else
                MessageBox::showError(activeWindow(), caption, text);
        },
        Qt::QueuedConnection);
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
#if defined(__GLIBCXX__)
    } catch (const abi::__forced_unwind &) {
        throw; // thread cancellation must go on unwinding
#endif
    } catch (const std::exception &error) {
        handleException(error);
    } catch (...) {
        handleException(std::runtime_error("Unknown error"));
    }
    // The event reached its handler, which failed; don't let the caller offer it to anyone else.
    return true;
}
