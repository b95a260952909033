// Any text as a connection string: it parses or raises EProviderError, nothing else; and what parses,
// written back out with every value quoted, parses to the same properties.
#include "data/connectionstring.h"
#include "platform/exception.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<ConnectionProperty> properties;
    try {
        properties = parseConnectionString(text);
    } catch (const EProviderError &) {
        return 0;
    }
    QString written;
    for (const ConnectionProperty &property : properties) {
        if (property.name.isEmpty() || property.name != property.name.trimmed())
            std::abort();
        if (!connectionProperty(properties, property.name))
            std::abort();
        QString value = property.value;
        value.replace(u'"', QStringLiteral("\"\""));
        written += property.name + QStringLiteral("=\"") + value + QStringLiteral("\";");
    }
    QList<ConnectionProperty> again;
    try {
        again = parseConnectionString(written);
    } catch (const EProviderError &) {
        std::abort();
    }
    if (again.size() != properties.size())
        std::abort();
    for (qsizetype i = 0; i < again.size(); ++i)
        if (again[i].name != properties[i].name || again[i].value != properties[i].value)
            std::abort();
    return 0;
}
