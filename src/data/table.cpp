#include "data/table.h"

#include "data/connection.h"
#include "data/declaredtype.h"
#include "data/field.h"
#include "platform/clock.h"
#include "platform/exception.h"

#include <sqlite3.h>

namespace {

QString quoted(const QString &identifier)
{
    QString text = identifier;
    text.replace(u'"', QLatin1String("\"\""));
    return u'"' + text + u'"';
}

// The column kinds each field kind accepts.
bool kindAccepted(const QString &fieldKind, const QString &columnKind)
{
    static const std::map<QString, QStringList> accepted = {
        {QStringLiteral("AutoInc"), {"SmallInt", "Integer", "Word", "AutoInc"}},
        {QStringLiteral("WideString"), {"String", "WideString"}},
        {QStringLiteral("DateTime"), {"Date", "Time", "DateTime"}},
        {QStringLiteral("Boolean"), {"Boolean"}},
        {QStringLiteral("Float"), {"Float", "Currency", "BCD"}},
    };
    const auto it = accepted.find(fieldKind);
    return it != accepted.end() ? it->second.contains(columnKind) : fieldKind == columnKind;
}

} // namespace

Table::Table(QObject *parent) : DataSet(parent) {}

Table::~Table() = default;

void Table::addField(Field *field)
{
    m_fields.append(field);
}

Field *Table::fieldByName(QStringView name) const
{
    for (Field *field : m_fields)
        if (QStringView(field->fieldName()).compare(name, Qt::CaseInsensitive) == 0)
            return field;
    databaseError(QStringLiteral("Field '%1' not found").arg(name));
}

std::map<QString, Table::Column> Table::readColumns() const
{
    sqlite3 *db = connection()->handle();
    const QString file = connection()->fileName();
    auto info = prepareStatement(db, QStringLiteral("PRAGMA table_info(%1)").arg(quoted(m_tableName)), file);

    struct Raw {
        QString name;
        QString type;
        int pk;
    };
    QList<Raw> raw;
    int rc;
    while ((rc = sqlite3_step(info.get())) == SQLITE_ROW) {
        raw.append({QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(info.get(), 1))),
                    QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(info.get(), 2))),
                    sqlite3_column_int(info.get(), 5)});
    }
    if (rc != SQLITE_DONE)
        throwProviderError(db, rc, file);
    if (raw.isEmpty())
        throw EProviderError(QStringLiteral("The database \"%1\" has no table \"%2\". Create it with: sqlite3 %1 < "
                                            "schema/testdata.sql")
                                 .arg(file, m_tableName));

    int primaryKeyColumns = 0;
    for (const Raw &column : raw)
        primaryKeyColumns += column.pk > 0 ? 1 : 0;

    std::map<QString, Column> columns;
    for (const Raw &column : raw) {
        const bool rowidAlias = primaryKeyColumns == 1 && column.pk > 0;
        const ColumnKind kind = columnKindOf(column.type, rowidAlias);
        columns[column.name.toLower()] = {column.name, kind.kind, kind.width};
    }
    return columns;
}

bool Table::tableAcceptsInserts() const
{
    sqlite3 *db = connection()->handle();
    if (sqlite3_db_readonly(db, "main") != 0)
        return false;
    // A table takes rows; a view only through an INSTEAD OF INSERT trigger, however its text is laid out.
    auto objects = prepareStatement(db,
                                    QStringLiteral("SELECT type, sql FROM sqlite_master WHERE "
                                                   "(type IN ('table', 'view') AND lower(name) = lower(?1)) OR "
                                                   "(type = 'trigger' AND lower(tbl_name) = lower(?1))"),
                                    connection()->fileName());
    bindVariant(objects.get(), 1, m_tableName);
    bool isTable = false;
    bool insteadOfInsert = false;
    while (sqlite3_step(objects.get()) == SQLITE_ROW) {
        const QString type = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(objects.get(), 0)));
        const QString sql = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(objects.get(), 1)));
        if (type == QLatin1String("table"))
            isTable = true;
        else if (type == QLatin1String("trigger") &&
                 sql.simplified().contains(QLatin1String("INSTEAD OF INSERT"), Qt::CaseInsensitive))
            insteadOfInsert = true;
    }
    return isTable || insteadOfInsert;
}

void Table::doOpen()
{
    auto columns = readColumns();
    for (Field *field : m_fields) {
        const auto it = columns.find(field->fieldName().toLower());
        if (it == columns.end())
            databaseError(QStringLiteral("Field '%1' not found").arg(field->fieldName()));
        if (!kindAccepted(field->kind(), it->second.kind))
            databaseError(QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
                              .arg(field->fieldName(), field->kind(), it->second.kind));
    }
    m_columns = std::move(columns);
    m_updatable = tableAcceptsInserts();
}

void Table::doClose()
{
    // A pending record is dropped.
    for (Field *field : m_fields)
        field->clear();
    m_insert.reset();
    m_cachedInsertKey.clear();
    m_columns.clear();
}

void Table::insert()
{
    checkActive();
    if (state() == State::Insert)
        post();
    if (!m_updatable)
        databaseError(QStringLiteral("Cannot modify a read-only dataset"));
    for (Field *field : m_fields)
        field->clear();
    setState(State::Insert);
}

const Field *Table::findTooLong(const QList<Field *> &assigned) const
{
    for (const Field *field : assigned) {
        const auto it = m_columns.find(field->fieldName().toLower());
        const QVariant value = field->value();
        if (it != m_columns.end() && it->second.width >= 0 && value.typeId() == QMetaType::QString &&
            value.toString().size() > it->second.width)
            return field;
    }
    return nullptr;
}

sqlite3_stmt *Table::insertStatement(const QList<Field *> &assigned)
{
    QString key;
    for (const Field *field : assigned)
        key += field->fieldName() + u'\n';
    if (!m_insert || key != m_cachedInsertKey) {
        QStringList names;
        QStringList places;
        for (const Field *field : assigned) {
            const auto it = m_columns.find(field->fieldName().toLower());
            names.append(quoted(it != m_columns.end() ? it->second.name : field->fieldName()));
            places.append(QStringLiteral("?"));
        }
        const QString sql = names.isEmpty()
                                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(m_tableName))
                                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                      .arg(quoted(m_tableName), names.join(u','), places.join(u','));
        m_insert = prepareStatement(connection()->handle(), sql, connection()->fileName());
        m_cachedInsertKey = key;
    }
    return m_insert.get();
}

void Table::post()
{
    checkActive();
    if (state() != State::Insert)
        return;

    QList<Field *> assigned;
    for (Field *field : m_fields)
        if (field->isAssigned() && !field->isReadOnly())
            assigned.append(field);

    // Declared widths hold: a text longer than its column is refused before it reaches the file. The
    // widths are those read at open; before refusing, read them again, as the column may have been
    // widened since.
    const Field *tooLong = findTooLong(assigned);
    if (tooLong != nullptr) {
        m_columns = readColumns();
        tooLong = findTooLong(assigned);
    }
    if (tooLong != nullptr) {
        const Column &column = m_columns.at(tooLong->fieldName().toLower());
        const QString text = tooLong->value().toString();
        throw EProviderError(QStringLiteral("The text \"%1\" is too long for column %2, which holds at most %3 "
                                            "characters (this one has %4). Widen the column in the database.")
                                 .arg(text, column.name)
                                 .arg(column.width)
                                 .arg(text.size()));
    }

    sqlite3_stmt *statement = insertStatement(assigned);
    for (int i = 0; i < assigned.size(); ++i) {
        const Field *field = assigned[i];
        QVariant value = field->value();
        if (field->kind() == QLatin1String("DateTime") && !value.isNull()) {
            // A time outside years 1-9999 has no text: the row keeps no time rather than an empty one.
            const QString text = isoText(value.toDouble());
            value = text.isEmpty() ? QVariant() : QVariant(text);
        }
        bindVariant(statement, i + 1, value);
    }
    const int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (rc != SQLITE_DONE)
        throwProviderError(connection()->handle(), rc, connection()->fileName());

    setState(State::Browse);
    for (Field *field : m_fields)
        field->clear();
    if (afterPost)
        afterPost(this);
}
