#pragma once

#include <QString>

#include <exception>
#include <string>

// Errors are exceptions in korvel. Handlers never catch them; the application's guard around event
// dispatch shows them in the error box (see Application).
class Exception : public std::exception {
public:
    explicit Exception(QString message);
    ~Exception() override = default;

    const QString &message() const { return m_message; }
    // Class name as the start-up failure box shows it.
    virtual const char *className() const { return "Exception"; }
    // Code address that raised the error, as an offset into its module, and that module's file name.
    quintptr address() const { return m_address; }
    const QString &moduleName() const { return m_module; }

    const char *what() const noexcept override { return m_what.c_str(); }

private:
    QString m_message;
    std::string m_what;
    quintptr m_address = 0;
    QString m_module;
};

// Silent error: the error handler drops it without a word.
class EAbort : public Exception {
public:
    using Exception::Exception;
    const char *className() const override { return "EAbort"; }
};

// Raised by the data-set layer about a data set itself; the message carries the data set's name.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
    const char *className() const override { return "EDatabaseError"; }
};

// Raised by the database provider (SQLite); the message is the provider's own.
class EProviderError : public Exception {
public:
    using Exception::Exception;
    const char *className() const override { return "EProviderError"; }
};

// Raised when a component cannot be created at all (for instance, an unusable database library).
class EComponentError : public Exception {
public:
    using Exception::Exception;
    const char *className() const override { return "Exception"; }
};
