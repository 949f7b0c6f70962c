// The demo packages from tools/make-packages: real 7z archives holding the demo client, served
// by the development update service with the CRC-32 of the files, and a client that opens its
// window and runs until it is closed.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "service/Crc32.h"
#include "service/HttpClient.h"
#include "service/PackageQuery.h"
#include "tests/support/service_process.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string Output(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), &::pclose);
    if (!pipe) {
        return out;
    }
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) {
        out.append(buffer.data(), n);
    }
    return out;
}

class DemoPackages : public testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("demo-packages-" + std::to_string(::getpid()));
        fs::remove_all(m_folder);
        const std::string command = std::string(ORVIK_SOURCE_DIR "/tools/make-packages --client ") +
                                    Client() + " --version 3.2.1.0 " + m_folder.string() +
                                    " >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    static std::string Client() { return ORVIK_BINARY_DIR "/tools/demo-client/ovClient.exe"; }

    fs::path m_folder;
};

TEST_F(DemoPackages, ArchivesHoldTheClientAndTheUpdater) {
    const std::string client = Output("7zz l -slt " + (m_folder / "cloudpc.7z").string());
    for (const char* path : {"Path = ovClient.exe", "Path = readme.txt", "Path = config",
                             "Path = config/client.conf"}) {
        EXPECT_NE(client.find(path), std::string::npos) << path;
    }
    EXPECT_NE(client.find("Type = 7z"), std::string::npos);
    const std::string updater = Output("7zz l -slt " + (m_folder / "cloudupdate.7z").string());
    EXPECT_NE(updater.find("Path = ovUpdate.sh"), std::string::npos);
    EXPECT_NE(updater.find("Path = version.txt"), std::string::npos);
    EXPECT_EQ(std::system(("7zz t -bso0 " + (m_folder / "cloudpc.7z").string()).c_str()), 0);
}

TEST_F(DemoPackages, ServiceAnnouncesThemWithTheirCrc) {
    test_support::UpdateServiceProcess service({"--config", (m_folder / "config.json").string()});
    ASSERT_TRUE(service.Running());
    CHttpClient client(service.Url("/UpdateRequest"));
    UpdateInfo clientPackage, updaterPackage;
    QueryPackages([&](const UpdateRequest& r,
                      UpdateResponse* response) { client.PostUpdateRequest(r, response); },
                  "02-aa-00-00-00-01", &clientPackage, &updaterPackage);
    EXPECT_EQ(clientPackage.version, "3.2.1.0");
    EXPECT_TRUE(VerifyPackage((m_folder / "cloudpc.7z").string(), clientPackage.crc));
    EXPECT_TRUE(VerifyPackage((m_folder / "cloudupdate.7z").string(), updaterPackage.crc));
}

TEST(DemoClient, OpensItsWindowAndRunsUntilClosed) {
    const std::string client = ORVIK_BINARY_DIR "/tools/demo-client/ovClient.exe";
    std::string program = client;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, client.c_str(), nullptr, nullptr, argv, environ), 0);
    const std::string found = Output("timeout 20 xdotool search --sync --all --onlyvisible --pid " +
                                     std::to_string(pid) + " --name '^Orvik云电脑$'");
    EXPECT_FALSE(found.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the client ended by itself";
    // Closing the window, as a window manager's close button asks, ends the program.
    if (!found.empty()) {
        const std::string close = ORVIK_BINARY_DIR "/tests/support/orvik-close-window " +
                                  found.substr(0, found.find('\n'));
        EXPECT_EQ(std::system(close.c_str()), 0);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    pid_t ended = 0;
    while (ended == 0 && std::chrono::steady_clock::now() < deadline) {
        ended = ::waitpid(pid, &status, WNOHANG);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (ended == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ASSERT_EQ(ended, pid) << "the client kept running after its window closed";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
