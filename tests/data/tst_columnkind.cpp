#include "data/declaredtype.h"

#include <QTest>

class TestColumnKind final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void mapping_data();
    void mapping();
};

void TestColumnKind::mapping_data()
{
    QTest::addColumn<QString>("declared");
    QTest::addColumn<bool>("primaryKey");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("width");
    auto row = [](const char *declared, bool primaryKey, const char *kind, int width = -1) {
        QTest::addRow("'%s'%s", declared, primaryKey ? " pk" : "") << declared << primaryKey << kind << width;
    };
    row("INTEGER", true, "AutoInc");
    row("integer", true, "AutoInc");
    row("INT", true, "Integer"); // not a rowid alias in SQLite
    row("BIGINT", true, "LargeInt");
    row("TINYINT", false, "Word");
    row("byte", false, "Word");
    row("SMALLINT", false, "SmallInt");
    row("INT", false, "Integer");
    row("Integer", false, "Integer");
    row("MEDIUMINT", false, "Integer");
    row("BIGINT", false, "LargeInt");
    row("CHAR", false, "WideString");
    row("varchar(50)", false, "WideString", 50);
    row("NCHAR(8)", false, "WideString", 8);
    row("NVARCHAR", false, "WideString");
    row("TEXT", false, "WideString");
    row(" VarChar ( 12 ) ", false, "WideString", 12);
    row("VARCHAR(abc", false, "WideString");
    row("VARCHAR(50", false, "WideString");
    row("VARCHAR(-3)", false, "WideString");
    row("VARCHAR(99999999999)", false, "WideString");
    row("MEMO", false, "Memo");
    row("longtext", false, "Memo");
    row("CLOB", false, "Memo");
    row("NTEXT", false, "Memo");
    row("DATETIME", false, "DateTime");
    row("timestamp", false, "DateTime");
    row("DATE", false, "Date");
    row("TIME", false, "Time");
    row("BOOLEAN", false, "Boolean");
    row("bool", false, "Boolean");
    row("BIT", false, "Boolean");
    row("YESNO", false, "Boolean");
    row("LOGICAL", false, "Boolean");
    row("REAL", false, "Float");
    row("DOUBLE", false, "Float");
    row("double precision", false, "Float");
    row("FLOAT", false, "Float");
    row("SINGLE", false, "Float");
    row("CURRENCY", false, "Currency");
    row("money", false, "Currency");
    row("DECIMAL(10,2)", false, "BCD");
    row("NUMERIC(5, 1)", false, "BCD");
    row("DECIMAL(5,0)", false, "Integer");
    row("numeric(9)", false, "Integer");
    row("DECIMAL(10,0)", false, "BCD");
    row("DECIMAL", false, "BCD");
    row("DECIMAL(x,0)", false, "BCD");
    row("", false, "Blob");
    row("", true, "Blob");
    row("BLOB", false, "Blob");
    row("(", false, "Blob");
    row(")(,", false, "Blob");
    row("\xe2\x82\xac(5)", false, "Blob");
}

void TestColumnKind::mapping()
{
    QFETCH(QString, declared);
    QFETCH(bool, primaryKey);
    QFETCH(QString, kind);
    QFETCH(int, width);
    const ColumnKind actual = columnKindOf(declared, primaryKey);
    QCOMPARE(actual.kind, kind);
    QCOMPARE(actual.width, width);
}

QTEST_APPLESS_MAIN(TestColumnKind)
#include "tst_columnkind.moc"
