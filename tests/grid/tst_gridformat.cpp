// The grid's stored column entries, column widths and cell texts.
#include "grid/celltext.h"
#include "grid/gridcolumns.h"
#include "platform/timeformat.h"

#include <QFont>
#include <QFontMetrics>
#include <QLocale>
#include <QtTest>

namespace {
// 2026-12-11, days since 1899-12-30.
constexpr double day = 46367;
constexpr double second = 1.0 / 86400;

QString text(const QVariant &value, const QString &kind, const char *localeName)
{
    const QLocale locale(QString::fromLatin1(localeName));
    return cellText(value, kind, locale, TimeFormat::fromLocale(locale));
}
} // namespace

class GridFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void entry_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("group");

        QTest::newRow("three parts") << "telap\t8\tElapsed" << true << "telap" << 8 << "Elapsed" << false << "";
        QTest::newRow("fourth part F") << "ttest\t12\tTest Name\tF" << true << "ttest" << 12 << "Test Name" << false
                                       << "";
        QTest::newRow("read-only and group") << "tac\t5\tAC\tT\tPower" << true << "tac" << 5 << "AC" << true
                                             << "Power";
        QTest::newRow("only T is read-only") << "tac\t5\tAC\tt" << true << "tac" << 5 << "AC" << false << "";
        QTest::newRow("title with blanks kept") << "ttest\t12\t Test  Name " << true << "ttest" << 12
                                                << " Test  Name " << false << "";
        QTest::newRow("empty title") << "tac\t5\t" << true << "tac" << 5 << "" << false << "";
        QTest::newRow("name only") << "tperc" << true << "tperc" << -1 << "tperc" << false << "";
        QTest::newRow("width not a number") << "tperc\tabc\t%" << true << "tperc" << -1 << "%" << false << "";
        QTest::newRow("negative width") << "tperc\t-3\t%" << true << "tperc" << -1 << "%" << false << "";
        QTest::newRow("empty") << "" << false << "" << 0 << "" << false << "";
        QTest::newRow("no name") << "\t5\tAC" << false << "" << 0 << "" << false << "";
    }
    void entry()
    {
        QFETCH(QString, entry);
        QFETCH(bool, valid);
        const auto column = parseGridColumn(entry);
        QCOMPARE(column.has_value(), valid);
        if (!valid)
            return;
        QTEST(column->fieldName, "field");
        QTEST(column->displayWidth, "width");
        QTEST(column->title, "title");
        QTEST(column->readOnly, "readOnly");
        QTEST(column->group, "group");
    }

    void selectedSkipsUnusableEntries()
    {
        const QList<GridColumn> columns =
            parseSelected({QStringLiteral("telap\t8\tElapsed"), QString(), QStringLiteral("\t3\t%"),
                           QStringLiteral("nosuch\t4\tGone"), QStringLiteral("tac\t5\tAC")});
        QStringList names;
        for (const GridColumn &column : columns)
            names.append(column.fieldName);
        // Whether a column exists is the view's business; parsing keeps "nosuch".
        QCOMPARE(names, QStringList({"telap", "nosuch", "tac"}));
        QCOMPARE(parseGridColumn(gridColumnEntry(columns[0])), columns[0]);
    }

    void width_data()
    {
        QTest::addColumn<int>("characters");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("wider"); // "data" or the title line that decides
        QTest::newRow("data wider") << 18 << "Timestamp" << "data";
        QTest::newRow("title wider") << 1 << "Timestamp" << "Timestamp";
        QTest::newRow("widest title line") << 1 << "AC~Timestamp~%" << "Timestamp";
        QTest::newRow("no width") << 0 << "" << "data";
    }
    void width()
    {
        QFETCH(int, characters);
        QFETCH(QString, title);
        QFETCH(QString, wider);
        QFont dataFont(QStringLiteral("Sans Serif"));
        dataFont.setPixelSize(11);
        QFont titleFont = dataFont;
        titleFont.setPixelSize(20); // differs, so a mix-up of the two fonts shows
        const QFontMetrics data(dataFont);
        const QFontMetrics titles(titleFont);
        const int expected = wider == QLatin1String("data") ? characters * data.horizontalAdvance(u'0') + 4
                                                             : titles.horizontalAdvance(wider) + 4;
        QCOMPARE(gridColumnWidth(characters, title, data, titles), expected);
    }

    void text_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");

        const QVariant null;
        QTest::newRow("whole percent") << QVariant(87.0) << "Float" << "en_US" << "87";
        QTest::newRow("percent stored as integer") << QVariant(qlonglong(56)) << "Float" << "en_US" << "56";
        QTest::newRow("fraction, decimal point") << QVariant(87.5) << "Float" << "en_US" << "87.5";
        QTest::newRow("fraction, decimal comma") << QVariant(87.5) << "Float" << "de_DE" << "87,5";
        QTest::newRow("no thousands separator") << QVariant(1234567.25) << "Float" << "en_US" << "1234567.25";
        QTest::newRow("15 significant digits") << QVariant(0.1 + 0.2) << "Float" << "en_US" << "0.3";
        QTest::newRow("negative") << QVariant(-2.5) << "Float" << "en_US" << "-2.5";
        QTest::newRow("integer") << QVariant(qlonglong(1234567)) << "AutoInc" << "en_US" << "1234567";

        QTest::newRow("12-hour afternoon") << QVariant(day + (14 * 3600 + 3 * 60 + 7) * second) << "DateTime"
                                           << "en_US" << "12/11/26 2:03:07 PM";
        QTest::newRow("24-hour afternoon") << QVariant(day + (14 * 3600 + 3 * 60 + 7) * second) << "DateTime"
                                           << "de_DE" << "11.12.26 14:03:07";
        QTest::newRow("12-hour one second past midnight")
            << QVariant(day + second) << "DateTime" << "en_US" << "12/11/26 12:00:01 AM";
        QTest::newRow("24-hour one second past midnight")
            << QVariant(day + second) << "DateTime" << "de_DE" << "11.12.26 00:00:01";
        QTest::newRow("midnight, 12-hour") << QVariant(day) << "DateTime" << "en_US" << "12/11/26";
        QTest::newRow("midnight, 24-hour") << QVariant(day) << "DateTime" << "de_DE" << "11.12.26";
        QTest::newRow("midnight and some ms") << QVariant(day + 0.4 * second) << "DateTime" << "de_DE"
                                              << "11.12.26";
        QTest::newRow("rounds up to the next midnight") << QVariant(day + 1 - 0.0001 * second) << "DateTime"
                                                        << "de_DE" << "12.12.26";
        QTest::newRow("date before 1899-12-30") << QVariant(-1.25) << "DateTime" << "de_DE" << "29.12.99 06:00:00";
        QTest::newRow("unreadable time stamp") << QVariant(QStringLiteral("yesterday")) << "DateTime" << "en_US"
                                               << "yesterday";

        QTest::newRow("true") << QVariant(true) << "Boolean" << "en_US" << "True";
        QTest::newRow("false") << QVariant(false) << "Boolean" << "de_DE" << "False";
        QTest::newRow("text unchanged") << QVariant(QStringLiteral("  drain 'q' #1")) << "WideString" << "en_US"
                                        << "  drain 'q' #1";

        for (const char *kind : {"Float", "DateTime", "Boolean", "WideString"})
            QTest::addRow("null %s", kind) << null << kind << "en_US" << "";
    }
    void text()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, kind);
        QFETCH(QString, locale);
        QTEST(::text(value, kind, locale.toLatin1().constData()), "expected");
    }

    void alignment()
    {
        for (const char *kind : {"Float", "AutoInc", "Integer", "Currency"})
            QCOMPARE(cellAlignment(QString::fromLatin1(kind)) & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        for (const char *kind : {"WideString", "DateTime", "Boolean", "Memo"})
            QCOMPARE(cellAlignment(QString::fromLatin1(kind)) & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    }
};

QTEST_MAIN(GridFormat)
#include "tst_gridformat.moc"
