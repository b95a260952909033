#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

class Table;

// A persistent field of a table object: the column it stands for, its kind and size, and the value
// of the record being inserted. Values are held here until the record is posted.
class Field final : public QObject {
    Q_OBJECT
public:
    // Registers itself with `table`, which owns it.
    Field(Table *table, const QString &objectName, const QString &fieldName, const QString &kind, int size = 0,
          bool readOnly = false);

    QString fieldName() const { return m_fieldName; }
    // "AutoInc", "WideString", "DateTime", "Boolean" or "Float".
    QString kind() const { return m_kind; }
    int size() const { return m_size; }
    bool isReadOnly() const { return m_readOnly; }

    // Each setter needs the table to be inserting. A text is cut to `size()` UTF-16 code units,
    // never between the two halves of a surrogate pair.
    void setAsDateTime(double value);
    void setAsBoolean(bool value);
    void setAsInteger(int value);
    void setAsString(const QString &value);

    QVariant value() const { return m_value; }
    bool isAssigned() const { return m_assigned; }
    void clear();

private:
    void assign(QVariant value);

    Table *m_table;
    QString m_fieldName;
    QString m_kind;
    int m_size;
    bool m_readOnly;
    bool m_assigned = false;
    QVariant m_value;
};

// Cuts a text to at most `size` UTF-16 code units without splitting a surrogate pair.
QString cutToSize(const QString &text, int size);
