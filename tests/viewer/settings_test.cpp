#include "platform/settings_store.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrova::platform {
namespace {

TEST(SettingsStoreTest, KeysValuesAndTheFileLayout) {
    QTemporaryDir dir;
    const QString path = dir.filePath("registry.ini");
    {
        SettingsStore store(path);
        EXPECT_FALSE(store.KeyExists(kViewerKey));
        EXPECT_TRUE(store.WriteString(kViewerKey, kDefaultFolderValue, "/data/shots"));
        EXPECT_TRUE(WriteConnectionLimits(store));
    }
    SettingsStore again(path);
    EXPECT_TRUE(again.KeyExists(kViewerKey));
    EXPECT_TRUE(again.KeyExists("Software"));
    EXPECT_EQ(again.ReadString(kViewerKey, kDefaultFolderValue), "/data/shots");
    EXPECT_EQ(again.ReadNumber(kInternetSettingsKey, kMaxConnections10Value), 25u);
    EXPECT_EQ(again.ReadNumber(kInternetSettingsKey, kMaxConnectionsValue), 25u);
    EXPECT_EQ(again.ReadString(kViewerKey, "Missing"), std::nullopt);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[Software]")) << text.toStdString();
    EXPECT_TRUE(text.contains("Halvard%20Network%20Camera%20Viewer")) << text.toStdString();
    EXPECT_TRUE(again.RemoveKey(kViewerKey));
    EXPECT_FALSE(again.KeyExists(kViewerKey));
}

TEST(SnapshotFolderTest, ViewerKeyThenMyPicturesThenThePicturesFolder) {
    QTemporaryDir dir;
    SettingsStore store(dir.filePath("registry.ini"));
    // Viewer key present: its value, even when empty, and nothing is created.
    store.WriteString(kViewerKey, kDefaultFolderValue, "");
    store.WriteString(kShellFoldersKey, kMyPicturesValue, dir.filePath("never").toStdString());
    EXPECT_EQ(ReadSnapshotFolder(store), "");
    EXPECT_FALSE(QDir(dir.filePath("never")).exists());

    // No viewer key: "My Pictures", created when missing (one level only).
    store.RemoveKey(kViewerKey);
    const std::string pictures = dir.filePath("pics").toStdString();
    store.WriteString(kShellFoldersKey, kMyPicturesValue, pictures);
    EXPECT_EQ(ReadSnapshotFolder(store), pictures);
    EXPECT_TRUE(QDir(QString::fromStdString(pictures)).exists());
    const std::string deep = dir.filePath("a/b").toStdString();
    store.WriteString(kShellFoldersKey, kMyPicturesValue, deep);
    EXPECT_EQ(ReadSnapshotFolder(store), deep);
    EXPECT_FALSE(QDir(QString::fromStdString(deep)).exists());

    // An empty "My Pictures" gives an empty folder.
    store.WriteString(kShellFoldersKey, kMyPicturesValue, "");
    EXPECT_EQ(ReadSnapshotFolder(store), "");

    // No value at all: the user's pictures folder (under a home of our own).
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", dir.filePath("home").toUtf8());
    QDir().mkdir(dir.filePath("home"));
    store.RemoveKey(kShellFoldersKey);
    const QString xdg = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    EXPECT_TRUE(xdg.startsWith(dir.path())) << xdg.toStdString();
    EXPECT_EQ(ReadSnapshotFolder(store), xdg.toStdString());
    EXPECT_TRUE(QDir(xdg).exists());
    qputenv("HOME", home);
}

} // namespace
} // namespace kestrova::platform
