#include "report/records.h"

#include "report/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <sqlite3.h>

#include <cmath>

namespace report {

namespace {

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString columnText(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return text == nullptr ? QString() : QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
}

// Decodes a name only when its bytes change: rows of one test share one string.
const QString &readName(sqlite3_stmt *statement, int column, QByteArray &lastBytes, QString &lastName)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    const QByteArrayView bytes(text == nullptr ? "" : text, sqlite3_column_bytes(statement, column));
    if (bytes != lastBytes) {
        lastBytes = bytes.toByteArray();
        lastName = QString::fromUtf8(lastBytes);
    }
    return lastName;
}

std::optional<bool> readMains(sqlite3_stmt *statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement, column) != 0.0;
    case SQLITE_TEXT: {
        const QString text = columnText(statement, column).trimmed().toLower();
        if (text == u"true" || text == u"yes" || text == u"1")
            return true;
        if (text == u"false" || text == u"no" || text == u"0")
            return false;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<double> readPercent(sqlite3_stmt *statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
        const double value = sqlite3_column_double(statement, column);
        return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
    }
    case SQLITE_TEXT: {
        bool ok = false;
        const double value = columnText(statement, column).trimmed().toDouble(&ok);
        return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

RecordReader::RecordReader(const QString &path)
    : m_path(path)
{
    if (!QFileInfo::exists(path))
        throw EReportDataError(QStringLiteral("%1: no such file. Give the path of a korvel log (bat.mdb), or run "
                                              "korvel-report in the folder that holds it.")
                                   .arg(shownPath(path)));
    m_db = openDatabaseFile(path, OpenMode::ReadOnly);
    checkTable();
}

RecordReader::~RecordReader() = default;

void RecordReader::checkTable()
{
    const StatementHandle info =
        prepareStatement(m_db.get(), QStringLiteral("SELECT lower(name) FROM pragma_table_info('testdata')"), m_path);
    QSet<QString> columns;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(info.get())) == SQLITE_ROW)
        columns.insert(columnText(info.get(), 0));
    if (rc != SQLITE_DONE)
        throwProviderError(m_db.get(), rc, m_path);
    if (columns.isEmpty())
        throw EReportDataError(QStringLiteral("%1 is an SQLite database but not a korvel log: it has no table "
                                              "\"testdata\". Check that you named the right file.")
                                   .arg(shownPath(m_path)));
    QStringList missing;
    for (const char *name : {"tid", "ttest", "tbat", "ttime", "tac", "tperc", "telap"})
        if (!columns.contains(QLatin1String(name)))
            missing << QLatin1String(name);
    if (!missing.isEmpty())
        throw EReportDataError(QStringLiteral("%1 has a table \"testdata\" without the column(s) %2, so it is not a "
                                              "korvel log. Check that you named the right file.")
                                   .arg(shownPath(m_path), missing.join(QStringLiteral(", "))));
}

QStringList RecordReader::testNames()
{
    const StatementHandle statement = prepareStatement(
        m_db.get(), QStringLiteral("SELECT DISTINCT coalesce(ttest, '') FROM testdata ORDER BY 1"), m_path);
    QStringList names;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW)
        names << columnText(statement.get(), 0);
    if (rc != SQLITE_DONE)
        throwProviderError(m_db.get(), rc, m_path);
    return names;
}

qint64 RecordReader::recordCount()
{
    const StatementHandle statement = prepareStatement(m_db.get(), QStringLiteral("SELECT count(*) FROM testdata"),
                                                       m_path);
    const int rc = sqlite3_step(statement.get());
    if (rc != SQLITE_ROW)
        throwProviderError(m_db.get(), rc, m_path);
    return sqlite3_column_int64(statement.get(), 0);
}

void RecordReader::select(const QStringList &tests)
{
    QString sql = QStringLiteral("SELECT tid, ttest, tbat, ttime, tac, tperc, telap FROM testdata");
    if (!tests.isEmpty()) {
        QStringList marks;
        for (qsizetype i = 0; i < tests.size(); ++i)
            marks << QStringLiteral("?");
        sql += QStringLiteral(" WHERE coalesce(ttest, '') IN (%1)").arg(marks.join(u','));
    }
    // NULL names group with empty ones, as the report shows them the same way.
    sql += QStringLiteral(" ORDER BY coalesce(ttest, ''), coalesce(tbat, ''), ttime, tid");
    m_rows = prepareStatement(m_db.get(), sql, m_path);
    for (qsizetype i = 0; i < tests.size(); ++i)
        bindVariant(m_rows.get(), int(i + 1), tests[i]);
    m_lastTestBytes.clear();
    m_lastBatteryBytes.clear();
    m_lastTest.clear();
    m_lastBattery.clear();
}

bool RecordReader::next(Record &record)
{
    sqlite3_stmt *s = m_rows.get();
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE)
        return false;
    if (rc != SQLITE_ROW)
        throwProviderError(m_db.get(), rc, m_path);

    record.id = sqlite3_column_int64(s, 0);
    record.test = readName(s, 1, m_lastTestBytes, m_lastTest);
    record.battery = readName(s, 2, m_lastBatteryBytes, m_lastBattery);
    switch (sqlite3_column_type(s, 3)) {
    case SQLITE_TEXT:
        record.timeText = columnText(s, 3);
        record.time = parseLocalTime(record.timeText);
        break;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        record.timeText = columnText(s, 3);
        record.time = localTimeFromDays(sqlite3_column_double(s, 3));
        break;
    default:
        record.timeText.clear();
        record.time.reset();
        break;
    }
    record.mains = readMains(s, 4);
    record.percent = readPercent(s, 5);
    record.elapsedText = columnText(s, 6);
    return true;
}

} // namespace report
