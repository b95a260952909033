#include "data/query.h"

#include "data/connection.h"
#include "data/declaredtype.h"
#include "platform/clock.h"
#include "platform/exception.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace {

QString quoted(const QString &identifier)
{
    QString text = identifier;
    text.replace(u'"', QLatin1String("\"\""));
    return u'"' + text + u'"';
}

const char rowidColumn[] = "korvel_rowid__";

// Result codes after which the rows already read are still good: the file was only busy.
bool transient(int rc)
{
    const int primary = rc & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_IOERR || primary == SQLITE_FULL ||
           primary == SQLITE_NOMEM;
}

} // namespace

Query::Query(QObject *parent) : DataSet(parent) {}

Query::~Query() = default;

int Query::columnIndex(QStringView name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (QStringView(m_columns[i].name).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const QVariant &Query::value(qsizetype row, int column) const
{
    static const QVariant none;
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_columns.size())
        return none;
    return m_rows[size_t(row * m_columns.size() + column)];
}

void Query::setCurrentRow(qsizetype row)
{
    if (row >= 0 && row < rowCount())
        m_currentRow = row;
}

void Query::preparePlan()
{
    sqlite3 *db = connection()->handle();
    const QString file = connection()->fileName();
    static const QRegularExpression simple(
        QStringLiteral(R"(^\s*select\s+\*\s+from\s+("?)(\w+)\1\s+order\s+by\s+("?)(\w+)\3(?:\s+(asc|desc))?\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = simple.match(m_commandText);
    m_keyed = false;
    if (match.hasMatch()) {
        const QString table = quoted(match.captured(2));
        const QString key = quoted(match.captured(4));
        m_descending = match.captured(5).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0;
        const QString dir = m_descending ? QStringLiteral("DESC") : QStringLiteral("ASC");
        const QString cmp = m_descending ? QStringLiteral("<") : QStringLiteral(">");
        const QString head = QStringLiteral("SELECT rowid AS %1, * FROM %2 ").arg(QLatin1String(rowidColumn), table);
        // SQLite sorts nulls first: they come last in descending order and first in ascending order.
        const QString valued = QStringLiteral("%1 IS NOT NULL").arg(key);
        const QString nulls = QStringLiteral("%1 IS NULL").arg(key);
        const QString byKey = QStringLiteral(" ORDER BY %1 %2, rowid %2 LIMIT ?3").arg(key, dir);
        const QString byRowid = QStringLiteral(" ORDER BY rowid %1 LIMIT ?3").arg(dir);
        const QString phases[2][2] = {
            {head + "WHERE " + valued + byKey,
             head + QStringLiteral("WHERE (%1, rowid) %2 (?1, ?2)").arg(key, cmp) + byKey},
            {head + "WHERE " + nulls + byRowid, head + "WHERE " + nulls + " AND rowid " + cmp + " ?2" + byRowid},
        };
        try {
            // Descending: valued rows, then nulls. Ascending: nulls, then valued rows.
            for (int phase = 0; phase < 2; ++phase) {
                const int source = m_descending ? phase : 1 - phase;
                m_first[phase] = prepareStatement(db, phases[source][0], file);
                m_next[phase] = prepareStatement(db, phases[source][1], file);
            }
            m_keyed = true;
            readColumns(m_first[0].get());
            const int keyIndex = columnIndex(match.captured(4));
            static const QRegularExpression rowidName(QStringLiteral("^(rowid|oid|_rowid_)$"),
                                                      QRegularExpression::CaseInsensitiveOption);
            // SQLite takes a quoted name that is no column for a string: a misspelt key would sort nothing.
            // The plain statement below reports it.
            if (keyIndex >= 0 || rowidName.match(match.captured(4)).hasMatch()) {
                m_keyColumn = keyIndex < 0 ? 0 : keyIndex + 1; // "order by rowid" keys on the rowid itself
                return;
            }
        } catch (const EProviderError &) {
            // For instance a table without rowid: fall back to plain paging below, which reports real errors.
        }
        m_keyed = false;
        for (auto &statement : m_first)
            statement.reset();
        for (auto &statement : m_next)
            statement.reset();
    }
    QString sql = m_commandText.trimmed();
    while (sql.endsWith(u';'))
        sql.chop(1);
    // The line break ends a trailing "--" comment of the statement before the closing parenthesis.
    m_plain = prepareStatement(db, QStringLiteral("SELECT * FROM (%1\n) LIMIT ?2 OFFSET ?1").arg(sql), file);
    readColumns(m_plain.get());
}

void Query::readColumns(sqlite3_stmt *statement)
{
    m_columns.clear();
    const int first = m_keyed ? 1 : 0;
    for (int i = first; i < sqlite3_column_count(statement); ++i) {
        const char *declared = sqlite3_column_decltype(statement, i);
        const char *origin = sqlite3_column_origin_name(statement, i);
        const char *table = sqlite3_column_table_name(statement, i);
        bool autoIncrement = false;
        if (origin != nullptr && table != nullptr) {
            int primaryKey = 0;
            int autoinc = 0;
            sqlite3_table_column_metadata(connection()->handle(), nullptr, table, origin, nullptr, nullptr, nullptr,
                                          &primaryKey, &autoinc);
            autoIncrement = primaryKey != 0 && autoinc != 0;
        }
        ColumnKind kind = columnKindOf(QString::fromUtf8(declared != nullptr ? declared : ""));
        if (autoIncrement)
            kind.kind = QStringLiteral("AutoInc");
        m_columns.append({QString::fromUtf8(sqlite3_column_name(statement, i)), kind.kind, kind.width});
    }
}

qsizetype Query::readPage(qsizetype count)
{
    sqlite3 *db = connection()->handle();
    sqlite3_stmt *statement = nullptr;
    if (m_keyed) {
        statement = m_havePosition ? m_next[m_phase].get() : m_first[m_phase].get();
        if (m_havePosition) {
            bindVariant(statement, 1, m_lastKey);
            sqlite3_bind_int64(statement, 2, m_lastRowid);
        }
        sqlite3_bind_int64(statement, 3, count);
    } else {
        statement = m_plain.get();
        sqlite3_bind_int64(statement, 1, m_offset);
        sqlite3_bind_int64(statement, 2, count);
    }

    const int first = m_keyed ? 1 : 0;
    qsizetype read = 0;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        for (int i = 0; i < m_columns.size(); ++i) {
            QVariant value = columnVariant(statement, i + first);
            const QString &kind = m_columns[i].kind;
            if (value.isNull()) {
                // stays null
            } else if (kind == QLatin1String("DateTime") || kind == QLatin1String("Date") ||
                       kind == QLatin1String("Time")) {
                if (value.typeId() == QMetaType::QString) {
                    if (const auto stamp = parseIsoText(value.toString()))
                        value = *stamp;
                }
            } else if (kind == QLatin1String("Boolean")) {
                if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Double)
                    value = value.toDouble() != 0;
            } else if (kind == QLatin1String("Float") || kind == QLatin1String("Currency") ||
                       kind == QLatin1String("BCD")) {
                if (value.typeId() == QMetaType::LongLong)
                    value = value.toDouble();
            }
            m_rows.push_back(std::move(value));
        }
        if (m_keyed) {
            // The key exactly as stored, so that the next page compares like with like.
            m_lastRowid = sqlite3_column_int64(statement, 0);
            m_lastKey = columnVariant(statement, m_keyColumn);
            m_havePosition = true;
        }
        ++read;
    }
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (rc != SQLITE_DONE)
        throwProviderError(db, rc, connection()->fileName());

    m_rowsReadTotal += read;
    m_offset += read;
    return read;
}

qsizetype Query::fetchRows(qsizetype count)
{
    qsizetype total = 0;
    while (total < count && !m_atEnd) {
        const qsizetype wanted = count - total;
        const qsizetype read = readPage(wanted);
        total += read;
        if (read < wanted) {
            // This phase has no more rows.
            if (m_keyed && m_phase == 0) {
                m_phase = 1;
                m_havePosition = false;
            } else {
                m_atEnd = true;
            }
        }
    }
    if (m_currentRow < 0 && rowCount() > 0)
        m_currentRow = 0;
    return total;
}

qsizetype Query::fetchMore(qsizetype count)
{
    checkActive();
    return fetchRows(count);
}

void Query::resetRows()
{
    m_rows.clear();
    m_currentRow = -1;
    m_phase = 0;
    m_havePosition = false;
    m_lastKey = QVariant();
    m_lastRowid = 0;
    m_offset = 0;
    m_atEnd = false;
}

void Query::doOpen()
{
    try {
        preparePlan();
        resetRows();
        fetchRows(pageSize);
    } catch (...) {
        doClose();
        throw;
    }
}

void Query::doClose()
{
    for (auto &statement : m_first)
        statement.reset();
    for (auto &statement : m_next)
        statement.reset();
    m_plain.reset();
    m_rows.clear();
    m_currentRow = -1;
    m_atEnd = true;
}

void Query::requery()
{
    checkActive();
    std::vector<QVariant> kept;
    kept.swap(m_rows);
    resetRows();
    try {
        fetchRows(pageSize);
    } catch (const EProviderError &) {
        if (transient(sqlite3_errcode(connection()->handle()))) {
            // The file was only busy: the old rows stay and the next refresh tries again.
            m_rows.swap(kept);
            m_atEnd = true;
            m_currentRow = rowCount() > 0 ? 0 : -1;
            Q_EMIT dataSetChanged();
        } else {
            close();
        }
        throw;
    }
    Q_EMIT dataSetChanged();
}
