#pragma once

#include <QObject>
#include <QString>

#include <functional>

class Connection;

// What a table object and a query have in common: a connection, an open/closed state, and errors
// that carry the data set's name in front ("Tdata: ...").
class DataSet : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Insert };

    explicit DataSet(QObject *parent = nullptr);
    ~DataSet() override;

    Connection *connection() const { return m_connection; }
    void setConnection(Connection *connection) { m_connection = connection; }

    State state() const { return m_state; }
    bool isActive() const { return m_state != State::Inactive; }

    // Opens the data set, connecting first when the connection is closed. Throws on failure and stays closed.
    void open();
    void close();

    // Called after a record has been posted, inside the post.
    std::function<void(DataSet *)> afterPost;

    // Throws EDatabaseError "<name>: <message>".
    [[noreturn]] void databaseError(const QString &message) const;

Q_SIGNALS:
    // The data set opened, closed or was re-queried: bound controls show it afresh.
    void dataSetChanged();

protected:
    void checkActive() const;
    void setState(State state) { m_state = state; }
    virtual void doOpen() = 0;
    virtual void doClose() = 0;
    QString dataSetName() const;

private:
    Connection *m_connection = nullptr;
    State m_state = State::Inactive;
};
