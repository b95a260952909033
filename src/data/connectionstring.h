#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// One "name=value" pair of an OLE DB style connection string.
struct ConnectionProperty {
    QString name;
    QString value;
};

// Parses "name=value;name=value;...". Values may be quoted with double or single quotes, a doubled
// quote inside standing for one; surrounding blanks are dropped; empty pairs (";;") are skipped.
// Throws EProviderError naming the position of a malformed part.
QList<ConnectionProperty> parseConnectionString(QStringView text);

// The value of a property, names compared without regard to case.
std::optional<QString> connectionProperty(const QList<ConnectionProperty> &properties, QStringView name);
