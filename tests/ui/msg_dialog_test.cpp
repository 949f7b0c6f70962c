// The message dialog over a real parent window: geometry, the buttons' results, the keys'
// results and a dialog asked for by a worker thread. Input is posted to the dialog's window
// from a driver thread while the dialog's modal loop runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <ostream>
#include <thread>
#include <vector>

#include "platform/messages.h"
#include "platform/window.h"
#include "test_images.h"
#include "ui/MsgDialog.h"

namespace {

using namespace std::chrono_literals;

enum class Ev { Move, Down, Up, Command };
struct Input {
    Ev type;
    int x = 0, y = 0;  // client point, or the command id
};

class MsgDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::InitializeUi()) << "needs a display";
        platform::WindowOptions options;
        options.rect = {0, 0, 600, 422};
        options.visible = true;
        m_parent = platform::Window::Create(
            options, [](platform::Window& w, unsigned m, std::uintptr_t wp, std::intptr_t lp) {
                return w.DefaultProc(m, wp, lp);
            });
        ASSERT_NE(m_parent, nullptr);
        platform::PumpEvents();
    }

    // Waits for the dialog's window, lets it paint, then posts `inputs` to it.
    std::thread Drive(CMsgDialog& dialog, std::vector<Input> inputs) {
        return std::thread([&dialog, inputs] {
            platform::Window* window = nullptr;
            for (int i = 0; i < 500 && window == nullptr; ++i) {
                window = dialog.LiveWindow();
                std::this_thread::sleep_for(10ms);
            }
            if (window == nullptr) {
                return;
            }
            std::this_thread::sleep_for(300ms);
            for (const Input& in : inputs) {
                switch (in.type) {
                    case Ev::Move:
                        window->Post(platform::WM_MOUSEMOVE, 0, platform::MakePoint(in.x, in.y));
                        break;
                    case Ev::Down:
                        window->Post(platform::WM_LBUTTONDOWN, 1, platform::MakePoint(in.x, in.y));
                        break;
                    case Ev::Up:
                        window->Post(platform::WM_LBUTTONUP, 0, platform::MakePoint(in.x, in.y));
                        break;
                    case Ev::Command:
                        window->Post(platform::WM_COMMAND, static_cast<std::uintptr_t>(in.x), 0);
                        break;
                }
                std::this_thread::sleep_for(30ms);
            }
        });
    }

    std::unique_ptr<platform::Window> m_parent;
};

TEST(MsgDialogGeometryTest, CentredOverItsParent) {
    const platform::Rect r = CMsgDialog::DialogRect({0, 0, 600, 422});
    EXPECT_EQ(r, (platform::Rect{122, 107, 356, 208}));
    EXPECT_EQ(r.x + r.width, 478);
    EXPECT_EQ(r.y + r.height, 315);
    EXPECT_EQ(CMsgDialog::DialogRect({-101, -51, 601, 423}),
              (platform::Rect{-101 + 300 - 178, -51 + 211 - 104, 356, 208}));
}

struct Case {
    const char* name;
    MsgMode mode;
    std::vector<Input> inputs;
    std::intptr_t result;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class MsgDialogResultTest : public MsgDialogTest, public ::testing::WithParamInterface<Case> {};

TEST_P(MsgDialogResultTest, Ends) {
    CMsgDialog dialog(m_parent.get());
    dialog.m_mode = GetParam().mode;
    dialog.SetMessage("安装失败");
    std::thread driver = Drive(dialog, GetParam().inputs);
    const std::intptr_t result = dialog.DoModal();
    driver.join();
    EXPECT_EQ(result, GetParam().result);
}

constexpr Input Down(int x, int y) {
    return {Ev::Down, x, y};
}
constexpr Input Up(int x, int y) {
    return {Ev::Up, x, y};
}
constexpr Input Move(int x, int y) {
    return {Ev::Move, x, y};
}
constexpr Input Key(std::intptr_t id) {
    return {Ev::Command, static_cast<int>(id), 0};
}

INSTANTIATE_TEST_SUITE_P(
    Table, MsgDialogResultTest,
    ::testing::Values(
        Case{"Continue",
             MsgConfirmUpgrade,
             {Move(117, 142), Down(117, 142), Up(117, 142)},
             platform::IDOK},
        Case{"Cancel", MsgConfirmUpgrade, {Down(238, 142), Up(238, 142)}, platform::IDCANCEL},
        Case{"Enter", MsgConfirmUpgrade, {Key(platform::IDOK)}, platform::IDOK},
        Case{"Escape", MsgNotice, {Key(platform::IDCANCEL)}, platform::IDCANCEL},
        // Pressing "继续", leaving it and releasing elsewhere ends nothing; Esc ends it then.
        Case{"PressLeaveRelease",
             MsgConfirmUpgrade,
             {Down(117, 142), Move(10, 10), Up(10, 10), Up(117, 142), Key(platform::IDCANCEL)},
             platform::IDCANCEL},
        // A background press drags and ends nothing.
        Case{"Background",
             MsgConfirmUpgrade,
             {Down(20, 20), Up(20, 20), Key(platform::IDCANCEL)},
             platform::IDCANCEL},
        // The notice's one button spans x 125 to 230; "继续"'s place is empty there.
        Case{"NoticeButtonSpan",
             MsgNotice,
             {Down(117, 142), Up(117, 142), Down(124, 142), Up(124, 142), Down(230, 142),
              Up(230, 142), Down(229, 142), Up(229, 142)},
             platform::IDOK}),
    [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

TEST_F(MsgDialogTest, NoticePaintsItsTextCentredOnItsPoint) {
    CMsgDialog dialog(m_parent.get());
    dialog.SetMessage("安装包下载失败");
    platform::Rect placed;
    std::thread driver([&] {
        while (dialog.LiveWindow() == nullptr) {
            std::this_thread::sleep_for(10ms);
        }
        std::this_thread::sleep_for(300ms);
        platform::RunOnUiThread([&] { placed = dialog.LiveWindow()->GetWindowRect(); });
        dialog.LiveWindow()->Post(platform::WM_COMMAND, platform::IDOK, 0);
    });
    EXPECT_EQ(dialog.DoModal(), platform::IDOK);
    driver.join();
    EXPECT_EQ(placed, (platform::Rect{122, 107, 356, 208}));

    // The last paint stays in the back buffer: grey background, the text centred on x 210.
    const BackBuffer& buffer = dialog.m_backBuffer;
    ASSERT_NE(buffer.Surface(), nullptr);
    EXPECT_EQ(uitest::PixelAt(buffer, 5, 5), 0x6C6C6Cu);
    uitest::Box text;
    for (int y = 50; y < 85; ++y) {
        for (int x = 150; x < 356; ++x) {  // right of the icon's place
            if (uitest::PixelAt(buffer, x, y) != 0x6C6C6Cu) {
                text.left = std::min(text.left, x);
                text.right = std::max(text.right, x);
                text.top = std::min(text.top, y);
                text.bottom = std::max(text.bottom, y);
            }
        }
    }
    ASSERT_FALSE(text.Empty());
    EXPECT_NEAR((text.left + text.right) / 2.0, 210, 2);
    EXPECT_NEAR((text.top + text.bottom) / 2.0, 65, 4);
}

TEST_F(MsgDialogTest, AskedForByAWorker) {
    CMsgDialog dialog(m_parent.get());
    dialog.m_mode = MsgConfirmUpgrade;
    std::intptr_t result = 0;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = dialog.DoModal();  // runs on the UI thread; this thread waits
        done = true;
    });
    std::thread driver = Drive(dialog, {Down(117, 142), Up(117, 142)});
    const auto start = std::chrono::steady_clock::now();
    while (!done && std::chrono::steady_clock::now() - start < 20s) {
        platform::PumpEvents();
        std::this_thread::sleep_for(5ms);
    }
    worker.join();
    driver.join();
    EXPECT_EQ(result, platform::IDOK);
}

}  // namespace
