#pragma once

#include "data/dataset.h" // QPointer<DataSet> converts to DataSet * only with the full type

#include <QObject>
#include <QPointer>

// Links data-aware controls to a data set and tells them when it opened, closed or was re-queried.
class DataSource final : public QObject {
    Q_OBJECT
public:
    explicit DataSource(QObject *parent = nullptr);

    DataSet *dataSet() const { return m_dataSet; }
    void setDataSet(DataSet *dataSet);
    // When false, a bound control never switches the data set into editing by itself.
    bool autoEdit() const { return m_autoEdit; }
    void setAutoEdit(bool autoEdit) { m_autoEdit = autoEdit; }

Q_SIGNALS:
    void dataChanged();

private:
    QPointer<DataSet> m_dataSet;
    bool m_autoEdit = true;
};
