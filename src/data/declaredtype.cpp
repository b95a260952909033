#include "data/declaredtype.h"

#include <QList>
#include <QRegularExpression>

namespace {

struct ParsedType {
    QString name;          // upper case, blanks collapsed, without the arguments
    QList<int> arguments;  // the numbers in parentheses
    bool argumentsValid = true;
};

ParsedType parse(QStringView declared)
{
    ParsedType parsed;
    const QString text = declared.trimmed().toString();
    const qsizetype open = text.indexOf(u'(');
    parsed.name = (open < 0 ? text : text.left(open)).simplified().toUpper();
    if (open >= 0) {
        const qsizetype close = text.indexOf(u')', open);
        const QString inner = text.mid(open + 1, close < 0 ? -1 : close - open - 1);
        if (close < 0)
            parsed.argumentsValid = false;
        for (const QString &part : inner.split(u',')) {
            bool ok = false;
            const int value = part.trimmed().toInt(&ok);
            if (!ok || value < 0) {
                parsed.argumentsValid = false;
                continue;
            }
            parsed.arguments.append(value);
        }
    }
    return parsed;
}

bool isOneOf(const QString &name, std::initializer_list<const char *> names)
{
    for (const char *candidate : names)
        if (name == QLatin1String(candidate))
            return true;
    return false;
}

} // namespace

ColumnKind columnKindOf(QStringView declaredType, bool integerPrimaryKey)
{
    const ParsedType type = parse(declaredType);
    const QString &name = type.name;

    if (integerPrimaryKey && name == QLatin1String("INTEGER"))
        return {QStringLiteral("AutoInc")};
    if (isOneOf(name, {"TINYINT", "BYTE"}))
        return {QStringLiteral("Word")};
    if (name == QLatin1String("SMALLINT"))
        return {QStringLiteral("SmallInt")};
    if (isOneOf(name, {"INT", "INTEGER", "MEDIUMINT"}))
        return {QStringLiteral("Integer")};
    if (name == QLatin1String("BIGINT"))
        return {QStringLiteral("LargeInt")};
    if (isOneOf(name, {"CHAR", "VARCHAR", "NCHAR", "NVARCHAR", "TEXT", "CHARACTER", "VARYING CHARACTER",
                       "NATIVE CHARACTER"})) {
        int width = -1;
        if (type.argumentsValid && type.arguments.size() == 1)
            width = type.arguments.first();
        return {QStringLiteral("WideString"), width};
    }
    if (isOneOf(name, {"MEMO", "LONGTEXT", "CLOB", "NTEXT"}))
        return {QStringLiteral("Memo")};
    if (isOneOf(name, {"DATETIME", "TIMESTAMP"}))
        return {QStringLiteral("DateTime")};
    if (name == QLatin1String("DATE"))
        return {QStringLiteral("Date")};
    if (name == QLatin1String("TIME"))
        return {QStringLiteral("Time")};
    if (isOneOf(name, {"BOOLEAN", "BOOL", "BIT", "YESNO", "LOGICAL"}))
        return {QStringLiteral("Boolean")};
    if (isOneOf(name, {"REAL", "DOUBLE", "DOUBLE PRECISION", "FLOAT", "SINGLE"}))
        return {QStringLiteral("Float")};
    if (isOneOf(name, {"CURRENCY", "MONEY"}))
        return {QStringLiteral("Currency")};
    if (isOneOf(name, {"DECIMAL", "NUMERIC"})) {
        const int precision = type.arguments.value(0, 18);
        const int scale = type.arguments.value(1, 0);
        if (type.argumentsValid && scale == 0 && precision < 10)
            return {QStringLiteral("Integer")};
        return {QStringLiteral("BCD")};
    }
    return {QStringLiteral("Blob")};
}
