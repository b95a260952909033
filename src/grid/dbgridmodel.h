#pragma once

#include "grid/gridcolumns.h"
#include "platform/timeformat.h"

#include <QAbstractTableModel>
#include <QLocale>
#include <QPointer>

class DataSource;
class Query;

// The rows of a data source's query as a table, in the columns the grid's stored entries choose. Rows
// are read page by page as the view asks for them (canFetchMore/fetchMore). Each notice of the data
// source (open, re-query, close) resets the model to the query's first page.
class DBGridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DBGridModel(QObject *parent = nullptr);
    ~DBGridModel() override;

    DataSource *dataSource() const { return m_source; }
    void setDataSource(DataSource *source);
    // The query behind the data source, or nullptr when it has none (or another kind of data set).
    Query *query() const { return m_query; }

    // Which of the query's columns show, in which order, under which title. Entries naming a column
    // the query lacks are skipped; query columns no entry names are not shown.
    const QList<GridColumn> &entries() const { return m_entries; }
    void setEntries(const QList<GridColumn> &entries);

    // Dates, times and decimal separators follow this locale.
    QLocale locale() const { return m_locale; }
    void setLocale(const QLocale &locale);

    // The entry and the query column behind a shown column.
    const GridColumn &column(int column) const { return m_shown[column].entry; }
    int queryColumn(int column) const { return m_shown[column].source; }
    // True during and right after a reset that chose the columns anew (the view opened, or the entries
    // changed); false after one that only re-read the rows.
    bool columnsChosen() const { return m_columnsChosen; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

private:
    struct Shown {
        GridColumn entry;
        int source = -1;
        QString kind;
    };

    void refresh(bool chooseColumns);
    void queryDestroyed();

    QPointer<DataSource> m_source;
    QPointer<Query> m_query;
    QList<GridColumn> m_entries;
    QList<Shown> m_shown;
    QLocale m_locale;
    TimeFormat m_timeFormat;
    int m_rows = 0;
    bool m_open = false;
    bool m_columnsChosen = false;
    bool m_fetchFailed = false;
    bool m_changing = false;
};
