#pragma once

#include <QString>

#include <functional>
#include <memory>

class QObject;

// References between modules by name, e.g. the grid's stored data source "DataModule2.DData" while
// DataModule2 doesn't exist yet. Modules (windows and data modules) are known by their objectName(),
// compared case-insensitively.
class ModuleRegistry final {
public:
    static ModuleRegistry &instance();

    ModuleRegistry(const ModuleRegistry &) = delete;
    ModuleRegistry &operator=(const ModuleRegistry &) = delete;

    void addWindow(QObject *window);
    void addDataModule(QObject *module);
    // Forgets a module (also done on its destruction); references bound into it get bind(nullptr) and
    // wait again for a module of that name.
    void remove(QObject *module);
    // Windows first, then data modules; nullptr for an empty or unknown name.
    QObject *findModule(const QString &name) const;

    // Resolves "Module.Component" now if the module exists and has the component (a child, at any
    // depth, with that objectName, case-insensitive), else keeps it pending. A path without a dot names
    // the module itself. bind is called with the component, or with nullptr when it or its module goes
    // away (the reference then waits for the next module of that name). Nothing is called once the
    // holder is destroyed.
    void reference(QObject *holder, const QString &path, std::function<void(QObject *)> bind);
    // Drops every reference the holder made (without calling bind).
    void unreference(QObject *holder);
    // Called by a module as soon as all its components exist, before they open: binds the pending
    // references into it.
    void resolvePending(QObject *module);

    // How many references wait for their module or component.
    int pendingCount() const;

private:
    ModuleRegistry();
    ~ModuleRegistry();

    struct Private;
    std::unique_ptr<Private> d;
};
