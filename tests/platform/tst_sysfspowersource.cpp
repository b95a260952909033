#include "platform/linux/sysfspowersource.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const QString kFixtures = QStringLiteral(KORVEL_TEST_DATA "/power-supply");

// Writes "BAT0/type=Battery"-style lines as files below root; every value gets sysfs' newline.
void writeTree(const QString &root, const QStringList &files)
{
    for (const QString &line : files) {
        const qsizetype eq = line.indexOf(u'=');
        const QString path = root + u'/' + line.left(eq);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(line.mid(eq + 1).toUtf8() + '\n');
    }
}

void copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    const QDir source(from);
    for (const QFileInfo &entry : source.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        if (entry.isDir())
            copyTree(entry.filePath(), to + u'/' + entry.fileName());
        else
            QVERIFY(QFile::copy(entry.filePath(), to + u'/' + entry.fileName()));
    }
}

} // namespace

class TestSysfsPowerSource final : public QObject {
    Q_OBJECT

private slots:
    void parseInteger_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("value");
        QTest::newRow("value with newline") << QByteArray("57\n") << true << qint64(57);
        QTest::newRow("spaces around") << QByteArray("  42 \t\n") << true << qint64(42);
        QTest::newRow("zero") << QByteArray("0\n") << true << qint64(0);
        QTest::newRow("negative") << QByteArray("-1250000\n") << true << qint64(-1250000);
        QTest::newRow("largest") << QByteArray("9223372036854775807") << true << qint64(9223372036854775807);
        QTest::newRow("empty") << QByteArray("") << false << qint64(0);
        QTest::newRow("newline only") << QByteArray("\n") << false << qint64(0);
        QTest::newRow("text") << QByteArray("abc\n") << false << qint64(0);
        QTest::newRow("number then text") << QByteArray("12abc\n") << false << qint64(0);
        QTest::newRow("two numbers") << QByteArray("1 2\n") << false << qint64(0);
        QTest::newRow("plus sign") << QByteArray("+5\n") << false << qint64(0);
        QTest::newRow("hex") << QByteArray("0x10\n") << false << qint64(0);
        QTest::newRow("decimal point") << QByteArray("57.5\n") << false << qint64(0);
        QTest::newRow("sign alone") << QByteArray("-\n") << false << qint64(0);
        QTest::newRow("too large") << QByteArray("99999999999999999999\n") << false << qint64(0);
        QTest::newRow("embedded NUL") << QByteArray("5\0" "7", 3) << false << qint64(0);
    }

    void parseInteger()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QFETCH(qint64, value);
        const auto parsed = sysfs::parseInteger(std::string_view(bytes.constData(), size_t(bytes.size())));
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, value);
    }

    void parseBatteryStatus_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        using S = sysfs::BatteryStatus;
        QTest::newRow("Charging") << QByteArray("Charging\n") << int(S::Charging);
        QTest::newRow("Discharging") << QByteArray("Discharging\n") << int(S::Discharging);
        QTest::newRow("Not charging") << QByteArray("Not charging\n") << int(S::NotCharging);
        QTest::newRow("Full") << QByteArray("Full\n") << int(S::Full);
        QTest::newRow("Unknown") << QByteArray("Unknown\n") << int(S::Unknown);
        QTest::newRow("lower case") << QByteArray("charging\n") << int(S::Unknown);
        QTest::newRow("empty") << QByteArray("") << int(S::Unknown);
    }

    void parseBatteryStatus()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);
        QCOMPARE(int(sysfs::parseBatteryStatus(std::string_view(bytes.constData(), size_t(bytes.size())))), status);
    }

    // The trees in tests/data/power-supply, and the two ways of having none.
    void fixtureTree_data()
    {
        QTest::addColumn<QString>("tree");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("mains");
        QTest::newRow("laptop-discharging") << "laptop-discharging" << 57 << 0;
        QTest::newRow("laptop-charging-usbc") << "laptop-charging-usbc" << 83 << 1;
        QTest::newRow("two-batteries") << "two-batteries" << 66 << 0;
        QTest::newRow("charge-units") << "charge-units" << 100 << 1;
        QTest::newRow("peripheral-only") << "peripheral-only" << 255 << 255;
        QTest::newRow("no-mains-entry") << "no-mains-entry" << 80 << 1;
        QTest::newRow("odd-values") << "odd-values" << 255 << 255;
        QTest::newRow("empty folder") << QString() << 255 << 255;
        QTest::newRow("missing root") << "does-not-exist" << 255 << 255;
    }

    void fixtureTree()
    {
        QFETCH(QString, tree);
        QFETCH(int, percent);
        QFETCH(int, mains);
        QTemporaryDir empty;
        QVERIFY(empty.isValid());
        SysfsPowerSource source(tree.isEmpty() ? empty.path() : kFixtures + u'/' + tree);
        PowerStatus status{7, 7};
        QCOMPARE(source.read(status), percent != 255 || mains != 255);
        QCOMPARE(int(status.batteryLifePercent), percent);
        QCOMPARE(int(status.acLineStatus), mains);
        // A second read goes through the descriptors kept open by the first.
        status = PowerStatus{7, 7};
        source.read(status);
        QCOMPARE(int(status.batteryLifePercent), percent);
        QCOMPARE(int(status.acLineStatus), mains);
    }

    // Cases the fixture trees don't show, as small trees written by the test.
    void writtenTree_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("mains");
        const QStringList battery = {"BAT0/type=Battery"};
        QTest::newRow("energy above full is held to 100")
            << battery + QStringList{"BAT0/energy_now=53000000", "BAT0/energy_full=52000000"} << 100 << 255;
        QTest::newRow("capacity above 100 is held to 100") << battery + QStringList{"BAT0/capacity=104"} << 100 << 255;
        QTest::newRow("negative capacity") << battery + QStringList{"BAT0/capacity=-3"} << 255 << 255;
        QTest::newRow("negative energy falls back to capacity")
            << battery + QStringList{"BAT0/energy_now=-1", "BAT0/energy_full=52000000", "BAT0/capacity=40"} << 40
            << 255;
        QTest::newRow("absurd energy falls back to charge")
            << battery
                   + QStringList{"BAT0/energy_now=99999999999999999", "BAT0/energy_full=99999999999999999",
                                 "BAT0/charge_now=1000000", "BAT0/charge_full=4000000"}
            << 25 << 255;
        QTest::newRow("units that differ are averaged")
            << QStringList{"BAT0/type=Battery", "BAT0/energy_now=10000000", "BAT0/energy_full=20000000",
                           "BAT1/type=Battery", "BAT1/capacity=70"}
            << 60 << 255;
        QTest::newRow("empty bay is left out")
            << QStringList{"BAT0/type=Battery",        "BAT0/energy_now=10000000", "BAT0/energy_full=20000000",
                           "BAT1/type=Battery",        "BAT1/present=0",           "BAT1/energy_now=0",
                           "BAT1/energy_full=40000000", "BAT1/status=Unknown"}
            << 50 << 255;
        QTest::newRow("peripheral USB supply is left out")
            << battery + QStringList{"BAT0/capacity=50", "hid/type=USB", "hid/scope=Device", "hid/online=1"} << 50
            << 255;
        QTest::newRow("older kernel USB type") << QStringList{"usb/type=USB_PD", "usb/online=1"} << 255 << 1;
        QTest::newRow("UPS is no adapter") << QStringList{"ups/type=UPS", "ups/online=1"} << 255 << 255;
        QTest::newRow("adapter offline, battery charging")
            << battery + QStringList{"BAT0/capacity=50", "BAT0/status=Charging", "AC/type=Mains", "AC/online=0"}
            << 50 << 1;
        QTest::newRow("adapter offline, battery full")
            << battery + QStringList{"BAT0/capacity=100", "BAT0/status=Full", "AC/type=Mains", "AC/online=0"} << 100
            << 0;
        QTest::newRow("adapter offline, no battery") << QStringList{"AC/type=Mains", "AC/online=0"} << 255 << 0;
        QTest::newRow("adapter unreadable, discharging")
            << battery + QStringList{"BAT0/capacity=50", "BAT0/status=Discharging", "AC/type=Mains", "AC/online=x"}
            << 50 << 0;
        QTest::newRow("no adapter, discharging")
            << battery + QStringList{"BAT0/capacity=50", "BAT0/status=Discharging"} << 50 << 0;
        QTest::newRow("no adapter, full") << battery + QStringList{"BAT0/capacity=100", "BAT0/status=Full"} << 100
                                          << 1;
        QTest::newRow("entry without type file") << QStringList{"BAT0/capacity=50"} << 255 << 255;
        QTest::newRow("overlong value") << battery + QStringList{"BAT0/capacity=" + QString(100, u'0') + "50"} << 255
                                        << 255;
    }

    void writtenTree()
    {
        QFETCH(QStringList, files);
        QFETCH(int, percent);
        QFETCH(int, mains);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        writeTree(root.path(), files);
        SysfsPowerSource source(root.path());
        PowerStatus status;
        source.read(status);
        QCOMPARE(int(status.batteryLifePercent), percent);
        QCOMPARE(int(status.acLineStatus), mains);
    }

    // Value files a tree can hold that are no files: a folder, a FIFO with no writer (must not hang the
    // tick), a dangling symlink, a symlink loop. Each reads as nothing; the other battery still counts.
    void unreadableValueFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("dangling symlink") << "dangling";
        QTest::newRow("symlink loop") << "loop";
    }

    void unreadableValueFile()
    {
        QFETCH(QString, kind);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        writeTree(root.path(), {"BAT0/type=Battery", "BAT0/status=Discharging", "BAT1/type=Battery",
                                "BAT1/capacity=40"});
        const QByteArray path = QFile::encodeName(root.path() + "/BAT0/capacity");
        if (kind == "folder")
            QVERIFY(QDir().mkdir(root.path() + "/BAT0/capacity"));
        else if (kind == "fifo")
            QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        else if (kind == "dangling")
            QCOMPARE(::symlink("gone", path.constData()), 0);
        else
            QCOMPARE(::symlink("capacity", path.constData()), 0);

        SysfsPowerSource source(root.path(), 0ms);
        for (int i = 0; i < 2; ++i) {
            PowerStatus status;
            QVERIFY(source.read(status));
            QCOMPARE(int(status.batteryLifePercent), 40);
            QCOMPARE(int(status.acLineStatus), 0);
        }
        QVERIFY(QDir(root.path() + "/BAT1").removeRecursively());
        PowerStatus status;
        QVERIFY(source.read(status)); // the status still tells "on battery"
        QCOMPARE(int(status.batteryLifePercent), 255);
    }

    // Values are re-read on every call, not cached with the open descriptors.
    void followsChangingValues()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        copyTree(kFixtures + "/laptop-discharging", root.path());
        SysfsPowerSource source(root.path(), 1h);
        PowerStatus status;
        QVERIFY(source.read(status));
        QCOMPARE(int(status.batteryLifePercent), 57);
        QCOMPARE(int(status.acLineStatus), 0);

        // Rewritten in place, as the kernel's files change under an open descriptor.
        writeTree(root.path(), {"BAT0/energy_now=26000000", "AC/online=1"});
        QVERIFY(source.read(status));
        QCOMPARE(int(status.batteryLifePercent), 50);
        QCOMPARE(int(status.acLineStatus), 1);
    }

    void batteryRemovedAndAdded()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        copyTree(kFixtures + "/two-batteries", root.path());
        SysfsPowerSource source(root.path(), 0ms); // look at the folder on every read
        PowerStatus status;
        QVERIFY(source.read(status));
        QCOMPARE(int(status.batteryLifePercent), 66);

        QVERIFY(QDir(root.path() + "/BAT1").removeRecursively());
        QVERIFY(source.read(status));
        QCOMPARE(int(status.batteryLifePercent), 50);
        QCOMPARE(int(status.acLineStatus), 0);

        QVERIFY(QDir(root.path()).removeRecursively());
        QVERIFY(!source.read(status));
        QCOMPARE(int(status.batteryLifePercent), 255);
        QCOMPARE(int(status.acLineStatus), 255);

        copyTree(kFixtures + "/two-batteries", root.path());
        QVERIFY(source.read(status));
        QCOMPARE(int(status.batteryLifePercent), 66);
    }
};

QTEST_APPLESS_MAIN(TestSysfsPowerSource)
#include "tst_sysfspowersource.moc"
