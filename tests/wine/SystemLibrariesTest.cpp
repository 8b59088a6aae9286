// Delay-loaded calls resolve from the system folder, also when the linker made their import
// slots read-only (as current GNU ld and Microsoft's linker do).
#include "common/SystemLibraries.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

// The import slot of a delay-loaded version.dll function, as the delay-load library names it.
extern "C" FARPROC versionSizeSlot asm("__imp__GetFileVersionInfoSizeA@8");

namespace {

std::string ModulePathOf(const void* address) {
    HMODULE module = nullptr;
    char path[MAX_PATH] = {};
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<const char*>(address), &module) ||
        GetModuleFileNameA(module, path, MAX_PATH) == 0) {
        return "";
    }
    return CharLowerA(path);
}

TEST(SystemLibraries, AReadOnlySlotIsResolvedFromTheSystemFolderAndStaysReadOnly) {
    ASSERT_EQ(ModulePathOf(reinterpret_cast<void*>(versionSizeSlot)), ModulePathOf(&versionSizeSlot))
        << "the slot still leads to the program's own loader thunk";
    DWORD protection = 0;
    ASSERT_TRUE(VirtualProtect(&versionSizeSlot, sizeof versionSizeSlot, PAGE_READONLY, &protection));

    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    DWORD handle = 0;
    EXPECT_NE(GetFileVersionInfoSizeA((std::string(system) + "\\kernel32.dll").c_str(), &handle), 0u);

    EXPECT_EQ(ModulePathOf(reinterpret_cast<void*>(versionSizeSlot)), CharLowerA(system) + std::string("\\version.dll"));
    MEMORY_BASIC_INFORMATION page = {};
    ASSERT_NE(VirtualQuery(&versionSizeSlot, &page, sizeof page), 0u);
    EXPECT_EQ(page.Protect, static_cast<DWORD>(PAGE_READONLY));
}

}  // namespace
