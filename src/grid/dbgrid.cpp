#include "grid/dbgrid.h"

#include "data/datasource.h"
#include "platform/modules.h"

DBGrid::DBGrid(QWidget *parent) : QTableView(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

DBGrid::~DBGrid()
{
    ModuleRegistry::instance().unreference(this);
}

void DBGrid::setDataSourceName(const QString &path)
{
    ModuleRegistry::instance().reference(this, path,
                                         [this](QObject *component) { setDataSource(qobject_cast<DataSource *>(component)); });
}

void DBGrid::setDataSource(DataSource *source)
{
    m_dataSource = source;
}
