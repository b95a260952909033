#include "data/sqlite.h"

#include "platform/exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

void SqliteCloser::operator()(sqlite3 *db) const
{
    sqlite3_close_v2(db);
}

void StatementFinalizer::operator()(sqlite3_stmt *statement) const
{
    sqlite3_finalize(statement);
}

namespace {

const char createHint[] = "Create it with: sqlite3 bat.mdb < schema/testdata.sql";

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// Checks what lies at `path` before SQLite sees it, so that the common mistakes get their own message.
void checkFile(const QString &path)
{
    const QFileInfo info(path);
    const QString shown = nativePath(path);
    if (!info.exists())
        throw EProviderError(QStringLiteral("The database file \"%1\" does not exist. Start korvel in the folder "
                                            "that holds bat.mdb, or create one there with: sqlite3 bat.mdb < "
                                            "schema/testdata.sql")
                                 .arg(shown));
    if (info.isDir())
        throw EProviderError(
            QStringLiteral("\"%1\" is a folder, not a database file. Remove or rename it, then create the database. %2")
                .arg(shown, QLatin1String(createHint)));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EProviderError(QStringLiteral("The database file \"%1\" can't be read (%2). Check its permissions.")
                                 .arg(shown, file.errorString()));
    const QByteArray header = file.read(32);
    if (header.isEmpty())
        throw EProviderError(QStringLiteral("The database file \"%1\" is empty (0 bytes) and holds no log table. "
                                            "Delete it and create it again. %2")
                                 .arg(shown, QLatin1String(createHint)));
    if (header.mid(4, 15) == "Standard Jet DB" || header.mid(4, 15) == "Standard ACE DB")
        throw EProviderError(QStringLiteral("\"%1\" is a Microsoft Access (Jet) database; korvel keeps its log in "
                                            "SQLite. Move that file away (export its rows first if you need them) "
                                            "and create a new bat.mdb. %2")
                                 .arg(shown, QLatin1String(createHint)));
    if (!header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        throw EProviderError(QStringLiteral("\"%1\" is not an SQLite database (its header doesn't match). Move it "
                                            "away and create a new bat.mdb. %2")
                                 .arg(shown, QLatin1String(createHint)));
}

} // namespace

QString providerMessage(sqlite3 *db, int resultCode, const QString &file)
{
    const QString shown = nativePath(file);
    const QString detail = db != nullptr ? QString::fromUtf8(sqlite3_errmsg(db))
                                         : QString::fromUtf8(sqlite3_errstr(resultCode));
    switch (resultCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("The database \"%1\" is locked by another program and stayed locked for %2 seconds. "
                              "Close the program that holds it; korvel tries again at the next change.")
            .arg(shown)
            .arg(busyTimeoutMs / 1000);
    case SQLITE_READONLY:
        return QStringLiteral("The database \"%1\" is read-only, so nothing can be written to it. Make the file and "
                              "its folder writable.")
            .arg(shown);
    case SQLITE_FULL:
        return QStringLiteral("The disk that holds \"%1\" is full. Free some space; korvel tries again at the next "
                              "change.")
            .arg(shown);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("The database \"%1\" is damaged or not an SQLite database (%2). Move it away and "
                              "create a new bat.mdb. %3")
            .arg(shown, detail, QLatin1String(createHint));
    case SQLITE_CANTOPEN:
        return QStringLiteral("The database \"%1\" can't be opened (%2). Check that the file and its folder exist "
                              "and are readable and writable.")
            .arg(shown, detail);
    case SQLITE_IOERR:
        return QStringLiteral("Reading or writing the database \"%1\" failed (%2). Check the disk.").arg(shown, detail);
    case SQLITE_CONSTRAINT:
        return QStringLiteral("The database refused the row: %1. Check the table's constraints in \"%2\".")
            .arg(detail, shown);
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("Access to the database \"%1\" was denied (%2).").arg(shown, detail);
    default:
        return QStringLiteral("Database error in \"%1\": %2.").arg(shown, detail);
    }
}

void throwProviderError(sqlite3 *db, int resultCode, const QString &file)
{
    throw EProviderError(providerMessage(db, resultCode, file));
}

SqliteHandle openDatabaseFile(const QString &path, OpenMode mode)
{
    checkFile(path);

    sqlite3 *raw = nullptr;
    const int flags = (mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    SqliteHandle db(raw);
    if (rc != SQLITE_OK)
        throwProviderError(db.get(), rc, path);

    sqlite3_busy_timeout(db.get(), busyTimeoutMs);
    sqlite3_extended_result_codes(db.get(), 1);

    // Reading the schema makes a truncated or foreign file fail now.
    const int check = sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (check != SQLITE_OK)
        throwProviderError(db.get(), check, path);

    if (mode == OpenMode::ReadWrite && sqlite3_db_readonly(db.get(), "main") == 0) {
        // A posted row must survive a power cut: every commit reaches the disk before it returns.
        const int sync = sqlite3_exec(db.get(), "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
        if (sync != SQLITE_OK)
            throwProviderError(db.get(), sync, path);
    }
    return db;
}

StatementHandle prepareStatement(sqlite3 *db, const QString &sql, const QString &file)
{
    sqlite3_stmt *raw = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v3(db, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
    StatementHandle statement(raw);
    if (rc != SQLITE_OK)
        throwProviderError(db, rc, file);
    return statement;
}

void bindVariant(sqlite3_stmt *statement, int index, const QVariant &value)
{
    if (value.isNull()) {
        sqlite3_bind_null(statement, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        sqlite3_bind_int(statement, index, value.toBool() ? 1 : 0);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        sqlite3_bind_int64(statement, index, value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(statement, index, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob64(statement, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray utf8 = value.toString().toUtf8();
        sqlite3_bind_text64(statement, index, utf8.constData(), sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
        break;
    }
    }
}

QVariant columnVariant(sqlite3_stmt *statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(statement, column)));
    }
    case SQLITE_BLOB: {
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(statement, column));
        return QVariant(QByteArray(bytes, sqlite3_column_bytes(statement, column)));
    }
    default:
        return QVariant();
    }
}
