#include "grid/dbgridmodel.h"

#include "data/datasource.h"
#include "data/query.h"
#include "grid/celltext.h"
#include "platform/application.h"

#include <QScopedValueRollback>

#include <limits>

DBGridModel::DBGridModel(QObject *parent) : QAbstractTableModel(parent), m_timeFormat(TimeFormat::fromLocale(m_locale))
{
}

DBGridModel::~DBGridModel() = default;

void DBGridModel::setDataSource(DataSource *source)
{
    if (m_source == source)
        return;
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (m_source) {
        connect(m_source, &DataSource::dataChanged, this, [this] { refresh(false); });
        connect(m_source, &QObject::destroyed, this, [this] {
            m_source = nullptr;
            refresh(true);
        });
    }
    refresh(true);
}

void DBGridModel::setEntries(const QList<GridColumn> &entries)
{
    m_entries = entries;
    refresh(true);
}

void DBGridModel::setLocale(const QLocale &locale)
{
    m_locale = locale;
    m_timeFormat = TimeFormat::fromLocale(locale);
    if (m_rows > 0 && !m_shown.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, int(m_shown.size()) - 1), {Qt::DisplayRole});
}

void DBGridModel::refresh(bool chooseColumns)
{
    Query *query = m_source ? qobject_cast<Query *>(m_source->dataSet()) : nullptr;
    const bool open = query != nullptr && query->isActive();

    const QScopedValueRollback busy(m_changing, true);
    beginResetModel();
    if (m_query != query) {
        if (m_query)
            disconnect(m_query, nullptr, this, nullptr);
        m_query = query;
        if (m_query)
            connect(m_query, &QObject::destroyed, this, &DBGridModel::queryDestroyed);
        chooseColumns = true;
    }
    // Columns are chosen when the view opens; a re-query keeps them (and the user's layout of them).
    chooseColumns = chooseColumns || open != m_open;
    m_open = open;
    m_fetchFailed = false;
    if (chooseColumns) {
        m_shown.clear();
        if (open) {
            for (const GridColumn &entry : std::as_const(m_entries)) {
                const int source = query->columnIndex(entry.fieldName);
                if (source >= 0)
                    m_shown.append({entry, source, query->columns()[source].kind});
            }
        }
    }
    m_rows = open ? int(qMin<qsizetype>(query->rowCount(), std::numeric_limits<int>::max())) : 0;
    m_columnsChosen = chooseColumns;
    endResetModel();
}

void DBGridModel::queryDestroyed()
{
    // The pointer is already cleared; don't ask the data source, whose data set may be half gone.
    const QScopedValueRollback busy(m_changing, true);
    beginResetModel();
    m_query = nullptr;
    m_open = false;
    m_shown.clear();
    m_rows = 0;
    m_columnsChosen = true;
    endResetModel();
}

int DBGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DBGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

QVariant DBGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) || !m_query)
        return QVariant();
    const Shown &shown = m_shown[index.column()];
    switch (role) {
    case Qt::DisplayRole:
        if (index.row() >= m_query->rowCount())
            return QVariant();
        return cellText(m_query->value(index.row(), shown.source), shown.kind, m_locale, m_timeFormat);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(cellAlignment(shown.kind));
    default:
        return QVariant();
    }
}

QVariant DBGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_shown.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_shown[section].entry.title.split(u'~').join(u'\n');
    return QVariant();
}

Qt::ItemFlags DBGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Never editable: the grid shows a read-only view.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

bool DBGridModel::canFetchMore(const QModelIndex &parent) const
{
    // Not while a reset or an insertion is being announced: rows arrive only between changes.
    if (m_changing || parent.isValid() || !m_query || !m_open || m_fetchFailed || !m_query->isActive() ||
        m_rows == std::numeric_limits<int>::max())
        return false;
    return m_query->rowCount() > m_rows || m_query->canFetchMore();
}

void DBGridModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    if (m_query->rowCount() <= m_rows) {
        try {
            m_query->fetchMore(Query::pageSize);
        } catch (const std::exception &error) {
            // Called from the view's painting and scrolling: report it the program's way and stop asking
            // until the next refresh, so one broken page doesn't bring a box per scroll step.
            m_fetchFailed = true;
            if (Application *application = Application::instance())
                application->handleException(error);
            else
                qWarning("%s", error.what());
        }
    }
    const int available = int(qMin<qsizetype>(m_query->rowCount(), std::numeric_limits<int>::max()));
    if (available <= m_rows)
        return;
    const QScopedValueRollback busy(m_changing, true);
    beginInsertRows(QModelIndex(), m_rows, available - 1);
    m_rows = available;
    endInsertRows();
}
