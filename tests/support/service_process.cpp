#include "tests/support/service_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace test_support {
namespace {

std::uint16_t ReadPort(const std::string& path) {
    std::ifstream in(path);
    unsigned port = 0;
    in >> port;
    return static_cast<std::uint16_t>(port);
}

}  // namespace

std::string UpdateServiceScript() {
    return (std::filesystem::path(ORVIK_SOURCE_DIR) / "tools" / "update-service" / "update-service")
        .string();
}

UpdateServiceProcess::UpdateServiceProcess(const std::vector<std::string>& arguments,
                                           const std::string& script) {
    char pattern[] = "/tmp/update-service-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
        return;
    }
    m_folder = pattern;
    const std::string portFile = m_folder + "/port";
    const std::string tlsPortFile = m_folder + "/tls-port";
    bool tls = false;
    std::vector<std::string> argv = {script, "--port", "0", "--port-file", portFile};
    for (const auto& argument : arguments) {
        tls = tls || argument == "--tls-cert";
        argv.push_back(argument);
    }
    if (tls) {
        argv.insert(argv.end(), {"--tls-port-file", tlsPortFile});
    }
    std::vector<char*> raw;
    for (auto& argument : argv) {
        raw.push_back(argument.data());
    }
    raw.push_back(nullptr);
    if (::posix_spawn(&m_pid, script.c_str(), nullptr, nullptr, raw.data(), environ) != 0) {
        ADD_FAILURE() << "cannot start " << script;
        m_pid = -1;
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::exists(portFile) && (!tls || std::filesystem::exists(tlsPortFile))) {
            m_port = ReadPort(portFile);
            m_tlsPort = tls ? ReadPort(tlsPortFile) : 0;
            return;
        }
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            ADD_FAILURE() << "the update service exited during start-up";
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "the update service did not start listening";
}

UpdateServiceProcess::~UpdateServiceProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

std::string UpdateServiceProcess::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

}  // namespace test_support
