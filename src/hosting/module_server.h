#pragma once

#include "hosting/class_factory.h"
#include "hosting/registration.h"
#include "hosting/status_codes.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::hosting {

// One creatable class of a module.
struct ClassEntry {
    std::string_view clsid;
    QObject* (*create)(QWidget* parent);
    const KestrovaDispatchTable* dispatch; // null for the property page
};

// What a module's entry points do, in one object per module: registration into the
// per-user settings store, class factories that count the objects they made, and the
// dispatch tables.
class ModuleServer {
public:
    // `anchor` is any address inside the module; it finds the module's file for the
    // registration records.
    ModuleServer(const ModuleIdentity& identity, std::vector<ClassEntry> classes,
                 const void* anchor);
    ~ModuleServer();
    ModuleServer(const ModuleServer&) = delete;
    ModuleServer& operator=(const ModuleServer&) = delete;

    Status Register(KeyStore& store) const;
    Status Unregister(KeyStore& store) const;
    // Against the user's settings store.
    Status Register() const;
    Status Unregister() const;

    Status GetClassObject(const char* clsid, const char* iid, void** object);
    // 0 (may unload) when no object it made is alive and no factory is locked, else 1.
    Status CanUnloadNow() const;
    const KestrovaDispatchTable* DispatchFor(const char* clsid) const;

    const std::string& ModulePath() const { return path_; }
    int LiveObjects() const { return live_.load(); }

private:
    class Factory;
    const ModuleIdentity& identity_;
    std::vector<std::unique_ptr<Factory>> factories_;
    std::string path_;
    std::atomic<int> live_{0};
    std::atomic<int> locks_{0};
};

// The file a code or data address belongs to (empty when unknown).
std::string ModuleFileOf(const void* address);

// What every module does when it loads: the HTTP connection limits in the user's store.
void RunModuleStartup();

} // namespace kestrova::hosting
