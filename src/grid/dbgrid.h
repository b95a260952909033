#pragma once

#include <QPointer>
#include <QTableView>

#include "data/datasource.h"



// The read-only log grid. It shows whatever its data source's data set holds.
class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);
    ~DBGrid() override;

    // The stored binding, "Module.Component"; it waits until that module exists.
    void setDataSourceName(const QString &path);
    DataSource *dataSource() const { return m_dataSource; }
    void setDataSource(DataSource *source);

private:
    QPointer<DataSource> m_dataSource;
};
