// Both modules as a host sees them: register into a store of the test's own, create the
// controls by ProgID through the class factories, call them through their dispatch tables,
// unregister.
#include "hosting/control_loader.h"
#include "hosting/registration.h"
#include "motion/motion_host_interface.h"
#include "platform/settings_store.h"
#include "viewer/player_host_interface.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace kestrova::hosting {
namespace {

struct ModuleCase {
    const char* path;
    const char* control;
    const char* page;
    const char* libraryName;
};
const ModuleCase kViewer{KESTROVA_MODULE_PATH, "KESTROVA.KestrovaCtrl.1",
                         "KESTROVA.KestrovaPropPage.1", "KESTROVALib"};
const ModuleCase kMotion{WARDLINE_MODULE_PATH, "WARDLINE.WardlineCtrl.1",
                         "WARDLINE.WardlinePropPage.1", "WARDLINELib"};

class ModuleHosting : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        // Set before any module loads: module start-up writes into this store.
        setenv("KESTROVA_SETTINGS", dir_->filePath("registry.ini").toLocal8Bit().constData(), 1);
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "ModuleHostingTest";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app_;
        delete dir_;
    }
    static QApplication* app_;
    static QTemporaryDir* dir_;

    platform::SettingsStore settings_;
    SettingsKeyStore store_{settings_};
};
QApplication* ModuleHosting::app_ = nullptr;
QTemporaryDir* ModuleHosting::dir_ = nullptr;

TEST_F(ModuleHosting, LoadingAModuleSetsTheConnectionLimits) {
    std::string error;
    auto module = LoadedModule::Open(KESTROVA_MODULE_PATH, &error);
    ASSERT_TRUE(module) << error;
    platform::SettingsStore fresh; // reads the file the module wrote
    EXPECT_EQ(fresh.ReadNumber(platform::kInternetSettingsKey, "MaxConnectionsPer1_0Server"), 25u);
    EXPECT_EQ(fresh.ReadNumber(platform::kInternetSettingsKey, "MaxConnectionsPerServer"), 25u);
}

TEST_F(ModuleHosting, RegisterCreateByProgIdAndUnregister) {
    for (const ModuleCase& m : {kViewer, kMotion}) {
        SCOPED_TRACE(m.control);
        ControlLoader loader(store_);
        std::string error;
        LoadedModule* module = loader.Module(m.path, &error);
        ASSERT_NE(module, nullptr) << error;
        ASSERT_EQ(module->Register(), kOk);
        platform::SettingsStore fresh;
        SettingsKeyStore reread(fresh);
        auto where = LookUpProgId(reread, m.control, &error);
        ASSERT_TRUE(where) << error;
        EXPECT_EQ(where->modulePath, m.path);
        EXPECT_EQ(reread.Read(ClassKey(where->clsid) + "\\MiscStatus\\1", ""), "131473");

        auto control = loader.Create(m.control, nullptr, &error);
        ASSERT_TRUE(control) << error;
        std::unique_ptr<QObject> owned(control->object);
        EXPECT_TRUE(control->dispatch.CheckAgainst(*control->object->metaObject()).isEmpty())
            << control->dispatch.CheckAgainst(*control->object->metaObject())
                   .join('\n')
                   .toStdString();
        EXPECT_EQ(module->DispatchTableOf(control->clsid.c_str())->methodCount,
                  control->dispatch.Methods().size());
        EXPECT_EQ(module->CanUnloadNow(), kFalse); // a control is alive

        // The property page is template 200, captioned "General".
        auto page = loader.Create(m.page, nullptr, &error);
        ASSERT_TRUE(page) << error;
        EXPECT_FALSE(page->dispatch.Valid());
        auto* pageWidget = qobject_cast<QWidget*>(page->object);
        ASSERT_TRUE(pageWidget);
        EXPECT_EQ(pageWidget->size(), QSize(375, 100));
        EXPECT_EQ(pageWidget->windowTitle(), QStringLiteral("General"));
        delete page->object;

        // The toolbox bitmap that the class registration names is in the module: 16 x 15,
        // 16 colours.
        const auto bitmapValue = reread.Read(ClassKey(where->clsid) + "\\ToolboxBitmap32", "");
        ASSERT_TRUE(bitmapValue);
        EXPECT_EQ(*bitmapValue, std::string(m.path) + ", 1");
        const auto resource = BitmapResourcePath(*bitmapValue);
        ASSERT_TRUE(resource);
        const QImage bitmap(QString::fromStdString(*resource));
        EXPECT_EQ(bitmap.size(), QSize(16, 15)) << *resource;
        EXPECT_EQ(bitmap.colorCount(), 16);
        owned.reset();
        EXPECT_EQ(module->CanUnloadNow(), kOk);

        ASSERT_EQ(module->Unregister(), kOk);
        EXPECT_FALSE(loader.Create(m.control, nullptr, &error));
        EXPECT_NE(error.find("is not registered"), std::string::npos) << error;
        platform::SettingsStore after;
        SettingsKeyStore afterStore(after);
        EXPECT_TRUE(
            afterStore.Exists(ImplementedCategoryKey(where->clsid, kCatidSafeForScripting)));
    }
}

TEST_F(ModuleHosting, MotionControlAnswersThroughItsDispatchTable) {
    std::string error;
    ControlLoader loader(store_);
    LoadedModule* module = loader.Module(kMotion.path, &error);
    ASSERT_NE(module, nullptr) << error;
    ASSERT_EQ(module->Register(), kOk);
    auto control = loader.Create(kMotion.control, nullptr, &error);
    ASSERT_TRUE(control) << error;
    std::unique_ptr<QObject> owned(control->object);
    const DispatchTable& d = control->dispatch;
    QVariant result;
    QString why;
    // Before any set-up was read: enable is -1, indicators 0, bad indexes the same.
    ASSERT_TRUE(d.Invoke(owned.get(), "GetMotionEnable", {0}, &result, &why)) << why.toStdString();
    EXPECT_EQ(result, QVariant(-1));
    ASSERT_TRUE(d.Invoke(owned.get(), 2, {7}, &result, &why)); // GetMotionIndicator
    EXPECT_EQ(result, QVariant(0));
    ASSERT_TRUE(d.Invoke(owned.get(), "SetMotionTitle", {1, QStringLiteral("Door")}, nullptr));
    ASSERT_TRUE(d.Invoke(owned.get(), 9, {1}, &result)); // GetMotionTitle
    EXPECT_EQ(result, QVariant(QStringLiteral("Door")));
    EXPECT_FALSE(d.Invoke(owned.get(), "SetMotionThrehold", {0}, nullptr, &why));
    EXPECT_FALSE(d.Invoke(owned.get(), "SetMotionThrehold", {0, 70000}, nullptr, &why));
    EXPECT_TRUE(why.contains("number 70000 does not fit a short")) << why.toStdString();
    // A form's text is converted: "1" is area 1.
    ASSERT_TRUE(d.Invoke(owned.get(), "GetMotionTitle", {QStringLiteral("1")}, &result, &why));
    EXPECT_EQ(result, QVariant(QStringLiteral("Door")));
    EXPECT_EQ(module->Unregister(), kOk);
}

// Dialog answers implemented here and called from inside the modules.
struct CountingViewerHost : viewer::DialogHost {
    void Message(int, const std::string&) override {}
    std::optional<Login> AuthAnswer(int) override { return std::nullopt; }
    std::optional<SaveAnswer> SnapshotAnswer(const std::string&) override { return std::nullopt; }
    void About() override { ++abouts; }
    int abouts = 0;
};
struct CountingMotionHost : motion::MotionDialogHost {
    std::optional<motion::Credentials> AuthAnswer() override { return std::nullopt; }
    void About() override { ++abouts; }
    int abouts = 0;
};

TEST_F(ModuleHosting, ControlsOfferTheirHostInterfacesAcrossTheModuleBoundary) {
    ControlLoader loader(store_);
    std::string error;
    for (const ModuleCase& m : {kViewer, kMotion}) {
        LoadedModule* module = loader.Module(m.path, &error);
        ASSERT_NE(module, nullptr) << error;
        ASSERT_EQ(module->Register(), kOk);
    }
    auto viewerMade = loader.Create(kViewer.control, nullptr, &error);
    ASSERT_TRUE(viewerMade) << error;
    std::unique_ptr<QObject> viewerObject(viewerMade->object);
    auto motionMade = loader.Create(kMotion.control, nullptr, &error);
    ASSERT_TRUE(motionMade) << error;
    std::unique_ptr<QObject> motionObject(motionMade->object);

    auto* player = qobject_cast<viewer::PlayerHostInterface*>(viewerObject.get());
    auto* motion = qobject_cast<motion::MotionHostInterface*>(motionObject.get());
    ASSERT_NE(player, nullptr);
    ASSERT_NE(motion, nullptr);
    EXPECT_EQ(qobject_cast<motion::MotionHostInterface*>(viewerObject.get()), nullptr);
    EXPECT_EQ(qobject_cast<viewer::PlayerHostInterface*>(motionObject.get()), nullptr);

    // The viewer: state read through the interface, this program's dialog host called from
    // the module, and the picture signal reachable by name.
    EXPECT_FALSE(player->SourceReady());
    const viewer::PlayerStatistics none = player->Statistics();
    EXPECT_EQ(none.picturesMpeg4 + none.picturesJpeg + none.decodedMpeg4, 0u);
    EXPECT_TRUE(none.endedCodes.empty());
    CountingViewerHost viewerHost;
    player->SetDialogHost(&viewerHost);
    EXPECT_EQ(player->CurrentDialogHost(), &viewerHost);
    ASSERT_TRUE(viewerMade->dispatch.Invoke(viewerObject.get(), "AboutBox", {}));
    EXPECT_EQ(viewerHost.abouts, 1);
    QObject receiver;
    EXPECT_TRUE(QObject::connect(viewerObject.get(), SIGNAL(pictureDrawn()), &receiver,
                                 SIGNAL(destroyed())));
    EXPECT_FALSE(QObject::connect(motionObject.get(), SIGNAL(pictureDrawn()), &receiver,
                                  SIGNAL(destroyed())));

    // The motion control: titles edited through the interface are what the page reads,
    // refused titles change nothing.
    CountingMotionHost motionHost;
    motion->SetDialogHost(&motionHost);
    ASSERT_TRUE(motionMade->dispatch.Invoke(motionObject.get(), "AboutBox", {}));
    EXPECT_EQ(motionHost.abouts, 1);
    EXPECT_TRUE(motion->SetAreaTitle(2, "Gate"));
    EXPECT_FALSE(motion->SetAreaTitle(3, "two\nlines"));
    EXPECT_FALSE(motion->SetAreaTitle(4, "no such area"));
    EXPECT_EQ(motion->Areas().areas[2].title, "Gate");
    EXPECT_EQ(motion->Areas().areas[3].title, "Area 4");
    QVariant title;
    ASSERT_TRUE(motionMade->dispatch.Invoke(motionObject.get(), "GetMotionTitle", {2}, &title));
    EXPECT_EQ(title.toString(), QStringLiteral("Gate"));
    EXPECT_FALSE(motion->Areas().loaded);
    EXPECT_TRUE(motion->MessageText().isEmpty());
}

TEST_F(ModuleHosting, ClassFactoryRefusesUnknownClassesAndInterfaces) {
    std::string error;
    auto module = LoadedModule::Open(KESTROVA_MODULE_PATH, &error);
    ASSERT_TRUE(module) << error;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(module->GetClassObject("{00000000-0000-0000-0000-000000000000}",
                                     std::string(kIidClassFactory).c_str(), &object),
              kClassNotAvailable);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(module->GetClassObject("{3F6B2C14-8D4A-4B7E-9C25-1A7E5D0B4C01}", "{other}", &object),
              kNoInterface);
    EXPECT_EQ(module->GetClassObject(nullptr, "{other}", nullptr), kNullPointer);
    EXPECT_EQ(module->DispatchTableOf("{nope}"), nullptr);
    EXPECT_FALSE(LoadedModule::Open("/nonexistent/libnone.so", &error));
    EXPECT_NE(error.find("cannot load"), std::string::npos);
}

} // namespace
} // namespace kestrova::hosting
