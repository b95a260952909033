#include "platform/modules.h"

#include <QObject>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// A module with named components, like a data module built from its stored form.
std::unique_ptr<QObject> makeModule(const QString &name, const QStringList &components)
{
    auto module = std::make_unique<QObject>();
    module->setObjectName(name);
    for (const QString &component : components)
        (new QObject(module.get()))->setObjectName(component);
    return module;
}

// Records every bind call of one reference.
struct Binding {
    std::vector<QObject *> calls;
    std::function<void(QObject *)> bind()
    {
        return [this](QObject *target) { calls.push_back(target); };
    }
};

} // namespace

class TestModules final : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void pendingUntilModuleIsComplete();
    void existingModuleBindsAtOnce_data();
    void existingModuleBindsAtOnce();
    void windowsBeforeDataModules();
    void rebindsWhenModuleComesBack();
    void destroyedHolderIsNeverCalled();
    void unusablePaths();

private:
    ModuleRegistry &registry = ModuleRegistry::instance();
};

void TestModules::cleanup()
{
    // Every test destroys what it made; the registry must have forgotten all of it.
    QCOMPARE(registry.pendingCount(), 0);
    QCOMPARE(registry.findModule(QStringLiteral("DataModule2")), nullptr);
}

void TestModules::pendingUntilModuleIsComplete()
{
    QObject grid;
    Binding binding;
    registry.reference(&grid, QStringLiteral("datamodule2.DDATA"), binding.bind());
    QVERIFY(binding.calls.empty());
    QCOMPARE(registry.pendingCount(), 1);

    auto module = makeModule(QStringLiteral("DataModule2"), {});
    registry.addDataModule(module.get());
    QCOMPARE(registry.findModule(QStringLiteral("DATAMODULE2")), module.get());
    registry.resolvePending(module.get()); // the component doesn't exist yet
    QVERIFY(binding.calls.empty());

    auto *data = new QObject(module.get());
    data->setObjectName(QStringLiteral("DData"));
    registry.resolvePending(module.get());
    QCOMPARE(binding.calls, std::vector<QObject *>{data});
    QCOMPARE(registry.pendingCount(), 0);

    registry.resolvePending(module.get()); // bound references stay as they are
    QCOMPARE(binding.calls.size(), size_t(1));

    module.reset();
    QCOMPARE(binding.calls, (std::vector<QObject *>{data, nullptr}));
    registry.unreference(&grid);
}

void TestModules::existingModuleBindsAtOnce_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected"); // objectName of the bound object
    QTest::newRow("component") << "DataModule2.DData" << "DData";
    QTest::newRow("nested component, other case") << "dataModule2.tPerc" << "TPerc";
    QTest::newRow("module itself") << "DATAMODULE2" << "DataModule2";
}

void TestModules::existingModuleBindsAtOnce()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    auto module = makeModule(QStringLiteral("DataModule2"), {QStringLiteral("DData")});
    (new QObject(module->findChild<QObject *>(QStringLiteral("DData"))))->setObjectName(QStringLiteral("TPerc"));
    registry.addDataModule(module.get());

    QObject holder;
    Binding binding;
    registry.reference(&holder, path, binding.bind());
    QCOMPARE(binding.calls.size(), size_t(1));
    QVERIFY(binding.calls[0] != nullptr);
    QCOMPARE(binding.calls[0]->objectName(), expected);
    registry.unreference(&holder);
}

void TestModules::windowsBeforeDataModules()
{
    auto dataModule = makeModule(QStringLiteral("Main"), {QStringLiteral("Source")});
    auto window = makeModule(QStringLiteral("MAIN"), {QStringLiteral("source")});
    registry.addDataModule(dataModule.get());
    registry.addWindow(window.get());
    QCOMPARE(registry.findModule(QStringLiteral("main")), window.get());

    QObject holder;
    Binding binding;
    registry.reference(&holder, QStringLiteral("Main.Source"), binding.bind());
    QCOMPARE(binding.calls, std::vector<QObject *>{window->children().at(0)});
    registry.resolvePending(dataModule.get());
    QCOMPARE(binding.calls.size(), size_t(1));

    // Once the window is gone the data module of that name is next in line.
    window.reset();
    QCOMPARE(binding.calls.back(), nullptr);
    QCOMPARE(registry.findModule(QStringLiteral("main")), dataModule.get());
    registry.resolvePending(dataModule.get());
    QCOMPARE(binding.calls.back(), dataModule->children().at(0));
    registry.unreference(&holder);
}

void TestModules::rebindsWhenModuleComesBack()
{
    QObject grid;
    Binding binding;
    registry.reference(&grid, QStringLiteral("DataModule2.DData"), binding.bind());
    for (int round = 0; round < 2; ++round) {
        auto module = makeModule(QStringLiteral("DataModule2"), {QStringLiteral("DData")});
        registry.addDataModule(module.get());
        registry.resolvePending(module.get());
        QCOMPARE(binding.calls.back(), module->children().at(0));
        if (round == 0) {
            delete module->children().at(0); // the component alone goes away
            QCOMPARE(binding.calls.back(), nullptr);
            QCOMPARE(registry.pendingCount(), 1);
        }
    }
    QCOMPARE(binding.calls.size(), size_t(4));
    QCOMPARE(binding.calls.back(), nullptr);
    registry.unreference(&grid);
}

void TestModules::destroyedHolderIsNeverCalled()
{
    Binding binding;
    auto holder = std::make_unique<QObject>();
    registry.reference(holder.get(), QStringLiteral("DataModule2.DData"), binding.bind());
    holder.reset();
    QCOMPARE(registry.pendingCount(), 0);

    auto module = makeModule(QStringLiteral("DataModule2"), {QStringLiteral("DData")});
    registry.addDataModule(module.get());
    registry.resolvePending(module.get());
    module.reset();
    QVERIFY(binding.calls.empty());

    // Holder going away while bound: the module's later destruction calls nobody either.
    module = makeModule(QStringLiteral("DataModule2"), {QStringLiteral("DData")});
    registry.addDataModule(module.get());
    holder = std::make_unique<QObject>();
    registry.reference(holder.get(), QStringLiteral("DataModule2.DData"), binding.bind());
    QCOMPARE(binding.calls.size(), size_t(1));
    holder.reset();
    module.reset();
    QCOMPARE(binding.calls.size(), size_t(1));
}

void TestModules::unusablePaths()
{
    auto module = makeModule(QStringLiteral("DataModule2"), {QStringLiteral("DData")});
    registry.addDataModule(module.get());
    QObject holder;
    Binding binding;
    for (const QString &path : {QString(), QStringLiteral(".DData"), QStringLiteral("  ")})
        registry.reference(&holder, path, binding.bind());
    registry.reference(nullptr, QStringLiteral("DataModule2.DData"), binding.bind());
    registry.reference(&holder, QStringLiteral("DataModule2.DData"), {});
    QVERIFY(binding.calls.empty());
    QCOMPARE(registry.pendingCount(), 0);
    QCOMPARE(registry.findModule(QString()), nullptr);
}

QTEST_GUILESS_MAIN(TestModules)
#include "tst_modules.moc"
