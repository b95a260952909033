#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QFontMetrics;

// One entry of the grid's stored column list ("Selected"): tab-separated column name, display width in
// characters, title, then optionally a read-only flag ("T") and a group name.
struct GridColumn {
    QString fieldName;
    int displayWidth = -1; // characters; -1 when the entry gives no usable width
    QString title;         // lines separated by "~"
    bool readOnly = false;
    QString group;

    friend bool operator==(const GridColumn &, const GridColumn &) = default;
};

// nullopt for an entry without a column name.
std::optional<GridColumn> parseGridColumn(const QString &entry);
// The usable entries, in order.
QList<GridColumn> parseSelected(const QStringList &entries);
QString gridColumnEntry(const GridColumn &column);

// Display width x the width of "0" in the data font, + 4; or the widest title line in the title font + 4
// when that is wider.
int gridColumnWidth(int displayWidth, const QString &title, const QFontMetrics &dataFont,
                    const QFontMetrics &titleFont);
