#pragma once

#include <QString>
#include <QVariant>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

struct SqliteCloser {
    void operator()(sqlite3 *db) const;
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt *statement) const;
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

enum class OpenMode { ReadWrite, ReadOnly };

// How long a statement waits for another connection's lock before it fails.
inline constexpr int busyTimeoutMs = 5000;

// Opens an existing database file, never creating it, and reads its schema so that a bad file fails
// here rather than later. Throws EProviderError with a message that says what is wrong with the file
// and what to do about it.
SqliteHandle openDatabaseFile(const QString &path, OpenMode mode);

// Turns an SQLite result code into a message a person can act on. `file` names the database file.
QString providerMessage(sqlite3 *db, int resultCode, const QString &file);

// Throws EProviderError built by providerMessage.
[[noreturn]] void throwProviderError(sqlite3 *db, int resultCode, const QString &file);

// Prepares one statement; throws EProviderError when it can't.
StatementHandle prepareStatement(sqlite3 *db, const QString &sql, const QString &file);

// Binds a value by its type: null, bool and integers as INTEGER, double as REAL, anything else as TEXT.
void bindVariant(sqlite3_stmt *statement, int index, const QVariant &value);

// Reads one column of the current row: NULL, INTEGER, REAL, TEXT (as QString) or BLOB (as QByteArray).
QVariant columnVariant(sqlite3_stmt *statement, int column);
