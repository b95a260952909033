#pragma once

#include "data/sqlite.h"

#include <QObject>
#include <QString>

// A connection to one database file, named by the "Data Source" of an OLE DB style connection string.
// The other properties of the string are accepted and ignored: SQLite has no use for them.
class Connection final : public QObject {
    Q_OBJECT
public:
    enum class Mode { Unknown, Read, Write, ReadWrite, ShareDenyNone };

    // Throws EComponentError when the SQLite library loaded at run time is older than the one korvel
    // was built against: nothing of the database can work then.
    explicit Connection(QObject *parent = nullptr);
    ~Connection() override;

    QString connectionString() const { return m_connectionString; }
    void setConnectionString(const QString &text) { m_connectionString = text; }
    bool loginPrompt() const { return m_loginPrompt; }
    void setLoginPrompt(bool prompt) { m_loginPrompt = prompt; }
    Mode mode() const { return m_mode; }
    void setMode(Mode mode) { m_mode = mode; }
    QString provider() const { return m_provider; }
    void setProvider(const QString &provider) { m_provider = provider; }
    // Opens the database read-only (for tools that must never change the file).
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    // Opens the file; a second call while open does nothing. Throws EProviderError.
    void open();
    void close();
    bool isConnected() const { return m_db != nullptr; }

    sqlite3 *handle() const { return m_db.get(); }
    // The database file as the connection string names it, relative to the current directory.
    QString fileName() const { return m_fileName; }

    // Tests: pretend the loaded library has this version number (0 restores the real one).
    static void setRuntimeVersionForTesting(int versionNumber);

private:
    QString m_connectionString;
    QString m_provider;
    QString m_fileName;
    Mode m_mode = Mode::Unknown;
    bool m_loginPrompt = true;
    bool m_readOnly = false;
    SqliteHandle m_db;
};
