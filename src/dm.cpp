#include "dm.h"

#include "data/command.h"
#include "data/connection.h"
#include "data/datasource.h"
#include "data/field.h"
#include "data/query.h"
#include "data/table.h"
#include "platform/application.h"
#include "platform/exception.h"
#include "platform/messagebox.h"
#include "platform/modules.h"

TDataModule2 *DataModule2 = nullptr;

const char TDataModule2::connectionString[] =
    "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=bat.mdb;Mode=Share Deny None;"
    "Extended Properties=\"\";Persist Security Info=False;Jet OLEDB:System database=\"\";"
    "Jet OLEDB:Registry Path=\"\";Jet OLEDB:Database Password=\"\";Jet OLEDB:Engine Type=5;"
    "Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;"
    "Jet OLEDB:New Database Password=\"\";Jet OLEDB:Create System Database=False;"
    "Jet OLEDB:Encrypt Database=False;Jet OLEDB:Don't Copy Locale on Compact=False;"
    "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False";

namespace {

// Start-up shows a failure to open at once, before the window appears, and goes on.
void reportOpenFailure(const std::exception &error)
{
    if (dynamic_cast<const EAbort *>(&error) != nullptr)
        return;
    const auto *known = dynamic_cast<const Exception *>(&error);
    const QString message = known != nullptr ? known->message() : QString::fromLocal8Bit(error.what());
    const QString caption =
        Application::instance() != nullptr ? Application::instance()->title() : QCoreApplication::applicationName();
    MessageBox::showError(nullptr, caption, Application::errorBoxText(message));
}

template <class Open>
void openGuarded(Open open)
{
    try {
        open();
    } catch (const std::exception &error) {
        reportOpenFailure(error);
    }
}

} // namespace

TDataModule2::TDataModule2(QObject *owner) : QObject(owner)
{
    setObjectName(QStringLiteral("DataModule2"));

    // The stored components, in their stored order.
    ADCON = new Connection(this);
    ADCON->setObjectName(QStringLiteral("ADCON"));
    ADCON->setConnectionString(QString::fromLatin1(connectionString));
    ADCON->setLoginPrompt(false);
    ADCON->setMode(Connection::Mode::ShareDenyNone);
    ADCON->setProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));

    Tdata = new Table(this);
    Tdata->setObjectName(QStringLiteral("Tdata"));
    Tdata->setConnection(ADCON);
    Tdata->setTableName(QStringLiteral("testdata"));
    Tdatatid = new Field(Tdata, QStringLiteral("Tdatatid"), QStringLiteral("tid"), QStringLiteral("AutoInc"), 0, true);
    Tdatattest = new Field(Tdata, QStringLiteral("Tdatattest"), QStringLiteral("ttest"), QStringLiteral("WideString"), 50);
    Tdatatbat = new Field(Tdata, QStringLiteral("Tdatatbat"), QStringLiteral("tbat"), QStringLiteral("WideString"), 50);
    Tdatattime = new Field(Tdata, QStringLiteral("Tdatattime"), QStringLiteral("ttime"), QStringLiteral("DateTime"));
    Tdatatac = new Field(Tdata, QStringLiteral("Tdatatac"), QStringLiteral("tac"), QStringLiteral("Boolean"));
    Tdatatperc = new Field(Tdata, QStringLiteral("Tdatatperc"), QStringLiteral("tperc"), QStringLiteral("Float"));
    Tdatatelap = new Field(Tdata, QStringLiteral("Tdatatelap"), QStringLiteral("telap"), QStringLiteral("WideString"), 8);
    Tdata->afterPost = [this](DataSet *dataSet) { TdataAfterPost(dataSet); };

    DData = new DataSource(this);
    DData->setObjectName(QStringLiteral("DData"));
    DData->setAutoEdit(false);

    ADODataSet1 = new Query(this);
    ADODataSet1->setObjectName(QStringLiteral("ADODataSet1"));
    ADODataSet1->setConnection(ADCON);
    ADODataSet1->setCommandText(QStringLiteral("select * from testdata order by ttime desc"));
    DData->setDataSet(ADODataSet1);

    ADOCommand1 = new Command(this);
    ADOCommand1->setObjectName(QStringLiteral("ADOCommand1"));
    ADOCommand1->setConnection(ADCON);
    ADOCommand1->setCommandText(QStringLiteral("delete from testdata where 1=1"));

    // Every component exists: references into this module (the grid's data source) bind now, before
    // anything opens.
    ModuleRegistry::instance().addDataModule(this);
    ModuleRegistry::instance().resolvePending(this);

    // The components finish loading in the same order. Each data set connects by itself when the
    // connection failed, so a missing file is reported once per component.
    openGuarded([this] { ADCON->open(); });
    openGuarded([this] { Tdata->open(); });
    openGuarded([this] { ADODataSet1->open(); });
}

TDataModule2::~TDataModule2()
{
    // The data sets close first (a pending record is dropped), then the connection.
    Tdata->close();
    ADODataSet1->close();
    ADCON->close();
    ModuleRegistry::instance().remove(this);
}

void TDataModule2::TdataAfterPost(DataSet *)
{
    ADODataSet1->requery();
}
