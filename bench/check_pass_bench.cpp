// One check pass of MailCheckClient against the same exchange made by a bare WinINet loop,
// interleaved, against the local service simulator. Prints one table row per contender.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mewlark_config.h"
#include "notifier/service/MailCheckClient.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

constexpr UINT kCheckDone = WM_USER + 2;
const char kPath[] = "/recent/arrival.ghtml/checker1.1/";

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The same request as the client's query, with nothing around it.
bool BareQuery() {
    HINTERNET session = InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = InternetConnectA(session, "localhost", MEWLARK_SIM_HTTP_PORT, nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = HttpOpenRequestA(connection, "POST", kPath, nullptr, nullptr, nullptr,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES, 0);
    static const char headers[] = "Content-type: application/x-www-form-urlencoded\r\nCookie: EID=bench\r\n";
    char body[] = "u=recent&s=st&v=51";
    bool ok = HttpSendRequestA(request, headers, sizeof(headers) - 1, body, sizeof(body) - 1) != FALSE;
    char buffer[2000];
    DWORD got = 0;
    while (ok && InternetReadFile(request, buffer, sizeof(buffer), &got) && got > 0) {
    }
    InternetCloseHandle(request);
    InternetCloseHandle(connection);
    InternetCloseHandle(session);
    return ok;
}

DWORD WINAPI EmptyWorker(LPVOID) { return 0; }

// What the client adds to an exchange besides the exchange itself: one worker thread.
void RunEmptyThread() {
    HANDLE thread = CreateThread(nullptr, 0, EmptyWorker, nullptr, CREATE_SUSPENDED, nullptr);
    ResumeThread(thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

int g_completions = 0;

LRESULT CALLBACK CompletionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kCheckDone) {
        ++g_completions;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RunClientPass(MailCheckClient& client) {
    const int target = g_completions + 1;
    client.StartCheck();
    // The completion arrives as a sent message, which only a wait that takes input delivers.
    while (g_completions < target) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    client.WaitForIdle(INFINITE);
}

struct Stats {
    double median, mean, p90;
};

Stats Summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    double sum = 0;
    for (const double s : samples) sum += s;
    return {samples[samples.size() / 2], sum / static_cast<double>(samples.size()),
            samples[samples.size() * 9 / 10]};
}

}  // namespace

int main(int argc, char** argv) {
    const int passes = argc > 1 ? std::atoi(argv[1]) : 300;
    sim::Reset();
    sim::AddAccount("bench", "bench", 3);
    sim::AddSession("bench", "bench");

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = CompletionProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "CheckPassBench";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    MailCheckClient client;
    client.SetNotifyTarget(window, kCheckDone);
    client.SetSessionCookie("bench");

    // Warm-up of both paths.
    for (int i = 0; i < 10; ++i) {
        BareQuery();
        RunClientPass(client);
    }
    std::vector<double> bare;
    std::vector<double> pass;
    std::vector<double> thread;
    for (int i = 0; i < passes; ++i) {
        double start = Now();
        BareQuery();
        bare.push_back(Now() - start);
        start = Now();
        RunClientPass(client);
        pass.push_back(Now() - start);
        start = Now();
        RunEmptyThread();
        thread.push_back(Now() - start);
    }
    const Stats b = Summarise(bare);
    const Stats p = Summarise(pass);
    const Stats t = Summarise(thread);
    std::printf("| contender | passes | median ms | mean ms | p90 ms |\n|---|---|---|---|---|\n");
    std::printf("| bare WinINet exchange | %d | %.3f | %.3f | %.3f |\n", passes, b.median, b.mean, b.p90);
    std::printf("| MailCheckClient pass (thread, query, completion message) | %d | %.3f | %.3f | %.3f |\n", passes,
                p.median, p.mean, p.p90);
    std::printf("| empty worker thread (create, run, join) | %d | %.3f | %.3f | %.3f |\n", passes, t.median, t.mean,
                t.p90);
    std::printf("\nratio of medians (pass / bare): %.3f (goal <= 1.05)\n", p.median / b.median);
    std::printf("ratio of medians without the thread ((pass - thread) / bare): %.3f\n",
                (p.median - t.median) / b.median);
    DestroyWindow(window);
    return 0;
}
