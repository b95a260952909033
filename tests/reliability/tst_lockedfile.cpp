// Proves: while another program (the sqlite3 shell) holds a write transaction on bat.mdb for longer
// than the busy timeout, the change's post fails with the clear "locked" message and the record stays
// pending; once the lock is gone it lands at the next change, before the new record, with its own
// values. A lock released within the busy timeout causes no error at all. The long case waits out the
// real 5-second busy timeout once.
#include "../app/fakes.h"

#include "data/sqlite.h"
#include "data/table.h"
#include "dm.h"
#include "mu.h"
#include "platform/exception.h"

#include <QLineEdit>
#include <QPushButton>
#include "platform/timer.h"
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

constexpr double second = 1.0 / 86400;

// An sqlite3 shell on bat.mdb, fed the given lines; returns once it printed "held".
bool startHolder(QProcess &shell, const QString &path, const QByteArray &script)
{
    shell.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    shell.start(QStringLiteral("sqlite3"), {path});
    if (!shell.waitForStarted())
        return false;
    shell.write(script);
    QByteArray out;
    while (!out.contains("held")) {
        if (!shell.waitForReadyRead(10000))
            return false;
        out += shell.readAllStandardOutput();
    }
    return true;
}

} // namespace

class LockedFile : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LogFolder> folder;
    std::unique_ptr<BoxRecorder> recorder;
    std::unique_ptr<FakeProgram> program;
    std::shared_ptr<TDateTime> time;
    std::shared_ptr<PowerStatus> power;

    void change(int percent)
    {
        power->batteryLifePercent = quint8(percent);
        *time += 10 * second;
        Form1->Timer1Timer(Form1->Timer1);
    }
    QStringList log() const { return folder->rows(QStringLiteral("SELECT tperc, telap FROM testdata ORDER BY tid")); }

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
            QSKIP("the sqlite3 shell is not installed");
    }
    void init()
    {
        folder.reset(); // a failed earlier init left its folder as the current directory
        folder = std::make_unique<LogFolder>();
        recorder = std::make_unique<BoxRecorder>();
        program = std::make_unique<FakeProgram>(46367.5, PowerStatus{0, 60});
        time = program->time;
        power = program->power;
        Form1->Button1Click(Form1->Button1);
        Form1->Timer1Timer(Form1->Timer1); // 60 %
        QCOMPARE(log(), QStringList{QStringLiteral("60.0|0:00:00")});
    }
    void cleanup()
    {
        program.reset();
        recorder.reset();
        folder.reset();
    }

    void lockLongerThanTheBusyTimeout()
    {
        QProcess shell;
        QVERIFY(startHolder(shell, folder->path(), "BEGIN IMMEDIATE;\nSELECT 'held';\n"));

        try {
            change(59);
            QFAIL("posted through the lock");
        } catch (const EProviderError &e) {
            QVERIFY2(e.message().contains(QLatin1String("is locked by another program")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QLatin1String("tries again at the next change")), qPrintable(e.message()));
        }
        QVERIFY(DataModule2->Tdata->hasPendingRecord());
        change(59); // the same percentage: no second attempt while the lock is still held
        QCOMPARE(log(), QStringList{QStringLiteral("60.0|0:00:00")});

        shell.write("COMMIT;\n.quit\n");
        QVERIFY(shell.waitForFinished());
        change(58); // the pending record first, with its own values, then the new one
        QCOMPARE(log(), (QStringList{QStringLiteral("60.0|0:00:00"), QStringLiteral("59.0|0:00:10"),
                                     QStringLiteral("58.0|0:00:30")}));
        QVERIFY(!DataModule2->Tdata->hasPendingRecord());
    }

    // The holder lets go after half a second, well inside the 5-second busy timeout: the post waits
    // and succeeds. (On a machine so slow that the lock is gone before the tick, this still passes.)
    void shortLockIsWaitedOut()
    {
        QProcess shell;
        QVERIFY(startHolder(shell, folder->path(), "BEGIN IMMEDIATE;\nSELECT 'held';\n.system sleep 0.5\nCOMMIT;\n"));
        change(59);
        QVERIFY(recorder->boxes.isEmpty());
        QVERIFY(!DataModule2->Tdata->hasPendingRecord());
        QCOMPARE(log(), (QStringList{QStringLiteral("60.0|0:00:00"), QStringLiteral("59.0|0:00:10")}));
        shell.closeWriteChannel();
        QVERIFY(shell.waitForFinished());
        QCOMPARE(shell.exitCode(), 0);
    }
};

QTEST_MAIN(LockedFile)
#include "tst_lockedfile.moc"
