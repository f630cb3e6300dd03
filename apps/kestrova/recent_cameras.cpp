#include "recent_cameras.h"

#include "platform/settings_store.h"

#include <QFile>
#include <algorithm>

namespace kestrova::app {

namespace {

constexpr std::string_view kKey = "Software\\Kestrova\\Recent Cameras";

std::string Name(const char* what, std::size_t i) {
    return std::string(what) + " " + std::to_string(i + 1);
}

} // namespace

std::vector<RecentCamera> RecentCameras::Load() {
    platform::SettingsStore store;
    std::vector<RecentCamera> list;
    for (std::size_t i = 0; i < kMax; ++i) {
        auto address = store.ReadString(kKey, Name("Camera", i));
        if (!address || address->empty())
            break;
        RecentCamera c;
        c.address = *address;
        c.user = store.ReadString(kKey, Name("User", i)).value_or("");
        if (auto p = store.ReadString(kKey, Name("Password", i))) {
            c.password = *p;
            c.rememberPassword = true;
        }
        c.kind = store.ReadString(kKey, Name("Kind", i)).value_or("");
        list.push_back(std::move(c));
    }
    return list;
}

bool RecentCameras::Remember(const RecentCamera& camera) {
    std::vector<RecentCamera> list = Load();
    std::erase_if(list, [&](const RecentCamera& c) { return c.address == camera.address; });
    list.insert(list.begin(), camera);
    if (list.size() > kMax)
        list.resize(kMax);
    platform::SettingsStore store;
    store.RemoveKey(kKey);
    bool anyPassword = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const RecentCamera& c = list[i];
        store.WriteString(kKey, Name("Camera", i), c.address);
        store.WriteString(kKey, Name("User", i), c.user);
        if (c.rememberPassword) {
            store.WriteString(kKey, Name("Password", i), c.password);
            anyPassword = true;
        }
        store.WriteString(kKey, Name("Kind", i), c.kind);
    }
    const bool ok = store.Sync();
    if (anyPassword)
        QFile::setPermissions(store.Path(), QFile::ReadOwner | QFile::WriteOwner);
    return ok;
}

} // namespace kestrova::app
