// Soak of Mewlark.exe: many re-fetch passes in a row against the service simulator, with a
// mix of good and broken replies, and what the process holds every EVERY passes.
//   notifier_soak [PASSES] [EVERY]
// Prints a Markdown table; exits with 1 when a pass did not start or a count of handles,
// GDI objects or threads grew between the first row and the last.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/e2e/notifier/notifier_process.h"
#include "tests/unit/settings/registry_fixture.h"
#include "tools/simulator/SimulatorClient.h"

using namespace notifier_test;

namespace {

void PrintRow(int pass, const ProcessResources& r) {
    std::printf("| %d | %d | %d | %d | %.1f |\n", pass, r.kernelHandles, r.gdiObjects, r.threads,
                static_cast<double>(r.privateBytes) / 1024.0);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int passes = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int every = argc > 2 ? std::atoi(argv[2]) : 100;
    if (passes < every || every < 1) {
        std::fprintf(stderr, "usage: notifier_soak [PASSES] [EVERY <= PASSES]\n");
        return 2;
    }
    sim::Reset();
    test::DeleteKey(HKEY_CURRENT_USER, test::kSettingsKey);
    sim::AddAccount("soak", "pw", 1);
    sim::AddSession("eid-soak", "soak");
    test::SetRaw(HKEY_CURRENT_USER, test::kSettingsKey, "EID", REG_SZ, std::string("eid-soak\0", 9));

    Notifier notifier("");
    if (!notifier.Started() || !WaitFor([] { return MainWindowOfNotifier() != nullptr; }, 15000) ||
        !WaitFor([] { return sim::RequestCount("arrival") == 1; }, 15000)) {
        std::fprintf(stderr, "the notifier did not start its first pass\n");
        return 1;
    }
    const HWND window = MainWindowOfNotifier();
    const auto sample = [&] {
        WaitForIdleNotifier(notifier.Id());
        return ResourcesOf(notifier.Process(), notifier.Id());
    };

    std::printf("| after pass | kernel handles | GDI objects | threads | private KB |\n|---|---|---|---|---|\n");
    const DWORD started = GetTickCount();
    ProcessResources first;
    ProcessResources last;
    bool ok = true;
    for (int pass = 1; pass <= passes && ok; ++pass) {
        ok = RunRefetchPass(window, pass);
        if (!ok) std::fprintf(stderr, "pass %d did not start\n", pass);
        if (pass % every == 0 || pass == passes) {
            last = sample();
            if (pass == every) first = last;
            PrintRow(pass, last);
        }
    }
    std::printf("\n%d passes in %.1f s; the service was asked %d times\n", passes,
                static_cast<double>(GetTickCount() - started) / 1000.0, sim::RequestCount("arrival"));

    const bool grew = last.kernelHandles > first.kernelHandles || last.gdiObjects > first.gdiObjects ||
                      last.threads > first.threads;
    if (grew) std::printf("a count grew between pass %d and pass %d\n", every, passes);
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    notifier.Ended(15000);
    test::DeleteKey(HKEY_CURRENT_USER, test::kSettingsKey);
    return ok && !grew ? 0 : 1;
}
