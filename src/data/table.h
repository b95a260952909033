#pragma once

#include "data/dataset.h"
#include "data/sqlite.h"

#include <QList>
#include <QString>

#include <map>

class Field;

// A table object used to append rows. It keeps no copy of the table: nothing reads rows through it.
// A record whose post failed stays pending and is posted again before the next one is begun.
class Table final : public DataSet {
    Q_OBJECT
public:
    explicit Table(QObject *parent = nullptr);
    ~Table() override;

    QString tableName() const { return m_tableName; }
    void setTableName(const QString &name) { m_tableName = name; }

    const QList<Field *> &fields() const { return m_fields; }
    // Finds a field by its column name, without regard to case; throws "<name>: Field 'x' not found".
    Field *fieldByName(QStringView name) const;

    // Begins a new, empty record, posting a pending one first.
    void insert();
    // Sends the record to the database; on success fires afterPost before returning. On failure the
    // record stays pending and the provider's message is raised unchanged.
    void post();
    // True while a record is being inserted, also after a failed post.
    bool hasPendingRecord() const { return state() == State::Insert; }

protected:
    void doOpen() override;
    void doClose() override;

private:
    friend class Field;
    void addField(Field *field);

    struct Column {
        QString name;
        QString kind;
        int width = -1;
    };
    std::map<QString, Column> readColumns() const; // keyed by lower-case name
    bool tableAcceptsInserts() const;
    const Field *findTooLong(const QList<Field *> &assigned) const;
    sqlite3_stmt *insertStatement(const QList<Field *> &assigned);

    QString m_tableName;
    QList<Field *> m_fields;
    std::map<QString, Column> m_columns;
    bool m_updatable = false;
    QString m_cachedInsertKey;
    StatementHandle m_insert;
};
