#pragma once

#include <string>

namespace kestrova::app {

// What the viewer window keeps between runs in the settings store: the volume, sound on or
// off, and the view's flip and mirror.
struct ViewSettings {
    int volume = 9; // 0..9
    bool sound = true;
    bool flip = false;
    bool mirror = false;
};

// Read from / written to the user's settings store (KESTROVA_SETTINGS or the default).
ViewSettings LoadViewSettings();
bool SaveViewSettings(const ViewSettings& settings);

} // namespace kestrova::app
