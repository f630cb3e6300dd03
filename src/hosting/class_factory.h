#pragma once

#include "hosting/dispatch_abi.h"

#include <string>
#include <string_view>

class QObject;
class QWidget;

namespace kestrova::hosting {

// The class factory a module hands out through DllGetClassObject. Factories live as long
// as the module; a host never deletes one. Objects it creates belong to the caller (as
// QObjects they may also be given a parent), and the module stays loaded while any lives.
class ClassFactory {
public:
    // The new object, or null with a message in `error`.
    virtual QObject* CreateInstance(QWidget* parent, std::string* error) = 0;
    // Keeps the module loaded while locked, as a host that wants to create later does.
    virtual void LockServer(bool lock) = 0;
    // The control's dispatch table; null for a class without automation methods.
    virtual const KestrovaDispatchTable* Dispatch() const = 0;

protected:
    ~ClassFactory() = default;
};

// The interface id a host asks DllGetClassObject for.
inline constexpr std::string_view kIidClassFactory = "{5B0E7A31-2C4D-4E8F-9A61-3F0C2D7B8E14}";

// The signatures of a module's entry points.
using RegisterServerFn = int32_t (*)();
using GetClassObjectFn = int32_t (*)(const char* clsid, const char* iid, void** object);
using CanUnloadNowFn = int32_t (*)();
using GetDispatchTableFn = const KestrovaDispatchTable* (*)(const char* clsid);

} // namespace kestrova::hosting
