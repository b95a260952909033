#include "data/command.h"

#include "data/connection.h"
#include "platform/exception.h"

#include <sqlite3.h>

Command::Command(QObject *parent) : QObject(parent) {}

void Command::execute()
{
    if (m_connection == nullptr)
        throw EDatabaseError(QStringLiteral("%1: Missing Connection or ConnectionString").arg(objectName()));
    m_connection->open();
    sqlite3 *db = m_connection->handle();
    const QByteArray sql = m_commandText.toUtf8();
    const char *tail = sql.constData();
    const char *end = tail + sql.size();
    while (tail < end) {
        sqlite3_stmt *raw = nullptr;
        int rc = sqlite3_prepare_v2(db, tail, int(end - tail), &raw, &tail);
        StatementHandle statement(raw);
        if (rc != SQLITE_OK)
            throwProviderError(db, rc, m_connection->fileName());
        if (!statement)
            continue; // blanks or a comment
        while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            throwProviderError(db, rc, m_connection->fileName());
    }
}
