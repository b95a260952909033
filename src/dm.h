#pragma once

#include <QObject>

class Command;
class Connection;
class DataSet;
class DataSource;
class Field;
class Query;
class Table;

// The log store: the connection to bat.mdb, the table object that appends log records, the
// newest-first view the grid shows, and the command that empties the log.
class TDataModule2 final : public QObject {
    Q_OBJECT
public:
    // Creates the components and opens the connection, the table object and the view. A component
    // that fails to open is reported in the error box at once and stays closed; construction fails
    // only when a component can't be made at all.
    explicit TDataModule2(QObject *owner = nullptr);
    ~TDataModule2() override;

    Connection *ADCON = nullptr;
    Table *Tdata = nullptr;
    DataSource *DData = nullptr;
    Query *ADODataSet1 = nullptr;
    Command *ADOCommand1 = nullptr;
    Field *Tdatatid = nullptr;
    Field *Tdatattest = nullptr;
    Field *Tdatatbat = nullptr;
    Field *Tdatattime = nullptr;
    Field *Tdatatac = nullptr;
    Field *Tdatatperc = nullptr;
    Field *Tdatatelap = nullptr;

    // Refreshes the view after each appended log record.
    void TdataAfterPost(DataSet *dataSet);

    static const char connectionString[];
};

// The program-wide data module.
extern TDataModule2 *DataModule2;
