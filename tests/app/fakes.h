#pragma once

// Test doubles and a throw-away log database for tests of the window and the data module.

#include "dm.h"
#include "mu.h"
#include "platform/clock.h"
#include "platform/messagebox.h"
#include "platform/powerstatus.h"
#include "platform/timeformat.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <memory>

// A clock the test sets by hand.
struct FakeClock final : Clock {
    explicit FakeClock(std::shared_ptr<TDateTime> time) : time(std::move(time)) {}
    TDateTime now() const override { return *time; }
    std::shared_ptr<TDateTime> time;
};

// A power source the test sets by hand.
struct FakePower final : PowerSource {
    explicit FakePower(std::shared_ptr<PowerStatus> status) : status(std::move(status)) {}
    bool read(PowerStatus &out) override
    {
        out = *status;
        return true;
    }
    std::shared_ptr<PowerStatus> status;
};

// Records the boxes that would have been shown.
struct BoxRecorder {
    BoxRecorder()
    {
        MessageBox::setHandler([this](const QString &caption, const QString &text) { boxes.append({caption, text}); });
    }
    ~BoxRecorder() { MessageBox::setHandler({}); }
    struct Box {
        QString caption;
        QString text;
    };
    QList<Box> boxes;
    QStringList texts() const
    {
        QStringList list;
        for (const Box &box : boxes)
            list.append(box.text);
        return list;
    }
};

// A temporary folder that is the current directory while it lives, holding bat.mdb made from the
// project's schema (or from `sql` when given).
class LogFolder {
public:
    explicit LogFolder(const QString &sql = QString()) : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(m_dir.path());
        if (sql.isNull()) {
            QFile schema(QStringLiteral(KORVEL_SOURCE_DIR "/schema/testdata.sql"));
            if (schema.open(QIODevice::ReadOnly))
                exec(QString::fromUtf8(schema.readAll()));
        } else if (!sql.isEmpty()) {
            exec(sql);
        }
    }
    ~LogFolder() { QDir::setCurrent(m_previous); }

    QString path() const { return m_dir.filePath(QStringLiteral("bat.mdb")); }

    // Runs SQL on a connection of its own (another program, as far as korvel can tell).
    bool exec(const QString &sql) const
    {
        sqlite3 *db = nullptr;
        bool ok = sqlite3_open(QFile::encodeName(path()).constData(), &db) == SQLITE_OK &&
                  sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        return ok;
    }

    // Rows of a query, each as its columns joined by '|', as the sqlite3 shell prints them.
    QStringList rows(const QString &sql) const
    {
        QStringList result;
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(path()).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                QStringList columns;
                for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
                    columns.append(text != nullptr ? QString::fromUtf8(text) : QStringLiteral("NULL"));
                }
                result.append(columns.join(u'|'));
            }
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return result;
    }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Form1 and DataModule2 on the current folder's bat.mdb, with a clock and a battery the test sets by
// hand and a 24-hour time format without leading zero. Both test-run values start at zero.
struct FakeProgram {
    explicit FakeProgram(TDateTime start, PowerStatus status = {})
        : time(std::make_shared<TDateTime>(start)), power(std::make_shared<PowerStatus>(status))
    {
        TestStartedAt = 0;
        LastLoggedPercent = 0;
        Form1 = new TForm1;
        DataModule2 = new TDataModule2;
        Form1->setClock(std::make_unique<FakeClock>(time));
        Form1->setPowerSource(std::make_unique<FakePower>(power));
        TimeFormat format;
        format.clock24 = true;
        Form1->setTimeFormat(format);
    }
    ~FakeProgram()
    {
        delete DataModule2;
        DataModule2 = nullptr;
        delete Form1;
        Form1 = nullptr;
    }
    FakeProgram(const FakeProgram &) = delete;
    FakeProgram &operator=(const FakeProgram &) = delete;

    std::shared_ptr<TDateTime> time;
    std::shared_ptr<PowerStatus> power;
};
