// The about box from the program's resources, and the version line it shows.
#include "notifier/settings/AboutDialog.h"

#include <gtest/gtest.h>

#include <string>

#include "mewlark_config.h"
#include "notifier/res/Resource.h"
#include "tests/support/Files.h"
#include "tests/support/Windows.h"

namespace {

using namespace test;

// The version this test program carries in its version resource, the notifier's own.
const std::string kOwnVersionLine = "version " + std::to_string(MEWLARK_VERSION_MAJOR) + "." +
                                    std::to_string(MEWLARK_VERSION_MINOR) + "." + std::to_string(MEWLARK_VERSION_PATCH) +
                                    " Build " + std::to_string(MEWLARK_VERSION_BUILD);

TEST(AboutDialog, ShowsTheProgramsVersionAndTheNotice) {
    AboutDialog dialog;
    const INT_PTR result = Drive(dialog, [&](HWND window) {
        std::string texts;
        for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            texts += TextOf(child) + "|";
        }
        EXPECT_NE(texts.find("|Mewlark|" + kOwnVersionLine + "|" + std::string(MEWLARK_LEGAL_NOTICE) + "|"), std::string::npos)
            << texts;
        Click(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
}

TEST(AboutDialog, TheVersionLineIsTheFilesVersionOrTheBuiltInOne) {
    EXPECT_EQ(VersionLineOfFile((ProgramFolder() + "\\version_sample.dll").c_str()), "version 2.10.3 Build 400")
        << "the file version, not the product version";
    EXPECT_EQ(VersionLineOfFile((ProgramFolder() + "\\missing.dll").c_str()), kOwnVersionLine);
}

}  // namespace
