// Install and uninstall of one payload by MewlarkSetup.exe, by an NSIS installer and by a
// plain copy loop, in turns, in one Wine prefix. Prints a Markdown table of the medians.
// Usage: setup_bench BENCH_DIR [ROUNDS]; BENCH_DIR holds payload\, setup.ini, MewlarkSetup.exe
// and nsis_setup.exe (tools/bench.sh prepares it with bench/setup-bench.sh); without
// nsis_setup.exe the NSIS installer is left out.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string kProgramFiles = "C:\\Program Files";

double Now() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
};

Process Start(const std::string& commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        std::fprintf(stderr, "cannot start %s: %lu\n", commandLine.c_str(), GetLastError());
        std::exit(1);
    }
    CloseHandle(info.hThread);
    return {info.hProcess, info.dwProcessId};
}

void Finish(const Process& process) {
    WaitForSingleObject(process.handle, 600000);
    CloseHandle(process.handle);
}

// The first process that parentId started.
Process ChildOf(DWORD parentId) {
    for (int attempt = 0; attempt < 2000; ++attempt) {
        const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
            if (entry.th32ParentProcessID != parentId) continue;
            CloseHandle(snapshot);
            return {OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID), entry.th32ProcessID};
        }
        CloseHandle(snapshot);
        Sleep(5);
    }
    std::fprintf(stderr, "process %lu started no child\n", parentId);
    std::exit(1);
}

struct BoxSearch {
    DWORD processId;
    HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[16] = {};
    GetClassNameA(window, name, sizeof(name));
    if (owner != search->processId || std::string(name) != "#32770" || !IsWindowVisible(window)) return TRUE;
    search->box = window;
    return FALSE;
}

// Waits for the process's completion box: the moment its work is done. Answers it.
double UntilBox(const Process& process) {
    BoxSearch search{process.id, nullptr};
    while (search.box == nullptr) {
        if (WaitForSingleObject(process.handle, 2) == WAIT_OBJECT_0) {
            std::fprintf(stderr, "process %lu ended without its completion box\n", process.id);
            std::exit(1);
        }
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    }
    const double done = Now();
    PostMessageA(search.box, WM_COMMAND, IDOK, 0);
    Finish(process);
    return done;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Seconds of one install and one uninstall.
struct Timing {
    double install;
    double uninstall;
};

class Contender {
public:
    virtual ~Contender() = default;
    virtual const char* Name() const = 0;
    virtual Timing Run() = 0;
};

class CopyLoop : public Contender {
public:
    CopyLoop(std::string tool, std::string payload) : tool_(std::move(tool)), payload_(std::move(payload)) {}
    const char* Name() const override { return "copy loop (CopyFileA per file)"; }
    Timing Run() override {
        const double start = Now();
        Finish(Start("\"" + tool_ + "\" \"" + payload_ + "\" \"" + target_ + "\""));
        const double installed = Now();
        Finish(Start("\"" + tool_ + "\" /d \"" + target_ + "\""));
        return {installed - start, Now() - installed};
    }

private:
    std::string tool_;
    std::string payload_;
    std::string target_ = kProgramFiles + "\\CopyBench";
};

class Mewlark : public Contender {
public:
    explicit Mewlark(std::string benchDir) : benchDir_(std::move(benchDir)) {}
    const char* Name() const override { return "MewlarkSetup.exe"; }
    Timing Run() override {
        const double start = Now();
        const double installed = UntilBox(Start("\"" + benchDir_ + "\\MewlarkSetup.exe\""));
        // The uninstaller hands over to a copy of itself, which does the work.
        const double uninstalling = Now();
        const Process request = Start("\"" + kProgramFiles + "\\MewlarkBench\\uninstall.exe\"");
        const double uninstalled = UntilBox(ChildOf(request.id));
        Finish(request);
        return {installed - start, uninstalled - uninstalling};
    }

private:
    std::string benchDir_;
};

class Nsis : public Contender {
public:
    explicit Nsis(std::string benchDir) : benchDir_(std::move(benchDir)) {}
    const char* Name() const override { return "NSIS 3.08 installer (SetCompress off)"; }
    Timing Run() override {
        const std::string target = kProgramFiles + "\\NsisBench";
        const double start = Now();
        Finish(Start("\"" + benchDir_ + "\\nsis_setup.exe\" /S /D=" + target));
        const double installed = Now();
        // The uninstaller also hands over to a copy of itself in the temporary folder.
        const Process request = Start("\"" + target + "\\uninst.exe\" /S");
        const Process copy = ChildOf(request.id);
        Finish(copy);
        const double uninstalled = Now();
        Finish(request);
        if (Exists(target)) std::fprintf(stderr, "the NSIS uninstaller left %s\n", target.c_str());
        return {installed - start, uninstalled - installed};
    }

private:
    std::string benchDir_;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string ToolPath(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\') + 1) + name;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string benchDir = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    CopyLoop copyLoop(ToolPath("copy_loop.exe"), benchDir + "\\payload");
    Mewlark mewlark(benchDir);
    Nsis nsis(benchDir);
    std::vector<Contender*> contenders{&copyLoop, &mewlark};
    const bool withNsis = Exists(benchDir + "\\nsis_setup.exe");
    if (withNsis) contenders.push_back(&nsis);

    // One untimed pass brings the payload into the page cache.
    copyLoop.Run();
    std::vector<std::vector<Timing>> timings(contenders.size());
    for (int round = 0; round < rounds; ++round) {
        // Each round starts with another contender.
        for (std::size_t turn = 0; turn < contenders.size(); ++turn) {
            const std::size_t index = (turn + round) % contenders.size();
            timings[index].push_back(contenders[index]->Run());
        }
    }

    // The machine is shared: the best of the rounds shows the cost of the work itself, the
    // median what a user saw.
    std::vector<Timing> medians, bests;
    for (const std::vector<Timing>& runs : timings) {
        std::vector<double> install, uninstall;
        for (const Timing& timing : runs) {
            install.push_back(timing.install);
            uninstall.push_back(timing.uninstall);
        }
        medians.push_back({Median(install), Median(uninstall)});
        bests.push_back({*std::min_element(install.begin(), install.end()),
                         *std::min_element(uninstall.begin(), uninstall.end())});
    }
    std::printf("| contender | install s | uninstall s | install / copy loop | uninstall / copy loop |\n");
    std::printf("|---|---|---|---|---|\n");
    for (std::size_t i = 0; i < contenders.size(); ++i) {
        std::printf("| %s | %.2f (%.2f) | %.2f (%.2f) | %.2f (%.2f) | %.2f (%.2f) |\n", contenders[i]->Name(),
                    medians[i].install, bests[i].install, medians[i].uninstall, bests[i].uninstall,
                    medians[i].install / medians[0].install, bests[i].install / bests[0].install,
                    medians[i].uninstall / medians[0].uninstall, bests[i].uninstall / bests[0].uninstall);
    }
    std::printf("\nmedian (best) of %d rounds. Goals, on the best: ", rounds);
    if (withNsis) {
        std::printf("MewlarkSetup faster than NSIS: install %s, uninstall %s; ",
                    bests[1].install < bests[2].install ? "yes" : "no",
                    bests[1].uninstall < bests[2].uninstall ? "yes" : "no");
    }
    std::printf("within 1.2 x the copy loop: install %.2f, uninstall %.2f\n", bests[1].install / bests[0].install,
                bests[1].uninstall / bests[0].uninstall);
    return 0;
}
