// The support module's start-up step: DLLs come from the system directory
// only, never from beside the executable.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/support_module.h"

namespace {

const char PlantedName[] = "velmora_planted.dll";

std::string ExecutableFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

TEST(SupportModule, ADllBesideTheExecutableIsNotLoadedOnceInitialised) {
    ASSERT_NE(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesA((ExecutableFolder() + PlantedName).c_str()))
        << "the planted DLL should lie beside the test program";
    // Without the restriction the usual search finds it.
    HMODULE planted = LoadLibraryA(PlantedName);
    ASSERT_NE(nullptr, planted) << "the planted DLL should load before the restriction";
    FreeLibrary(planted);

    Velmora::InitialiseSupportModule();
    SetLastError(0);
    planted = LoadLibraryA(PlantedName);
    const DWORD error = GetLastError();
    if (planted != nullptr) {
        FreeLibrary(planted);
    }
    EXPECT_EQ(nullptr, planted);
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), error);

    // The system's own DLLs still load.
    HMODULE version = LoadLibraryA("version.dll");
    EXPECT_NE(nullptr, version);
    if (version != nullptr) {
        FreeLibrary(version);
    }
}

} // namespace
