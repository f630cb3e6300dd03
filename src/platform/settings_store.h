#pragma once

#include <QSettings>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::platform {

// The per-user settings store that stands in for the user's registry hive: an INI file
// whose sections follow the registry key paths ("Software\\A\\B" is stored as
// Software/A/B). Value names are kept as they are, blanks included.
class SettingsStore {
public:
    // The user's store: $KESTROVA_SETTINGS when set, else kestrova/registry.ini in the
    // user's configuration folder.
    static QString DefaultPath();

    explicit SettingsStore(const QString& path = DefaultPath());
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    QString Path() const;

    // A key exists when it holds a value or a subkey.
    bool KeyExists(std::string_view key) const;
    std::optional<std::string> ReadString(std::string_view key, std::string_view name) const;
    std::optional<uint32_t> ReadNumber(std::string_view key, std::string_view name) const;
    bool WriteString(std::string_view key, std::string_view name, std::string_view value);
    bool WriteNumber(std::string_view key, std::string_view name, uint32_t value);
    bool RemoveValue(std::string_view key, std::string_view name);
    bool RemoveKey(std::string_view key);
    // Writes pending changes to the file; false when the file cannot be written.
    bool Sync();

private:
    std::unique_ptr<QSettings> settings_;
};

// Registry key paths and value names the controls use.
inline constexpr std::string_view kViewerKey = "Software\\Halvard Network Camera Viewer";
inline constexpr std::string_view kDefaultFolderValue = "Default Folder";
inline constexpr std::string_view kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr std::string_view kMyPicturesValue = "My Pictures";
inline constexpr std::string_view kInternetSettingsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline constexpr std::string_view kMaxConnections10Value = "MaxConnectionsPer1_0Server";
inline constexpr std::string_view kMaxConnectionsValue = "MaxConnectionsPerServer";
inline constexpr uint32_t kConnectionLimit = 25;

// Writes both HTTP connection limits as 25 (both modules do so when they load).
bool WriteConnectionLimits(SettingsStore& store);

// The snapshot folder: the viewer key's "Default Folder" when that key exists, otherwise
// the Shell Folders "My Pictures" value, or the user's pictures folder when that value is
// missing. A folder found the second way that does not exist yet is created (one level).
// Never writes "Default Folder".
std::string ReadSnapshotFolder(SettingsStore& store);

} // namespace kestrova::platform
