#pragma once

#include <QString>
#include <QStringView>

// What a column's declared SQLite type stands for, in the kinds the field check compares:
// "AutoInc", "Word", "SmallInt", "Integer", "LargeInt", "WideString", "Memo", "DateTime", "Date",
// "Time", "Boolean", "Float", "Currency", "BCD" or "Blob".
struct ColumnKind {
    QString kind;
    int width = -1; // declared width of a text column, -1 when none is declared
};

// `integerPrimaryKey` is true for the table's rowid alias (a lone INTEGER PRIMARY KEY column).
ColumnKind columnKindOf(QStringView declaredType, bool integerPrimaryKey = false);
