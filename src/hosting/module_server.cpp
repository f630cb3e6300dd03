#include "hosting/module_server.h"

#include "platform/settings_store.h"

#include <QObject>
#include <QWidget>
#include <dlfcn.h>

namespace kestrova::hosting {

class ModuleServer::Factory final : public ClassFactory {
public:
    Factory(ModuleServer& server, const ClassEntry& entry) : server_(server), entry_(entry) {}

    QObject* CreateInstance(QWidget* parent, std::string* error) override {
        QObject* object = entry_.create ? entry_.create(parent) : nullptr;
        if (!object) {
            if (error)
                *error = "class " + std::string(entry_.clsid) + " could not be created";
            return nullptr;
        }
        ++server_.live_;
        ModuleServer* server = &server_;
        QObject::connect(object, &QObject::destroyed, [server] { --server->live_; });
        return object;
    }
    void LockServer(bool lock) override {
        if (lock)
            ++server_.locks_;
        else if (server_.locks_ > 0)
            --server_.locks_;
    }
    const KestrovaDispatchTable* Dispatch() const override { return entry_.dispatch; }
    const ClassEntry& Entry() const { return entry_; }

private:
    ModuleServer& server_;
    ClassEntry entry_;
};

std::string ModuleFileOf(const void* address) {
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fname)
        return {};
    return info.dli_fname;
}

void RunModuleStartup() {
    // Failures are not checked: a read-only store only leaves the platform's limits.
    platform::SettingsStore store;
    platform::WriteConnectionLimits(store);
}

ModuleServer::ModuleServer(const ModuleIdentity& identity, std::vector<ClassEntry> classes,
                           const void* anchor)
    : identity_(identity), path_(ModuleFileOf(anchor)) {
    for (const auto& c : classes)
        factories_.push_back(std::make_unique<Factory>(*this, c));
}

ModuleServer::~ModuleServer() = default;

Status ModuleServer::Register(KeyStore& store) const {
    return RegisterServer(store, identity_, path_);
}

Status ModuleServer::Unregister(KeyStore& store) const {
    return UnregisterServer(store, identity_);
}

Status ModuleServer::Register() const {
    platform::SettingsStore settings;
    SettingsKeyStore store(settings);
    return Register(store);
}

Status ModuleServer::Unregister() const {
    platform::SettingsStore settings;
    SettingsKeyStore store(settings);
    return Unregister(store);
}

Status ModuleServer::GetClassObject(const char* clsid, const char* iid, void** object) {
    if (!object)
        return kNullPointer;
    *object = nullptr;
    if (!clsid || !iid)
        return kNullPointer;
    for (auto& f : factories_) {
        if (f->Entry().clsid != clsid)
            continue;
        if (kIidClassFactory != iid)
            return kNoInterface;
        *object = static_cast<ClassFactory*>(f.get());
        return kOk;
    }
    return kClassNotAvailable;
}

Status ModuleServer::CanUnloadNow() const {
    return live_.load() == 0 && locks_.load() == 0 ? kOk : kFalse;
}

const KestrovaDispatchTable* ModuleServer::DispatchFor(const char* clsid) const {
    if (!clsid)
        return nullptr;
    for (const auto& f : factories_)
        if (f->Entry().clsid == clsid)
            return f->Entry().dispatch;
    return nullptr;
}

} // namespace kestrova::hosting
