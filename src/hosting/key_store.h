#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova::platform {
class SettingsStore;
}

namespace kestrova::hosting {

// The part of the settings store that registration and lookup use. Keys are registry-style
// paths ("Software\\Classes\\CLSID\\{...}"); the empty value name is the key's default
// value. Every write reports whether it reached the store.
class KeyStore {
public:
    virtual ~KeyStore() = default;
    virtual bool Write(std::string_view key, std::string_view name, std::string_view value) = 0;
    virtual std::optional<std::string> Read(std::string_view key, std::string_view name) const = 0;
    virtual bool Exists(std::string_view key) const = 0;
    virtual bool RemoveKey(std::string_view key) = 0;
    virtual bool RemoveValue(std::string_view key, std::string_view name) = 0;
};

// The key store over the per-user settings store.
class SettingsKeyStore final : public KeyStore {
public:
    explicit SettingsKeyStore(platform::SettingsStore& store) : store_(store) {}
    bool Write(std::string_view key, std::string_view name, std::string_view value) override;
    std::optional<std::string> Read(std::string_view key, std::string_view name) const override;
    bool Exists(std::string_view key) const override;
    bool RemoveKey(std::string_view key) override;
    bool RemoveValue(std::string_view key, std::string_view name) override;

private:
    platform::SettingsStore& store_;
};

// The name under which a key's default value is stored (INI keys cannot be empty).
inline constexpr std::string_view kDefaultValueName = "(Default)";

} // namespace kestrova::hosting
