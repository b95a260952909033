#include "platform/application.h"
#include "platform/exception.h"
#include "platform/messagebox.h"
#include "platform/timer.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace {

// Answers every box in advance and remembers it.
struct BoxRecorder {
    struct Box {
        QString caption;
        QString text;
    };
    std::vector<Box> boxes;
    std::function<void()> onBox; // runs while the box is "open"

    BoxRecorder()
    {
        MessageBox::setHandler([this](const QString &caption, const QString &text) {
            boxes.push_back({caption, text});
            if (onBox)
                onBox();
        });
    }
    ~BoxRecorder() { MessageBox::setHandler({}); }
};

// Forms for createForm: they note what they saw while being built and when they went away.
std::vector<QString> g_destroyed;
class Form;
class DataModule;
Form *g_form1 = nullptr;
Form *g_form2 = nullptr;
DataModule *g_module = nullptr;
QPointer<QObject> g_childOfFailed;

class DataModule final : public QObject {
public:
    DataModule() : sawItself(g_module == this) {}
    ~DataModule() override { g_destroyed.push_back(QStringLiteral("module")); }
    bool sawItself;
};

class Form final : public QWidget {
public:
    Form(Form *const *ref, const QString &name, bool fail) : sawItself(*ref == this), m_name(name)
    {
        if (fail) {
            g_childOfFailed = new QObject(this);
            throw EDatabaseError(QStringLiteral("Cannot build ") + name);
        }
    }
    ~Form() override
    {
        // Newer objects are already gone and their references cleared.
        const bool staleNewer = m_name == QLatin1String("form1") && g_form2 != nullptr;
        g_destroyed.push_back(m_name + (staleNewer ? QStringLiteral(" (form2 still set)") : QString()));
    }
    bool sawItself;

private:
    QString m_name;
};

// Throws what its row asks for when it gets a custom event.
class Thrower final : public QObject {
public:
    enum Kind { Own, Std, Unknown, Abort };
    explicit Thrower(Kind kind) : m_kind(kind) {}

protected:
    void customEvent(QEvent *) override
    {
        switch (m_kind) {
        case Own:
            throw EProviderError(QStringLiteral("Tdata: Field 'tperc' not found"));
        case Std:
            throw std::runtime_error("bad thing");
        case Unknown:
            throw 42;
        case Abort:
            throw EAbort(QStringLiteral("quiet"));
        }
    }

private:
    Kind m_kind;
};

} // namespace

class TestApplication final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void errorBoxText_data();
    void errorBoxText();
    void startupFailureText_data();
    void startupFailureText();
    void startupFailureFromException_data();
    void startupFailureFromException();
    void createFormThrowing();
    void createFormOwnsNewestFirst();
    void guardShowsQueuedBox_data();
    void guardShowsQueuedBox();
    void guardKeepsWidgetUsable();
    void timerErrorsStackBoxes();
    void timerErrorsStackRealBoxes();
};

void TestApplication::initTestCase()
{
    Application::instance()->setTitle(QStringLiteral("Varnholt Pellomir"));
}

void TestApplication::errorBoxText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "" << "";
    QTest::newRow("letter") << "abc" << "abc.";
    QTest::newRow("full stop") << "abc." << "abc.";
    QTest::newRow("exclamation") << "abc!" << "abc!";
    QTest::newRow("parenthesis") << "a)" << "a)";
    QTest::newRow("comma") << "a," << "a,";
    QTest::newRow("hyphen") << "a-" << "a-";
    QTest::newRow("space") << "a " << "a ";
    QTest::newRow("slash") << "a/" << "a/.";
    QTest::newRow("digit") << "9" << "9.";
    QTest::newRow("non-ASCII") << "é" << "é.";
}

void TestApplication::errorBoxText()
{
    QFETCH(QString, message);
    QFETCH(QString, text);
    QCOMPARE(Application::errorBoxText(message), text);
}

void TestApplication::startupFailureText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<qulonglong>("address");
    QTest::addColumn<QString>("text");
    QTest::newRow("letter") << "abc" << 0x1a2bULL << "Exception EComp in module korvel at 00001A2B.\r\nabc.\r\n";
    QTest::newRow("full stop") << "abc." << 0ULL << "Exception EComp in module korvel at 00000000.\r\nabc.\r\n";
    QTest::newRow("exclamation") << "abc!" << 0xdeadbeefULL << "Exception EComp in module korvel at DEADBEEF.\r\nabc!.\r\n";
    QTest::newRow("empty") << "" << 0x10ULL << "Exception EComp in module korvel at 00000010.\r\n\r\n";
    QTest::newRow("wide address") << "x %1" << 0x123456789ULL << "Exception EComp in module korvel at 123456789.\r\nx %1.\r\n";
}

void TestApplication::startupFailureText()
{
    QFETCH(QString, message);
    QFETCH(qulonglong, address);
    QFETCH(QString, text);
    QCOMPARE(Application::startupFailureText(QStringLiteral("EComp"), QStringLiteral("korvel"), quintptr(address),
                                             message),
             text);
}

void TestApplication::startupFailureFromException_data()
{
    QTest::addColumn<bool>("component");
    QTest::addColumn<QString>("className");
    QTest::newRow("database") << false << "EDatabaseError";
    QTest::newRow("component") << true << "Exception";
}

void TestApplication::startupFailureFromException()
{
    QFETCH(bool, component);
    QFETCH(QString, className);
    BoxRecorder recorder;
    try {
        if (component)
            throw EComponentError(QStringLiteral("Cannot load the database library"));
        throw EDatabaseError(QStringLiteral("Tdata: Cannot open"));
    } catch (const Exception &e) {
        Application::instance()->showStartupFailure(e);
    }
    QCOMPARE(recorder.boxes.size(), size_t(1));
    QCOMPARE(recorder.boxes[0].caption, QStringLiteral("Application Error"));
    // The raising code is in this executable.
    const QString exe = QRegularExpression::escape(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    const QRegularExpression shape(QStringLiteral("^Exception %1 in module %2 at [0-9A-F]{8,}\\.\r\n[^\r\n]+\\.\r\n$")
                                       .arg(className, exe));
    QVERIFY2(shape.match(recorder.boxes[0].text).hasMatch(), qPrintable(recorder.boxes[0].text));
}

void TestApplication::createFormThrowing()
{
    auto *app = Application::instance();
    g_form1 = reinterpret_cast<Form *>(this); // stale value, must be replaced
    try {
        app->createForm(g_form1, &g_form1, QStringLiteral("form1"), true);
        QFAIL("no exception");
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.message(), QStringLiteral("Cannot build form1"));
    }
    QCOMPARE(g_form1, nullptr);
    QVERIFY(g_childOfFailed.isNull()); // the half-built object was taken down
    QCOMPARE(app->mainWindow(), nullptr);
    QVERIFY(g_destroyed.empty()); // its destructor body never ran
    app->destroyOwned();
    QVERIFY(g_destroyed.empty()); // and it was never owned
}

void TestApplication::createFormOwnsNewestFirst()
{
    auto *app = Application::instance();
    g_destroyed.clear();
    app->createForm(g_module);
    app->createForm(g_form1, &g_form1, QStringLiteral("form1"), false);
    app->createForm(g_form2, &g_form2, QStringLiteral("form2"), false);
    QVERIFY(g_module && g_form1 && g_form2);
    QVERIFY(g_module->sawItself);
    QVERIFY(g_form1->sawItself);
    QVERIFY(g_form2->sawItself);
    QCOMPARE(app->mainWindow(), g_form1); // the first widget, not the first object
    g_form1->show();
    g_form2->show();
    QPointer<Form> form1 = g_form1;

    app->destroyOwned();
    QCOMPARE(g_destroyed, (std::vector<QString>{QStringLiteral("form2"), QStringLiteral("form1"),
                                                QStringLiteral("module")}));
    QVERIFY(form1.isNull());
    QCOMPARE(g_form1, nullptr);
    QCOMPARE(g_form2, nullptr);
    QCOMPARE(g_module, nullptr);
    QCOMPARE(app->mainWindow(), nullptr);

    app->destroyOwned();
    QCOMPARE(g_destroyed.size(), size_t(3));
}

void TestApplication::guardShowsQueuedBox_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text"); // empty: no box at all
    QTest::newRow("own exception") << int(Thrower::Own) << "Tdata: Field 'tperc' not found.";
    QTest::newRow("std::exception") << int(Thrower::Std) << "bad thing.";
    QTest::newRow("anything else") << int(Thrower::Unknown) << "Unknown error.";
    QTest::newRow("abort") << int(Thrower::Abort) << "";
}

void TestApplication::guardShowsQueuedBox()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    BoxRecorder recorder;
    Thrower thrower{Thrower::Kind(kind)};
    QEvent event(QEvent::User);
    QVERIFY(QCoreApplication::sendEvent(&thrower, &event)); // returned normally
    QVERIFY(recorder.boxes.empty()); // not from inside the failing handler
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    if (text.isEmpty()) {
        QVERIFY(recorder.boxes.empty());
        return;
    }
    QCOMPARE(recorder.boxes.size(), size_t(1));
    QCOMPARE(recorder.boxes[0].caption, QStringLiteral("Varnholt Pellomir"));
    QCOMPARE(recorder.boxes[0].text, text);
}

void TestApplication::guardKeepsWidgetUsable()
{
    BoxRecorder recorder;
    QPushButton button(QStringLiteral("Start"));
    int clicks = 0;
    connect(&button, &QPushButton::clicked, this, [&] {
        ++clicks;
        throw Exception(QStringLiteral("Test name missing"));
    });
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QTest::mouseClick(&button, Qt::LeftButton);
    QTRY_COMPARE(recorder.boxes.size(), size_t(1));
    QTest::mouseClick(&button, Qt::LeftButton);
    QTRY_COMPARE(recorder.boxes.size(), size_t(2));
    QCOMPARE(clicks, 2);
    QCOMPARE(recorder.boxes[1].text, QStringLiteral("Test name missing."));
    QVERIFY(!button.isDown());
}

void TestApplication::timerErrorsStackBoxes()
{
    BoxRecorder recorder;
    Timer timer;
    int ticks = 0;
    timer.onTimer = [&] {
        ++ticks;
        throw EProviderError(QStringLiteral("disk I/O error"));
    };
    int ticksWhileFirstBoxOpen = -1;
    int openBoxes = 0;
    int mostOpen = 0;
    QEventLoop *firstBoxLoop = nullptr;
    recorder.onBox = [&] {
        ++openBoxes;
        mostOpen = std::max(mostOpen, openBoxes);
        if (recorder.boxes.size() == 1) {
            // Spin like a modal box until a second error shows up on top.
            QEventLoop loop;
            firstBoxLoop = &loop;
            const int before = ticks;
            QTimer::singleShot(10000, &loop, &QEventLoop::quit); // only if the test fails
            loop.exec();
            ticksWhileFirstBoxOpen = ticks - before;
            firstBoxLoop = nullptr;
        } else {
            timer.setEnabled(false);
            if (firstBoxLoop != nullptr)
                firstBoxLoop->quit();
        }
        --openBoxes;
    };
    timer.setInterval(1);
    QTRY_VERIFY(ticksWhileFirstBoxOpen >= 0);
    QVERIFY(ticksWhileFirstBoxOpen >= 1);
    QCOMPARE(recorder.boxes.size(), size_t(2));
    QCOMPARE(mostOpen, 2);
    QCOMPARE(recorder.boxes[1].text, QStringLiteral("disk I/O error."));
}

void TestApplication::timerErrorsStackRealBoxes()
{
    Timer timer;
    int ticks = 0;
    timer.onTimer = [&] {
        ++ticks;
        throw EProviderError(QStringLiteral("disk I/O error"));
    };
    // Waits for two real boxes on top of each other, then closes them from the top.
    int mostOpen = 0;
    QTimer poll;
    poll.setInterval(1);
    connect(&poll, &QTimer::timeout, this, [&] {
        int open = 0;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMessageBox *>(w) != nullptr && w->isVisible())
                ++open;
        }
        mostOpen = std::max(mostOpen, open);
        if (mostOpen < 2)
            return;
        timer.setEnabled(false);
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            QCOMPARE(box->text(), QStringLiteral("disk I/O error."));
            QCOMPARE(box->windowTitle(), QStringLiteral("Varnholt Pellomir"));
            box->button(QMessageBox::Ok)->click();
        }
    });
    poll.start();
    timer.setInterval(1);
    QTRY_VERIFY(mostOpen >= 2 && QApplication::activeModalWidget() == nullptr);
    QVERIFY(!timer.isEnabled());
    // Boxes queued by the last ticks before the timer stopped open and close too.
    QTRY_COMPARE(QApplication::activeModalWidget(), nullptr);
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
