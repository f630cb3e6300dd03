// What each module exports by name, and that both load side by side.
#include "hosting/file_version_abi.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>

namespace {

std::set<std::string> DynamicSymbols(const std::string& path) {
    std::set<std::string> names;
    const std::string command = "nm -D --defined-only '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return names;
    char line[4096];
    while (fgets(line, sizeof line, pipe.get())) {
        char address[64], type[8], name[4000];
        if (sscanf(line, "%63s %7s %3999s", address, type, name) == 3)
            names.insert(name);
    }
    return names;
}

const std::set<std::string> kVideoCodecExports = {
    "decoder_create",   "decoder_decode",     "decoder_destroy", "decoder_set_output_capacity",
    "init_YUV2RGB_tab", "delete_YUV2RGB_tab", "ConvertYUVtoRGB", "MotionDetect",
};

// The control hosting entry points, the same in both modules.
const std::set<std::string> kHostingExports = {
    "DllRegisterServer", "DllUnregisterServer", "DllGetClassObject",
    "DllCanUnloadNow",   "DllGetDispatchTable",
};

// Loading a module writes the connection limits into the user's settings store: keep
// that in a store of this test's own.
class ModuleExports : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static std::string path = ::testing::TempDir() + "module_exports_registry.ini";
        setenv("KESTROVA_SETTINGS", path.c_str(), 1);
    }
};

TEST_F(ModuleExports, ViewerExportsTheCodecsG726AndHosting) {
    std::set<std::string> expected = kVideoCodecExports;
    expected.insert(
        {"G726_decoder_create", "G726_decoder_destroy", "G726_dec", "DllGetFileVersion"});
    expected.insert(kHostingExports.begin(), kHostingExports.end());
    EXPECT_EQ(DynamicSymbols(KESTROVA_MODULE_PATH), expected);
}

TEST_F(ModuleExports, MotionControlExportsTheVideoCodecsAndHosting) {
    std::set<std::string> expected = kVideoCodecExports;
    expected.insert(kHostingExports.begin(), kHostingExports.end());
    EXPECT_EQ(DynamicSymbols(WARDLINE_MODULE_PATH), expected);
}

// The viewer module reports its file version through its query export.
TEST_F(ModuleExports, ViewerReportsFileVersion1_0_0_15) {
    void* module = dlopen(KESTROVA_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto query = reinterpret_cast<GetFileVersionFn>(dlsym(module, "DllGetFileVersion"));
    ASSERT_NE(query, nullptr);
    KestrovaFileVersion v{};
    ASSERT_EQ(query(&v), 0);
    EXPECT_EQ((std::array<int, 4>{v.major, v.minor, v.build, v.revision}),
              (std::array<int, 4>{1, 0, 0, 15}));
    EXPECT_EQ(static_cast<uint32_t>(query(nullptr)), 0x80004003u);
}

// Both modules carry their own copy of the codecs; loaded into one process,
// each must resolve its exports to its own code and work.
TEST_F(ModuleExports, BothModulesLoadAndDecodeSideBySide) {
    for (const char* path : {KESTROVA_MODULE_PATH, WARDLINE_MODULE_PATH}) {
        void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        using Create = intptr_t (*)();
        using Destroy = int (*)(void*);
        auto create = reinterpret_cast<Create>(dlsym(module, "decoder_create"));
        auto destroy = reinterpret_cast<Destroy>(dlsym(module, "decoder_destroy"));
        ASSERT_NE(create, nullptr);
        ASSERT_NE(destroy, nullptr);
        const intptr_t decoder = create();
        EXPECT_NE(decoder, 0);
        EXPECT_EQ(destroy(reinterpret_cast<void*>(decoder)), 0);
        EXPECT_EQ(destroy(nullptr), -1);
        // The modules stay loaded: like any Qt-based module they are not built to be
        // unloaded, and hosts keep them for the life of the process.
    }
}

} // namespace
