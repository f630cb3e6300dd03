#include "hosting/key_store.h"

#include "platform/settings_store.h"

namespace kestrova::hosting {

namespace {
std::string_view ValueName(std::string_view name) {
    return name.empty() ? kDefaultValueName : name;
}
} // namespace

bool SettingsKeyStore::Write(std::string_view key, std::string_view name, std::string_view value) {
    return store_.WriteString(key, ValueName(name), value);
}

std::optional<std::string> SettingsKeyStore::Read(std::string_view key,
                                                  std::string_view name) const {
    return store_.ReadString(key, ValueName(name));
}

bool SettingsKeyStore::Exists(std::string_view key) const {
    return store_.KeyExists(key);
}

bool SettingsKeyStore::RemoveKey(std::string_view key) {
    return store_.RemoveKey(key);
}

bool SettingsKeyStore::RemoveValue(std::string_view key, std::string_view name) {
    return store_.RemoveValue(key, ValueName(name));
}

} // namespace kestrova::hosting
