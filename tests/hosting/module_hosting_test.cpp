// Both modules as a host sees them: register into a store of the test's own, create the
// controls by ProgID through the class factories, call them through their dispatch tables,
// unregister.
#include "hosting/control_loader.h"
#include "hosting/registration.h"
#include "platform/settings_store.h"

#include <QApplication>
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

        auto page = loader.Create(m.page, nullptr, &error);
        ASSERT_TRUE(page) << error;
        EXPECT_FALSE(page->dispatch.Valid());
        EXPECT_TRUE(qobject_cast<QWidget*>(page->object));
        delete page->object;
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
    EXPECT_TRUE(why.contains("must be a short")) << why.toStdString();
    EXPECT_FALSE(d.Invoke(owned.get(), "GetMotionTitle", {QStringLiteral("1")}, nullptr, &why));
    EXPECT_EQ(module->Unregister(), kOk);
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
