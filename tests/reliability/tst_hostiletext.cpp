// Proves: whatever a person types or pastes into the battery and test boxes reaches bat.mdb through the
// tick as data, never as SQL: the row holds exactly the text (cut to 50 UTF-16 code units, never inside
// a surrogate pair, so the stored UTF-8 is always valid), and the table and its other rows are untouched.
#include "../app/fakes.h"

#include "dm.h"
#include "mu.h"

#include <QLineEdit>
#include <QPushButton>
#include "platform/timer.h"
#include <QtTest>

class HostileText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void storedAsTyped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        const QString battery = QStringLiteral("\U0001F50B");
        const QString x49(49, u'x');
        QTest::newRow("51 characters") << QString(51, u'a') << QString(50, u'a');
        QTest::newRow("300 characters") << QString(300, u'z') << QString(50, u'z');
        QTest::newRow("non-ASCII letters") << QStringLiteral("Größe Ωmega ČŘ 電池 батарея")
                                           << QStringLiteral("Größe Ωmega ČŘ 電池 батарея");
        QTest::newRow("emoji across the cut") << x49 + battery + QStringLiteral("tail") << x49;
        QTest::newRow("emoji ending at the cut") << QString(48, u'x') + battery + u'y' << QString(48, u'x') + battery;
        QTest::newRow("only emoji") << battery.repeated(30) << battery.repeated(25);
        QTest::newRow("combining marks") << QStringLiteral("e\u0301e\u0301") << QStringLiteral("e\u0301e\u0301");
        QTest::newRow("quotes") << QStringLiteral("O'Brien \"Akku\" `x` ''") << QStringLiteral("O'Brien \"Akku\" `x` ''");
        QTest::newRow("SQL injection") << QStringLiteral("'; drop table testdata; --")
                                       << QStringLiteral("'; drop table testdata; --");
        QTest::newRow("SQL injection, double quote") << QStringLiteral("\"); DELETE FROM testdata; --")
                                                     << QStringLiteral("\"); DELETE FROM testdata; --");
        QTest::newRow("control characters") << QStringLiteral("a\tb\rc\x1b[31md\x7f")
                                            << QStringLiteral("a\tb\rc\x1b[31md\x7f");
        QTest::newRow("NUL inside") << QStringLiteral("before") + QChar(u'\0') + QStringLiteral("after")
                                    << QStringLiteral("before") + QChar(u'\0') + QStringLiteral("after");
        QTest::newRow("right-to-left override") << QStringLiteral("\u202Egnp.exe") << QStringLiteral("\u202Egnp.exe");
    }

    void storedAsTyped()
    {
        QFETCH(QString, text);
        QFETCH(QString, stored);
        LogFolder folder;
        QVERIFY(folder.exec(QStringLiteral("INSERT INTO testdata (ttest, tbat, tperc) VALUES ('earlier', 'B', 80)")));
        BoxRecorder recorder;
        {
            FakeProgram program(46367.5, PowerStatus{1, 57});
            Form1->Edit1->setText(text);
            Form1->Edit2->setText(text);
            // What a person can get into the box is what gets stored; the box itself takes control characters.
            QCOMPARE(Form1->Edit1->text(), text);

            Form1->Button1Click(Form1->Button1);
            Form1->Timer1Timer(Form1->Timer1);
        }
        QVERIFY(recorder.boxes.isEmpty());

        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(folder.path()).constData(), &db, SQLITE_OPEN_READONLY, nullptr),
                 SQLITE_OK);
        sqlite3_stmt *statement = nullptr;
        QCOMPARE(sqlite3_prepare_v2(db, "SELECT tbat, ttest, tperc FROM testdata ORDER BY tid",
                                    -1, &statement, nullptr),
                 SQLITE_OK);
        QList<QStringList> rows;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList row;
            for (int i = 0; i < 3; ++i)
                row.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, i)),
                                             sqlite3_column_bytes(statement, i)));
            // The stored bytes are valid UTF-8: decoding and encoding again gives the same bytes.
            const QByteArray bytes(static_cast<const char *>(sqlite3_column_blob(statement, 0)),
                                   sqlite3_column_bytes(statement, 0));
            QCOMPARE(QString::fromUtf8(bytes).toUtf8(), bytes);
            rows.append(row);
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);

        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0], (QStringList{QStringLiteral("B"), QStringLiteral("earlier"), QStringLiteral("80.0")}));
        QCOMPARE(rows[1][0], stored);
        QCOMPARE(rows[1][1], stored);
        QCOMPARE(rows[1][2], QStringLiteral("57.0"));
        QCOMPARE(folder.rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = "
                                            "'testdata'")),
                 QStringList{QStringLiteral("testdata")});
    }
};

QTEST_MAIN(HostileText)
#include "tst_hostiletext.moc"
