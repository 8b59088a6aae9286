// The notifier in process against a broken network and a broken service: every fault ends
// its pass with a defined status that the tray shows, and the UI thread keeps answering
// while the pass runs. Also the tray icon's return after the taskbar is re-created.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "notifier/shell/MainWindow.h"
#include "tests/unit/settings/registry_fixture.h"
#include "tests/unit/shell/recording_effects.h"
#include "tests/unit/ui/message_pump.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

using namespace test::shown_texts;

// Longer than any pass may take (the query's receive time-out is 15 s).
constexpr DWORD kPassHangMs = 60000;
// A window that takes this long to answer a message is hung.
constexpr UINT kAnswerHangMs = 5000;

// Sends WM_NULL to a window from a second thread, one message after another, while the
// window's own thread goes on; keeps the longest time an answer took.
class AnswerTimeProbe {
public:
    explicit AnswerTimeProbe(HWND window) : thread_([this, window] { Run(window); }) {}
    ~AnswerTimeProbe() { Stop(); }
    AnswerTimeProbe(const AnswerTimeProbe&) = delete;
    AnswerTimeProbe& operator=(const AnswerTimeProbe&) = delete;

    // Its last message may be on its way: the window's thread goes on dispatching meanwhile.
    void Stop() {
        stop_ = true;
        test::PumpUntil([this] { return finished_.load(); }, 2 * kAnswerHangMs);
        if (thread_.joinable()) thread_.join();
    }
    double WorstMs() const { return worstMs_; }
    int Answered() const { return answered_; }
    bool Hung() const { return hung_; }

private:
    void Run(HWND window) {
        LARGE_INTEGER frequency, before, after;
        QueryPerformanceFrequency(&frequency);
        while (!stop_) {
            DWORD_PTR result = 0;
            QueryPerformanceCounter(&before);
            const bool answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerHangMs, &result) != 0;
            QueryPerformanceCounter(&after);
            if (!answered) {
                hung_ = hung_ || IsWindow(window);
                break;
            }
            const double ms = 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                              static_cast<double>(frequency.QuadPart);
            if (ms > worstMs_) worstMs_ = ms;
            ++answered_;
            Sleep(5);
        }
        finished_ = true;
    }

    std::atomic<bool> stop_{false};
    std::atomic<bool> hung_{false};
    std::atomic<bool> finished_{false};
    std::atomic<double> worstMs_{0};
    std::atomic<int> answered_{0};
    std::thread thread_;
};

// The system's proxy setting, which the exchanges follow, pointed at a proxy server for the
// object's lifetime: the way to make the notifier's own connection or name lookup fail
// while its service hosts are fixed by the build.
class SystemProxy {
public:
    static constexpr const char* kKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

    explicit SystemProxy(const std::string& server)
        : enable_(test::GetRaw(HKEY_CURRENT_USER, kKey, "ProxyEnable")),
          server_(test::GetRaw(HKEY_CURRENT_USER, kKey, "ProxyServer")) {
        test::SetRawDword(HKEY_CURRENT_USER, kKey, "ProxyEnable", 1);
        test::SetRaw(HKEY_CURRENT_USER, kKey, "ProxyServer", REG_SZ, server + '\0');
    }
    ~SystemProxy() {
        Put("ProxyEnable", enable_);
        Put("ProxyServer", server_);
    }
    SystemProxy(const SystemProxy&) = delete;
    SystemProxy& operator=(const SystemProxy&) = delete;

private:
    static void Put(const char* name, const std::optional<test::RawValue>& value) {
        if (value) {
            test::SetRaw(HKEY_CURRENT_USER, kKey, name, value->type, value->data);
            return;
        }
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        RegDeleteValueA(key, name);
        RegCloseKey(key);
    }

    std::optional<test::RawValue> enable_;
    std::optional<test::RawValue> server_;
};

struct Outcome {
    CheckStatus status;
    std::int32_t count;
};

// How the service or the network misbehaves, and the results a pass may end with.
struct Fault {
    const char* name;
    bool throughLogin;  // no stored session: the pass logs in first
    std::function<std::unique_ptr<SystemProxy>()> arrange;
    std::vector<Outcome> outcomes;  // the first is what Windows gives; more where Wine differs
};

const std::string kLongCookie(8192, 'h');

sim::Reply Scripted(std::function<void(sim::Reply&)> shape) {
    sim::Reply reply;
    shape(reply);
    return reply;
}

// Scripts the reply of the next query.
std::function<std::unique_ptr<SystemProxy>()> Query(std::function<void(sim::Reply&)> shape) {
    return [shape] {
        sim::Script("arrival", Scripted(shape));
        return std::unique_ptr<SystemProxy>();
    };
}

std::function<std::unique_ptr<SystemProxy>()> Proxy(const char* server) {
    return [server] { return std::make_unique<SystemProxy>(server); };
}

std::vector<Fault> Faults() {
    const Outcome failed{CheckStatus::Failed, 0};
    return {
        {"connection refused", false, Proxy("127.0.0.1:1"), {failed}},
        {"name not resolved", false, Proxy("mewlark-no-such-host.invalid:8080"), {failed}},
        {"untrusted certificate", true,
         [] {
             sim::ShowUntrustedCertificate(true);
             return std::unique_ptr<SystemProxy>();
         },
         {failed}},
        // WinINet sends a request again after a reset: drop every attempt.
        {"reset before the headers", false, Query([](sim::Reply& r) {
             r.drop = "before-headers";
             r.times = 5;
         }),
         {failed}},
        // The first line arrived before the reset and is what counts; Wine may lose it.
        {"reset half-way through the body", false, Query([](sim::Reply& r) {
             r.body = "12\r\n";
             r.bodySize = 4000;
             r.drop = "mid-body";
         }),
         {{CheckStatus::Ok, 12}, failed}},
        // The headers announce a body that never comes: the receive time-out ends the wait.
        {"headers, then silence", false, Query([](sim::Reply& r) {
             r.body = "5\r\n";
             r.stall = "after-headers";
             r.stallMs = 40000;
         }),
         {failed}},
        {"a body dripped one byte a second", false, Query([](sim::Reply& r) {
             r.body = "3\r\n";
             r.dripMs = 1000;
         }),
         {{CheckStatus::Ok, 3}}},
        {"status 500", false, Query([](sim::Reply& r) {
             r.status = 500;
             r.body = "7\r\n";
         }),
         {failed}},
        {"status 302", false, Query([](sim::Reply& r) {
             r.status = 302;
             r.body = "7\r\n";
         }),
         {failed}},
        {"status 404", false, Query([](sim::Reply& r) {
             r.status = 404;
             r.body = "7\r\n";
         }),
         {failed}},
        {"empty body", false, Query([](sim::Reply&) {}), {failed}},
        {"a first line of 100 000 bytes", false, Query([](sim::Reply& r) {
             r.bodySize = 100000;
             r.fill = "x";
         }),
         {{CheckStatus::Ok, 0}}},
        {"a 50 MB body", false, Query([](sim::Reply& r) {
             r.body = "42\r\n";
             r.bodySize = 50 * 1024 * 1024;
         }),
         {{CheckStatus::Ok, 42}}},
        {"non-ASCII garbage", false, Query([](sim::Reply& r) {
             for (int c = 0x80; c <= 0xFF; ++c) r.body += static_cast<char>(c);
             r.body += "\r\n5";
         }),
         {{CheckStatus::Ok, 0}}},
        // Wine keeps 4095 bytes of a header line: the cut cookie is no session.
        {"a Set-Cookie of 8 KB", true,
         [] {
             sim::Reply login;
             login.status = 302;
             login.cookies = {"EID=" + kLongCookie + "; path=/"};
             sim::Script("login", login);
             sim::AddSession(kLongCookie, "alice");
             return std::unique_ptr<SystemProxy>();
         },
         {{CheckStatus::Ok, 6}, {CheckStatus::LoginRequired, 0}}},
    };
}

std::string ExpectedTip(Outcome outcome) {
    switch (outcome.status) {
        case CheckStatus::Ok:
            return outcome.count > 0 ? NewMailTip(outcome.count) : kTarnMail + kNoNewMail;
        case CheckStatus::LoginRequired:
            return kLoggedOutTip;
        default:
            return kFailureTip;
    }
}

TrayIconIndex ExpectedIcon(Outcome outcome) {
    switch (outcome.status) {
        case CheckStatus::Ok:
            return outcome.count > 0 ? IconNewMail : IconIdle;
        case CheckStatus::LoginRequired:
            return IconLoggedOut;
        default:
            return IconError;
    }
}

class NotifierUnderFaults : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        test::DeleteKey(HKEY_CURRENT_USER, test::kSettingsKey);
    }
    void TearDown() override {
        window.reset();
        test::PumpFor(50);
        sim::Reset();
        test::DeleteKey(HKEY_CURRENT_USER, test::kSettingsKey);
    }

    void Start() {
        tray.calls.clear();
        window = std::make_unique<MainWindow>(MainWindow::Effects{tray, urls, sound, login});
        ASSERT_NE(window->Create(GetModuleHandleA(nullptr)), nullptr);
    }
    // Every handled end of a pass sets the tooltip once.
    int Passes() const { return tray.Count(NIM_MODIFY, NIF_TIP); }
    std::string Tip() const {
        const test::TrayCall* call = tray.Last(NIM_MODIFY, NIF_TIP);
        return call != nullptr ? call->data.szTip : "<none>";
    }
    HICON Icon() const {
        const test::TrayCall* call = tray.Last(NIM_MODIFY, NIF_ICON);
        return call != nullptr ? call->data.hIcon : nullptr;
    }

    test::RecordingTray tray;
    test::RecordingUrls urls;
    test::CountingSound sound;
    test::ScriptedLogin login;
    std::unique_ptr<MainWindow> window;
};

TEST_F(NotifierUnderFaults, EveryFaultShowsItsStatusWhileTheWindowKeepsAnswering) {
    sim::AddAccount("alice", "pw", 6);
    std::string report = "| fault | shown | pass ms | answers | worst answer ms |\n|---|---|---|---|---|\n";
    double worstOfAll = 0;
    for (const Fault& fault : Faults()) {
        SCOPED_TRACE(fault.name);
        sim::Reset();
        sim::AddAccount("alice", "pw", 6);
        test::DeleteKey(HKEY_CURRENT_USER, test::kSettingsKey);
        if (fault.throughLogin) {
            login.answers.push_back(test::ScriptedLogin::Ok("alice", "pw", false));
        } else {
            sim::AddSession("eid-alice", "alice");
            settingsStore.WriteSessionCookie("eid-alice");
        }
        const std::unique_ptr<SystemProxy> proxy = fault.arrange();
        const int passes = fault.throughLogin ? 2 : 1;  // a login first ends LoginRequired

        const DWORD started = GetTickCount();
        Start();
        AnswerTimeProbe probe(window->Window());
        const bool ended = test::PumpUntil([&] { return Passes() >= passes; }, kPassHangMs);
        const DWORD passMs = GetTickCount() - started;
        probe.Stop();
        ASSERT_TRUE(ended) << "the pass never ended";
        EXPECT_FALSE(probe.Hung()) << "the window stopped answering";

        const ShownResult shown = window->LastResult();
        bool expected = false;
        for (const Outcome& outcome : fault.outcomes) {
            expected = expected || (outcome.status == shown.status && outcome.count == shown.count);
        }
        EXPECT_TRUE(expected) << "status " << static_cast<int>(shown.status) << ", count " << shown.count;
        EXPECT_EQ(Icon(), window->Tray().Picture(ExpectedIcon({shown.status, shown.count})));
        EXPECT_EQ(Tip(), ExpectedTip({shown.status, shown.count}));

        char line[200];
        std::snprintf(line, sizeof(line), "| %s | %d, %d | %lu | %d | %.1f |\n", fault.name,
                      static_cast<int>(shown.status), static_cast<int>(shown.count), passMs, probe.Answered(),
                      probe.WorstMs());
        report += line;
        if (probe.WorstMs() > worstOfAll) worstOfAll = probe.WorstMs();
        window.reset();
        login.answers.clear();
    }
    std::printf("%s\nworst answer of the window during a faulty pass: %.1f ms\n", report.c_str(), worstOfAll);
}

TEST_F(NotifierUnderFaults, TaskbarRecreatedBringsBackTheLastPictureAndTooltip) {
    sim::AddAccount("alice", "pw", 4);
    sim::AddSession("eid-alice", "alice");
    settingsStore.WriteSessionCookie("eid-alice");
    Start();
    ASSERT_TRUE(test::PumpUntil([&] { return Passes() >= 1; }, kPassHangMs));
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");

    // A new taskbar has no icons: the icon is added again, picture and tooltip at once.
    tray.calls.clear();
    SendMessageA(window->Window(), taskbarCreated, 0, 0);
    ASSERT_EQ(tray.calls.size(), 1u);
    const test::TrayCall& add = tray.calls.front();
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(add.data.uCallbackMessage, MainWindow::WM_TRAY_NOTIFY);
    EXPECT_EQ(add.data.hIcon, window->Tray().Picture(IconNewMail));
    EXPECT_EQ(std::string(add.data.szTip), NewMailTip(4));

    // A shell that kept the icon refuses the add: the icon is brought up to date instead,
    // and nothing is retried.
    tray.calls.clear();
    tray.failingAdds = 1;
    SendMessageA(window->Window(), taskbarCreated, 0, 0);
    ASSERT_EQ(tray.calls.size(), 2u);
    EXPECT_EQ(tray.calls[1].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(tray.calls[1].data.hIcon, window->Tray().Picture(IconNewMail));
    EXPECT_FALSE(KillTimer(window->Window(), MainWindow::TIMER_TRAY_ADD));

    // A taskbar that is not ready yet takes the icon at a later retry.
    tray.calls.clear();
    tray.failingAdds = 1;
    tray.failingModifies = 1;
    SendMessageA(window->Window(), taskbarCreated, 0, 0);
    ASSERT_TRUE(test::PumpUntil([&] { return tray.Count(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP) == 2; }, 9000));
    EXPECT_EQ(tray.calls.back().data.hIcon, window->Tray().Picture(IconNewMail));
    EXPECT_FALSE(KillTimer(window->Window(), MainWindow::TIMER_TRAY_ADD)) << "the retry stops after success";
}

}  // namespace
