#include "platform/modules.h"

#include <QObject>
#include <QPointer>

#include <algorithm>
#include <vector>

namespace {

bool sameName(const QString &a, const QString &b)
{
    return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

struct Reference {
    quint64 id = 0;
    QPointer<QObject> holder;
    QString moduleName;
    QString componentName; // empty: the module itself
    std::function<void(QObject *)> bind;
    // Set while bound. Raw: a dying module already reads as null through a QPointer when it says
    // destroyed(), and remove() needs to match it then.
    QObject *module = nullptr;
    QPointer<QObject> target;
    QMetaObject::Connection targetWatch;
};

} // namespace

struct ModuleRegistry::Private {
    std::vector<QPointer<QObject>> windows;
    std::vector<QPointer<QObject>> dataModules;
    std::vector<Reference> references;
    quint64 nextId = 1;
    // Context of our connections, so none outlives the registry.
    QObject context;

    Reference *find(quint64 id)
    {
        const auto it = std::find_if(references.begin(), references.end(), [id](const Reference &r) {
            return r.id == id;
        });
        return it == references.end() ? nullptr : &*it;
    }

    void add(std::vector<QPointer<QObject>> &list, QObject *module, ModuleRegistry *registry)
    {
        if (module == nullptr || std::find(list.begin(), list.end(), module) != list.end())
            return;
        list.emplace_back(module);
        QObject::connect(module, &QObject::destroyed, &context, [registry, module] { registry->remove(module); });
    }

    QObject *component(QObject *module, const QString &name) const
    {
        if (name.isEmpty())
            return module;
        const QList<QObject *> children = module->findChildren<QObject *>();
        const auto it = std::find_if(children.begin(), children.end(), [&name](QObject *child) {
            return sameName(child->objectName(), name);
        });
        return it == children.end() ? nullptr : *it;
    }

    // Binds reference id to its component in module, if there is one. bind may change the list.
    void tryBind(quint64 id, QObject *module, ModuleRegistry *registry)
    {
        Reference *ref = find(id);
        if (ref == nullptr || ref->module != nullptr)
            return;
        if (!ref->holder) {
            drop(id);
            return;
        }
        QObject *target = component(module, ref->componentName);
        if (target == nullptr)
            return;
        ref->module = module;
        ref->target = target;
        ref->targetWatch = QObject::connect(target, &QObject::destroyed, &context, [registry, id] {
            registry->d->unbind(id);
        });
        const std::function<void(QObject *)> bind = ref->bind;
        bind(target);
    }

    void unbind(quint64 id)
    {
        Reference *ref = find(id);
        if (ref == nullptr || ref->module == nullptr)
            return;
        QObject::disconnect(ref->targetWatch);
        ref->module = nullptr;
        ref->target = nullptr;
        if (!ref->holder) {
            drop(id);
            return;
        }
        const std::function<void(QObject *)> bind = ref->bind;
        bind(nullptr);
    }

    void drop(quint64 id)
    {
        const auto it = std::find_if(references.begin(), references.end(), [id](const Reference &r) {
            return r.id == id;
        });
        if (it == references.end())
            return;
        QObject::disconnect(it->targetWatch);
        references.erase(it);
    }

    std::vector<quint64> ids() const
    {
        std::vector<quint64> result;
        result.reserve(references.size());
        for (const Reference &r : references)
            result.push_back(r.id);
        return result;
    }
};

ModuleRegistry::ModuleRegistry() : d(std::make_unique<Private>()) {}

ModuleRegistry::~ModuleRegistry() = default;

ModuleRegistry &ModuleRegistry::instance()
{
    static ModuleRegistry registry;
    return registry;
}

void ModuleRegistry::addWindow(QObject *window)
{
    d->add(d->windows, window, this);
}

void ModuleRegistry::addDataModule(QObject *module)
{
    d->add(d->dataModules, module, this);
}

void ModuleRegistry::remove(QObject *module)
{
    if (module == nullptr)
        return;
    // Compare raw pointers: on destruction the QPointers may already read as null.
    const auto erase = [module](std::vector<QPointer<QObject>> &list) {
        list.erase(std::remove_if(list.begin(), list.end(), [module](const QPointer<QObject> &p) {
            return p.data() == module || p.isNull();
        }), list.end());
    };
    erase(d->windows);
    erase(d->dataModules);
    for (const quint64 id : d->ids()) {
        const Reference *ref = d->find(id);
        if (ref != nullptr && ref->module == module)
            d->unbind(id);
    }
}

QObject *ModuleRegistry::findModule(const QString &name) const
{
    for (const auto *list : {&d->windows, &d->dataModules}) {
        for (const QPointer<QObject> &module : *list) {
            if (module && sameName(module->objectName(), name))
                return module;
        }
    }
    return nullptr;
}

void ModuleRegistry::reference(QObject *holder, const QString &path, std::function<void(QObject *)> bind)
{
    if (holder == nullptr || !bind)
        return;
    const qsizetype dot = path.indexOf(QLatin1Char('.'));
    Reference ref;
    ref.id = d->nextId++;
    ref.holder = holder;
    ref.moduleName = (dot < 0 ? path : path.left(dot)).trimmed();
    ref.componentName = dot < 0 ? QString() : path.mid(dot + 1).trimmed();
    ref.bind = std::move(bind);
    if (ref.moduleName.isEmpty())
        return; // nothing to wait for
    const quint64 id = ref.id;
    d->references.push_back(std::move(ref));
    QObject::connect(holder, &QObject::destroyed, &d->context, [this, id] { d->drop(id); });
    if (QObject *module = findModule(d->find(id)->moduleName))
        d->tryBind(id, module, this);
}

void ModuleRegistry::unreference(QObject *holder)
{
    if (holder == nullptr)
        return;
    for (const quint64 id : d->ids()) {
        const Reference *ref = d->find(id);
        if (ref != nullptr && ref->holder.data() == holder)
            d->drop(id);
    }
}

void ModuleRegistry::resolvePending(QObject *module)
{
    if (module == nullptr)
        return;
    const QString name = module->objectName();
    // A window of the same name takes precedence over this module.
    QObject *registered = findModule(name);
    if (registered != nullptr && registered != module)
        return;
    for (const quint64 id : d->ids()) {
        const Reference *ref = d->find(id);
        if (ref != nullptr && ref->module == nullptr && sameName(ref->moduleName, name))
            d->tryBind(id, module, this);
    }
}

int ModuleRegistry::pendingCount() const
{
    return int(std::count_if(d->references.begin(), d->references.end(), [](const Reference &r) {
        return r.module == nullptr && r.holder;
    }));
}
