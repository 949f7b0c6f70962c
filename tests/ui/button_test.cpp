// The button family's state machine and notifications, driven as an owner window drives it
// and received by a real window's procedure.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/window.h"
#include "ui/CheckboxButton.h"
#include "ui/CloseButton.h"
#include "ui/CustomButton.h"
#include "ui/DisclaimerButton.h"
#include "ui/EditButton.h"
#include "ui/MainButton.h"
#include "ui/UndoCustomButton.h"

namespace {

enum class Ev { Move, Down, Up };
struct Event {
    Ev type;
    int x, y;
};

// The owner's forwarding rules: moves go to every button, a press to the first that takes
// it (none: a window drag), a release to the first button whose rectangle holds the point.
struct Owner {
    std::vector<CObj*> buttons;
    int drags = 0;
    void Dispatch(const Event& e) {
        switch (e.type) {
            case Ev::Move:
                for (CObj* b : buttons) {
                    b->OnMouseMove(e.x, e.y);
                }
                break;
            case Ev::Down: {
                bool taken = false;
                for (CObj* b : buttons) {
                    if (b->OnLButtonDown(e.x, e.y)) {
                        taken = true;
                        break;
                    }
                }
                drags += taken ? 0 : 1;
                break;
            }
            case Ev::Up:
                for (CObj* b : buttons) {
                    if (b->HitTest(e.x, e.y)) {
                        b->OnLButtonUp(e.x, e.y);
                        break;
                    }
                }
                break;
        }
    }
};

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::InitializeUi()) << "needs a display";
        platform::WindowOptions options;
        options.rect = {0, 0, 600, 422};
        m_window =
            platform::Window::Create(options,
                                     [this](platform::Window& w, unsigned msg, std::uintptr_t wp,
                                            std::intptr_t lp) -> std::intptr_t {
                                         if (msg >= platform::WM_USER) {
                                             m_received.push_back(msg);
                                             return 0;
                                         }
                                         return w.DefaultProc(msg, wp, lp);
                                     });
        ASSERT_NE(m_window, nullptr);
    }
    template <class T>
    std::unique_ptr<T> Make(int x, int y, int w, int h) {
        auto b = std::make_unique<T>();
        b->m_owner = m_window.get();
        b->m_x = x;
        b->m_y = y;
        b->m_width = w;
        b->m_height = h;
        b->m_visible = true;
        return b;
    }

    std::unique_ptr<platform::Window> m_window;
    std::vector<unsigned> m_received;
};

constexpr Event Move(int x, int y) {
    return {Ev::Move, x, y};
}
constexpr Event Down(int x, int y) {
    return {Ev::Down, x, y};
}
constexpr Event Up(int x, int y) {
    return {Ev::Up, x, y};
}

struct Sequence {
    const char* name;
    ButtonState initial;
    std::vector<Event> events;
    ButtonState final;
    int notifications;
    int drags;
};

void PrintTo(const Sequence& c, std::ostream* out) {
    *out << c.name;
}

class ButtonSequenceTest : public ButtonTest, public ::testing::WithParamInterface<Sequence> {};

// A CMainButton at (200, 300, 200, 50).
TEST_P(ButtonSequenceTest, EndsInStateWithNotifications) {
    const Sequence& s = GetParam();
    auto button = Make<CMainButton>(200, 300, 200, 50);
    button->m_state = s.initial;
    Owner owner{{button.get()}};
    for (const Event& e : s.events) {
        owner.Dispatch(e);
    }
    EXPECT_EQ(button->m_state, s.final);
    EXPECT_EQ(m_received.size(), static_cast<std::size_t>(s.notifications));
    for (unsigned msg : m_received) {
        EXPECT_EQ(msg, WM_MAINBUTTON_CLICKED);
    }
    EXPECT_EQ(owner.drags, s.drags);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ButtonSequenceTest,
    ::testing::Values(
        Sequence{"Click",
                 StateNormal,
                 {Move(250, 320), Down(250, 320), Up(250, 320)},
                 StateNormal,
                 1,
                 0},
        Sequence{
            "EdgesAreHalfOpen", StateNormal, {Down(200, 300), Up(399, 349)}, StateNormal, 1, 0},
        Sequence{
            "OutsideRightEdge", StateNormal, {Down(400, 320), Up(400, 320)}, StateNormal, 0, 1},
        Sequence{"PressLeaveReturnRelease",
                 StateNormal,
                 {Down(250, 320), Move(10, 10), Move(250, 320), Up(250, 320)},
                 StateHover,
                 0,
                 0},
        Sequence{"BackgroundPressThenReleaseOver",
                 StateNormal,
                 {Down(10, 10), Move(250, 320), Up(250, 320)},
                 StateHover,
                 0,
                 1},
        Sequence{"DisabledPressSwallowed",
                 StateDisabled,
                 {Move(250, 320), Down(250, 320), Up(250, 320), Move(10, 10)},
                 StateDisabled,
                 0,
                 0},
        Sequence{"HoverLeaves", StateNormal, {Move(250, 320), Move(10, 10)}, StateNormal, 0, 0}),
    [](const ::testing::TestParamInfo<Sequence>& p) { return std::string(p.param.name); });

TEST_F(ButtonTest, MoveInsideAlwaysAsksForARepaint) {
    auto button = Make<CCloseButton>(570, 10, 13, 13);
    EXPECT_TRUE(button->OnMouseMove(575, 15));
    EXPECT_TRUE(button->OnMouseMove(576, 15));  // already hover
    EXPECT_TRUE(button->OnMouseMove(0, 0));     // leaving hover
    EXPECT_FALSE(button->OnMouseMove(0, 0));
    button->m_visible = false;
    EXPECT_FALSE(button->OnMouseMove(575, 15));
    EXPECT_FALSE(button->OnLButtonDown(575, 15));
}

TEST_F(ButtonTest, EachClassSendsItsMessage) {
    auto main = Make<CMainButton>(0, 0, 10, 10);
    auto custom = Make<CCustomButton>(0, 0, 10, 10);
    auto undo = Make<CUndoCustomButton>(0, 0, 10, 10);
    auto edit = Make<CEditButton>(0, 0, 10, 10);
    edit->m_notifyMessage = WM_CHANGEFOLDER_CLICKED;
    auto close = Make<CCloseButton>(0, 0, 10, 10);
    auto licence = Make<CDisclaimerButton>(0, 0, 10, 10);
    auto dialogOk = Make<CMainButton>(0, 0, 10, 10);
    dialogOk->m_notifyMessage = WM_DIALOG_CONFIRM_CLICKED;
    for (CObj* b : std::initializer_list<CObj*>{main.get(), custom.get(), undo.get(), edit.get(),
                                                close.get(), licence.get(), dialogOk.get()}) {
        ASSERT_TRUE(b->OnLButtonDown(5, 5));
        b->OnLButtonUp(5, 5);
    }
    EXPECT_EQ(m_received, (std::vector<unsigned>{2026, 2027, 2028, 2029, 2031, 2036, 2034}));
}

TEST_F(ButtonTest, CheckboxTogglesOnThePress) {
    auto box = Make<CCheckboxButton>(30, 380, 16, 16);
    Owner owner{{box.get()}};
    owner.Dispatch(Down(35, 385));
    EXPECT_TRUE(box->m_checked);
    EXPECT_EQ(m_received, std::vector<unsigned>{WM_AGREE_TOGGLED});
    owner.Dispatch(Move(200, 200));  // dragging away keeps the tick
    owner.Dispatch(Up(35, 385));     // the release does nothing
    EXPECT_TRUE(box->m_checked);
    EXPECT_EQ(m_received.size(), 1u);
    owner.Dispatch(Down(35, 385));
    EXPECT_FALSE(box->m_checked);
    EXPECT_EQ(m_received.size(), 2u);
    EXPECT_EQ(box->m_state, StateNormal);  // the state is not touched by presses
    owner.Dispatch(Down(10, 10));          // outside: no toggle, a drag
    EXPECT_EQ(owner.drags, 1);
    EXPECT_FALSE(box->m_checked);
}

TEST_F(ButtonTest, ReleaseGoesOnlyToTheFirstButtonUnderThePoint) {
    auto hidden = Make<CCustomButton>(100, 100, 50, 20);
    hidden->m_visible = false;
    auto below = Make<CMainButton>(100, 100, 50, 20);
    below->m_state = StatePressed;
    Owner owner{{hidden.get(), below.get()}};
    owner.Dispatch(Up(110, 110));
    EXPECT_TRUE(m_received.empty());
    EXPECT_EQ(below->m_state, StatePressed);
}

TEST_F(ButtonTest, WithoutAnOwnerNothingIsSent) {
    auto button = Make<CMainButton>(0, 0, 10, 10);
    button->m_owner = nullptr;
    auto box = Make<CCheckboxButton>(20, 0, 10, 10);
    box->m_owner = nullptr;
    EXPECT_TRUE(button->OnLButtonDown(5, 5));
    button->OnLButtonUp(5, 5);
    EXPECT_EQ(button->m_state, StateNormal);
    EXPECT_TRUE(box->OnLButtonDown(25, 5));
    EXPECT_TRUE(box->m_checked);
    EXPECT_TRUE(m_received.empty());
}

TEST_F(ButtonTest, TheOwnersHandlerMayDeleteTheButton) {
    // A handler that tears the screen down, buttons included, before the send returns.
    std::unique_ptr<CMainButton> button = Make<CMainButton>(0, 0, 10, 10);
    m_window->ReplaceProcedure([&](platform::Window& w, unsigned msg, std::uintptr_t wp,
                                   std::intptr_t lp) -> std::intptr_t {
        if (msg == WM_MAINBUTTON_CLICKED) {
            button.reset();
            return 0;
        }
        return w.DefaultProc(msg, wp, lp);
    });
    CMainButton* raw = button.get();
    raw->OnLButtonDown(5, 5);
    raw->OnLButtonUp(5, 5);
    EXPECT_EQ(button, nullptr);
}

}  // namespace
