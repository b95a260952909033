#include "data/datasource.h"

#include "data/dataset.h"

DataSource::DataSource(QObject *parent) : QObject(parent) {}

void DataSource::setDataSet(DataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    if (m_dataSet)
        disconnect(m_dataSet, nullptr, this, nullptr);
    m_dataSet = dataSet;
    if (m_dataSet)
        connect(m_dataSet, &DataSet::dataSetChanged, this, &DataSource::dataChanged);
    Q_EMIT dataChanged();
}
