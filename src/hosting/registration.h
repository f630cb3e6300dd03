#pragma once

#include "hosting/key_store.h"
#include "hosting/status_codes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova::hosting {

// What a module registers: its type library, its dispatch and event interfaces, its
// control class and its property page class.
struct ClassIdentity {
    std::string_view clsid;    // "{...}"
    std::string_view progId;   // "KESTROVA.KestrovaCtrl.1"
    std::string_view typeName; // "Kestrova Control"
};

struct ModuleIdentity {
    std::string_view libraryName; // "KESTROVALib"
    std::string_view libraryId;
    std::string_view helpString;
    std::string_view helpFile; // may be empty
    std::string_view dispatchInterface;
    std::string_view dispatchInterfaceId;
    std::string_view dispatchHelp;
    std::string_view eventInterface;
    std::string_view eventInterfaceId;
    std::string_view eventHelp;
    ClassIdentity control;
    ClassIdentity propertyPage;
};

// Registry-style key paths of the records.
inline constexpr std::string_view kClassesRoot = "Software\\Classes";
inline constexpr std::string_view kTypeLibVersion = "1.0";
inline constexpr uint32_t kControlMiscStatus = 0x20191;
inline constexpr uint32_t kLocaleEnglishUs = 1033;
inline constexpr std::size_t kMaxCategoryDescription = 127;

inline constexpr std::string_view kCatidSafeForInitializing =
    "{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
inline constexpr std::string_view kCatidSafeForScripting = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
inline constexpr std::string_view kSafeForInitializingText =
    "Controls safely initializable from persistent data!";
inline constexpr std::string_view kSafeForScriptingText = "Controls safely scriptable!";

std::string ClassKey(std::string_view clsid);
std::string ProgIdKey(std::string_view progId);
std::string TypeLibKey(std::string_view libid);
std::string CategoryKey(std::string_view catid);
std::string ImplementedCategoryKey(std::string_view clsid, std::string_view catid);

// Registers the type library, then both classes, then the two safety categories marked
// on the control class. A failing step returns its status (0x80040200 for the type
// library, 0x80040201 for the classes, the failing call's for categories) and the later
// steps are not tried. 0 on success.
Status RegisterServer(KeyStore& store, const ModuleIdentity& module, std::string_view modulePath);

// Removes the type library and both classes; the category marks stay.
Status UnregisterServer(KeyStore& store, const ModuleIdentity& module);

// Category registration, as the category manager does it: the description is stored for
// locale 1033, cut to 127 characters.
Status RegisterCategory(KeyStore& store, std::string_view catid, std::string_view description);
Status MarkImplemented(KeyStore& store, std::string_view clsid, std::string_view catid);

// Where a ProgID leads: its class id and the module registered for it.
struct ClassLocation {
    std::string clsid;
    std::string modulePath;
};
// Empty optional with a message in `error` when the ProgID or its class is not registered.
std::optional<ClassLocation> LookUpProgId(const KeyStore& store, std::string_view progId,
                                          std::string* error = nullptr);

} // namespace kestrova::hosting

namespace kestrova::hosting {

// True when the class is marked as implementing both safety categories (safe for
// scripting, safe for initialisation); otherwise false with a message in `error` naming
// the ProgID and the missing mark(s).
bool CheckSafetyMarks(const KeyStore& store, std::string_view progId, std::string_view clsid,
                      std::string* error = nullptr);

// Where a loaded module keeps the bitmap that a registry value "MODULE, ID" (the toolbox
// bitmap) names: the Qt resource ":/modules/FILE/bitmap/ID.bmp", FILE being the module's
// file name. Empty optional when the value is not of that form.
std::optional<std::string> BitmapResourcePath(std::string_view registryValue);

} // namespace kestrova::hosting
