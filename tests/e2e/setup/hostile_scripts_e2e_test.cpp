// Hostile setup scripts: whatever a script says, an install and an uninstall change nothing
// but the product's own folder, keys, shortcuts and uninstall entry.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/e2e/setup/prefix_snapshot.h"
#include "tests/e2e/setup/setup_process.h"

using namespace setup_test;

namespace {

const std::string kId = "MewlarkHostile" + std::to_string(GetCurrentProcessId());

class HostileScripts : public SetupTest {
protected:
    void TearDown() override { DeleteFileA(canary.c_str()); }

    // The product's own: what an install may add and its uninstall must take away again.
    bool IsProducts(const std::string& change) const {
        for (const std::string& own : {installDir, programs + "\\" + kId, "HKCU\\Software\\" + kId,
                                       "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kId}) {
            if (change.compare(2, own.size(), own) == 0) return true;
        }
        return false;
    }
    // Installs, then uninstalls through the uninstaller placed by the install, or else from
    // the setup's folder, answering every box; checks what changed meanwhile.
    void InstallAndUninstall() {
        const PrefixSnapshot before = TakeSnapshot({scratch.Path()});
        {
            const ChildProcess setup = Run(Setup());
            AnswerUntilEnd(setup, false);
            const ChildProcess notepad = ChildOf(setup.Id(), "notepad.exe", 500);
        }
        for (const std::string& change : Changes(before, TakeSnapshot({scratch.Path()}))) {
            EXPECT_TRUE(IsProducts(change)) << "install: " << change;
        }
        const std::string uninstaller = installDir + "\\uninstall.exe";
        const ChildProcess request = IsFile(uninstaller) ? Run(uninstaller) : Run(Setup(), "/u");
        AnswerUntilEnd(request, true);
        const ChildProcess copy = ChildOf(request.Id(), nullptr, 2000);
        if (copy.IsValid()) AnswerUntilEnd(copy, true);
        for (const std::string& change : Changes(before, TakeSnapshot({scratch.Path()}))) {
            ADD_FAILURE() << "uninstall: " << change;
        }
    }

    const std::string canary = "C:\\" + kId + ".txt";
    const std::string installDir = programFiles + "\\" + kId;
};

TEST_F(HostileScripts, TouchNothingButTheProductsOwn) {
    const std::string init =
        "[init]\r\nProductID=" + kId + "\r\nProductTitle=Hostile\r\nInstallDir=%PF%\\" + kId + "\r\n";
    std::string deepFolder;
    for (int i = 0; i < 50000; ++i) deepFolder += "d\\";
    // Each script by name; an empty one stands for no setup.ini at all.
    const std::vector<std::pair<const char*, std::string>> scripts{
        {"no product id", "[init]\r\nProductTitle=Hostile\r\nInstallDir=%PF%\\" + kId +
                              "\r\n[InstallFiles]\r\n%InstallDir%\\,readme.txt," + kId + "\\readme.lnk\r\n"},
        {"empty key paths", init + "[InstallRegistry]\r\nHKCU,,,,root,u\r\nHKCU,\\,Hostile,,x,u\r\nHKLM,,,,,eu\r\n"
                                   "HKCU,\\\\,,dword,1,u\r\nHKCU,Software\\" + kId + ",Name,,x,u\r\n"
                                   "HKCU,Software\\" + kId + ",,,,u\r\n"},
        {"drive root patterns", init + "[UninstallFiles]\r\n%InstallDir%\\..\\..\\*\r\nC:\\\\*\r\nC:\\.\\*\r\n\\*\r\nC:*\r\n"
                                       "%APP%\\..\\..\\..\\*\r\n%PF%\\..\\*.txt\r\n"},
        {"empty install folder", "[init]\r\nProductID=" + kId + "\r\nProductTitle=Hostile\r\n[UninstallFiles]\r\n%InstallDir%\\*\r\n"},
        {"long registry line", init + "[InstallRegistry]\r\nHKCU,Software\\" + kId + "\\" + deepFolder + ",v,,x,u\r\n"
                                      "HKCU,Software\\" + kId + ",,,,u\r\n"},
        {"unbalanced quotes", init + "[InstallRegistry]\r\nHKCU,\"Software\\" + kId + ",Name,,x,u\r\n"
                                     "HKCU,Software\\" + kId + ",\"Quoted,,x,u\r\n"
                                     "[InstallFiles]\r\n\"%InstallDir%\\,readme.txt\r\n%InstallDir%\\,\"readme.txt\r\n"
                                     "[UninstallFiles]\r\n\"C:\\*\r\n%InstallDir%\\*\"\r\n"},
        {"trail bytes", init + "[InstallRegistry]\r\nHKCU,Software\\" + kId + Cp932(u8"表,名前,,値,u\r\nHKCU,Software\\") +
                            kId + Cp932(u8"表,,,,u\r\n[InstallFiles]\r\n%InstallDir%\\表\\,readme.txt,") + kId +
                            Cp932(u8"ソ\\readme.lnk\r\n%InstallDir%\\ソ\\,readme.txt\r\n"
                                  "[UninstallFiles]\r\n%InstallDir%\\表\\*\r\n%InstallDir%\\ソ\r\n")},
        {"long files lines", init + "[InstallFiles]\r\n%InstallDir%\\" + deepFolder + ",readme.txt\r\n"
                                    "[UninstallFiles]\r\n%InstallDir%\\" + deepFolder + "*\r\n"},
        {"long init value", "[init]\r\nProductID=" + kId + "\r\nInstallDir=%PF%\\" + kId + "\\" + std::string(100000, 'x') +
                                "\r\n[InstallFiles]\r\n%InstallDir%\\,readme.txt\r\n"},
        {"missing script", std::string()},
    };
    for (const auto& [name, script] : scripts) {
        SCOPED_TRACE(name);
        DeleteFileA((source + "\\setup.ini").c_str());
        if (!script.empty()) WriteText(source + "\\setup.ini", script);
        WriteText(canary, "canary");
        // "C:*" lists the current folder of drive C:, the uninstalling copy's temporary one.
        WriteText(temp + "\\" + kId + ".txt", "canary");
        InstallAndUninstall();
        EXPECT_TRUE(IsFile(canary));
    }
}

}  // namespace
