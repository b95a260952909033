#include "data/dataset.h"

#include "data/connection.h"
#include "platform/exception.h"

DataSet::DataSet(QObject *parent) : QObject(parent) {}

DataSet::~DataSet() = default;

QString DataSet::dataSetName() const
{
    return objectName();
}

void DataSet::databaseError(const QString &message) const
{
    throw EDatabaseError(QStringLiteral("%1: %2").arg(dataSetName(), message));
}

void DataSet::checkActive() const
{
    if (!isActive())
        databaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void DataSet::open()
{
    if (isActive())
        return;
    if (m_connection == nullptr)
        databaseError(QStringLiteral("Missing Connection or ConnectionString"));
    m_connection->open();
    doOpen();
    m_state = State::Browse;
    Q_EMIT dataSetChanged();
}

void DataSet::close()
{
    if (!isActive())
        return;
    doClose();
    m_state = State::Inactive;
    Q_EMIT dataSetChanged();
}
