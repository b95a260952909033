#include "data/connection.h"

#include "data/connectionstring.h"
#include "platform/exception.h"

#include <sqlite3.h>

namespace {
int runtimeVersionOverride = 0;

QString versionText(int number)
{
    return QStringLiteral("%1.%2.%3").arg(number / 1000000).arg(number / 1000 % 1000).arg(number % 1000);
}
} // namespace

Connection::Connection(QObject *parent) : QObject(parent)
{
    const int runtime = runtimeVersionOverride != 0 ? runtimeVersionOverride : sqlite3_libversion_number();
    if (runtime < SQLITE_VERSION_NUMBER)
        throw EComponentError(QStringLiteral("Error creating object.  Please verify that SQLite %1 (or later) has "
                                             "been properly installed; this machine has SQLite %2")
                                  .arg(versionText(SQLITE_VERSION_NUMBER), versionText(runtime)));
}

Connection::~Connection() = default;

void Connection::setRuntimeVersionForTesting(int versionNumber)
{
    runtimeVersionOverride = versionNumber;
}

void Connection::open()
{
    if (m_db)
        return;
    const auto properties = parseConnectionString(m_connectionString);
    const auto source = connectionProperty(properties, u"Data Source");
    if (!source || source->isEmpty())
        throw EProviderError(QStringLiteral("The connection string names no database file (\"Data Source\" is "
                                            "missing or empty)."));
    m_fileName = *source;
    m_db = openDatabaseFile(m_fileName, m_readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite);
}

void Connection::close()
{
    m_db.reset();
}
