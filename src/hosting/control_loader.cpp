#include "hosting/control_loader.h"

#include "hosting/registration.h"
#include "hosting/status_codes.h"

#include <QObject>
#include <cstdio>
#include <dlfcn.h>

namespace kestrova::hosting {

namespace {

std::string Hex(int32_t status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(status));
    return text;
}

template <typename Fn> bool Resolve(void* handle, const char* name, Fn& out, std::string& missing) {
    out = reinterpret_cast<Fn>(dlsym(handle, name));
    if (!out) {
        if (!missing.empty())
            missing += ", ";
        missing += name;
    }
    return out != nullptr;
}

} // namespace

std::unique_ptr<LoadedModule> LoadedModule::Open(const std::string& path, std::string* error) {
    // Never unmapped: Qt keeps pointers into a module that made widgets (meta-objects,
    // types), so hosts keep their modules for the life of the process.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        if (error)
            *error = "cannot load " + path + ": " + dlerror();
        return nullptr;
    }
    std::unique_ptr<LoadedModule> m(new LoadedModule);
    m->path_ = path;
    m->handle_ = handle;
    std::string missing;
    Resolve(handle, "DllRegisterServer", m->register_, missing);
    Resolve(handle, "DllUnregisterServer", m->unregister_, missing);
    Resolve(handle, "DllGetClassObject", m->getClassObject_, missing);
    Resolve(handle, "DllCanUnloadNow", m->canUnload_, missing);
    Resolve(handle, "DllGetDispatchTable", m->getDispatch_, missing);
    if (!missing.empty()) {
        if (error)
            *error = path + " is not a control module (missing " + missing + ")";
        return nullptr; // the destructor unloads it: nothing of it was used
    }
    return m;
}

LoadedModule::~LoadedModule() {
    // Drops this reference only; the module was opened never to be unmapped.
    if (handle_)
        dlclose(handle_);
}

ControlLoader::~ControlLoader() = default;

LoadedModule* ControlLoader::Module(const std::string& path, std::string* error) {
    auto it = modules_.find(path);
    if (it != modules_.end())
        return it->second.get();
    auto module = LoadedModule::Open(path, error);
    if (!module)
        return nullptr;
    return modules_.emplace(path, std::move(module)).first->second.get();
}

std::optional<CreatedObject> ControlLoader::Create(std::string_view progId, QWidget* parent,
                                                   std::string* error) {
    auto where = LookUpProgId(store_, progId, error);
    if (!where)
        return std::nullopt;
    if (safety_ == SafetyCheck::kRequireSafeMarks &&
        !CheckSafetyMarks(store_, progId, where->clsid, error))
        return std::nullopt;
    LoadedModule* module = Module(where->modulePath, error);
    if (!module)
        return std::nullopt;
    void* object = nullptr;
    const int32_t status = module->GetClassObject(where->clsid.c_str(),
                                                  std::string(kIidClassFactory).c_str(), &object);
    if (status != kOk || !object) {
        if (error)
            *error = std::string(progId) + ": " + module->Path() + " has no class factory for " +
                     where->clsid + " (" + Hex(status) + ")";
        return std::nullopt;
    }
    auto* factory = static_cast<ClassFactory*>(object);
    CreatedObject created;
    created.object = factory->CreateInstance(parent, error);
    if (!created.object)
        return std::nullopt;
    created.dispatch = DispatchTable(factory->Dispatch());
    created.clsid = where->clsid;
    created.modulePath = where->modulePath;
    return created;
}

} // namespace kestrova::hosting
