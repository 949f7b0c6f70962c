// The main window's screens, driven by the messages and mouse events a user causes: the
// screen transitions, the button layout of every screen, the agreement box, the licence
// screen's return, the progress mapping, the mouse dispatch, the folder choice and closing.
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "InstallerTestSupport.h"
#include "ui/CheckboxButton.h"
#include "ui/CloseButton.h"
#include "ui/CustomButton.h"
#include "ui/DisclaimerButton.h"
#include "ui/EditButton.h"
#include "ui/GIFImage.h"
#include "ui/MainButton.h"
#include "ui/UndoCustomButton.h"

namespace {

using namespace orvik_test;
using platform::Rect;

struct Message {
    unsigned msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

// Records every message that reaches the window, in front of its procedure.
class MessageLog {
public:
    explicit MessageLog(platform::Window& window) {
        m_previous = window.ReplaceProcedure(
            [this](platform::Window& w, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
                m_seen.push_back({msg, wParam, lParam});
                return m_previous(w, msg, wParam, lParam);
            });
    }
    std::vector<Message> Find(unsigned msg) const {
        std::vector<Message> found;
        for (const Message& m : m_seen) {
            if (m.msg == msg) {
                found.push_back(m);
            }
        }
        return found;
    }
    void Clear() { m_seen.clear(); }

private:
    platform::Window::Procedure m_previous;
    std::vector<Message> m_seen;
};

Rect RectOf(const CObj& button) {
    return {button.m_x, button.m_y, button.m_width, button.m_height};
}

std::string VisibleButtons(const CInstallerDlg& dlg) {
    static const char* const kNames[] = {"main",  "custom",  "collapse", "change",
                                         "close", "licence", "agree"};
    std::string names;
    for (std::size_t i = 0; i < dlg.m_buttons.size(); ++i) {
        if (dlg.m_buttons[i] != nullptr && dlg.m_buttons[i]->m_visible) {
            names += (names.empty() ? "" : " ") + std::string(kNames[i]);
        }
    }
    return names;
}

class InstallerFlowTest : public ::testing::Test {
protected:
    void SetUp() override { unsetenv("ORVIK_TEST_FOLDER_PICKER"); }
    void TearDown() override {
        unsetenv("ORVIK_TEST_FOLDER_PICKER");
        if (dlg) {
            EndHeldInstall(*dlg, service);
        }
    }

    void Open() {
        dlg = std::make_unique<CInstallerDlg>(nullptr, service.Url());
        ASSERT_TRUE(dlg->Create());
        log.emplace(*dlg->GetWindow());
    }
    // Opens the window and lets the environment check end: no installation is recorded in
    // the test's home, so the quick-install screen follows.
    void OpenFresh() {
        Open();
        ASSERT_TRUE(PumpUntil([&] { return dlg->m_screen != ScreenChecking; }));
        ASSERT_EQ(dlg->m_screen, ScreenQuickInstall);
        EXPECT_EQ(dlg->m_checkAnimation, nullptr);  // stopped with the check
    }
    // The modal run ends at once when the window has already been told to end it.
    std::intptr_t ModalResult() { return dlg->DoModal(); }

    UpdateService service;
    std::optional<MessageLog> log;  // outlives the window it hooks
    std::unique_ptr<CInstallerDlg> dlg;
};

TEST_F(InstallerFlowTest, OpensAtTheOriginOnTheCheckingScreenWithItsButtonsLaidOut) {
    Open();
    platform::Window& window = *dlg->GetWindow();
    EXPECT_EQ(window.Title(), "Orvik云电脑安装");
    EXPECT_EQ(window.GetWindowRect(), (Rect{0, 0, 600, 422}));
    EXPECT_EQ(dlg->m_clientRect, (Rect{0, 0, 600, 422}));
    EXPECT_EQ(dlg->m_screen, ScreenChecking);
    EXPECT_EQ(dlg->m_checkRunning, 1);
    ASSERT_NE(dlg->m_checkAnimation, nullptr);
    EXPECT_TRUE(dlg->m_checkAnimation->IsPlaying());
    EXPECT_NE(dlg->m_checkThread, nullptr);
    EXPECT_EQ(dlg->m_progress, 0);
    EXPECT_EQ(VisibleButtons(*dlg), "close");

    // The rectangles before any screen has laid them out, in dispatch order.
    const std::vector<Rect> expected = {
        {193, 457, 214, 50}, {488, 387, 92, 14}, {222, 267, 156, 34}, {450, 412, 60, 32},
        {573, 14, 13, 13},   {46, 386, 111, 14}, {20, 386, 16, 16}};
    const std::vector<const CObj*> order = {dlg->m_mainButton.get(),     dlg->m_customButton.get(),
                                            dlg->m_collapseButton.get(), dlg->m_changeButton.get(),
                                            dlg->m_closeButton.get(),    dlg->m_licenceButton.get(),
                                            dlg->m_agreeCheckbox.get()};
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(dlg->m_buttons[i], order[i]) << i;
        EXPECT_EQ(RectOf(*order[i]), expected[i]) << i;
        EXPECT_EQ(order[i]->m_state, StateNormal) << i;
        EXPECT_EQ(order[i]->m_owner, &window) << i;
    }
    EXPECT_EQ(dlg->m_changeButton->m_notifyMessage, WM_CHANGEFOLDER_CLICKED);
    EXPECT_FALSE(dlg->m_agreeCheckbox->m_checked);
}

// ---- transitions, as sequences of clicks from the quick-install screen ----

enum class Target { Main, Custom, Collapse, Change, Close, Licence, Agree };

struct FlowCase {
    const char* name;
    std::vector<Target> clicks;
    InstallerScreen screen;
    int height;
    const char* visible;
    const char* mainCaption;  // nullptr: not checked
    ButtonState mainState;
    bool ticked;
};

const CObj& ButtonOf(const CInstallerDlg& dlg, Target target) {
    return *dlg.m_buttons[static_cast<std::size_t>(target)];
}

void PrintTo(const FlowCase& c, std::ostream* out) {
    *out << c.name;
}

class InstallerFlowTable : public InstallerFlowTest,
                           public ::testing::WithParamInterface<FlowCase> {};

TEST_P(InstallerFlowTable, ReachesTheScreenWithItsLayout) {
    const FlowCase& c = GetParam();
    OpenFresh();
    for (Target target : c.clicks) {
        ClickCentre(*dlg, ButtonOf(*dlg, target));
        platform::PumpEvents();
    }
    EXPECT_EQ(dlg->m_screen, c.screen);
    EXPECT_EQ(ClientHeight(*dlg), c.height);
    EXPECT_EQ(dlg->m_clientRect.height, c.height);
    EXPECT_EQ(dlg->GetWindow()->GetWindowRect().x, 0);  // the top left corner stays
    EXPECT_EQ(dlg->GetWindow()->GetWindowRect().y, 0);
    EXPECT_EQ(VisibleButtons(*dlg), c.visible);
    if (c.mainCaption != nullptr) {
        EXPECT_EQ(dlg->m_mainButton->m_text, c.mainCaption);
        EXPECT_EQ(dlg->m_mainButton->m_subText, "");
        EXPECT_EQ(dlg->m_mainButton->m_state, c.mainState);
    }
    EXPECT_EQ(dlg->m_agreeCheckbox->m_checked, c.ticked);
}

using T = Target;
INSTANTIATE_TEST_SUITE_P(Clicks, InstallerFlowTable,
                         ::testing::Values(FlowCase{"CheckEndsOnQuickInstall",
                                                    {},
                                                    ScreenQuickInstall,
                                                    422,
                                                    "main custom close licence agree",
                                                    "快速安装",
                                                    StateDisabled,
                                                    false},
                                           FlowCase{"DisabledMainButtonDoesNothing",
                                                    {T::Main},
                                                    ScreenQuickInstall,
                                                    422,
                                                    "main custom close licence agree",
                                                    "快速安装",
                                                    StateDisabled,
                                                    false},
                                           FlowCase{"TickEnables",
                                                    {T::Agree},
                                                    ScreenQuickInstall,
                                                    422,
                                                    "main custom close licence agree",
                                                    "快速安装",
                                                    StateNormal,
                                                    true},
                                           FlowCase{"UntickDisables",
                                                    {T::Agree, T::Agree},
                                                    ScreenQuickInstall,
                                                    422,
                                                    "main custom close licence agree",
                                                    "快速安装",
                                                    StateDisabled,
                                                    false},
                                           FlowCase{"CustomGrows",
                                                    {T::Custom},
                                                    ScreenCustomInstall,
                                                    500,
                                                    "main collapse change close licence agree",
                                                    "快速安装",
                                                    StateDisabled,
                                                    false},
                                           FlowCase{"CustomKeepsTick",
                                                    {T::Agree, T::Custom},
                                                    ScreenCustomInstall,
                                                    500,
                                                    "main collapse change close licence agree",
                                                    "快速安装",
                                                    StateNormal,
                                                    true},
                                           FlowCase{"CollapseKeepsTick",
                                                    {T::Agree, T::Custom, T::Collapse},
                                                    ScreenQuickInstall,
                                                    422,
                                                    "main custom close licence agree",
                                                    "快速安装",
                                                    StateNormal,
                                                    true},
                                           FlowCase{"LicenceFromQuick",
                                                    {T::Licence},
                                                    ScreenLicence,
                                                    422,
                                                    "main",
                                                    "确定",
                                                    StateNormal,
                                                    false},
                                           FlowCase{"LicenceBackToQuick",
                                                    {T::Agree, T::Licence, T::Main},
                                                    ScreenQuickInstall,
                                                    422,
                                                    "main custom close licence agree",
                                                    "快速安装",
                                                    StateNormal,
                                                    true},
                                           FlowCase{"LicenceFromCustom",
                                                    {T::Custom, T::Licence},
                                                    ScreenLicence,
                                                    422,
                                                    "main",
                                                    "确定",
                                                    StateNormal,
                                                    false},
                                           FlowCase{"LicenceBackToCustom",
                                                    {T::Custom, T::Licence, T::Main},
                                                    ScreenCustomInstall,
                                                    500,
                                                    "main collapse change close licence agree",
                                                    "快速安装",
                                                    StateDisabled,
                                                    false},
                                           FlowCase{"QuickInstallDownloads",
                                                    {T::Agree, T::Main},
                                                    ScreenDownloading,
                                                    422,
                                                    "close",
                                                    nullptr,
                                                    StateNormal,
                                                    true},
                                           FlowCase{"CustomInstallDownloadsAt500",
                                                    {T::Custom, T::Agree, T::Main},
                                                    ScreenDownloading,
                                                    500,
                                                    "close",
                                                    nullptr,
                                                    StateNormal,
                                                    true}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(InstallerFlowTest, ScreensPlaceTheirButtons) {
    OpenFresh();
    EXPECT_EQ(RectOf(*dlg->m_mainButton), (Rect{200, 342, 200, 50}));
    EXPECT_EQ(RectOf(*dlg->m_customButton), (Rect{488, 387, 92, 14}));
    EXPECT_EQ(dlg->m_customButton->m_text, "自定义安装");
    EXPECT_EQ(RectOf(*dlg->m_licenceButton), (Rect{46, 386, 111, 14}));
    EXPECT_EQ(dlg->m_licenceButton->m_text, "同意用户许可协议");
    EXPECT_EQ(RectOf(*dlg->m_agreeCheckbox), (Rect{20, 386, 16, 16}));

    ClickCentre(*dlg, *dlg->m_customButton);
    EXPECT_EQ(RectOf(*dlg->m_mainButton), (Rect{200, 342, 200, 50}));
    EXPECT_EQ(RectOf(*dlg->m_collapseButton), (Rect{538, 465, 42, 14}));
    EXPECT_EQ(dlg->m_collapseButton->m_text, "收起");
    EXPECT_EQ(RectOf(*dlg->m_changeButton), (Rect{450, 412, 60, 32}));
    EXPECT_EQ(RectOf(*dlg->m_licenceButton), (Rect{46, 464, 111, 14}));
    EXPECT_EQ(RectOf(*dlg->m_agreeCheckbox), (Rect{20, 464, 16, 16}));
    EXPECT_EQ(dlg->m_previousScreen, ScreenQuickInstall);

    ClickCentre(*dlg, *dlg->m_licenceButton);
    EXPECT_EQ(RectOf(*dlg->m_mainButton), (Rect{200, 352, 200, 50}));
    EXPECT_EQ(dlg->m_previousScreen, ScreenCustomInstall);
}

TEST_F(InstallerFlowTest, QuickInstallResetsTheFolderToTheDefault) {
    OpenFresh();
    const std::string expected = dlg->m_defaultRoot + "/orvikcloud/";
    dlg->m_installDir = "/somewhere/else/";
    ClickCentre(*dlg, *dlg->m_agreeCheckbox);
    ClickCentre(*dlg, *dlg->m_mainButton);
    EXPECT_EQ(dlg->m_screen, ScreenDownloading);
    EXPECT_EQ(dlg->m_installDir, expected);
    EXPECT_EQ(dlg->m_progress, 0);
}

TEST_F(InstallerFlowTest, TickingRepaintsAtOnceAndAClickOnTheDisabledButtonSendsNothing) {
    OpenFresh();
    Press(*dlg, 300, 367);  // the disabled main button swallows the press: no drag either
    Release(*dlg, 300, 367);
    platform::PumpEvents();
    EXPECT_TRUE(log->Find(WM_MAINBUTTON_CLICKED).empty());
    EXPECT_TRUE(log->Find(platform::WM_NCLBUTTONDOWN).empty());
    EXPECT_EQ(dlg->m_mainButton->m_state, StateDisabled);

    ClickCentre(*dlg, *dlg->m_agreeCheckbox);
    EXPECT_EQ(dlg->m_mainButton->m_state, StateNormal);
    EXPECT_EQ(log->Find(WM_AGREE_TOGGLED).size(), 1u);
}

// ---- progress ----

struct ProgressCase {
    int phase;
    int percent;
    int expected;
};

void PrintTo(const ProgressCase& c, std::ostream* out) {
    *out << "phase " << c.phase << ", " << c.percent << "%";
}

class InstallerProgressTable : public InstallerFlowTest,
                               public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(InstallerProgressTable, MapsThePhaseOntoTheBar) {
    const ProgressCase& c = GetParam();
    Open();
    dlg->m_progress = 7;
    dlg->m_progressPhase = c.phase;
    EXPECT_EQ(dlg->GetWindow()->Send(WM_INSTALL_PROGRESS, static_cast<std::uintptr_t>(c.percent)),
              0);
    EXPECT_EQ(dlg->m_progress, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Phases, InstallerProgressTable,
                         ::testing::Values(ProgressCase{0, 0, 0}, ProgressCase{0, 37, 18},
                                           ProgressCase{0, 100, 50}, ProgressCase{1, 0, 50},
                                           ProgressCase{1, 37, 68}, ProgressCase{1, 100, 100},
                                           ProgressCase{1, 130, 115}, ProgressCase{2, 99, 49},
                                           ProgressCase{3, 99, 99}, ProgressCase{0, -3, -1},
                                           ProgressCase{4, 80, 7}, ProgressCase{-1, 80, 7}));

// ---- mouse dispatch ----

TEST_F(InstallerFlowTest, NoHoverDuringTheCheckButTheCrossStillCloses) {
    Open();
    ASSERT_EQ(dlg->m_screen, ScreenChecking);
    Move(*dlg, 578, 19);
    EXPECT_EQ(dlg->m_closeButton->m_state, StateNormal);
    Press(*dlg, 578, 19);
    EXPECT_EQ(dlg->m_closeButton->m_state, StatePressed);
    Release(*dlg, 578, 19);
    EXPECT_EQ(log->Find(WM_CLOSEBUTTON_CLICKED).size(), 1u);
    EXPECT_EQ(ModalResult(), platform::IDCANCEL);
}

TEST_F(InstallerFlowTest, HoverFollowsThePointerAfterTheCheck) {
    OpenFresh();
    Move(*dlg, 578, 19);
    EXPECT_EQ(dlg->m_closeButton->m_state, StateHover);
    Move(*dlg, 300, 100);
    EXPECT_EQ(dlg->m_closeButton->m_state, StateNormal);
}

TEST_F(InstallerFlowTest, APressThatNoButtonTakesDragsTheWindow) {
    OpenFresh();
    Press(*dlg, 300, 100);
    platform::PumpEvents();
    const std::vector<Message> drags = log->Find(platform::WM_NCLBUTTONDOWN);
    ASSERT_EQ(drags.size(), 1u);
    EXPECT_EQ(drags[0].wParam, platform::HTCAPTION);
    EXPECT_EQ(drags[0].lParam, platform::MakePoint(300, 100));
    Release(*dlg, 300, 100);

    log->Clear();
    Press(*dlg, 525, 393);  // the custom link takes it
    platform::PumpEvents();
    EXPECT_TRUE(log->Find(platform::WM_NCLBUTTONDOWN).empty());
}

TEST_F(InstallerFlowTest, AReleaseReachesOnlyTheFirstButtonWhoseRectangleHoldsIt) {
    OpenFresh();
    // The hidden collapse link (dispatch 2) laid over the close cross (dispatch 4) gets the
    // release and ignores it: the cross, pressed, never hears of it.
    dlg->m_collapseButton->m_x = 570;
    dlg->m_collapseButton->m_y = 10;
    dlg->m_collapseButton->m_width = 20;
    dlg->m_collapseButton->m_height = 20;
    Press(*dlg, 578, 19);
    Release(*dlg, 578, 19);
    EXPECT_TRUE(log->Find(WM_CLOSEBUTTON_CLICKED).empty());
    EXPECT_EQ(dlg->m_closeButton->m_state, StatePressed);

    // Laid over the custom link (dispatch 1), it comes second: only the link acts.
    dlg->m_collapseButton->m_x = 488;
    dlg->m_collapseButton->m_y = 387;
    dlg->m_collapseButton->m_width = 92;
    dlg->m_collapseButton->m_height = 14;
    ClickCentre(*dlg, *dlg->m_customButton);
    EXPECT_EQ(log->Find(WM_CUSTOMINSTALL_CLICKED).size(), 1u);
    EXPECT_TRUE(log->Find(WM_COLLAPSE_CLICKED).empty());
    EXPECT_EQ(dlg->m_screen, ScreenCustomInstall);
}

TEST_F(InstallerFlowTest, OnTheLicenceScreenOnlyTheConfirmButtonsRectangleReturns) {
    OpenFresh();
    ClickCentre(*dlg, *dlg->m_licenceButton);
    ASSERT_EQ(dlg->m_screen, ScreenLicence);
    Press(*dlg, 10, 400);  // background outside the view: a drag
    Release(*dlg, 10, 400);
    platform::PumpEvents();
    EXPECT_EQ(log->Find(platform::WM_NCLBUTTONDOWN).size(), 1u);
    EXPECT_EQ(dlg->m_screen, ScreenLicence);
    Release(*dlg, 210, 360);  // a release alone inside "确定" returns
    EXPECT_EQ(dlg->m_screen, ScreenQuickInstall);
    EXPECT_EQ(dlg->m_previousScreen, ScreenLicence);
    EXPECT_TRUE(dlg->m_closeButton->m_visible);
}

// ---- folder choice ----

struct FolderCase {
    const char* name;
    const char* picked;  // "" cancels
    const char* expected;
};

void PrintTo(const FolderCase& c, std::ostream* out) {
    *out << c.name;
}

class InstallerFolderTable : public InstallerFlowTest,
                             public ::testing::WithParamInterface<FolderCase> {};

TEST_P(InstallerFolderTable, ChangeButtonPicksTheParentFolder) {
    const FolderCase& c = GetParam();
    OpenFresh();
    ClickCentre(*dlg, *dlg->m_customButton);
    dlg->m_installDir = "/before/orvikcloud/";
    setenv("ORVIK_TEST_FOLDER_PICKER", c.picked, 1);
    ClickCentre(*dlg, *dlg->m_changeButton);
    EXPECT_EQ(log->Find(WM_CHANGEFOLDER_CLICKED).size(), 1u);
    EXPECT_EQ(dlg->m_installDir, c.expected);
    EXPECT_EQ(dlg->m_screen, ScreenCustomInstall);
}

INSTANTIATE_TEST_SUITE_P(
    Picks, InstallerFolderTable,
    ::testing::Values(FolderCase{"Cancelled", "", "/before/orvikcloud/"},
                      FolderCase{"Folder", "/data/apps", "/data/apps/orvikcloud/"},
                      FolderCase{"Root", "/", "//orvikcloud/"},
                      FolderCase{"NonAscii", "/数据 盘", "/数据 盘/orvikcloud/"}),
    [](const auto& param) { return std::string(param.param.name); });

// ---- closing ----

struct CloseCase {
    const char* name;
    std::vector<Target> clicks;
    unsigned msg;
    std::uintptr_t wParam;
    std::intptr_t result;
};

void PrintTo(const CloseCase& c, std::ostream* out) {
    *out << c.name;
}

class InstallerCloseTable : public InstallerFlowTest,
                            public ::testing::WithParamInterface<CloseCase> {};

TEST_P(InstallerCloseTable, EndsTheModalRun) {
    const CloseCase& c = GetParam();
    OpenFresh();
    for (Target target : c.clicks) {
        ClickCentre(*dlg, ButtonOf(*dlg, target));
    }
    dlg->GetWindow()->Send(c.msg, c.wParam);
    EXPECT_EQ(ModalResult(), c.result);
    EXPECT_FALSE(dlg->GetWindow()->Exists());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, InstallerCloseTable,
    ::testing::Values(
        CloseCase{"EnterOnQuick", {}, platform::WM_COMMAND, platform::IDOK, platform::IDOK},
        CloseCase{"EscOnQuick", {}, platform::WM_COMMAND, platform::IDCANCEL, platform::IDCANCEL},
        CloseCase{
            "EnterOnCustom", {T::Custom}, platform::WM_COMMAND, platform::IDOK, platform::IDOK},
        CloseCase{"EscOnLicence",
                  {T::Licence},
                  platform::WM_COMMAND,
                  platform::IDCANCEL,
                  platform::IDCANCEL},
        CloseCase{
            "EnterOnLicence", {T::Licence}, platform::WM_COMMAND, platform::IDOK, platform::IDOK},
        CloseCase{"WorkerCloseOnDownload",
                  {T::Agree, T::Main},
                  platform::WM_CLOSE,
                  0,
                  platform::IDCANCEL},
        CloseCase{
            "CrossOnCustom", {T::Custom, T::Close}, WM_REDRAW_REQUEST, 0, platform::IDCANCEL}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(InstallerFlowTest, EnterAndEscCloseDuringTheCheck) {
    for (std::intptr_t key : {platform::IDOK, platform::IDCANCEL}) {
        Open();
        ASSERT_EQ(dlg->m_screen, ScreenChecking);
        dlg->GetWindow()->Send(platform::WM_COMMAND, static_cast<std::uintptr_t>(key));
        EXPECT_EQ(ModalResult(), key);
        dlg.reset();
        log.reset();
    }
}

TEST_F(InstallerFlowTest, CheckDoneIgnoresAValueThatIsNoScreen) {
    OpenFresh();
    EXPECT_EQ(dlg->GetWindow()->Send(WM_CHECK_DONE, 42), 1);
    EXPECT_EQ(dlg->m_screen, ScreenQuickInstall);
    EXPECT_EQ(dlg->GetWindow()->Send(WM_REDRAW_REQUEST), 1);
}

}  // namespace
