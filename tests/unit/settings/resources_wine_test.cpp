// The notifier's resources as the program loads them: menu, icons, bitmap, version, manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <tuple>
#include <vector>

#include "mewlark_config.h"
#include "notifier/res/resource.h"

namespace {

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

std::string MenuText(HMENU menu, UINT position) {
    char text[128] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

TEST(Resources, TrayMenuHoldsTheSevenCommandsInOrder) {
    const HMENU menu = LoadMenuA(Module(), MAKEINTRESOURCEA(IDR_TRAYMENU));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 1);
    EXPECT_EQ(MenuText(menu, 0), "\x83t\x83@\x83" "C\x83\x8B(&F)");  // "ファイル(&F)"
    const HMENU items = GetSubMenu(menu, 0);
    ASSERT_NE(items, nullptr);

    // "tarnメールを開く", "ログアウト(&L)", "メール件数を再取得(&R)", "オプション(&O)...",
    // "ヘルプ(&H)", "バージョン情報(&A)...", "終了(&X)" in code page 932.
    const std::vector<std::pair<UINT, std::string>> expected = {
        {IDM_OPEN_MAIL, "tarn\x83\x81\x81[\x83\x8B\x82\xF0\x8A" "J\x82\xAD"},
        {IDM_LOGOUT, "\x83\x8D\x83O\x83" "A\x83" "E\x83g(&L)"},
        {IDM_REFETCH, "\x83\x81\x81[\x83\x8B\x8C\x8F\x90\x94\x82\xF0\x8D\xC4\x8E\xE6\x93\xBE(&R)"},
        {IDM_OPTIONS, "\x83I\x83v\x83V\x83\x87\x83\x93(&O)..."},
        {IDM_HELP, "\x83w\x83\x8B\x83v(&H)"},
        {IDM_ABOUT, "\x83o\x81[\x83W\x83\x87\x83\x93\x8F\xEE\x95\xF1(&A)..."},
        {IDM_EXIT, "\x8FI\x97\xB9(&X)"},
    };
    ASSERT_EQ(GetMenuItemCount(items), static_cast<int>(expected.size())) << "no separators";
    for (UINT i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(GetMenuItemID(items, static_cast<int>(i)), expected[i].first) << "item " << i;
        EXPECT_EQ(MenuText(items, i), expected[i].second) << "item " << i;
        EXPECT_EQ(GetMenuState(items, i, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED | MF_CHECKED), 0u) << "item " << i;
    }
    DestroyMenu(menu);
}

// (width, bits per pixel) of each image of an icon group, from the group's directory.
std::vector<std::pair<int, int>> IconImages(int groupId) {
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
    struct GroupHeader {
        WORD reserved, type, count;
    };
#pragma pack(pop)
    std::vector<std::pair<int, int>> images;
    const HRSRC resource = FindResourceA(Module(), MAKEINTRESOURCEA(groupId), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    if (resource == nullptr) return images;
    const auto* header = static_cast<const GroupHeader*>(LockResource(LoadResource(Module(), resource)));
    const auto* entries = reinterpret_cast<const GroupEntry*>(header + 1);
    for (WORD i = 0; i < header->count; ++i) {
        EXPECT_EQ(entries[i].width, entries[i].height);
        images.emplace_back(entries[i].width, entries[i].bitCount);
    }
    return images;
}

TEST(Resources, IconGroupsHoldEachSizeAtThreeDepths) {
    const std::vector<std::pair<int, int>> small = {{16, 4}, {16, 8}, {16, 24}};
    std::vector<std::pair<int, int>> application = small;
    application.insert(application.end(), {{32, 4}, {32, 8}, {32, 24}});
    EXPECT_EQ(IconImages(IDI_IDLE), application);
    EXPECT_EQ(IconImages(IDI_ERROR), small);
    EXPECT_EQ(IconImages(IDI_NEWMAIL), small);
    EXPECT_EQ(IconImages(IDI_LOGGEDOUT), small);

}

TEST(Resources, PopupBitmapIs226By30At24Bits) {
    const auto bitmap = static_cast<HBITMAP>(
        LoadImageA(Module(), MAKEINTRESOURCEA(IDB_POPUP), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectA(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
    EXPECT_EQ(dib.dsBm.bmWidth, 226);
    EXPECT_EQ(dib.dsBm.bmHeight, 30);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);

    DeleteObject(bitmap);
}

std::string VersionString(const std::vector<BYTE>& block, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\041104b0\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || value == nullptr) {
        return "<missing>";
    }
    return value;
}

TEST(Resources, VersionResourceDescribesTheProgram) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeA(path, &handle));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(block.size()), block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    const DWORD ms = MAKELONG(MEWLARK_VERSION_MINOR, MEWLARK_VERSION_MAJOR);
    const DWORD ls = MAKELONG(MEWLARK_VERSION_BUILD, MEWLARK_VERSION_PATCH);
    EXPECT_EQ(std::tie(fixed->dwFileVersionMS, fixed->dwFileVersionLS), std::tie(ms, ls));
    EXPECT_EQ(std::tie(fixed->dwProductVersionMS, fixed->dwProductVersionLS), std::tie(ms, ls));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size));
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 1200);

    const std::string version = MEWLARK_VERSION_RC_TEXT;
    EXPECT_EQ(version, std::to_string(MEWLARK_VERSION_MAJOR) + ", " + std::to_string(MEWLARK_VERSION_MINOR) + ", " +
                           std::to_string(MEWLARK_VERSION_PATCH) + ", " + std::to_string(MEWLARK_VERSION_BUILD));
    const std::pair<const char*, std::string> entries[] = {
        {"Comments", "Mewlark"},        {"FileDescription", "Mewlark"},          {"FileVersion", version},
        {"InternalName", "Mewlark"},    {"LegalCopyright", MEWLARK_LEGAL_NOTICE}, {"OriginalFilename", "Mewlark.exe"},
        {"ProductName", "Mewlark"},     {"ProductVersion", version},
    };
    for (const auto& [name, expected] : entries) EXPECT_EQ(VersionString(block, name), expected) << name;
}

}  // namespace
