#pragma once

#include <QObject>
#include <QString>

class Connection;

// An SQL statement that returns no rows, run on a connection.
class Command final : public QObject {
    Q_OBJECT
public:
    explicit Command(QObject *parent = nullptr);

    Connection *connection() const { return m_connection; }
    void setConnection(Connection *connection) { m_connection = connection; }
    QString commandText() const { return m_commandText; }
    void setCommandText(const QString &sql) { m_commandText = sql; }

    // Connects first when needed, then runs every statement of the text; rows it returns are dropped.
    // Throws EProviderError.
    void execute();

private:
    Connection *m_connection = nullptr;
    QString m_commandText;
};
