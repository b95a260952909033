#include "platform/messagebox.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include <cstdio>
#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace {

// What a real box looked like when it was open.
struct SeenBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    int buttons = 0;
    bool okButton = false;
    bool modal = false;
};

// Polls for the open box (it runs in its own loop), records it and lets `act` close it.
class BoxWatcher final : public QObject {
public:
    explicit BoxWatcher(std::function<void(QMessageBox *)> act) : m_act(std::move(act))
    {
        m_poll.setInterval(1);
        connect(&m_poll, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible() || seen)
                return;
            seen = true;
            box_.icon = box->icon();
            box_.title = box->windowTitle();
            box_.text = box->text();
            box_.format = box->textFormat();
            box_.buttons = int(box->buttons().size());
            box_.okButton = box->button(QMessageBox::Ok) != nullptr;
            box_.modal = box->isModal();
            m_act(box);
        });
        m_poll.start();
    }
    bool seen = false;
    SeenBox box_;

private:
    QTimer m_poll;
    std::function<void(QMessageBox *)> m_act;
};

} // namespace

class TestMessageBox final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void echoLine_data();
    void echoLine();
    void handlerAnswersAndStderrGetsOneLine();
    void realBoxIsStopIconWithOk();
    void ownerDeletedWhileBoxOpen();
};

void TestMessageBox::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("korvel"));
}

void TestMessageBox::cleanup()
{
    MessageBox::setHandler({});
}

void TestMessageBox::echoLine_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::newRow("plain") << "Varnholt Pellomir" << "Tdata: Field 'tperc' not found."
                           << "korvel: Varnholt Pellomir: Tdata: Field 'tperc' not found.";
    QTest::newRow("start-up failure breaks") << "Application Error" << "Exception E in module m at 0000002A.\r\nBad.\r\n"
                                             << "korvel: Application Error: Exception E in module m at 0000002A. Bad.";
    QTest::newRow("break runs") << "C" << "a\n\nb\rc" << "korvel: C: a b c";
    QTest::newRow("line break in caption") << "x\ny" << "t" << "korvel: x y: t";
    QTest::newRow("tab and control") << "C" << QStringLiteral("a\tb\x01") << "korvel: C: a b\\x01";
    QTest::newRow("no caption") << "" << "t" << "korvel: t";
    QTest::newRow("non-ASCII") << "C" << "Akku 50 % – voll" << "korvel: C: Akku 50 % – voll";
}

void TestMessageBox::echoLine()
{
    QFETCH(QString, caption);
    QFETCH(QString, text);
    QFETCH(QString, line);
    QCOMPARE(MessageBox::echoLine(caption, text), line);
}

void TestMessageBox::handlerAnswersAndStderrGetsOneLine()
{
    QStringList calls;
    MessageBox::setHandler([&](const QString &caption, const QString &text) { calls << caption << text; });
#if defined(Q_OS_UNIX)
    QTemporaryFile capture;
    QVERIFY(capture.open());
    std::fflush(stderr);
    const int savedStderr = ::dup(STDERR_FILENO);
    QVERIFY(savedStderr >= 0);
    ::dup2(capture.handle(), STDERR_FILENO);
#endif
    MessageBox::showError(nullptr, QStringLiteral("Varnholt Pellomir"), QStringLiteral("first\r\nsecond."));
#if defined(Q_OS_UNIX)
    std::fflush(stderr);
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
    capture.seek(0);
    QCOMPARE(capture.readAll(), QByteArray("korvel: Varnholt Pellomir: first second.\n"));
#endif
    // The handler gets the text unchanged.
    QCOMPARE(calls, (QStringList{QStringLiteral("Varnholt Pellomir"), QStringLiteral("first\r\nsecond.")}));
}

void TestMessageBox::realBoxIsStopIconWithOk()
{
    BoxWatcher watcher([](QMessageBox *box) { box->button(QMessageBox::Ok)->click(); });
    // Markup in a message is user data and must show as written.
    MessageBox::showError(nullptr, QStringLiteral("Caption"), QStringLiteral("Field '<b>x</b>' not found.\r\nNext."));
    QVERIFY(watcher.seen);
    QCOMPARE(watcher.box_.icon, QMessageBox::Critical);
    QCOMPARE(watcher.box_.title, QStringLiteral("Caption"));
    QCOMPARE(watcher.box_.text, QStringLiteral("Field '<b>x</b>' not found.\nNext."));
    QCOMPARE(watcher.box_.format, Qt::PlainText);
    QCOMPARE(watcher.box_.buttons, 1);
    QVERIFY(watcher.box_.okButton);
    QVERIFY(watcher.box_.modal);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TestMessageBox::ownerDeletedWhileBoxOpen()
{
    auto *owner = new QWidget;
    owner->show();
    QPointer<QWidget> guard = owner;
    BoxWatcher watcher([owner](QMessageBox *) { delete owner; }); // takes its child box with it
    MessageBox::showError(owner, QStringLiteral("Caption"), QStringLiteral("Text"));
    QVERIFY(watcher.seen);
    QVERIFY(guard.isNull());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
