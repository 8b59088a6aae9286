// The about box, run from the program's resources, and the version line it shows.
#include "notifier/settings/about_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "mewlark_config.h"
#include "notifier/res/resource.h"
#include "tests/unit/settings/dialog_driver.h"

namespace {

// The version this test program carries in its version resource, the notifier's own.
const std::string kOwnVersionLine = "version " + std::to_string(MEWLARK_VERSION_MAJOR) + "." +
                                    std::to_string(MEWLARK_VERSION_MINOR) + "." + std::to_string(MEWLARK_VERSION_PATCH) +
                                    " Build " + std::to_string(MEWLARK_VERSION_BUILD);

TEST(AboutDialog, ShowsIconNameVersionAndNotice) {
    AboutDialog dialog;
    const INT_PTR result = test::RunDriven([&] { return dialog.Run(GetModuleHandleA(nullptr)); }, [&](HWND window) {
        test::DialogLook look = test::LookAt(window);
        ASSERT_EQ(look.texts.size(), 5u);
        look.texts[1].clear();  // the icon's resource reference
        EXPECT_EQ(look.caption, "\x83o\x81[\x83W\x83\x87\x83\x93\x8F\xEE\x95\xF1");  // "バージョン情報"
        EXPECT_EQ(look.texts, (std::vector<std::string>{"OK", "", "Mewlark", kOwnVersionLine, MEWLARK_LEGAL_NOTICE}));
        EXPECT_EQ(look.fontFace, test::kDialogFontFace);
        const HWND icon = GetWindow(GetDlgItem(window, IDOK), GW_HWNDNEXT);
        EXPECT_NE(SendMessageA(icon, STM_GETICON, 0, 0), 0) << "the application icon is shown";
        test::Click(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
}

TEST(VersionLine, EachPartOfTheFileVersionInDecimalOrTheBuiltInVersion) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string folder = std::string(path).substr(0, std::string(path).rfind('\\') + 1);
    EXPECT_EQ(VersionLineOfFile((folder + "version_sample.dll").c_str()), "version 2.10.3 Build 400")
        << "the file version, not the product version";

    // A file without a version resource, and no file at all.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string plain = std::string(temp) + "no-version.txt";
    const HANDLE file = CreateFileA(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(VersionLineOfFile(plain.c_str()), kOwnVersionLine);
    EXPECT_EQ(VersionLineOfFile((plain + ".missing").c_str()), kOwnVersionLine);
    DeleteFileA(plain.c_str());
}

}  // namespace
