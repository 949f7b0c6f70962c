#include "platform/shortcuts.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Sandbox.h"

namespace {
namespace fs = std::filesystem;
using orvik::test::ReadFileBytes;
using orvik::test::RunInChild;
using orvik::test::Sandbox;
using orvik::test::WriteFileBytes;

constexpr const char* kName = "Orvik云电脑";

// GLib keeps the first desktop folder it finds for the life of the process, so every save
// runs in a fresh child of the sandboxed environment.
int SaveBoth(const std::string& target) {
    return RunInChild([&] {
        const bool programs =
            platform::SaveShortcut(platform::ShortcutFolder::Programs, kName, target);
        const bool desktop =
            platform::SaveShortcut(platform::ShortcutFolder::Desktop, kName, target);
        return (programs ? 1 : 0) | (desktop ? 2 : 0);
    });
}

fs::path ProgramsEntry(const Sandbox& s) {
    return s.DataHome() / "applications" / (std::string(kName) + ".desktop");
}
fs::path DesktopEntry(const Sandbox& s) {
    return s.Desktop() / (std::string(kName) + ".desktop");
}

int RunCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

struct KeyFile {
    GKeyFile* file = g_key_file_new();
    ~KeyFile() { g_key_file_free(file); }
};

// How a launcher reads the entry back: key file string, then field codes, then the quoting.
std::vector<std::string> ParseExec(const fs::path& entry, std::vector<std::string>* keys) {
    KeyFile kf;
    if (!g_key_file_load_from_file(kf.file, entry.c_str(), G_KEY_FILE_NONE, nullptr)) {
        return {};
    }
    gchar** names = g_key_file_get_keys(kf.file, "Desktop Entry", nullptr, nullptr);
    for (gchar** n = names; n != nullptr && *n != nullptr; ++n) {
        keys->push_back(*n);
    }
    g_strfreev(names);
    gchar* exec = g_key_file_get_string(kf.file, "Desktop Entry", "Exec", nullptr);
    if (exec == nullptr) {
        return {};
    }
    std::string expanded;
    for (const char* p = exec; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == '%') {
            ++p;
        }
        expanded += *p;
    }
    g_free(exec);
    gint argc = 0;
    gchar** argv = nullptr;
    std::vector<std::string> args;
    if (g_shell_parse_argv(expanded.c_str(), &argc, &argv, nullptr)) {
        args.assign(argv, argv + argc);
        g_strfreev(argv);
    }
    return args;
}

struct TargetCase {
    const char* label;
    std::string folder;  // made inside the sandbox
    bool valid = true;   // a desktop entry can name it
};

void PrintTo(const TargetCase& c, std::ostream* out) {
    *out << c.label;
}

class ShortcutTarget : public testing::TestWithParam<TargetCase> {};

INSTANTIATE_TEST_SUITE_P(Cases, ShortcutTarget,
                         testing::Values(TargetCase{"plain", "orvikcloud/"},
                                         TargetCase{"spaces", "My Programs/orvik cloud/"},
                                         TargetCase{"reserved",
                                                    "a \"q\" $HOME `id` b\\s ;&|<>~*?#() 'x'/"},
                                         TargetCase{"percent", "100% %f %%/"},
                                         TargetCase{"nonAscii", "云电脑 😀 Ünïcode/"},
                                         TargetCase{"newline", "line\nbreak/", false},
                                         TargetCase{"tab", "tab\there/", false}),
                         [](const auto& p) { return std::string(p.param.label); });

// The entry survives validation and gives back exactly the target, however it is spelt.
TEST_P(ShortcutTarget, EntriesAreValidAndStartTheTarget) {
    Sandbox sandbox;
    const fs::path folder = sandbox.Root() / GetParam().folder;
    fs::create_directories(folder);
    // "%s/%s" of an install folder ending in '/': the doubled slash is kept.
    const std::string target = folder.string() + "/ovClient.exe";
    const fs::path marker = sandbox.Root() / "started";
    WriteFileBytes(target, "#!/bin/sh\ntouch " + ShellQuote(marker.string()) + "\n");
    fs::permissions(target, fs::perms::owner_all);

    if (!GetParam().valid) {
        EXPECT_EQ(SaveBoth(target), 0);  // no invalid entry is written
        EXPECT_FALSE(fs::exists(ProgramsEntry(sandbox)));
        return;
    }
    ASSERT_EQ(SaveBoth(target), 3);
    for (const fs::path& entry : {ProgramsEntry(sandbox), DesktopEntry(sandbox)}) {
        SCOPED_TRACE(entry.string());
        EXPECT_EQ(RunCommand("desktop-file-validate " + ShellQuote(entry.string())), 0)
            << ReadFileBytes(entry);
        std::vector<std::string> keys;
        EXPECT_EQ(ParseExec(entry, &keys), std::vector<std::string>{target})
            << ReadFileBytes(entry);
        EXPECT_EQ(keys, (std::vector<std::string>{"Type", "Name", "Exec"}));
    }
    // The real consumer. GIO looks the program up before it expands "%%", so it cannot
    // start a path holding '%'; the entry is still what the format prescribes.
    if (GetParam().folder.find('%') == std::string::npos) {
        EXPECT_EQ(RunCommand("cd / && gio launch " + ShellQuote(DesktopEntry(sandbox).string())),
                  0);
        for (int i = 0; i < 100 && !fs::exists(marker); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(fs::exists(marker));
    }
}

TEST(Shortcuts, ContentAndModes) {
    Sandbox sandbox;
    ASSERT_EQ(SaveBoth("/opt/x//ovClient.exe"), 3);
    const std::string expected =
        "[Desktop Entry]\nType=Application\nName=Orvik云电脑\nExec=\"/opt/x//ovClient.exe\"\n";
    EXPECT_EQ(ReadFileBytes(ProgramsEntry(sandbox)), expected);
    EXPECT_EQ(ReadFileBytes(DesktopEntry(sandbox)), expected);
    // Desktops start only executable entries from the desktop folder.
    const auto desktopPerms = fs::status(DesktopEntry(sandbox)).permissions();
    EXPECT_NE(desktopPerms & fs::perms::owner_exec, fs::perms::none);
    // A second install replaces both.
    ASSERT_EQ(SaveBoth("/opt/y//ovClient.exe"), 3);
    EXPECT_NE(ReadFileBytes(DesktopEntry(sandbox)).find("/opt/y//"), std::string::npos);
}

TEST(Shortcuts, MissingDesktopFolderMakesOnlyTheMenuEntry) {
    Sandbox sandbox(/*withDesktop=*/false);
    ASSERT_FALSE(fs::exists(sandbox.DataHome() / "applications"));
    EXPECT_EQ(SaveBoth("/opt/x//ovClient.exe"), 1);
    EXPECT_TRUE(fs::exists(ProgramsEntry(sandbox)));  // the menu folder is created
    EXPECT_FALSE(fs::exists(sandbox.Desktop()));      // the desktop folder is not
}

TEST(Shortcuts, DesktopFolderComesFromUserDirs) {
    Sandbox sandbox;
    const fs::path other = sandbox.Home() / "Schreibtisch";
    fs::create_directories(other);
    WriteFileBytes(sandbox.ConfigHome() / "user-dirs.dirs",
                   "# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(SaveBoth("/opt/x//ovClient.exe"), 3);
    EXPECT_TRUE(fs::exists(other / (std::string(kName) + ".desktop")));
    EXPECT_FALSE(fs::exists(DesktopEntry(sandbox)));
}

TEST(Shortcuts, UnwritableMenuFolderFails) {
    Sandbox sandbox;
    fs::create_directories(sandbox.DataHome() / "applications");
    fs::permissions(sandbox.DataHome() / "applications",
                    fs::perms::owner_read | fs::perms::owner_exec);
    sandbox.GiveToUnprivilegedUser();
    const int result = RunInChild(
        [] {
            return platform::SaveShortcut(platform::ShortcutFolder::Programs, kName,
                                          "/opt/x//ovClient.exe")
                       ? 1
                       : 0;
        },
        /*unprivileged=*/true);
    EXPECT_EQ(result, 0);
}

}  // namespace
