// End-to-end harness: the installer as a separate process on its own X server, the
// development update service as another, a throw-away home, and a user's input through the
// X test extension (xdotool) at the coordinates a user would click. What the screen shows is
// read back from screenshots (ImageMagick's import) by sampling distinctive pixels.
//
// Every test process gets a private network namespace with its own loopback where the system
// allows one, so the service can take the installer's built-in port (18470) while other
// tests, other test runs and a running demo use theirs. Where it does not, tests take a
// machine-wide lock on that port instead and run one at a time.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Sandbox.h"
#include "tests/support/service_process.h"

namespace orvik::e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The port of the installer's built-in update endpoint.
inline constexpr int kServicePort = 18470;

// ---- processes -------------------------------------------------------------------------

struct CommandResult {
    int status = -1;  // exit status, or -1 when the command did not exit normally
    std::string output;
};
// Runs a command to its end and collects its standard output.
CommandResult Run(const std::vector<std::string>& argv);

// A child process with its output in a log file; killed when the object goes.
class Process {
public:
    Process(const std::vector<std::string>& argv, const fs::path& workingDir, const fs::path& log);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t Pid() const { return m_pid; }
    bool Running();
    // The exit status once it has ended within `timeout`; nothing when it still runs.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout);
    void Kill();

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// ---- the X server ----------------------------------------------------------------------

struct Rgb {
    int r = 0, g = 0, b = 0;
};

// One screenshot of the top-left corner of the screen, where the installer's window sits.
class Shot {
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 540;
    explicit Shot(std::string rgb) : m_rgb(std::move(rgb)) {}
    bool Valid() const { return m_rgb.size() == std::size_t{kWidth} * kHeight * 3; }
    Rgb At(int x, int y) const;

private:
    std::string m_rgb;
};

class XServer {
public:
    // `composited`: run xcompmgr too, so the drop shadows are mapped.
    explicit XServer(bool composited);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    bool Started() const { return !m_name.empty(); }
    const std::string& Name() const { return m_name; }

    Shot Capture() const;
    void Save(const fs::path& png) const;

private:
    std::unique_ptr<Process> m_server;
    std::unique_ptr<Process> m_compositor;
    std::string m_name;
    fs::path m_folder;
};

// ---- what a screen shows ---------------------------------------------------------------

// The screens, told apart by their distinctive areas.
enum class Seen {
    Nothing,        // no installer window
    Checking,       // background, checking text, no main button
    MainButton,     // background and the main button at y 308: up to date or upgrade
    QuickInstall,   // white lower panel, 422 pixels
    CustomInstall,  // white lower panel, 500 pixels
    Progress,       // white lower panel and the progress bar
    Licence,        // licence background and "确定" at y 352
    Other,
};
const char* ToString(Seen seen);

enum class DialogSeen { None, Notice, Confirmation };

bool IsWhite(Rgb c);
bool IsOrange(Rgb c);      // the main button, normal or hovered
bool IsGreyButton(Rgb c);  // the main button, disabled
bool IsBarBlue(Rgb c);     // the progress bar's fill
// Dark text or drawing somewhere in a rectangle of a shot.
bool HasDarkPixels(const Shot& shot, int x, int y, int width, int height);

// ---- the test fixture ------------------------------------------------------------------

class E2eTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Display with or without a compositing manager; call before anything else to change.
    bool m_composited = false;

    // The demo packages of `version` in a folder of the sandbox; returns its config.json.
    fs::path MakePackages(const std::string& version);
    // Starts (or restarts) the update service on the installer's port.
    void StartService(const fs::path& config, const std::vector<std::string>& extra = {});
    // A complete installation of the `version` packages in `dir` (ending with '/'), as an
    // earlier run of the installer leaves it, without its shortcuts.
    void SeedInstallation(const fs::path& config, const std::string& dir);
    // Starts the demo client of an installation, as a user would.
    std::unique_ptr<Process> StartClient(const std::string& dir);

    void StartInstaller(const std::vector<std::pair<std::string, std::string>>& env = {});

    // Screen
    Shot Capture() const { return m_x->Capture(); }
    Seen WhatIsShown();
    DialogSeen WhatDialog();
    std::optional<int> WindowHeight();
    std::string WindowId();
    // Polls `done` every 100 ms; false after `timeout`.
    bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    bool WaitForScreen(Seen seen, std::chrono::milliseconds timeout = 10s);
    bool WaitForDialog(DialogSeen dialog, std::chrono::milliseconds timeout = 30s);
    // The x where the progress bar's fill ends, -1 when no fill shows.
    int ProgressFillEnd();

    // Input: a user's pointer and keys.
    void Click(int x, int y);
    void MovePointerAway();
    void Key(const std::string& key);
    // Answers the installer's folder chooser as a user does: types `folder` into its location
    // entry and presses Enter. False when no chooser opened or it did not close.
    bool ChooseFolder(const fs::path& folder);

    // The installer's end: its exit status, within `timeout`.
    std::optional<int> WaitInstallerExit(std::chrono::milliseconds timeout);

    // Machine
    fs::path RecordFile() const;
    std::optional<std::string> RecordValue(const std::string& name) const;
    fs::path DefaultInstallDir() const;  // the default folder on this machine, ending in '/'
    std::vector<pid_t> ClientProcesses() const;  // running ovClient.exe started from the sandbox
    bool ClientWindowShown();
    void ExpectInstalled(const std::string& dir, const std::string& version);

    std::unique_ptr<test::Sandbox> m_sandbox;
    std::unique_ptr<XServer> m_x;
    std::unique_ptr<test_support::UpdateServiceProcess> m_service;
    std::unique_ptr<Process> m_installer;
    int m_portLock = -1;
};

}  // namespace orvik::e2e
