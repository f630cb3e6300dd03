#include "hosting/registration.h"

#include <cstdio>
#include <string>
#include <tuple>
#include <utility>

namespace kestrova::hosting {

namespace {

std::string Join(std::string_view a, std::string_view b) {
    std::string s(a);
    s += '\\';
    s += b;
    return s;
}

std::string Folder(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

// Each Write reports failure; the first failure makes the whole step fail.
class Writer {
public:
    explicit Writer(KeyStore& store) : store_(store) {}
    Writer& Set(std::string_view key, std::string_view name, std::string_view value) {
        if (ok_)
            ok_ = store_.Write(key, name, value);
        return *this;
    }
    Writer& Drop(std::string_view key) {
        if (ok_)
            ok_ = store_.RemoveKey(key);
        return *this;
    }
    bool Ok() const { return ok_; }

private:
    KeyStore& store_;
    bool ok_ = true;
};

std::string InterfaceKey(std::string_view iid) {
    return Join(Join(kClassesRoot, "Interface"), iid);
}

bool RegisterTypeLib(KeyStore& store, const ModuleIdentity& m, std::string_view path) {
    const std::string lib = Join(TypeLibKey(m.libraryId), kTypeLibVersion);
    Writer w(store);
    w.Set(lib, "", m.helpString)
        .Set(lib, "Name", m.libraryName)
        .Set(Join(lib, "0\\linux"), "", path)
        .Set(Join(lib, "FLAGS"), "", "0")
        .Set(Join(lib, "HELPDIR"), "", Folder(path));
    if (!m.helpFile.empty())
        w.Set(lib, "HelpFile", m.helpFile);
    for (auto [iid, name, help] :
         {std::tuple{m.dispatchInterfaceId, m.dispatchInterface, m.dispatchHelp},
          std::tuple{m.eventInterfaceId, m.eventInterface, m.eventHelp}}) {
        const std::string key = InterfaceKey(iid);
        w.Set(key, "", name)
            .Set(key, "HelpString", help)
            .Set(Join(key, "TypeLib"), "", m.libraryId)
            .Set(Join(key, "TypeLib"), "Version", kTypeLibVersion);
    }
    return w.Ok();
}

bool RegisterClass(KeyStore& store, const ModuleIdentity& m, const ClassIdentity& c, bool control,
                   std::string_view path) {
    const std::string key = ClassKey(c.clsid);
    const std::string prog = ProgIdKey(c.progId);
    Writer w(store);
    w.Set(key, "", c.typeName)
        .Set(Join(key, "InprocServer32"), "", path)
        .Set(Join(key, "InprocServer32"), "ThreadingModel", "Apartment")
        .Set(Join(key, "ProgID"), "", c.progId)
        .Set(prog, "", c.typeName)
        .Set(Join(prog, "CLSID"), "", c.clsid);
    if (control) {
        std::string bitmap(path);
        bitmap += ", 1";
        w.Set(Join(key, "Control"), "", "")
            .Set(Join(key, "Insertable"), "", "")
            .Set(Join(prog, "Insertable"), "", "")
            .Set(Join(key, "MiscStatus"), "", "0")
            .Set(Join(key, "MiscStatus\\1"), "", std::to_string(kControlMiscStatus))
            .Set(Join(key, "ToolboxBitmap32"), "", bitmap)
            .Set(Join(key, "TypeLib"), "", m.libraryId)
            .Set(Join(key, "Version"), "", kTypeLibVersion);
    }
    return w.Ok();
}

// Removes what RegisterClass wrote, but not the key's "Implemented Categories".
bool UnregisterClass(KeyStore& store, const ClassIdentity& c) {
    const std::string key = ClassKey(c.clsid);
    Writer w(store);
    for (std::string_view sub : {"InprocServer32", "ProgID", "Control", "Insertable", "MiscStatus",
                                 "ToolboxBitmap32", "TypeLib", "Version"})
        w.Drop(Join(key, sub));
    if (w.Ok() && !store.RemoveValue(key, ""))
        return false;
    w.Drop(ProgIdKey(c.progId));
    return w.Ok();
}

} // namespace

std::string ClassKey(std::string_view clsid) {
    return Join(Join(kClassesRoot, "CLSID"), clsid);
}

std::string ProgIdKey(std::string_view progId) {
    return Join(kClassesRoot, progId);
}

std::string TypeLibKey(std::string_view libid) {
    return Join(Join(kClassesRoot, "TypeLib"), libid);
}

std::string CategoryKey(std::string_view catid) {
    return Join(Join(kClassesRoot, "Component Categories"), catid);
}

std::string ImplementedCategoryKey(std::string_view clsid, std::string_view catid) {
    return Join(Join(ClassKey(clsid), "Implemented Categories"), catid);
}

Status RegisterCategory(KeyStore& store, std::string_view catid, std::string_view description) {
    const std::string_view text = description.substr(0, kMaxCategoryDescription);
    char locale[16];
    std::snprintf(locale, sizeof locale, "%x", kLocaleEnglishUs);
    return store.Write(CategoryKey(catid), locale, text) ? kOk : kFail;
}

Status MarkImplemented(KeyStore& store, std::string_view clsid, std::string_view catid) {
    return store.Write(ImplementedCategoryKey(clsid, catid), "", "") ? kOk : kFail;
}

Status RegisterServer(KeyStore& store, const ModuleIdentity& m, std::string_view modulePath) {
    if (!RegisterTypeLib(store, m, modulePath))
        return kTypeLibRegistrationFailed;
    if (!RegisterClass(store, m, m.control, true, modulePath) ||
        !RegisterClass(store, m, m.propertyPage, false, modulePath))
        return kClassRegistrationFailed;
    for (auto [catid, text] : {std::pair{kCatidSafeForInitializing, kSafeForInitializingText},
                               std::pair{kCatidSafeForScripting, kSafeForScriptingText}}) {
        if (Status s = RegisterCategory(store, catid, text); s != kOk)
            return s;
        if (Status s = MarkImplemented(store, m.control.clsid, catid); s != kOk)
            return s;
    }
    return kOk;
}

Status UnregisterServer(KeyStore& store, const ModuleIdentity& m) {
    Writer w(store);
    w.Drop(Join(TypeLibKey(m.libraryId), kTypeLibVersion))
        .Drop(InterfaceKey(m.dispatchInterfaceId))
        .Drop(InterfaceKey(m.eventInterfaceId));
    if (!w.Ok())
        return kTypeLibRegistrationFailed;
    if (!UnregisterClass(store, m.control) || !UnregisterClass(store, m.propertyPage))
        return kClassRegistrationFailed;
    return kOk;
}

std::optional<ClassLocation> LookUpProgId(const KeyStore& store, std::string_view progId,
                                          std::string* error) {
    auto fail = [&](std::string text) -> std::optional<ClassLocation> {
        if (error)
            *error = std::move(text);
        return std::nullopt;
    };
    const std::string name(progId);
    if (progId.empty() || progId.find('\\') != std::string_view::npos ||
        progId.find('/') != std::string_view::npos)
        return fail("not a ProgID: \"" + name + "\"");
    auto clsid = store.Read(Join(ProgIdKey(progId), "CLSID"), "");
    if (!clsid || clsid->empty())
        return fail(name + " is not registered");
    auto path = store.Read(Join(ClassKey(*clsid), "InprocServer32"), "");
    if (!path || path->empty())
        return fail(name + ": class " + *clsid + " has no registered module");
    return ClassLocation{*clsid, *path};
}

bool CheckSafetyMarks(const KeyStore& store, std::string_view progId, std::string_view clsid,
                      std::string* error) {
    std::string missing;
    for (auto [catid, what] : {std::pair{kCatidSafeForScripting, "safe for scripting"},
                               std::pair{kCatidSafeForInitializing, "safe for initialisation"}}) {
        if (store.Exists(ImplementedCategoryKey(clsid, catid)))
            continue;
        if (!missing.empty())
            missing += " and ";
        missing += what;
    }
    if (missing.empty())
        return true;
    if (error)
        *error = std::string(progId) + " is not marked " + missing +
                 ": a page may not create or script it";
    return false;
}

std::optional<std::string> BitmapResourcePath(std::string_view value) {
    const auto comma = value.rfind(", ");
    if (comma == std::string_view::npos)
        return std::nullopt;
    const std::string_view path = value.substr(0, comma);
    const std::string_view id = value.substr(comma + 2);
    if (id.empty() || id.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const auto slash = path.rfind('/');
    const std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (file.empty())
        return std::nullopt;
    return ":/modules/" + std::string(file) + "/bitmap/" + std::string(id) + ".bmp";
}

} // namespace kestrova::hosting
