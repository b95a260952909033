#include "data/connectionstring.h"
#include "platform/exception.h"
#include "testdb.h"

#include <QTest>

namespace {
QString joined(const QList<ConnectionProperty> &properties)
{
    QStringList parts;
    for (const auto &property : properties)
        parts.append(property.name + u'=' + property.value);
    return parts.join(u'|');
}
} // namespace

class TestConnectionString final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void programString();
    void parses_data();
    void parses();
    void malformed_data();
    void malformed();
};

void TestConnectionString::programString()
{
    QCOMPARE(testdb::connectionString.size(), 575);
    const auto properties = parseConnectionString(testdb::connectionString);
    const QStringList expected = {
        "Provider=Microsoft.Jet.OLEDB.4.0",
        "User ID=Admin",
        "Data Source=bat.mdb",
        "Mode=Share Deny None",
        "Extended Properties=",
        "Persist Security Info=False",
        "Jet OLEDB:System database=",
        "Jet OLEDB:Registry Path=",
        "Jet OLEDB:Database Password=",
        "Jet OLEDB:Engine Type=5",
        "Jet OLEDB:Database Locking Mode=1",
        "Jet OLEDB:Global Partial Bulk Ops=2",
        "Jet OLEDB:Global Bulk Transactions=1",
        "Jet OLEDB:New Database Password=",
        "Jet OLEDB:Create System Database=False",
        "Jet OLEDB:Encrypt Database=False",
        "Jet OLEDB:Don't Copy Locale on Compact=False",
        "Jet OLEDB:Compact Without Replica Repair=False",
        "Jet OLEDB:SFP=False",
    };
    QCOMPARE(joined(properties), expected.join(u'|'));
    QCOMPARE(connectionProperty(properties, u"data source"), std::optional<QString>(QStringLiteral("bat.mdb")));
    QCOMPARE(connectionProperty(properties, u"Extended Properties"), std::optional<QString>(QString()));
    QVERIFY(!connectionProperty(properties, u"Initial Catalog").has_value());
}

void TestConnectionString::parses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << "" << "";
    QTest::newRow("only separators") << " ; ;; " << "";
    QTest::newRow("blanks around") << "  a = 1 ;  b= two words  " << "a=1|b=two words";
    QTest::newRow("empty pairs") << "a=1;;b=2;" << "a=1|b=2";
    QTest::newRow("semicolon in double quotes") << R"(Data Source="x;y.mdb";b=2)" << "Data Source=x;y.mdb|b=2";
    QTest::newRow("semicolon in single quotes") << "a='x;y' ;b=2" << "a=x;y|b=2";
    QTest::newRow("doubled quotes") << R"(a="say ""hi""";b='it''s')" << R"(a=say "hi"|b=it's)";
    QTest::newRow("other quote inside") << R"(a="it's";b='a"b')" << R"(a=it's|b=a"b)";
    QTest::newRow("empty quoted") << R"(a="";b='')" << "a=|b=";
    QTest::newRow("blanks kept in quotes") << R"(a=" x ")" << "a= x ";
    QTest::newRow("equals in value") << "a=b=c" << "a=b=c";
    QTest::newRow("empty value") << "a=;b=" << "a=|b=";
}

void TestConnectionString::parses()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(joined(parseConnectionString(text)), expected);
}

void TestConnectionString::malformed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position"); // 1-based, as the message names it
    QTest::newRow("name without =") << "a=1;Data Source" << 5;
    QTest::newRow("name then ;") << "a=1;oops;b=2" << 5;
    QTest::newRow("value without name") << "a=1; =2" << 6;
    QTest::newRow("unclosed double quote") << R"(a=1;b="x;y)" << 7;
    QTest::newRow("unclosed single quote") << "a='" << 3;
    QTest::newRow("doubled quote at end") << R"(a="x"")" << 3;
    QTest::newRow("text after quotes") << R"(a="x" y;b=1)" << 7;
}

void TestConnectionString::malformed()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    try {
        parseConnectionString(text);
        QFAIL("no error");
    } catch (const EProviderError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("at character %1:").arg(position)), qPrintable(e.message()));
    }
}

QTEST_APPLESS_MAIN(TestConnectionString)
#include "tst_connectionstring.moc"
