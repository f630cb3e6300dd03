#include "platform/settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kestrova::platform {

namespace {

QString SettingsKey(std::string_view key, std::string_view name) {
    QString path = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!name.empty())
        path +=
            QLatin1Char('/') + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    return path;
}

} // namespace

QString SettingsStore::DefaultPath() {
    const QByteArray env = qgetenv("KESTROVA_SETTINGS");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kestrova/registry.ini");
}

SettingsStore::SettingsStore(const QString& path)
    : settings_(std::make_unique<QSettings>(path, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::Path() const {
    return settings_->fileName();
}

bool SettingsStore::KeyExists(std::string_view key) const {
    settings_->beginGroup(SettingsKey(key, {}));
    const bool exists = !settings_->childKeys().isEmpty() || !settings_->childGroups().isEmpty();
    settings_->endGroup();
    return exists;
}

std::optional<std::string> SettingsStore::ReadString(std::string_view key,
                                                     std::string_view name) const {
    const QVariant v = settings_->value(SettingsKey(key, name));
    if (!v.isValid())
        return std::nullopt;
    return v.toString().toStdString();
}

std::optional<uint32_t> SettingsStore::ReadNumber(std::string_view key,
                                                  std::string_view name) const {
    const QVariant v = settings_->value(SettingsKey(key, name));
    bool ok = false;
    const uint32_t n = v.toUInt(&ok);
    if (!v.isValid() || !ok)
        return std::nullopt;
    return n;
}

bool SettingsStore::WriteString(std::string_view key, std::string_view name,
                                std::string_view value) {
    settings_->setValue(SettingsKey(key, name),
                        QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
    return Sync();
}

bool SettingsStore::WriteNumber(std::string_view key, std::string_view name, uint32_t value) {
    settings_->setValue(SettingsKey(key, name), value);
    return Sync();
}

bool SettingsStore::RemoveValue(std::string_view key, std::string_view name) {
    settings_->remove(SettingsKey(key, name));
    return Sync();
}

bool SettingsStore::RemoveKey(std::string_view key) {
    settings_->remove(SettingsKey(key, {}));
    return Sync();
}

bool SettingsStore::Sync() {
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

bool WriteConnectionLimits(SettingsStore& store) {
    const bool a =
        store.WriteNumber(kInternetSettingsKey, kMaxConnections10Value, kConnectionLimit);
    const bool b = store.WriteNumber(kInternetSettingsKey, kMaxConnectionsValue, kConnectionLimit);
    return a && b;
}

std::string ReadSnapshotFolder(SettingsStore& store) {
    if (store.KeyExists(kViewerKey))
        return store.ReadString(kViewerKey, kDefaultFolderValue).value_or(std::string());
    std::string folder;
    if (auto pictures = store.ReadString(kShellFoldersKey, kMyPicturesValue))
        folder = *pictures;
    else
        folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString();
    if (!folder.empty()) {
        const QString path = QString::fromStdString(folder);
        if (!QFileInfo::exists(path))
            QDir().mkdir(path);
    }
    return folder;
}

} // namespace kestrova::platform
