#pragma once

#include "data/dataset.h"
#include "data/sqlite.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <vector>

// A read-only query whose rows are read in pages on demand. "select * from T order by K [asc|desc]"
// is paged by key (K, rowid), so a page costs the same at any depth; any other statement falls back
// to LIMIT/OFFSET paging. No statement stays open between pages, so no read transaction is held.
class Query final : public DataSet {
    Q_OBJECT
public:
    struct Column {
        QString name;
        QString kind;   // as for table fields: "AutoInc", "WideString", "DateTime", "Boolean", "Float", ...
        int width = -1; // declared width of a text column
    };

    static constexpr int pageSize = 100;

    explicit Query(QObject *parent = nullptr);
    ~Query() override;

    QString commandText() const { return m_commandText; }
    void setCommandText(const QString &sql) { m_commandText = sql; }

    const QList<Column> &columns() const { return m_columns; }
    int columnIndex(QStringView name) const; // -1 when the view has no such column

    // Rows read so far.
    qsizetype rowCount() const { return qsizetype(m_rows.size()) / qMax<qsizetype>(1, m_columns.size()); }
    bool canFetchMore() const { return isActive() && !m_atEnd; }
    // Reads up to `count` further rows; returns how many arrived.
    qsizetype fetchMore(qsizetype count = pageSize);
    // A value of a row already read: null, qlonglong, double, bool, QString, or a TDateTime (double) for
    // date and time columns whose text is a valid time stamp. Null outside the rows read.
    const QVariant &value(qsizetype row, int column) const;

    qsizetype currentRow() const { return m_currentRow; }
    void setCurrentRow(qsizetype row);

    // Runs the query again from its first page; the first row becomes current.
    void requery();

    // Rows read from the database since the view opened, for tests and benchmarks.
    qsizetype rowsReadTotal() const { return m_rowsReadTotal; }

protected:
    void doOpen() override;
    void doClose() override;

private:
    void preparePlan();
    void readColumns(sqlite3_stmt *statement);
    qsizetype readPage(qsizetype count);
    qsizetype fetchRows(qsizetype count);
    void resetRows();

    QString m_commandText;
    QList<Column> m_columns;
    std::vector<QVariant> m_rows; // row-major
    qsizetype m_currentRow = -1;
    qsizetype m_rowsReadTotal = 0;
    bool m_atEnd = true;

    // Key paging: "phase" runs through the rows with a non-null key, then those whose key is null
    // (in the order SQLite sorts them).
    bool m_keyed = false;
    bool m_descending = false;
    int m_phase = 0;
    bool m_havePosition = false;
    QVariant m_lastKey;
    qlonglong m_lastRowid = 0;
    int m_keyColumn = 0;
    qsizetype m_offset = 0;
    StatementHandle m_first[2];
    StatementHandle m_next[2];
    StatementHandle m_plain;
};
