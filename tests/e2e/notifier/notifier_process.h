// Mewlark.exe started and answered from the outside, as a user and the setup program would:
// the process, its windows, its login dialog, its icon in Wine's tray, and what it leaves
// behind.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace notifier_test {

constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 1;
// "Mewlark" is the login dialog's caption.
constexpr const char* kLoginCaption = "Mewlark";

std::string ProgramFolder();
std::string NotifierPath();

// Polls done() until it is true or timeoutMs have passed; done()'s last answer.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs);

// A started Mewlark process; ended by force if a test leaves it running.
class Notifier {
public:
    explicit Notifier(const std::string& arguments);
    ~Notifier();
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    bool Started() const { return process_.hProcess != nullptr; }
    bool Ended(DWORD timeoutMs) const { return WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0; }
    bool Running() const { return !Ended(0); }
    DWORD ExitCode() const;
    // From the start to the end of the process, in ms (valid once it ended).
    DWORD Lifetime() const;
    HANDLE Process() const { return process_.hProcess; }
    DWORD Id() const { return process_.dwProcessId; }

private:
    PROCESS_INFORMATION process_{};
};

HWND MainWindowOfNotifier();
// The visible top-level "#32770" window with this caption.
HWND VisibleDialog(const char* caption);

// Icons in Wine's stand-alone tray window (one child window per icon).
int TrayIcons();
std::vector<HWND> TrayIconWindows();
// The tooltip Wine's tray shows for the icon window while the mouse rests on it; empty when
// none appears.
std::string TrayTipOf(HWND iconWindow);

void SetText(HWND control, const std::string& text);
LRESULT Query(HWND control, UINT message);
// Fills the open login dialog and presses OK, as a user would.
void AnswerLogin(HWND dialog, const std::string& user, const std::string& password, bool save);

std::string StoredString(const char* valueName);

// The files below the Wine prefix written at or after since whose bytes contain needle.
std::vector<std::string> PrefixFilesContaining(const std::string& needle, const FILETIME& since);

// What a process holds, as far as Wine lets another process see it.
struct ProcessResources {
    int kernelHandles = -1;  // the system's handle table
    int gdiObjects = -1;     // Wine's GDI handle table in the process
    int threads = -1;
    std::uint64_t privateBytes = 0;
};
ProcessResources ResourcesOf(HANDLE process, DWORD processId);

// One re-fetch pass of the running notifier, asked for from outside: the reply of the
// pass is scripted from a mix of good and broken ones (chosen by pass), the re-fetch is
// sent to the main window until the service has been asked. False when no pass started
// within the time.
bool RunRefetchPass(HWND mainWindow, int pass);
// Waits until no check pass runs in the process (its worker thread has ended).
bool WaitForIdleNotifier(DWORD processId);

class NotifierProcess : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static void StopAnyNotifier();
    static void RemoveRunValue();
    // A stored session that the simulator accepts, so that no login dialog opens.
    static void StoreSession();
    static bool WaitForNotifierWindow() {
        return WaitFor([] { return MainWindowOfNotifier() != nullptr; }, 15000);
    }
};

}  // namespace notifier_test
