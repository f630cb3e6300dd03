#pragma once

#include "hosting/class_factory.h"
#include "hosting/dispatch.h"
#include "hosting/key_store.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::hosting {

// A module loaded by a host, with its entry points. It stays mapped for the life of the
// process once loaded (Qt keeps pointers into it); destruction only drops the reference.
class LoadedModule {
public:
    static std::unique_ptr<LoadedModule> Open(const std::string& path, std::string* error);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const std::string& Path() const { return path_; }
    int32_t Register() const { return register_(); }
    int32_t Unregister() const { return unregister_(); }
    int32_t CanUnloadNow() const { return canUnload_(); }
    int32_t GetClassObject(const char* clsid, const char* iid, void** object) const {
        return getClassObject_(clsid, iid, object);
    }
    const KestrovaDispatchTable* DispatchTableOf(const char* clsid) const {
        return getDispatch_(clsid);
    }

private:
    LoadedModule() = default;
    std::string path_;
    void* handle_ = nullptr;
    RegisterServerFn register_ = nullptr;
    RegisterServerFn unregister_ = nullptr;
    GetClassObjectFn getClassObject_ = nullptr;
    CanUnloadNowFn canUnload_ = nullptr;
    GetDispatchTableFn getDispatch_ = nullptr;
};

// A control created from its ProgID.
struct CreatedObject {
    QObject* object = nullptr; // owned by the caller (or the parent given)
    DispatchTable dispatch{nullptr};
    std::string clsid;
    std::string modulePath;
};

// Whether the loader makes only classes marked safe for scripting and for initialisation,
// as a browser does before a page may script a control.
enum class SafetyCheck { kNone, kRequireSafeMarks };

// Creates controls by ProgID: the store names the class and its module, the module is
// loaded once, its class factory makes the object.
class ControlLoader {
public:
    explicit ControlLoader(const KeyStore& store, SafetyCheck safety = SafetyCheck::kNone)
        : store_(store), safety_(safety) {}
    ~ControlLoader();

    std::optional<CreatedObject> Create(std::string_view progId, QWidget* parent,
                                        std::string* error);
    // The module at `path`, loaded once.
    LoadedModule* Module(const std::string& path, std::string* error);

private:
    const KeyStore& store_;
    SafetyCheck safety_;
    std::map<std::string, std::unique_ptr<LoadedModule>> modules_;
};

} // namespace kestrova::hosting
