#include "data/field.h"

#include "data/table.h"

QString cutToSize(const QString &text, int size)
{
    if (size <= 0 || text.size() <= size)
        return text;
    qsizetype cut = size;
    if (text.at(cut - 1).isHighSurrogate() && text.at(cut).isLowSurrogate())
        --cut;
    return text.left(cut);
}

Field::Field(Table *table, const QString &objectName, const QString &fieldName, const QString &kind, int size,
             bool readOnly)
    : QObject(table), m_table(table), m_fieldName(fieldName), m_kind(kind), m_size(size), m_readOnly(readOnly)
{
    setObjectName(objectName);
    table->addField(this);
}

void Field::assign(QVariant value)
{
    if (m_table->state() != DataSet::State::Insert)
        m_table->databaseError(QStringLiteral("Dataset not in edit or insert mode"));
    if (m_readOnly)
        m_table->databaseError(QStringLiteral("Field '%1' cannot be modified").arg(m_fieldName));
    m_value = std::move(value);
    m_assigned = true;
}

void Field::setAsDateTime(double value)
{
    assign(value);
}

void Field::setAsBoolean(bool value)
{
    assign(value);
}

void Field::setAsInteger(int value)
{
    // Floating-point columns store the same whole number.
    if (m_kind == QLatin1String("Float"))
        assign(double(value));
    else
        assign(value);
}

void Field::setAsString(const QString &value)
{
    assign(cutToSize(value, m_size));
}

void Field::clear()
{
    m_value = QVariant();
    m_assigned = false;
}
