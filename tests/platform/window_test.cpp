// Messages between threads, the procedure chain, placement and modal runs of real windows.
#include "platform/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "platform/messages.h"
#include "tests/platform/ui_test_support.h"

using namespace std::chrono_literals;
using platform::Rect;
using platform::Window;
using platform::WindowKind;
using platform::WindowOptions;
using test::Message;

namespace {

constexpr unsigned kAsk = platform::WM_USER + 1;
constexpr unsigned kPosted = platform::WM_USER + 2;
constexpr unsigned kDirect = platform::WM_USER + 3;
constexpr unsigned kLast = platform::WM_USER + 4;

using Handler =
    std::function<std::optional<std::intptr_t>(Window&, unsigned, std::uintptr_t, std::intptr_t)>;

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::StartUi(); }

    std::unique_ptr<Window> Make(WindowOptions options, Handler handler = {},
                                 std::vector<Message>* log = nullptr) {
        if (log == nullptr) {
            log = &m_log;
        }
        return Window::Create(options,
                              [log, handler](Window& w, unsigned msg, std::uintptr_t wp,
                                             std::intptr_t lp) -> std::intptr_t {
                                  log->push_back({msg, wp, lp});
                                  if (handler) {
                                      if (auto answer = handler(w, msg, wp, lp)) {
                                          return *answer;
                                      }
                                  }
                                  return w.DefaultProc(msg, wp, lp);
                              });
    }

    std::vector<unsigned> Seen(unsigned from, unsigned to) const {
        std::vector<unsigned> out;
        for (const auto& m : m_log) {
            if (m.msg >= from && m.msg <= to) {
                out.push_back(m.msg);
            }
        }
        return out;
    }

    bool Saw(unsigned msg) const {
        return std::any_of(m_log.begin(), m_log.end(), [msg](auto& m) { return m.msg == msg; });
    }

    std::vector<Message> m_log;  // UI thread only
};

TEST_F(WindowTest, CreationDeliversCreateSizeMoveAndHonoursAFailedCreate) {
    auto w = Make(test::Options({30, 40, 120, 90}));
    ASSERT_TRUE(w);
    ASSERT_GE(m_log.size(), 3u);
    EXPECT_EQ(m_log[0], (Message{platform::WM_CREATE, 0, 0}));
    EXPECT_EQ(m_log[1], (Message{platform::WM_SIZE, platform::SIZE_RESTORED, 90 << 16 | 120}));
    EXPECT_EQ(m_log[2], (Message{platform::WM_MOVE, 0, platform::MakePoint(30, 40)}));

    m_log.clear();
    auto failed = Make(test::Options({0, 0, 50, 50}), [](Window&, unsigned msg, auto, auto) {
        return msg == platform::WM_CREATE ? std::optional<std::intptr_t>(-1) : std::nullopt;
    });
    EXPECT_FALSE(failed);
    EXPECT_EQ(Seen(platform::WM_CREATE, platform::WM_DESTROY),
              (std::vector<unsigned>{platform::WM_CREATE, platform::WM_DESTROY}));
    EXPECT_TRUE(Saw(platform::WM_NCDESTROY));
}

TEST_F(WindowTest, SendFromWorkerBlocksUntilHandledAndReturnsTheResult) {
    std::atomic<bool> handled{false};
    std::thread::id handlerThread;
    auto w =
        Make(test::Options({0, 0, 80, 60}), [&](Window&, unsigned msg, std::uintptr_t wp, auto) {
            if (msg != kAsk) {
                return std::optional<std::intptr_t>();
            }
            handlerThread = std::this_thread::get_id();
            std::this_thread::sleep_for(50ms);
            handled = true;
            return std::optional<std::intptr_t>(static_cast<std::intptr_t>(wp) * 2);
        });
    std::atomic<bool> done{false};
    std::intptr_t result = 0;
    bool handledAtReturn = false;
    std::thread worker([&] {
        result = w->Send(kAsk, 21);
        handledAtReturn = handled.load();
        done = true;
    });
    EXPECT_TRUE(test::PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(result, 42);
    EXPECT_TRUE(handledAtReturn);
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
}

TEST_F(WindowTest, PostsArriveInOrderAroundSendsOfTheUiThread) {
    auto w = Make(
        test::Options({0, 0, 80, 60}),
        [](Window& self, unsigned msg, std::uintptr_t wp, auto) -> std::optional<std::intptr_t> {
            if (msg == kPosted && wp == 10) {
                self.Send(kDirect);  // runs at once, between posts 10 and 11
            }
            return std::nullopt;
        });
    EXPECT_TRUE(w->Post(kPosted, 0));  // from the UI thread, ahead of the worker's
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (std::uintptr_t i = 1; i < 20; ++i) {
            w->Post(kPosted, i);
        }
        w->Send(kLast);  // queued behind the posts
        done = true;
    });
    EXPECT_TRUE(test::PumpUntil([&] { return done.load(); }));
    worker.join();

    std::vector<std::uintptr_t> order;
    for (const auto& m : m_log) {
        if (m.msg == kPosted) {
            order.push_back(m.wParam);
        } else if (m.msg == kDirect) {
            order.push_back(100);
        } else if (m.msg == kLast) {
            order.push_back(200);
        }
    }
    std::vector<std::uintptr_t> expected;
    for (std::uintptr_t i = 0; i < 20; ++i) {
        expected.push_back(i);
        if (i == 10) {
            expected.push_back(100);
        }
    }
    expected.push_back(200);
    EXPECT_EQ(order, expected);
}

TEST_F(WindowTest, ADestroyedWindowAnswersZeroAtOnce) {
    auto w = Make(test::Options({0, 0, 80, 60}));
    w->Destroy();
    EXPECT_FALSE(w->Exists());
    EXPECT_EQ(w->Send(kAsk, 1), 0);
    EXPECT_FALSE(w->Post(kAsk, 1));
    std::intptr_t fromWorker = -1;
    bool posted = true;
    const auto start = std::chrono::steady_clock::now();
    std::thread([&] {
        fromWorker = w->Send(kAsk, 1);
        posted = w->Post(kAsk, 1);
    }).join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(fromWorker, 0);
    EXPECT_FALSE(posted);
    test::PumpFor(50);
    EXPECT_FALSE(Saw(kAsk));
}

TEST_F(WindowTest, AWorkerBlockedInSendIsReleasedWhenTheWindowIsDestroyed) {
    auto w = Make(test::Options({0, 0, 80, 60}), [](Window&, unsigned msg, auto, auto) {
        return msg == kAsk ? std::optional<std::intptr_t>(5) : std::nullopt;
    });
    std::atomic<bool> done{false};
    std::atomic<std::intptr_t> result{-1};
    std::thread worker([&] {
        result = w->Send(kAsk, 1);
        done = true;
    });
    // The UI thread does not run its loop here, so the message stays queued.
    std::this_thread::sleep_for(150ms);
    EXPECT_FALSE(done.load());
    w->Destroy();
    for (int i = 0; i < 200 && !done.load(); ++i) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_TRUE(done.load());
    worker.join();
    EXPECT_EQ(result.load(), 0);
    test::PumpFor(50);
    EXPECT_FALSE(Saw(kAsk));
}

TEST_F(WindowTest, InvalidateFromAWorkerProducesAPaintWithAContext) {
    int paints = 0;
    bool hadContext = false;
    auto w = Make(test::Options({50, 50, 120, 90}, true),
                  [&](Window& self, unsigned msg, auto, auto) -> std::optional<std::intptr_t> {
                      if (msg == platform::WM_PAINT) {
                          ++paints;
                          hadContext = self.PaintContext() != nullptr;
                      }
                      return std::nullopt;
                  });
    ASSERT_TRUE(test::PumpUntil([&] { return paints > 0; }));
    test::PumpFor(100);
    paints = 0;
    hadContext = false;
    std::thread([&] { w->Invalidate(); }).join();
    EXPECT_TRUE(test::PumpUntil([&] { return paints > 0; }));
    EXPECT_TRUE(hadContext);
    EXPECT_EQ(w->PaintContext(), nullptr);
}

TEST_F(WindowTest, AHookSeesPlacementFirstAndPassesMessagesOn) {
    std::vector<Message> hooked;
    std::vector<Rect> rectAtMessage;
    Window::Procedure previous;
    auto w = Make(test::Options({0, 0, 100, 100}), [](Window&, unsigned msg, auto, auto) {
        return msg == kAsk ? std::optional<std::intptr_t>(77) : std::nullopt;
    });
    previous = w->ReplaceProcedure(
        [&](Window& self, unsigned msg, std::uintptr_t wp, std::intptr_t lp) -> std::intptr_t {
            hooked.push_back({msg, wp, lp});
            rectAtMessage.push_back(self.GetWindowRect());
            return previous(self, msg, wp, lp);
        });
    m_log.clear();

    w->MoveWindow({20, 30, 200, 150}, false);
    EXPECT_EQ(w->GetWindowRect(), (Rect{20, 30, 200, 150}));
    EXPECT_EQ(w->GetClientRect(), (Rect{0, 0, 200, 150}));
    const std::vector<Message> expected = {
        {platform::WM_MOVE, 0, platform::MakePoint(20, 30)},
        {platform::WM_SIZE, platform::SIZE_RESTORED, 150 << 16 | 200}};
    EXPECT_EQ(hooked, expected);
    EXPECT_EQ(m_log, expected);  // passed on to the window's own procedure
    EXPECT_EQ(rectAtMessage, (std::vector<Rect>(2, Rect{20, 30, 200, 150})));

    EXPECT_EQ(w->CallProcedure(kAsk, 0, 0), 77);
    hooked.clear();
    w->SetPosition(40, 50);
    EXPECT_EQ(hooked, (std::vector<Message>{{platform::WM_MOVE, 0, platform::MakePoint(40, 50)}}));
    EXPECT_EQ(w->GetWindowRect(), (Rect{40, 50, 200, 150}));
}

struct ModalCase {
    const char* name;
    std::function<void(Window&)> end;  // runs inside the modal run
    std::intptr_t result;
    friend void PrintTo(const ModalCase& c, std::ostream* os) { *os << c.name; }
};

class ModalEnd : public WindowTest, public ::testing::WithParamInterface<ModalCase> {};

TEST_P(ModalEnd, EndsTheRunDestroysTheWindowAndReturnsTheResult) {
    auto w = Make(test::Options({100, 100, 160, 120}));
    Window* raw = w.get();
    const ModalCase& c = GetParam();
    auto ender = [&] { c.end(*raw); };
    g_timeout_add_once(
        100, [](gpointer data) { (*static_cast<decltype(ender)*>(data))(); }, &ender);
    const std::intptr_t result = w->DoModal();
    EXPECT_EQ(result, c.result);
    EXPECT_FALSE(w->Exists());
    ASSERT_GE(m_log.size(), 2u);
    EXPECT_EQ(m_log[m_log.size() - 2].msg, platform::WM_DESTROY);
    EXPECT_EQ(m_log.back().msg, platform::WM_NCDESTROY);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ModalEnd,
    ::testing::Values(ModalCase{"EndModal", [](Window& w) { w.EndModal(7); }, 7},
                      ModalCase{"DesktopCloseRequest",
                                [](Window& w) { gtk_window_close(GTK_WINDOW(w.NativeHandle())); },
                                platform::IDCANCEL},
                      ModalCase{"PostedCommand",
                                [](Window& w) { w.Post(platform::WM_COMMAND, platform::IDOK); },
                                platform::IDOK},
                      ModalCase{"DestroyedDuringTheRun", [](Window& w) { w.Destroy(); }, -1}),
    [](const auto& c) { return std::string(c.param.name); });

TEST_F(WindowTest, ADialogRunFromItsOwnersHandlerDisablesTheOwner) {
    constexpr unsigned kOpen = platform::WM_USER + 5;
    std::optional<bool> ownerEnabledDuringDialog;
    std::intptr_t dialogResult = 0;
    std::vector<Message> dialogLog;
    auto main = Make(
        test::Options({0, 0, 300, 200}, true),
        [&](Window& self, unsigned msg, auto, auto) -> std::optional<std::intptr_t> {
            if (msg != kOpen) {
                return std::nullopt;
            }
            auto dialog = Make(test::Options({50, 50, 100, 80}, false, WindowKind::Dialog, &self),
                               {}, &dialogLog);
            Window* d = dialog.get();
            Window* owner = &self;
            auto check = [&, d, owner] {
                ownerEnabledDuringDialog = owner->IsEnabled();
                d->Post(platform::WM_COMMAND, platform::IDOK);
            };
            g_timeout_add_once(
                100, [](gpointer data) { (*static_cast<decltype(check)*>(data))(); }, &check);
            dialogResult = dialog->DoModal();
            self.EndModal(3);
            return 0;
        });
    main->Post(kOpen);
    EXPECT_EQ(main->DoModal(), 3);
    EXPECT_EQ(dialogResult, platform::IDOK);
    EXPECT_EQ(ownerEnabledDuringDialog, false);
    EXPECT_EQ(dialogLog.back().msg, platform::WM_NCDESTROY);
}

TEST_F(WindowTest, AWorkerRunsADialogOnTheUiThread) {
    auto main = Make(test::Options({0, 0, 300, 200}, true));
    std::thread::id dialogThread;
    std::atomic<std::intptr_t> result{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        auto dialog =
            Window::Create(test::Options({40, 40, 100, 80}, false, WindowKind::Dialog, main.get()),
                           [&](Window& self, unsigned msg, std::uintptr_t wp, std::intptr_t lp) {
                               if (msg == platform::WM_SHOWWINDOW && wp == 1) {
                                   dialogThread = std::this_thread::get_id();
                                   self.Post(platform::WM_COMMAND, platform::IDCANCEL);
                               }
                               return self.DefaultProc(msg, wp, lp);
                           });
        result = dialog ? dialog->DoModal() : -5;
        done = true;
    });
    EXPECT_TRUE(test::PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(result.load(), platform::IDCANCEL);
    EXPECT_EQ(dialogThread, std::this_thread::get_id());
    EXPECT_TRUE(main->IsEnabled());
}

}  // namespace
