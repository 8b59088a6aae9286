// The release package with its shipped setup.ini: installed, the notifier started as the
// signed-in user, upgraded while its pass hangs, uninstalled with and without its file, and
// never a DLL taken from where anyone may plant one.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include "tests/e2e/notifier/notifier_process.h"
#include "tests/e2e/setup/setup_process.h"
#include "tools/simulator/SimulatorClient.h"

using namespace setup_test;

namespace {

const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kEntry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mewlark";
const std::string kSettings = "Software\\tarn\\Mewlark";

// The running notifier's process, waited for until its window is there.
struct RunningNotifier {
    HANDLE process = nullptr;
    std::string image;
    std::string parent;  // the program that started it
};

RunningNotifier FindRunningNotifier() {
    RunningNotifier found;
    notifier_test::WaitFor([] { return FindWindowA("MEWLARKCLASS", nullptr) != nullptr; }, 30000);
    DWORD id = 0;
    GetWindowThreadProcessId(FindWindowA("MEWLARKCLASS", nullptr), &id);
    found.process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (found.process == nullptr) return found;
    char image[MAX_PATH] = {};
    GetModuleFileNameExA(found.process, nullptr, image, MAX_PATH);
    found.image = image;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    DWORD parentId = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == id) parentId = entry.th32ParentProcessID;
    }
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == parentId) found.parent = entry.szExeFile;
    }
    CloseHandle(snapshot);
    return found;
}

class Package : public SetupTest {
protected:
    void SetUp() override {
        for (const char* name : {"Mewlark.exe", "setup.ini"}) {
            CopyFileA((BinDir() + "\\..\\dist\\" + name).c_str(), (source + "\\" + name).c_str(), FALSE);
        }
        sim::Reset();
    }
    void TearDown() override {
        // Whatever a failed run left behind.
        if (const HWND running = FindWindowA("MEWLARKCLASS", nullptr)) SendMessageA(running, WM_CLOSE, 0, 0);
        RemoveTree(installDir);
        RemoveTree(programs + "\\Mewlark");
        DeleteTree(HKEY_LOCAL_MACHINE, kEntry);
        DeleteTree(HKEY_CURRENT_USER, "Software\\tarn");
        WriteValue(HKEY_CURRENT_USER, kRun, "Mewlark.exe", {});
    }

    // Installs the package; "Start" answered as given.
    std::vector<SeenBox> Install(int startAnswer) const { return AnswerBoxes(Run(Setup()), {startAnswer}); }
    // Runs the installed uninstaller, answers Yes, and returns what its copy showed.
    std::vector<SeenBox> Uninstall() const {
        const ChildProcess uninstaller = Run(installDir + "\\uninstall.exe");
        const std::vector<SeenBox> asked = AnswerBoxes(uninstaller, {IDYES});
        EXPECT_EQ(asked.size(), 1u);
        return AnswerBoxes(ChildOf(uninstaller.Id()), {IDOK});
    }
    void ExpectNothingLeft() const {
        EXPECT_FALSE(IsFolder(installDir));
        EXPECT_FALSE(IsFolder(programs + "\\Mewlark"));
        EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kRun, "Mewlark.exe").found);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\tarn"));
    }
    // A stored session the simulator accepts.
    static void StoreSession() {
        sim::AddAccount("alice", "pw", 0);
        sim::AddSession("eid-alice", "alice");
        SetString(HKEY_CURRENT_USER, kSettings, "EID", "eid-alice");
    }

    const std::string installDir = programFiles + "\\Mewlark";
    const std::string notifier = installDir + "\\Mewlark.exe";
    const std::string completed = Cp932(u8"\"Mewlark\" のアンインストールが完了しました。");
};

TEST_F(Package, InstallsStartsTheNotifierAsTheShellsUserAndUninstallsWithoutATrace) {
    ASSERT_TRUE(IsFile(source + "\\Mewlark.exe"));
    ASSERT_FALSE(IsFolder(installDir)) << "an earlier install is in the way";
    std::vector<SeenBox> seen = Install(IDYES);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Mewlark");
    EXPECT_EQ(seen[0].text, Cp932(u8"インストールが完了しました。\r\n\"Mewlark\" を今すぐ起動しますか？"));
    EXPECT_EQ(ReadText(notifier), ReadText(source + "\\Mewlark.exe"));
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRun, "Mewlark.exe").data, "\"" + notifier + "\"");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kEntry, "UninstallString").data, "\"" + installDir + "\\uninstall.exe\" /u");

    // The elevated setup had the desktop shell start it: it runs with the shell's rights.
    const RunningNotifier running = FindRunningNotifier();
    ASSERT_NE(running.process, nullptr);
    EXPECT_TRUE(lstrcmpiA(running.image.c_str(), notifier.c_str()) == 0) << running.image;
    EXPECT_TRUE(lstrcmpiA(running.parent.c_str(), "explorer.exe") == 0) << running.parent;

    // The uninstall stops it first, then removes everything.
    seen = Uninstall();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, completed);
    EXPECT_EQ(WaitForSingleObject(running.process, 10000), WAIT_OBJECT_0);
    CloseHandle(running.process);
    ExpectNothingLeft();
}

TEST_F(Package, AnInstallOverANotifierWhosePassHangsWaitsForItAndReplacesIt) {
    Install(IDNO);
    StoreSession();
    sim::Reply silent;
    silent.stall = "before-headers";
    silent.stallMs = 60000;
    sim::Script("arrival", silent);
    // The user starts the notifier from the Start menu: the shell follows the shortcut.
    ShellExecuteA(nullptr, nullptr, (programs + "\\Mewlark\\Mewlark.lnk").c_str(), nullptr, nullptr, SW_SHOW);
    const RunningNotifier running = FindRunningNotifier();
    ASSERT_NE(running.process, nullptr);
    EXPECT_TRUE(lstrcmpiA(running.image.c_str(), notifier.c_str()) == 0) << running.image;
    ASSERT_TRUE(notifier_test::WaitFor([] { return sim::RequestCount("arrival") == 1; }, 15000));

    // A newer package: its notifier differs. Its "Stop" returns only once the old one has ended.
    const std::string newer = ReadText(source + "\\Mewlark.exe") + "newer build";
    WriteText(source + "\\Mewlark.exe", newer);
    const std::vector<SeenBox> seen = Install(IDNO);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, Cp932(u8"インストールが完了しました。\r\n\"Mewlark\" を今すぐ起動しますか？"));
    EXPECT_EQ(WaitForSingleObject(running.process, 0), WAIT_OBJECT_0);
    CloseHandle(running.process);
    EXPECT_EQ(ReadText(notifier), newer);
}

TEST_F(Package, AnUninstallCompletesWhenTheNotifiersFileIsGone) {
    Install(IDNO);
    SetString(HKEY_CURRENT_USER, kSettings, "UserID", "alice");
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, kRun, "Mewlark.exe").found);
    ASSERT_TRUE(DeleteFileA(notifier.c_str()));
    const std::vector<SeenBox> seen = Uninstall();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, completed);
    ExpectNothingLeft();
}

// The DLL names that WINEDLLOVERRIDES orders native first ("name,name=n,b"): CTest starts this
// test with the system DLLs the programs load while they run and Windows does not protect.
std::vector<std::string> NativeFirstNames() {
    char value[2048] = {};
    GetEnvironmentVariableA("WINEDLLOVERRIDES", value, sizeof(value));
    std::vector<std::string> names;
    std::string entries = value;
    for (std::size_t start = 0; start < entries.size();) {
        std::size_t end = entries.find(';', start);
        if (end == std::string::npos) end = entries.size();
        const std::string entry = entries.substr(start, end - start);
        const std::size_t equals = entry.find('=');
        if (equals != std::string::npos && entry.substr(equals + 1) == "n,b") {
            for (std::size_t from = 0; from < equals;) {
                std::size_t comma = entry.find(',', from);
                if (comma == std::string::npos || comma > equals) comma = equals;
                names.push_back(entry.substr(from, comma - from));
                from = comma + 1;
            }
        }
        start = end + 1;
    }
    return names;
}

// Marker DLLs planted under every name in folders; each loaded one leaves a ".loaded" file.
class PlantedDlls {
public:
    explicit PlantedDlls(std::vector<std::string> names) : names_(std::move(names)) {}
    void PlantIn(const std::string& folder) {
        for (const std::string& name : names_) {
            CopyFileA((BinDir() + "\\planted_dll.dll").c_str(), (folder + "\\" + name + ".dll").c_str(), FALSE);
        }
        folders_.push_back(folder);
    }
    // "<marker> by <program>" for each one loaded, and forgets them.
    std::vector<std::string> TakeLoaded() const {
        std::vector<std::string> loaded;
        for (const std::string& folder : folders_) {
            WIN32_FIND_DATAA found;
            const HANDLE search = FindFirstFileA((folder + "\\*.loaded").c_str(), &found);
            if (search == INVALID_HANDLE_VALUE) continue;
            do {
                const std::string marker = folder + "\\" + found.cFileName;
                loaded.push_back(marker + " by " + ReadText(marker));
                DeleteFileA(marker.c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        return loaded;
    }

private:
    std::vector<std::string> names_;
    std::vector<std::string> folders_;
};

using PlantedDllsPackage = Package;

// Run as CTest's setup_planted_dll_tests, which sets the search order.
TEST_F(PlantedDllsPackage, NoProcessLoadsADllPlantedBesideTheProgramsOrInTheTemporaryFolder) {
    PlantedDlls planted(NativeFirstNames());
    planted.PlantIn(source);  // beside MewlarkSetup.exe and the package's Mewlark.exe
    planted.PlantIn(temp);    // where the uninstall runs its copy
    CopyFileA((BinDir() + "\\unsafe_importer.exe").c_str(), (source + "\\unsafe_importer.exe").c_str(), FALSE);
    ASSERT_TRUE(Run(source + "\\unsafe_importer.exe").WaitForExit());
    ASSERT_EQ(planted.TakeLoaded().size(), 1u)
        << "a program importing wininet.dll loads the planted one: WINEDLLOVERRIDES must order it n,b";

    // The install runs the package's notifier ("Stop") and the installed one ("SetAutoStart").
    ASSERT_EQ(Install(IDNO).size(), 1u);
    planted.PlantIn(installDir);
    // The notifier logs in over HTTPS, checks and plays its sound.
    sim::AddAccount("alice", "pw", 2);
    const ChildProcess started = Run(notifier);
    HWND dialog = nullptr;
    ASSERT_TRUE(notifier_test::WaitFor(
        [&] { return (dialog = notifier_test::VisibleDialog(notifier_test::kLoginCaption)) != nullptr; }, 20000));
    notifier_test::AnswerLogin(dialog, "alice", "pw", false);
    ASSERT_TRUE(notifier_test::WaitFor([] { return sim::RequestCount("arrival") == 1; }, 20000));
    ASSERT_TRUE(notifier_test::WaitFor(
        [] { return IsWindowVisible(FindWindowA("SIMPLEPOPUPCLASS", nullptr)) != FALSE; }, 20000));
    // The uninstall's copy stops it.
    EXPECT_EQ(Uninstall().size(), 1u);
    EXPECT_TRUE(started.WaitForExit(20000));

    EXPECT_EQ(planted.TakeLoaded(), std::vector<std::string>{});
}

}  // namespace
