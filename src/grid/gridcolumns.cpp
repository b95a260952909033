#include "grid/gridcolumns.h"

#include <QFontMetrics>

std::optional<GridColumn> parseGridColumn(const QString &entry)
{
    const QStringList parts = entry.split(u'\t');
    GridColumn column;
    column.fieldName = parts.value(0).trimmed();
    if (column.fieldName.isEmpty())
        return std::nullopt;
    bool ok = false;
    const int width = parts.value(1).trimmed().toInt(&ok);
    column.displayWidth = ok && width >= 0 ? width : -1;
    column.title = parts.size() > 2 ? parts[2] : column.fieldName;
    column.readOnly = parts.value(3).trimmed() == QLatin1String("T");
    column.group = parts.value(4);
    return column;
}

QList<GridColumn> parseSelected(const QStringList &entries)
{
    QList<GridColumn> columns;
    for (const QString &entry : entries)
        if (auto column = parseGridColumn(entry))
            columns.append(*column);
    return columns;
}

QString gridColumnEntry(const GridColumn &column)
{
    QStringList parts{column.fieldName, QString::number(column.displayWidth), column.title};
    if (column.readOnly || !column.group.isEmpty())
        parts.append(column.readOnly ? QStringLiteral("T") : QStringLiteral("F"));
    if (!column.group.isEmpty())
        parts.append(column.group);
    return parts.join(u'\t');
}

int gridColumnWidth(int displayWidth, const QString &title, const QFontMetrics &dataFont,
                    const QFontMetrics &titleFont)
{
    const int byData = qMax(0, displayWidth) * dataFont.horizontalAdvance(u'0') + 4;
    int byTitle = 0;
    for (const QString &line : title.split(u'~'))
        byTitle = qMax(byTitle, titleFont.horizontalAdvance(line) + 4);
    return qMax(byData, byTitle);
}
