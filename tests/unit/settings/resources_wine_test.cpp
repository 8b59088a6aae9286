// The notifier's resources as the program loads them: menu, icons, bitmap, version.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <tuple>
#include <vector>

#include "mewlark_config.h"
#include "notifier/res/Resource.h"

namespace {

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

std::string MenuText(HMENU menu, UINT position) {
    char text[128] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

TEST(Resources, TrayMenuHoldsTheSevenCommandsInOrder) {
    const HMENU menu = LoadMenuA(Module(), MAKEINTRESOURCEA(IDR_TRAYMENU));
    ASSERT_EQ(GetMenuItemCount(menu), 1);
    EXPECT_EQ(MenuText(menu, 0), "\x83t\x83@\x83" "C\x83\x8B(&F)");  // "ファイル(&F)"
    const HMENU items = GetSubMenu(menu, 0);
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
        EXPECT_EQ(GetMenuItemID(items, static_cast<int>(i)), expected[i].first) << i;
        EXPECT_EQ(MenuText(items, i), expected[i].second) << i;
        EXPECT_EQ(GetMenuState(items, i, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED | MF_CHECKED), 0u) << i;
    }
    DestroyMenu(menu);
}

// "size x bits" of each image of an icon group, from the group's directory.
std::vector<std::string> IconImages(int groupId) {
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    std::vector<std::string> images;
    const HRSRC resource = FindResourceA(Module(), MAKEINTRESOURCEA(groupId), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    if (resource == nullptr) return images;
    const auto* header = static_cast<const WORD*>(LockResource(LoadResource(Module(), resource)));  // reserved, type, count
    const auto* entries = reinterpret_cast<const GroupEntry*>(header + 3);
    for (WORD i = 0; i < header[2]; ++i) {
        images.push_back(std::to_string(entries[i].width) + "x" + std::to_string(entries[i].height) + "x" +
                         std::to_string(entries[i].bitCount));
    }
    return images;
}

TEST(Resources, IconsBitmapAndVersion) {
    const std::vector<std::string> small = {"16x16x4", "16x16x8", "16x16x24"};
    EXPECT_EQ(IconImages(IDI_IDLE),
              (std::vector<std::string>{"16x16x4", "16x16x8", "16x16x24", "32x32x4", "32x32x8", "32x32x24"}));
    for (const int group : {IDI_ERROR, IDI_NEWMAIL, IDI_LOGGEDOUT}) EXPECT_EQ(IconImages(group), small) << group;

    const auto bitmap = static_cast<HBITMAP>(
        LoadImageA(Module(), MAKEINTRESOURCEA(IDB_POPUP), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectA(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
    EXPECT_EQ(std::tie(dib.dsBm.bmWidth, dib.dsBm.bmHeight, dib.dsBm.bmBitsPixel), std::make_tuple(226L, 30L, WORD{24}));
    DeleteObject(bitmap);

    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeA(path, &handle));
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    const DWORD ms = MAKELONG(MEWLARK_VERSION_MINOR, MEWLARK_VERSION_MAJOR);
    const DWORD ls = MAKELONG(MEWLARK_VERSION_BUILD, MEWLARK_VERSION_PATCH);
    EXPECT_EQ(std::make_tuple(fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                              fixed->dwProductVersionLS, fixed->dwFileType, fixed->dwFileOS,
                              fixed->dwFileFlags & fixed->dwFileFlagsMask),
              std::make_tuple(ms, ls, ms, ls, DWORD{VFT_APP}, DWORD{VOS__WINDOWS32}, DWORD{0}));
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size));
    EXPECT_EQ(std::vector<WORD>(translation, translation + size / 2), (std::vector<WORD>{0x0411, 1200}));

    const std::string version = std::to_string(MEWLARK_VERSION_MAJOR) + ", " + std::to_string(MEWLARK_VERSION_MINOR) +
                                ", " + std::to_string(MEWLARK_VERSION_PATCH) + ", " + std::to_string(MEWLARK_VERSION_BUILD);
    const std::pair<const char*, std::string> entries[] = {
        {"Comments", "Mewlark"},     {"FileDescription", "Mewlark"},          {"FileVersion", version},
        {"InternalName", "Mewlark"}, {"LegalCopyright", MEWLARK_LEGAL_NOTICE}, {"OriginalFilename", "Mewlark.exe"},
        {"ProductName", "Mewlark"},  {"ProductVersion", version},
    };
    for (const auto& [name, expected] : entries) {
        char* value = nullptr;
        UINT length = 0;
        const std::string query = std::string("\\StringFileInfo\\041104b0\\") + name;
        EXPECT_TRUE(VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) &&
                    value != nullptr && value == expected)
            << name << ": " << (value ? value : "<missing>");
    }
}

}  // namespace
