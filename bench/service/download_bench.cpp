// Download of a 500 MB package over loopback from the development update service:
// DownloadPackage on a worker thread, its progress sent to a real window whose thread keeps
// handling messages, against `curl -o` of the same address into a file, in the same run.
// Needs a display. Usage: bench_service_download [megabytes]
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages.h"
#include "platform/window.h"
#include "service/Download.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Each run starts from a removed target and no dirty pages, so write-back of the previous run
// never lands on the next one.
template <typename F>
double Seconds(const std::string& target, F&& run) {
    std::filesystem::remove(target);
    ::sync();
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Service {
    pid_t pid = -1;
    unsigned port = 0;
    ~Service() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

bool StartService(const fs::path& folder, Service* service) {
    const std::string script = ORVIK_SOURCE_DIR "/tools/update-service/update-service";
    const std::string portFile = (folder / "port").string();
    std::vector<std::string> args = {script,
                                     "--port",
                                     "0",
                                     "--port-file",
                                     portFile,
                                     "--config",
                                     (folder / "config.json").string()};
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    if (::posix_spawn(&service->pid, script.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    for (int i = 0; i < 1500 && !fs::exists(portFile); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::ifstream(portFile) >> service->port;
    return service->port != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (!platform::InitializeUi()) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    std::atomic<int> messages{0};
    constexpr unsigned kDone = platform::WM_USER + 1;
    // A window whose modal loop runs until the worker says it is done, as the installer's
    // main window does while its install worker downloads.
    const auto makeWindow = [&] {
        platform::WindowOptions options;
        options.title = "download bench";
        options.rect = {0, 0, 200, 100};
        return platform::Window::Create(
            options,
            [&](platform::Window& w, unsigned msg, std::uintptr_t wParam,
                std::intptr_t lParam) -> std::intptr_t {
                if (msg == WM_INSTALL_PROGRESS) {
                    ++messages;
                    return 0;
                }
                if (msg == kDone) {
                    w.EndModal(0);
                    return 0;
                }
                return w.DefaultProc(msg, wParam, lParam);
            });
    };

    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 500;
    const fs::path folder =
        fs::temp_directory_path() / ("orvik-download-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    {
        std::ofstream out(folder / "cloudpc.7z", std::ios::binary);
        std::mt19937_64 random(1);
        std::vector<std::uint64_t> block(1 << 17);
        for (std::size_t i = 0; i < megabytes; ++i) {
            for (auto& word : block) {
                word = random();
            }
            out.write(reinterpret_cast<const char*>(block.data()), 1 << 20);
        }
        std::ofstream(folder / "config.json")
            << R"({"packages": {"PERSON": {"version": "1.0", "file": "cloudpc.7z"}}})";
    }
    int status = 1;
    {
        Service service;
        if (!StartService(folder, &service)) {
            std::fprintf(stderr, "the update service did not start\n");
            fs::remove_all(folder);
            return 1;
        }
        const std::string url =
            "http://127.0.0.1:" + std::to_string(service.port) + "/packages/cloudpc.7z";
        const std::string target = (folder / "downloaded.7z").string();
        const std::string curl = "curl -s -o " + target + " " + url;

        bool ok = true;
        const auto ours = [&] {
            auto window = makeWindow();
            CDownloadProgress progress(window.get());
            std::thread worker([&] {
                ok = DownloadPackage(url, target, &progress) && ok;
                window->Post(kDone);
            });
            window->DoModal();
            worker.join();
        };
        // Interleaved rounds; the best of each counts.
        double curlSeconds = 1e30;
        double ourSeconds = 1e30;
        constexpr int kRounds = 4;
        for (int round = 0; round < kRounds; ++round) {
            curlSeconds = std::min(
                curlSeconds, Seconds(target, [&] { ok = std::system(curl.c_str()) == 0 && ok; }));
            ourSeconds = std::min(ourSeconds, Seconds(target, ours));
        }
        const double mb = static_cast<double>(megabytes);
        std::printf("package         %zu MB over loopback\n", megabytes);
        std::printf("curl -o         %7.1f MB/s\n", mb / curlSeconds);
        std::printf("DownloadPackage %7.1f MB/s  (%d progress messages to a real window)\n",
                    mb / ourSeconds, messages.load() / kRounds);
        std::printf("ratio           %7.2f x curl (target >= 0.90)%s\n", curlSeconds / ourSeconds,
                    ok ? "" : "  A DOWNLOAD FAILED");
        status = ok ? 0 : 1;
    }
    fs::remove_all(folder);
    return status;
}
