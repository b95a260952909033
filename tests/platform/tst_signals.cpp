#include "platform/application.h"
#include "platform/messagebox.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <csignal>

namespace {

class MainWindow;
MainWindow *g_main = nullptr;
bool g_shown = false;

class MainWindow final : public QWidget {
protected:
    void showEvent(QShowEvent *) override { g_shown = true; }
};

enum Scenario { Idle, HandlerBox, RealBox };

} // namespace

class TestSignals final : public QObject {
    Q_OBJECT
private slots:
    void signalEndsRun_data();
    void signalEndsRun();
    void signalBeforeRun();
};

void TestSignals::signalEndsRun_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("scenario");
    const std::pair<const char *, int> kinds[] = {{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}};
    for (const auto &[name, number] : kinds) {
        QTest::addRow("%s, idle", name) << number << int(Idle);
        QTest::addRow("%s, box loop open", name) << number << int(HandlerBox);
        QTest::addRow("%s, real box open", name) << number << int(RealBox);
    }
}

void TestSignals::signalEndsRun()
{
#if !defined(Q_OS_UNIX)
    QSKIP("termination signals are watched on Unix only");
#endif
    QFETCH(int, signal);
    QFETCH(int, scenario);
    auto *app = Application::instance();
    app->createForm(g_main);
    QPointer<QWidget> mainWindow = g_main;

    QObject scope; // ends the helpers below with the test
    // Only if the signal is lost: ends the loop with a code the test rejects.
    QTimer::singleShot(30000, &scope, [] { QCoreApplication::exit(3); });

    bool boxReturned = false;
    QTimer poll;
    switch (scenario) {
    case Idle:
        QTimer::singleShot(0, &scope, [signal] { std::raise(signal); });
        break;
    case HandlerBox:
        MessageBox::setHandler([&](const QString &, const QString &) {
            QEventLoop loop; // like the nested loop of a modal box
            QTimer::singleShot(0, &loop, [signal] { std::raise(signal); });
            loop.exec();
        });
        QTimer::singleShot(0, &scope, [&] {
            MessageBox::showError(nullptr, QStringLiteral("C"), QStringLiteral("T"));
            boxReturned = true;
        });
        break;
    case RealBox:
        poll.setInterval(1);
        connect(&poll, &QTimer::timeout, &scope, [&] {
            if (qobject_cast<QMessageBox *>(QApplication::activeModalWidget()) != nullptr) {
                poll.stop();
                std::raise(signal);
            }
        });
        poll.start();
        QTimer::singleShot(0, &scope, [&] {
            MessageBox::showError(g_main, QStringLiteral("C"), QStringLiteral("T"));
            boxReturned = true;
        });
        break;
    }

    const int code = app->run();
    MessageBox::setHandler({});
    QCOMPARE(code, 0);
    QVERIFY(mainWindow.isNull());
    QCOMPARE(g_main, nullptr);
    QCOMPARE(boxReturned, scenario != Idle);
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), qPrintable(window->metaObject()->className()));
}

void TestSignals::signalBeforeRun()
{
#if !defined(Q_OS_UNIX)
    QSKIP("termination signals are watched on Unix only");
#endif
    auto *app = Application::instance();
    app->createForm(g_main);
    g_shown = false;
    std::raise(SIGTERM);
    QTRY_VERIFY(app->isTerminating());
    QCOMPARE(app->run(), 0);
    QVERIFY(!g_shown); // no loop was started
    QCOMPARE(g_main, nullptr);
    QVERIFY(!app->isTerminating());
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestSignals test;
    // QtTest's crash handler would take SIGTERM, SIGINT and SIGHUP for itself.
    QStringList arguments = QCoreApplication::arguments();
    arguments << QStringLiteral("-nocrashhandler");
    return QTest::qExec(&test, arguments);
}

#include "tst_signals.moc"
