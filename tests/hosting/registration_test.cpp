// Registration records, their failure codes, unregistering and the ProgID lookup.
#include "hosting/registration.h"
#include "memory_key_store.h"
#include "platform/settings_store.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrova::hosting {
namespace {

using testing::MemoryKeyStore;

const ModuleIdentity kModule{
    .libraryName = "DEMOLib",
    .libraryId = "{00000000-1111-2222-3333-000000000001}",
    .helpString = "Demo ActiveX Control module",
    .helpFile = "Demo.hlp",
    .dispatchInterface = "_DDemo",
    .dispatchInterfaceId = "{00000000-1111-2222-3333-000000000002}",
    .dispatchHelp = "Dispatch interface for Demo Control",
    .eventInterface = "_DDemoEvents",
    .eventInterfaceId = "{00000000-1111-2222-3333-000000000003}",
    .eventHelp = "Event interface for Demo Control",
    .control = {"{00000000-1111-2222-3333-000000000004}", "DEMO.DemoCtrl.1", "Demo Control"},
    .propertyPage = {"{00000000-1111-2222-3333-000000000005}", "DEMO.DemoPropPage.1",
                     "Demo Property Page"},
};
constexpr std::string_view kPath = "/opt/demo/libdemo.so";

std::string Sub(std::string_view key, std::string_view sub) {
    return std::string(key) + "\\" + std::string(sub);
}

TEST(Registration, WritesLibraryClassesAndSafetyCategories) {
    MemoryKeyStore store;
    ASSERT_EQ(RegisterServer(store, kModule, kPath), kOk);

    const std::string lib = Sub(TypeLibKey(kModule.libraryId), "1.0");
    EXPECT_EQ(store.Read(lib, ""), "Demo ActiveX Control module");
    EXPECT_EQ(store.Read(lib, "Name"), "DEMOLib");
    EXPECT_EQ(store.Read(Sub(lib, "0\\linux"), ""), std::string(kPath));

    const std::string ctrl = ClassKey(kModule.control.clsid);
    EXPECT_EQ(store.Read(ctrl, ""), "Demo Control");
    EXPECT_EQ(store.Read(Sub(ctrl, "InprocServer32"), ""), std::string(kPath));
    EXPECT_EQ(store.Read(Sub(ctrl, "InprocServer32"), "ThreadingModel"), "Apartment");
    EXPECT_EQ(store.Read(Sub(ctrl, "ProgID"), ""), "DEMO.DemoCtrl.1");
    EXPECT_EQ(store.Read(Sub(ctrl, "MiscStatus\\1"), ""), "131473"); // 0x20191
    EXPECT_TRUE(store.Exists(Sub(ctrl, "Insertable")));
    EXPECT_EQ(store.Read(Sub(ctrl, "TypeLib"), ""), std::string(kModule.libraryId));
    EXPECT_EQ(store.Read(Sub(ProgIdKey("DEMO.DemoCtrl.1"), "CLSID"), ""),
              std::string(kModule.control.clsid));

    const std::string page = ClassKey(kModule.propertyPage.clsid);
    EXPECT_EQ(store.Read(page, ""), "Demo Property Page");
    EXPECT_FALSE(store.Exists(Sub(page, "Insertable")));
    EXPECT_EQ(store.Read(Sub(ProgIdKey("DEMO.DemoPropPage.1"), "CLSID"), ""),
              std::string(kModule.propertyPage.clsid));

    EXPECT_EQ(store.Read(CategoryKey(kCatidSafeForInitializing), "409"),
              "Controls safely initializable from persistent data!");
    EXPECT_EQ(store.Read(CategoryKey(kCatidSafeForScripting), "409"),
              "Controls safely scriptable!");
    EXPECT_TRUE(
        store.Exists(ImplementedCategoryKey(kModule.control.clsid, kCatidSafeForScripting)));
    EXPECT_TRUE(
        store.Exists(ImplementedCategoryKey(kModule.control.clsid, kCatidSafeForInitializing)));
    EXPECT_FALSE(store.Exists(Sub(page, "Implemented Categories")));
}

TEST(Registration, CategoryDescriptionIsCutTo127Characters) {
    MemoryKeyStore store;
    const std::string longText(300, 'x');
    ASSERT_EQ(RegisterCategory(store, "{CAT}", longText), kOk);
    EXPECT_EQ(store.Read(CategoryKey("{CAT}"), "409"), std::string(127, 'x'));
    ASSERT_EQ(RegisterCategory(store, "{CAT2}", std::string(127, 'y')), kOk);
    EXPECT_EQ(store.Read(CategoryKey("{CAT2}"), "409")->size(), 127u);
}

// Each step's failure gives its own code and stops the steps after it.
TEST(Registration, AFailingStepReturnsItsCodeAndStops) {
    MemoryKeyStore typeLib;
    typeLib.failUnder = TypeLibKey(kModule.libraryId);
    EXPECT_EQ(RegisterServer(typeLib, kModule, kPath), kTypeLibRegistrationFailed);
    EXPECT_EQ(static_cast<uint32_t>(kTypeLibRegistrationFailed), 0x80040200u);
    EXPECT_EQ(typeLib.CountUnder(ClassKey("")), 0);

    MemoryKeyStore classes;
    classes.failUnder = ClassKey(kModule.propertyPage.clsid);
    EXPECT_EQ(RegisterServer(classes, kModule, kPath), kClassRegistrationFailed);
    EXPECT_EQ(static_cast<uint32_t>(kClassRegistrationFailed), 0x80040201u);
    EXPECT_EQ(classes.CountUnder(CategoryKey("")), 0);

    MemoryKeyStore categories;
    categories.failUnder = CategoryKey(kCatidSafeForScripting);
    EXPECT_EQ(RegisterServer(categories, kModule, kPath), kFail);
    // The first category and its mark were made; the failing one's mark was not tried.
    EXPECT_TRUE(categories.Exists(
        ImplementedCategoryKey(kModule.control.clsid, kCatidSafeForInitializing)));
    EXPECT_FALSE(
        categories.Exists(ImplementedCategoryKey(kModule.control.clsid, kCatidSafeForScripting)));
}

TEST(Registration, UnregisterRemovesLibraryAndClassesButKeepsCategoryMarks) {
    MemoryKeyStore store;
    ASSERT_EQ(RegisterServer(store, kModule, kPath), kOk);
    ASSERT_TRUE(LookUpProgId(store, "DEMO.DemoCtrl.1").has_value());
    ASSERT_EQ(UnregisterServer(store, kModule), kOk);

    EXPECT_FALSE(store.Exists(TypeLibKey(kModule.libraryId)));
    EXPECT_FALSE(store.Exists(ProgIdKey("DEMO.DemoCtrl.1")));
    EXPECT_FALSE(store.Exists(ProgIdKey("DEMO.DemoPropPage.1")));
    EXPECT_FALSE(store.Exists(ClassKey(kModule.propertyPage.clsid)));
    EXPECT_FALSE(store.Read(ClassKey(kModule.control.clsid), "").has_value());
    EXPECT_FALSE(store.Exists(Sub(ClassKey(kModule.control.clsid), "InprocServer32")));
    EXPECT_TRUE(
        store.Exists(ImplementedCategoryKey(kModule.control.clsid, kCatidSafeForScripting)));
    EXPECT_TRUE(
        store.Exists(ImplementedCategoryKey(kModule.control.clsid, kCatidSafeForInitializing)));
    EXPECT_EQ(store.Read(CategoryKey(kCatidSafeForScripting), "409"),
              "Controls safely scriptable!");

    std::string error;
    EXPECT_FALSE(LookUpProgId(store, "DEMO.DemoCtrl.1", &error).has_value());
    EXPECT_NE(error.find("DEMO.DemoCtrl.1 is not registered"), std::string::npos);
}

TEST(Registration, LookUpRefusesBadNamesAndClassesWithoutModule) {
    MemoryKeyStore store;
    std::string error;
    EXPECT_FALSE(LookUpProgId(store, "", &error).has_value());
    EXPECT_FALSE(LookUpProgId(store, "Software\\Classes", &error).has_value());
    EXPECT_NE(error.find("not a ProgID"), std::string::npos);

    store.Write(Sub(ProgIdKey("X.Y.1"), "CLSID"), "", "{X}");
    EXPECT_FALSE(LookUpProgId(store, "X.Y.1", &error).has_value());
    EXPECT_NE(error.find("no registered module"), std::string::npos);
    store.Write(Sub(ClassKey("{X}"), "InprocServer32"), "", "/lib/x.so");
    auto found = LookUpProgId(store, "X.Y.1", &error);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->clsid, "{X}");
    EXPECT_EQ(found->modulePath, "/lib/x.so");
}

// The same records through the real settings store, in a file of the test's own, read
// back by a second store on the same file.
TEST(Registration, RoundTripThroughTheSettingsFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("registry.ini");
    {
        platform::SettingsStore settings(file);
        SettingsKeyStore store(settings);
        ASSERT_EQ(RegisterServer(store, kModule, kPath), kOk);
    }
    platform::SettingsStore settings(file);
    SettingsKeyStore store(settings);
    auto found = LookUpProgId(store, "DEMO.DemoCtrl.1");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->modulePath, kPath);
    EXPECT_EQ(store.Read(CategoryKey(kCatidSafeForInitializing), "409"),
              "Controls safely initializable from persistent data!");
    ASSERT_EQ(UnregisterServer(store, kModule), kOk);
    EXPECT_FALSE(LookUpProgId(store, "DEMO.DemoCtrl.1").has_value());
    EXPECT_TRUE(
        store.Exists(ImplementedCategoryKey(kModule.control.clsid, kCatidSafeForScripting)));
}

TEST(Registration, UnwritableStoreFailsAtTheTypeLibraryBothWays) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A folder where the file should be: nothing can be written.
    platform::SettingsStore settings(dir.path());
    SettingsKeyStore store(settings);
    EXPECT_EQ(RegisterServer(store, kModule, kPath), kTypeLibRegistrationFailed);
    EXPECT_EQ(UnregisterServer(store, kModule), kTypeLibRegistrationFailed);
}

} // namespace
} // namespace kestrova::hosting
