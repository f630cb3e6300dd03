#include "view_settings.h"

#include "platform/settings_store.h"

#include <algorithm>

namespace kestrova::app {

namespace {
constexpr std::string_view kKey = "Software\\Kestrova\\Viewer Window";
}

ViewSettings LoadViewSettings() {
    platform::SettingsStore store;
    ViewSettings s;
    if (auto v = store.ReadNumber(kKey, "Volume"))
        s.volume = static_cast<int>(std::min<uint32_t>(*v, 9));
    if (auto v = store.ReadNumber(kKey, "Sound"))
        s.sound = *v != 0;
    if (auto v = store.ReadNumber(kKey, "Flip"))
        s.flip = *v != 0;
    if (auto v = store.ReadNumber(kKey, "Mirror"))
        s.mirror = *v != 0;
    return s;
}

bool SaveViewSettings(const ViewSettings& s) {
    platform::SettingsStore store;
    return store.WriteNumber(kKey, "Volume", static_cast<uint32_t>(s.volume)) &&
           store.WriteNumber(kKey, "Sound", s.sound ? 1 : 0) &&
           store.WriteNumber(kKey, "Flip", s.flip ? 1 : 0) &&
           store.WriteNumber(kKey, "Mirror", s.mirror ? 1 : 0) && store.Sync();
}

} // namespace kestrova::app
