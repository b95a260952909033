#pragma once

// A fresh bat.mdb per test in a temporary folder that is the current directory while the test runs,
// and a plain sqlite3 connection to look at the file independently of the data-set layer.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <sqlite3.h>

#include <optional>

namespace testdb {

// The string the program connects with; "Data Source" is relative to the current directory.
inline const QString connectionString = QStringLiteral(
    R"(Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=bat.mdb;Mode=Share Deny None;Extended Properties="";)"
    R"(Persist Security Info=False;Jet OLEDB:System database="";Jet OLEDB:Registry Path="";)"
    R"(Jet OLEDB:Database Password="";Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=1;)"
    R"(Jet OLEDB:Global Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database Password="";)"
    R"(Jet OLEDB:Create System Database=False;Jet OLEDB:Encrypt Database=False;)"
    R"(Jet OLEDB:Don't Copy Locale on Compact=False;Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False)");

inline const QString fileName = QStringLiteral("bat.mdb");

inline QString schemaSql()
{
    QFile file(QStringLiteral(KORVEL_TEST_DATA "/../../schema/testdata.sql"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

struct Db {
    sqlite3 *handle = nullptr;
    explicit Db(const QString &path = fileName)
    {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr);
        sqlite3_busy_timeout(handle, 5000);
    }
    ~Db() { sqlite3_close_v2(handle); }
    Db(const Db &) = delete;
    Db &operator=(const Db &) = delete;

    // Runs statements; returns SQLite's message, empty on success.
    QString exec(const QString &sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(handle, sql.toUtf8().constData(), nullptr, nullptr, &error) == SQLITE_OK)
            return {};
        const QString message = QString::fromUtf8(error ? error : sqlite3_errmsg(handle));
        sqlite3_free(error);
        return message;
    }

    // Every row of a query, values as stored: null, qlonglong, double or QString.
    QList<QVariantList> rows(const QString &sql)
    {
        QList<QVariantList> result;
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(handle, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
            return result;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QVariantList row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                switch (sqlite3_column_type(statement, i)) {
                case SQLITE_INTEGER: row.append(qlonglong(sqlite3_column_int64(statement, i))); break;
                case SQLITE_FLOAT: row.append(sqlite3_column_double(statement, i)); break;
                case SQLITE_NULL: row.append(QVariant()); break;
                default:
                    row.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, i)),
                                                 sqlite3_column_bytes(statement, i)));
                }
            }
            result.append(row);
        }
        sqlite3_finalize(statement);
        return result;
    }

    QVariant value(const QString &sql)
    {
        const auto all = rows(sql);
        return all.isEmpty() || all.first().isEmpty() ? QVariant() : all.first().first();
    }
};

inline QByteArray fileBytes(const QString &path = fileName)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QByteArray &bytes, const QString &path = fileName)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Makes a temporary folder the current directory for the duration of one test function.
class TempFolder {
public:
    bool enter()
    {
        m_dir.emplace();
        m_previous = QDir::currentPath();
        return m_dir->isValid() && QDir::setCurrent(m_dir->path());
    }
    void leave()
    {
        QDir::setCurrent(m_previous);
        m_dir.reset();
    }
    QString path() const { return m_dir->path(); }

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_previous;
};

} // namespace testdb
