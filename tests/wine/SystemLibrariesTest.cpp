// Delay-loaded calls resolve also when the linker made their import slots read-only (as current
// GNU ld and Microsoft's linker do).
#include "common/SystemLibraries.h"

#include <windows.h>

#include <gtest/gtest.h>

// The import slot of a delay-loaded version.dll function, as the delay-load library names it.
extern "C" FARPROC versionSizeSlot asm("__imp__GetFileVersionInfoSizeA@8");

namespace {

TEST(SystemLibraries, AReadOnlySlotIsResolvedAndStaysReadOnly) {
    const FARPROC loaderThunk = versionSizeSlot;
    DWORD protection = 0;
    ASSERT_TRUE(VirtualProtect(&versionSizeSlot, sizeof versionSizeSlot, PAGE_READONLY, &protection));

    DWORD handle = 0;
    EXPECT_NE(GetFileVersionInfoSizeA("kernel32.dll", &handle), 0u);

    EXPECT_NE(versionSizeSlot, loaderThunk) << "the slot leads to version.dll now";
    MEMORY_BASIC_INFORMATION page = {};
    EXPECT_TRUE(VirtualQuery(&versionSizeSlot, &page, sizeof page) && page.Protect == PAGE_READONLY);
}

}  // namespace
