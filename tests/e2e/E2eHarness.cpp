#include "tests/e2e/E2eHarness.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "app/DriveSurvey.h"
#include "platform/volumes.h"

extern char** environ;

namespace orvik::e2e {
namespace {

// ---- the private loopback --------------------------------------------------------------

bool WriteProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

bool BringLoopbackUp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (ok) {
        request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
        ok = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    }
    ::close(fd);
    return ok;
}

// A network namespace of this process's own, entered before any thread or child exists. An
// unprivileged process needs a user namespace for it, mapping its own ids onto themselves.
bool EnterPrivateLoopback() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    const int flags = uid == 0 ? CLONE_NEWNET : CLONE_NEWNET | CLONE_NEWUSER;
    if (::unshare(flags) != 0) {
        return false;
    }
    if (uid != 0) {
        WriteProcFile("/proc/self/setgroups", "deny");
        if (!WriteProcFile("/proc/self/uid_map",
                           std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
            !WriteProcFile("/proc/self/gid_map",
                           std::to_string(gid) + " " + std::to_string(gid) + " 1")) {
            return false;
        }
    }
    return BringLoopbackUp();
}

bool g_privateLoopback = false;

class LoopbackEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        g_privateLoopback = EnterPrivateLoopback();
        if (!g_privateLoopback) {
            std::fprintf(stderr,
                         "e2e: no private network namespace here; tests share port %d under a "
                         "lock\n",
                         kServicePort);
        }
    }
};
[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new LoopbackEnvironment);

// ---- processes -------------------------------------------------------------------------

std::vector<char*> Argv(std::vector<std::string>& args) {
    std::vector<char*> raw;
    for (auto& arg : args) {
        raw.push_back(arg.data());
    }
    raw.push_back(nullptr);
    return raw;
}

std::optional<int> StatusOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

std::string SourceDir() {
    return ORVIK_SOURCE_DIR;
}
std::string BinaryDir() {
    return ORVIK_BINARY_DIR;
}

std::string Trim(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

CommandResult Run(const std::vector<std::string>& argv) {
    CommandResult result;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = argv;
    auto raw = Argv(args);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return result;
    }
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer.data(), buffer.size());
        if (n > 0) {
            result.output.append(buffer.data(), static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

Process::Process(const std::vector<std::string>& argv, const fs::path& workingDir,
                 const fs::path& log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    std::vector<std::string> args = argv;
    auto raw = Argv(args);
    if (::posix_spawnp(&m_pid, raw[0], &actions, nullptr, raw.data(), environ) != 0) {
        m_pid = -1;
        ADD_FAILURE() << "cannot start " << argv[0];
    }
    posix_spawn_file_actions_destroy(&actions);
}

Process::~Process() {
    Kill();
}

bool Process::Running() {
    if (m_pid <= 0 || m_status) {
        return false;
    }
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_status = StatusOf(status);
        return false;
    }
    return true;
}

std::optional<int> Process::WaitExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(20ms);
    }
    return m_status;
}

void Process::Kill() {
    if (Running()) {
        ::kill(m_pid, SIGTERM);
        if (!WaitExit(2s)) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_status = StatusOf(status);
        }
    }
}

// ---- the X server ----------------------------------------------------------------------

Rgb Shot::At(int x, int y) const {
    if (!Valid() || x < 0 || y < 0 || x >= kWidth || y >= kHeight) {
        return {};
    }
    const std::size_t at = (static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)) * 3;
    return {static_cast<unsigned char>(m_rgb[at]), static_cast<unsigned char>(m_rgb[at + 1]),
            static_cast<unsigned char>(m_rgb[at + 2])};
}

XServer::XServer(bool composited) {
    char pattern[] = "/tmp/orvik-e2e-x-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
        return;
    }
    m_folder = pattern;
    // Xvfb writes its display number to the descriptor -displayfd names once it listens.
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        ADD_FAILURE() << "pipe failed";
        return;
    }
    const int writeFd = pipeFds[1];
    ::fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
    m_server = std::make_unique<Process>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(writeFd), "-screen", "0",
                                 "1280x1024x24", "-nolisten", "tcp", "-wr", "-noreset"},
        m_folder, m_folder / "xvfb.log");
    ::close(writeFd);
    std::string number;
    char c = 0;
    while (::read(pipeFds[0], &c, 1) == 1 && c != '\n') {
        number.push_back(c);
    }
    ::close(pipeFds[0]);
    if (number.empty()) {
        ADD_FAILURE() << "Xvfb did not start: " << test::ReadFileBytes(m_folder / "xvfb.log");
        return;
    }
    m_name = ":" + number;
    ::setenv("DISPLAY", m_name.c_str(), 1);
    if (composited) {
        m_compositor = std::make_unique<Process>(std::vector<std::string>{"xcompmgr"}, m_folder,
                                                 m_folder / "xcompmgr.log");
        std::this_thread::sleep_for(200ms);  // it takes the screen's compositing selection
    }
}

XServer::~XServer() {
    m_compositor.reset();
    m_server.reset();
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

Shot XServer::Capture() const {
    const std::string crop =
        std::to_string(Shot::kWidth) + "x" + std::to_string(Shot::kHeight) + "+0+0";
    return Shot(e2e::Run({"import", "-display", m_name, "-window", "root", "-crop", crop, "+repage",
                          "-depth", "8", "rgb:-"})
                    .output);
}

void XServer::Save(const fs::path& png) const {
    e2e::Run({"import", "-display", m_name, "-window", "root", "-crop", "620x520+0+0", "+repage",
              png.string()});
}

// ---- what a screen shows ---------------------------------------------------------------

const char* ToString(Seen seen) {
    switch (seen) {
        case Seen::Nothing:
            return "no window";
        case Seen::Checking:
            return "checking";
        case Seen::MainButton:
            return "up to date or upgrade";
        case Seen::QuickInstall:
            return "quick install";
        case Seen::CustomInstall:
            return "custom install";
        case Seen::Progress:
            return "progress";
        case Seen::Licence:
            return "licence";
        case Seen::Other:
            return "something else";
    }
    return "?";
}

bool IsWhite(Rgb c) {
    return c.r >= 252 && c.g >= 252 && c.b >= 252;
}
bool IsOrange(Rgb c) {
    return c.r >= 230 && c.g >= 110 && c.g <= 200 && c.b <= 90;
}
bool IsGreyButton(Rgb c) {
    return std::abs(c.r - 0xD7) <= 10 && std::abs(c.g - 0xD8) <= 10 && std::abs(c.b - 0xDB) <= 10;
}
bool IsBarBlue(Rgb c) {
    return c.r <= 60 && c.g >= 140 && c.g <= 210 && c.b >= 220;
}

namespace {

bool IsDialogGrey(Rgb c) {
    return std::abs(c.r - 0x6C) <= 8 && std::abs(c.g - 0x6C) <= 8 && std::abs(c.b - 0x6C) <= 8;
}

}  // namespace

bool HasDarkPixels(const Shot& shot, int x, int y, int width, int height) {
    for (int yy = y; yy < y + height; ++yy) {
        for (int xx = x; xx < x + width; ++xx) {
            const Rgb c = shot.At(xx, yy);
            if (c.r < 150 && c.g < 150 && c.b < 150) {
                return true;
            }
        }
    }
    return false;
}

namespace {

Seen Classify(const Shot& shot, int height) {
    if (!shot.Valid()) {
        return Seen::Other;
    }
    const bool panel =
        IsWhite(shot.At(10, 330)) && IsWhite(shot.At(590, 400)) && IsWhite(shot.At(300, 320));
    if (panel) {
        for (int x = 50; x < 60; ++x) {
            if (IsBarBlue(shot.At(x, 368))) {
                return Seen::Progress;
            }
        }
        if (IsOrange(shot.At(212, 367)) || IsGreyButton(shot.At(212, 367))) {
            return height == 500 ? Seen::CustomInstall : Seen::QuickInstall;
        }
        return Seen::Other;
    }
    if (IsOrange(shot.At(212, 395)) && IsWhite(shot.At(25, 200)) && IsWhite(shot.At(575, 200))) {
        return Seen::Licence;
    }
    if (IsOrange(shot.At(212, 333))) {
        return Seen::MainButton;
    }
    if (HasDarkPixels(shot, 252, 284, 110, 18)) {
        return Seen::Checking;
    }
    return Seen::Other;
}

}  // namespace

// ---- the fixture -----------------------------------------------------------------------

void E2eTest::SetUp() {
    if (!g_privateLoopback) {
        const std::string lock = "/tmp/orvik-e2e-port-" + std::to_string(kServicePort) + ".lock";
        m_portLock = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (m_portLock >= 0) {
            while (::flock(m_portLock, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    m_sandbox = std::make_unique<test::Sandbox>();
    ::setenv("NO_AT_BRIDGE", "1", 1);
    ::unsetenv("ORVIK_TEST_FOLDER_PICKER");
    m_x = std::make_unique<XServer>(m_composited);
    ASSERT_TRUE(m_x->Started());
}

void E2eTest::TearDown() {
    if (HasFailure() && m_x && m_x->Started()) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const fs::path shot =
            fs::temp_directory_path() / (std::string("orvik-e2e-") + info->name() + ".png");
        m_x->Save(shot);
        std::fprintf(stderr, "e2e: the screen at the failure: %s\n", shot.c_str());
        if (m_sandbox) {
            std::fprintf(stderr, "e2e: installer output:\n%s\n",
                         test::ReadFileBytes(m_sandbox->Root() / "installer.log").c_str());
        }
    }
    m_installer.reset();
    if (m_sandbox) {
        for (const pid_t pid : ClientProcesses()) {
            ::kill(pid, SIGKILL);  // started detached by the installer: not our child
        }
    }
    m_service.reset();
    m_x.reset();
    m_sandbox.reset();
    if (m_portLock >= 0) {
        ::close(m_portLock);
    }
}

fs::path E2eTest::MakePackages(const std::string& version) {
    const fs::path folder = m_sandbox->Root() / ("packages-" + version);
    const auto result = e2e::Run({SourceDir() + "/tools/make-packages", "--client",
                                  BinaryDir() + "/tools/demo-client/ovClient.exe", "--version",
                                  version, folder.string()});
    EXPECT_EQ(result.status, 0) << "make-packages failed";
    return folder / "config.json";
}

void E2eTest::StartService(const fs::path& config, const std::vector<std::string>& extra) {
    m_service.reset();
    std::vector<std::string> args = {"--port", std::to_string(kServicePort), "--config",
                                     config.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    m_service = std::make_unique<test_support::UpdateServiceProcess>(args);
    ASSERT_TRUE(m_service->Running())
        << "the update service did not come up on port " << kServicePort;
}

void E2eTest::SeedInstallation(const fs::path& config, const std::string& dir) {
    const fs::path packages = config.parent_path();
    fs::create_directories(fs::path(dir) / "Update");
    ASSERT_EQ(e2e::Run({"7zz", "x", "-y", "-bso0", "-bsp0", "-o" + dir,
                        (packages / "cloudpc.7z").string()})
                  .status,
              0);
    ASSERT_EQ(e2e::Run({"7zz", "x", "-y", "-bso0", "-bsp0", "-o" + dir + "Update",
                        (packages / "cloudupdate.7z").string()})
                  .status,
              0);
    std::string version = test::ReadFileBytes(fs::path(dir) / "config" / "client.conf");
    const auto at = version.find("version=");
    version = at == std::string::npos
                  ? ""
                  : Trim(version.substr(at + 8, version.find('\n', at) - at - 8));
    fs::copy_file(SourceDir() + "/res/data/152.bin", fs::path(dir) / "NetLink.dat",
                  fs::copy_options::overwrite_existing);
    fs::create_directories(RecordFile().parent_path());
    test::WriteFileBytes(RecordFile(), "[RizurUR]\ninstallDir=" + dir +
                                           "\nStart=ovClient.exe\nVersion=" + version + "\n");
}

std::unique_ptr<Process> E2eTest::StartClient(const std::string& dir) {
    auto client = std::make_unique<Process>(std::vector<std::string>{dir + "ovClient.exe"}, dir,
                                            m_sandbox->Root() / "client.log");
    EXPECT_TRUE(WaitUntil([&] { return ClientWindowShown(); }, 10s));
    return client;
}

void E2eTest::StartInstaller(const std::vector<std::pair<std::string, std::string>>& env) {
    for (const auto& [name, value] : env) {
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    m_installer =
        std::make_unique<Process>(std::vector<std::string>{BinaryDir() + "/app/orvik-installer"},
                                  m_sandbox->Root(), m_sandbox->Root() / "installer.log");
    for (const auto& [name, value] : env) {
        ::unsetenv(name.c_str());
    }
    ASSERT_TRUE(WaitUntil([&] { return !WindowId().empty(); }, 20s))
        << "the installer's window did not appear";
    MovePointerAway();
}

std::string E2eTest::WindowId() {
    const auto result = e2e::Run({"xdotool", "search", "--name", "^Orvik云电脑安装$"});
    return Trim(result.output.substr(0, result.output.find('\n')));
}

namespace {

// The fields of `xdotool getwindowgeometry --shell` for a window: X, Y, WIDTH, HEIGHT, ...
std::map<std::string, int> WindowGeometry(const std::string& id) {
    std::map<std::string, int> fields;
    std::istringstream in(e2e::Run({"xdotool", "getwindowgeometry", "--shell", id}).output);
    std::string line;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            fields[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
        }
    }
    return fields;
}

}  // namespace

std::optional<int> E2eTest::WindowHeight() {
    const std::string id = WindowId();
    if (id.empty()) {
        return std::nullopt;
    }
    const auto geometry = WindowGeometry(id);
    const auto height = geometry.find("HEIGHT");
    if (height == geometry.end()) {
        return std::nullopt;
    }
    return height->second;
}

Seen E2eTest::WhatIsShown() {
    const auto height = WindowHeight();
    if (!height) {
        return Seen::Nothing;
    }
    return Classify(Capture(), *height);
}

DialogSeen E2eTest::WhatDialog() {
    const auto height = WindowHeight();
    if (!height) {
        return DialogSeen::None;
    }
    const int top = *height / 2 - 104;  // centred over the main window at (0, 0)
    const Shot shot = Capture();
    if (!IsDialogGrey(shot.At(122 + 8, top + 8))) {
        return DialogSeen::None;
    }
    // The upper edge of each button: "确认" alone in the middle, or "继续" on the left.
    if (IsOrange(shot.At(122 + 125 + 10, top + 123 + 6)) &&
        !IsOrange(shot.At(122 + 65 + 10, top + 123 + 6))) {
        return DialogSeen::Notice;
    }
    if (IsOrange(shot.At(122 + 65 + 10, top + 123 + 6))) {
        return DialogSeen::Confirmation;
    }
    return DialogSeen::None;
}

bool E2eTest::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

bool E2eTest::WaitForScreen(Seen seen, std::chrono::milliseconds timeout) {
    Seen last = Seen::Nothing;
    const bool reached = WaitUntil([&] { return (last = WhatIsShown()) == seen; }, timeout);
    if (!reached) {
        ADD_FAILURE() << "expected the " << ToString(seen) << " screen, saw " << ToString(last);
    }
    return reached;
}

bool E2eTest::WaitForDialog(DialogSeen dialog, std::chrono::milliseconds timeout) {
    const bool reached = WaitUntil([&] { return WhatDialog() == dialog; }, timeout);
    if (!reached) {
        ADD_FAILURE() << "expected the "
                      << (dialog == DialogSeen::Notice ? "notice" : "confirmation") << " dialog";
    }
    return reached;
}

int E2eTest::ProgressFillEnd() {
    const Shot shot = Capture();
    int end = -1;
    for (int x = 40; x < 570; ++x) {
        if (IsBarBlue(shot.At(x, 368))) {
            end = x;
        }
    }
    return end;
}

void E2eTest::Click(int x, int y) {
    e2e::Run({"xdotool", "mousemove", std::to_string(x), std::to_string(y)});
    std::this_thread::sleep_for(120ms);  // the hover shows, as under a user's hand
    e2e::Run({"xdotool", "mousedown", "1"});
    std::this_thread::sleep_for(40ms);
    e2e::Run({"xdotool", "mouseup", "1"});
}

void E2eTest::MovePointerAway() {
    e2e::Run({"xdotool", "mousemove", "900", "900"});
}

void E2eTest::Key(const std::string& key) {
    // Without a window manager the keyboard follows the pointer: rest it on the window where
    // no button is.
    e2e::Run({"xdotool", "mousemove", "560", "200"});
    std::this_thread::sleep_for(100ms);
    e2e::Run({"xdotool", "key", key});
}

bool E2eTest::ChooseFolder(const fs::path& folder) {
    const auto chooser = [] {
        const auto found =
            e2e::Run({"xdotool", "search", "--onlyvisible", "--name", "^选择文件夹$"}).output;
        return Trim(found.substr(0, found.find('\n')));
    };
    std::string id;
    if (!WaitUntil([&] { return !(id = chooser()).empty(); }, 15s)) {
        ADD_FAILURE() << "no folder chooser opened";
        return false;
    }
    // The keyboard follows the pointer on a server without a window manager.
    auto geometry = WindowGeometry(id);
    e2e::Run({"xdotool", "mousemove", std::to_string(geometry["X"] + geometry["WIDTH"] / 2),
              std::to_string(geometry["Y"] + geometry["HEIGHT"] / 2)});
    std::this_thread::sleep_for(300ms);
    e2e::Run({"xdotool", "key", "--clearmodifiers", "ctrl+l"});
    std::this_thread::sleep_for(300ms);
    e2e::Run({"xdotool", "type", "--delay", "20", folder.string()});
    std::this_thread::sleep_for(300ms);
    e2e::Run({"xdotool", "key", "Return"});
    if (!WaitUntil([&] { return chooser().empty(); }, 10s)) {
        ADD_FAILURE() << "the folder chooser did not close";
        return false;
    }
    MovePointerAway();
    return true;
}

std::optional<int> E2eTest::WaitInstallerExit(std::chrono::milliseconds timeout) {
    return m_installer ? m_installer->WaitExit(timeout) : std::nullopt;
}

fs::path E2eTest::RecordFile() const {
    return m_sandbox->ConfigHome() / "Orvik" / "RizurUR.conf";
}

std::optional<std::string> E2eTest::RecordValue(const std::string& name) const {
    std::istringstream in(test::ReadFileBytes(RecordFile()));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name + "=", 0) == 0) {
            return line.substr(name.size() + 1);
        }
    }
    return std::nullopt;
}

fs::path E2eTest::DefaultInstallDir() const {
    return DefaultInstallFolder(
        ChooseDefaultRoot(platform::ListVolumes(), m_sandbox->DataHome().string()));
}

std::vector<pid_t> E2eTest::ClientProcesses() const {
    std::vector<pid_t> pids;
    const std::string root = m_sandbox->Root().string() + "/";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::string comm = Trim(test::ReadFileBytes(entry.path() / "comm"));
        std::error_code linkError;
        const std::string exe = fs::read_symlink(entry.path() / "exe", linkError).string();
        const std::string stat = test::ReadFileBytes(entry.path() / "stat");
        const auto close = stat.rfind(')');
        const bool zombie =
            close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
        if (comm == "ovClient.exe" && exe.rfind(root, 0) == 0 && !zombie) {
            pids.push_back(static_cast<pid_t>(std::stol(name)));
        }
    }
    return pids;
}

bool E2eTest::ClientWindowShown() {
    return !Trim(e2e::Run({"xdotool", "search", "--onlyvisible", "--name", "^Orvik云电脑$"}).output)
                .empty();
}

void E2eTest::ExpectInstalled(const std::string& dir, const std::string& version) {
    const fs::path d(dir);
    for (const char* file : {"ovClient.exe", "readme.txt", "config/client.conf",
                             "Update/ovUpdate.sh", "Update/version.txt"}) {
        EXPECT_TRUE(fs::is_regular_file(d / file)) << file << " missing in " << dir;
    }
    EXPECT_NE(test::ReadFileBytes(d / "config" / "client.conf").find("version=" + version),
              std::string::npos);
    EXPECT_EQ(test::ReadFileBytes(d / "NetLink.dat"),
              test::ReadFileBytes(SourceDir() + "/res/data/152.bin"))
        << "NetLink.dat is not the data block";
    EXPECT_FALSE(fs::exists(d / "cloudpc.7z"));
    EXPECT_FALSE(fs::exists(d / "cloudupdate.7z"));
    EXPECT_EQ(RecordValue("installDir"), dir);
    EXPECT_EQ(RecordValue("Start"), "ovClient.exe");
    EXPECT_EQ(RecordValue("Version"), version);
    const std::string exec = "Exec=\"" + dir + "/ovClient.exe\"";
    for (const fs::path& entry : {m_sandbox->DataHome() / "applications" / "Orvik云电脑.desktop",
                                  m_sandbox->Desktop() / "Orvik云电脑.desktop"}) {
        const std::string text = test::ReadFileBytes(entry);
        EXPECT_NE(text.find("Name=Orvik云电脑"), std::string::npos) << entry;
        EXPECT_NE(text.find(exec), std::string::npos) << entry << ":\n" << text;
    }
}

}  // namespace orvik::e2e
