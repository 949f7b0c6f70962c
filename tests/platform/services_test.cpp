// The small services: folder picker test hook, program path, message box.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "platform/folder_picker.h"
#include "platform/message_box.h"
#include "platform/program_path.h"
#include "tests/platform/ui_test_support.h"

namespace {

struct HookCase {
    const char* name;
    const char* value;
    std::optional<std::string> chosen;
    friend void PrintTo(const HookCase& c, std::ostream* os) { *os << c.name; }
};

class FolderPickerHook : public ::testing::TestWithParam<HookCase> {};

TEST_P(FolderPickerHook, ReturnsTheValueWithoutOpeningAChooser) {
    setenv("ORVIK_TEST_FOLDER_PICKER", GetParam().value, 1);
    EXPECT_EQ(platform::PickFolder(nullptr, "/tmp"), GetParam().chosen);
    unsetenv("ORVIK_TEST_FOLDER_PICKER");
}

INSTANTIATE_TEST_SUITE_P(Values, FolderPickerHook,
                         ::testing::Values(HookCase{"Chosen", "/srv/数据 盘", "/srv/数据 盘"},
                                           HookCase{"Root", "/", "/"},
                                           HookCase{"Cancelled", "", std::nullopt}),
                         [](const auto& c) { return std::string(c.param.name); });

TEST(ProgramPath, IsThisTestExecutable) {
    const auto path = platform::ProgramPath();
    ASSERT_TRUE(path);
    EXPECT_EQ(path->front(), '/');
    EXPECT_TRUE(path->ends_with("/platform_services_test")) << *path;
    struct stat st {};
    EXPECT_EQ(stat(path->c_str(), &st), 0);
}

GtkWidget* FindMessageDialog() {
    GList* all = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* l = all; l != nullptr; l = l->next) {
        if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_mapped(GTK_WIDGET(l->data))) {
            found = GTK_WIDGET(l->data);
        }
    }
    g_list_free(all);
    return found;
}

TEST(MessageBox, AWorkersBoxWaitsForTheUserOnTheUiThread) {
    test::StartUi();
    auto owner = platform::Window::Create(test::Options({0, 0, 300, 200}, true), {});
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        platform::ShowMessageBox(owner.get(), "安装失败");
        returned = true;
    });
    // The box runs its own loop on this thread: the user's answer comes from a timer there.
    struct Seen {
        std::string text;
        bool ownerEnabled = true;
        bool returnedEarly = false;
        int ticks = 0;
    } seen;
    auto answer = [&]() -> bool {
        GtkWidget* dialog = FindMessageDialog();
        if (dialog == nullptr || ++seen.ticks < 5) {
            return true;  // keep polling; a few ticks show the worker still waiting
        }
        gchar* text = nullptr;
        g_object_get(dialog, "text", &text, nullptr);
        seen.text = text != nullptr ? text : "";
        g_free(text);
        seen.ownerEnabled = owner->IsEnabled();
        seen.returnedEarly = returned.load();
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
        return false;
    };
    g_timeout_add(
        20,
        [](gpointer data) {
            return static_cast<gboolean>((*static_cast<decltype(answer)*>(data))());
        },
        &answer);
    EXPECT_TRUE(test::PumpUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(seen.text, "安装失败");
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_FALSE(seen.returnedEarly);
    EXPECT_TRUE(owner->IsEnabled());
}

}  // namespace
