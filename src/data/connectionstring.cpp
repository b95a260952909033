#include "data/connectionstring.h"

#include "platform/exception.h"

namespace {

[[noreturn]] void malformed(qsizetype position, const char *what)
{
    throw EProviderError(QStringLiteral("The connection string is malformed at character %1: %2.")
                             .arg(position + 1)
                             .arg(QLatin1String(what)));
}

} // namespace

QList<ConnectionProperty> parseConnectionString(QStringView text)
{
    QList<ConnectionProperty> properties;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && text[i].isSpace())
            ++i;
    };

    while (i < n) {
        skipBlanks();
        if (i < n && text[i] == u';') {
            ++i;
            continue;
        }
        if (i >= n)
            break;

        const qsizetype nameStart = i;
        while (i < n && text[i] != u'=' && text[i] != u';')
            ++i;
        if (i >= n || text[i] != u'=')
            malformed(nameStart, "a property name without \"=\"");
        const QString name = text.mid(nameStart, i - nameStart).trimmed().toString();
        if (name.isEmpty())
            malformed(nameStart, "a value without a property name");
        ++i; // '='
        skipBlanks();

        QString value;
        if (i < n && (text[i] == u'"' || text[i] == u'\'')) {
            const QChar quote = text[i];
            const qsizetype quoteStart = i++;
            bool closed = false;
            while (i < n) {
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            if (!closed)
                malformed(quoteStart, "a quoted value without its closing quote");
            skipBlanks();
            if (i < n && text[i] != u';')
                malformed(i, "text after a quoted value");
        } else {
            const qsizetype valueStart = i;
            while (i < n && text[i] != u';')
                ++i;
            value = text.mid(valueStart, i - valueStart).trimmed().toString();
        }
        properties.append({name, value});
        if (i < n)
            ++i; // ';'
    }
    return properties;
}

std::optional<QString> connectionProperty(const QList<ConnectionProperty> &properties, QStringView name)
{
    for (const auto &property : properties)
        if (QStringView(property.name).compare(name, Qt::CaseInsensitive) == 0)
            return property.value;
    return std::nullopt;
}
