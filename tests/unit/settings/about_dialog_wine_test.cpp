// The about box, run from the program's resources, and the version line it shows.
#include "notifier/settings/about_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "mewlark_config.h"
#include "notifier/res/resource.h"
#include "tests/unit/settings/dialog_driver.h"

namespace {

using test::Text;

// "バージョン情報" in code page 932.
const std::string kCaption = "\x83o\x81[\x83W\x83\x87\x83\x93\x8F\xEE\x95\xF1";

// The version this test program carries in its version resource, the notifier's own.
const std::string kOwnVersionLine = "version " + std::to_string(MEWLARK_VERSION_MAJOR) + "." +
                                    std::to_string(MEWLARK_VERSION_MINOR) + "." + std::to_string(MEWLARK_VERSION_PATCH) +
                                    " Build " + std::to_string(MEWLARK_VERSION_BUILD);

std::string BesideThisProgram(const std::string& name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\') + 1) + name;
}

INT_PTR RunAbout(const std::function<void(HWND)>& script) {
    AboutDialog dialog;
    return test::RunDriven([&] { return dialog.Run(GetModuleHandleA(nullptr)); }, script);
}

TEST(AboutDialog, ShowsIconNameVersionAndNotice) {
    const INT_PTR result = RunAbout([&](HWND window) {
        EXPECT_EQ(Text(window), kCaption);
        const std::vector<std::string> texts = test::ControlTexts(window);
        ASSERT_EQ(texts.size(), 5u);
        EXPECT_EQ(texts[0], "OK");
        EXPECT_EQ(texts[2], "Mewlark");
        EXPECT_EQ(texts[3], kOwnVersionLine);
        EXPECT_EQ(texts[4], MEWLARK_LEGAL_NOTICE);
        const HWND icon = GetWindow(GetDlgItem(window, IDOK), GW_HWNDNEXT);
        EXPECT_NE(SendMessageA(icon, STM_GETICON, 0, 0), 0) << "the application icon is shown";
        EXPECT_EQ(test::FontFace(window), test::kDialogFontFace);
        EXPECT_TRUE(test::AllTextsFit(window));
        EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
        test::Click(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
}

TEST(AboutDialog, EscapeClosesTheBox) {
    const INT_PTR result = RunAbout([&](HWND window) {
        PostMessageA(GetDlgItem(window, IDOK), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST(VersionLine, ShowsEachPartOfTheFileVersionInDecimal) {
    EXPECT_EQ(VersionLineOfFile(BesideThisProgram("version_sample.dll").c_str()), "version 2.10.3 Build 400")
        << "the file version, not the product version";
}

TEST(VersionLine, AFileWithoutVersionGivesTheBuiltInVersion) {
    char temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string plain = std::string(temp) + "no-version.txt";
    const HANDLE file = CreateFileA(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(VersionLineOfFile(plain.c_str()), kOwnVersionLine);
    EXPECT_EQ(VersionLineOfFile((plain + ".missing").c_str()), kOwnVersionLine);
    DeleteFileA(plain.c_str());
}

}  // namespace
