// DownloadPackage against the development update service on the loopback interface: whole
// files, error statuses, broken and stalled transfers, and https against a test CA.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "service/Crc32.h"
#include "service/Download.h"
#include "tests/service/progress_window.h"
#include "tests/support/loopback_server.h"
#include "tests/support/service_process.h"

namespace {

namespace fs = std::filesystem;
using test_support::UpdateServiceProcess;

std::string ReadFile(const fs::path& path) {
    std::string bytes(fs::file_size(path), '\0');
    std::ifstream(path, std::ios::binary)
        .read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

class Download : public testing::Test {
protected:
    static constexpr std::size_t kSize = 3 * 1024 * 1024 + 17;

    void SetUp() override {
        m_folder = fs::temp_directory_path() /
                   ("download-" + std::to_string(::getpid()) + "-" +
                    testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_folder / "served");
        fs::create_directories(m_folder / "install");
        std::mt19937 random(42);
        m_bytes.resize(kSize);
        for (char& c : m_bytes) {
            c = static_cast<char>(random());
        }
        std::ofstream(m_folder / "served" / "cloudpc.7z", std::ios::binary) << m_bytes;
        std::ofstream(m_folder / "served" / "empty.7z", std::ios::binary);
        std::ofstream(m_folder / "served" / "config.json")
            << R"({"packages": {"PERSON": {"version": "1.0", "file": "cloudpc.7z"},)"
            << R"( "UPDATE": {"version": "1.0", "file": "empty.7z"}}})";
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::vector<std::string> Config(std::vector<std::string> more = {}) const {
        more.insert(more.begin(), {"--config", (m_folder / "served" / "config.json").string()});
        return more;
    }

    std::string Destination() const { return (m_folder / "install" / "cloudpc.7z").string(); }

    fs::path m_folder;
    std::string m_bytes;
};

TEST_F(Download, WholeFileIsWritten) {
    UpdateServiceProcess service(Config());
    ASSERT_TRUE(service.Running());
    ASSERT_TRUE(DownloadPackage(service.Url("/packages/cloudpc.7z"), Destination(), nullptr));
    EXPECT_EQ(ReadFile(Destination()), m_bytes);

    // An earlier, longer file of that name is replaced, not overwritten in place.
    std::ofstream(Destination(), std::ios::binary) << m_bytes << m_bytes;
    ASSERT_TRUE(DownloadPackage(service.Url("/packages/cloudpc.7z"), Destination(), nullptr));
    EXPECT_EQ(fs::file_size(Destination()), kSize);

    // An empty package is a complete, empty file.
    const std::string empty = (m_folder / "install" / "empty.7z").string();
    ASSERT_TRUE(DownloadPackage(service.Url("/packages/empty.7z"), empty, nullptr));
    EXPECT_TRUE(fs::exists(empty));
    EXPECT_EQ(fs::file_size(empty), 0u);
}

TEST_F(Download, ProgressReachesTheWindowOncePerPercent) {
    UpdateServiceProcess service(Config());
    ASSERT_TRUE(service.Running());
    service_test::ProgressWindow window;
    ASSERT_NE(window.Window(), nullptr) << "needs a display";
    CDownloadProgress progress(window.Window());
    bool ok = false;
    window.RunOnWorker([&] {
        ok = DownloadPackage(service.Url("/packages/cloudpc.7z"), Destination(), &progress);
    });
    ASSERT_TRUE(ok);
    EXPECT_EQ(ReadFile(Destination()), m_bytes);
    const auto values = window.Values();
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.back(), 100u);
    EXPECT_LE(values.size(), 101u);
    for (std::size_t i = 1; i < values.size(); ++i) {
        EXPECT_LT(values[i - 1], values[i]) << "at " << i;
    }

    // A package that comes in one piece still sends its first report.
    window.Clear();
    std::ofstream(m_folder / "served" / "cloudpc.7z", std::ios::binary) << "tiny";
    UpdateServiceProcess small(Config());
    ASSERT_TRUE(small.Running());
    window.RunOnWorker(
        [&] { ok = DownloadPackage(small.Url("/packages/cloudpc.7z"), Destination(), &progress); });
    ASSERT_TRUE(ok);
    ASSERT_FALSE(window.Values().empty());
    EXPECT_EQ(window.Values().back(), 100u);
}

TEST_F(Download, ErrorStatusAndBadAddressesFailWithoutAFile) {
    UpdateServiceProcess service(Config());
    ASSERT_TRUE(service.Running());
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(test_support::UnusedLoopbackPort()) + "/p.7z";
    const std::string served = (m_folder / "served" / "cloudpc.7z").string();
    for (const std::string& address :
         {service.Url("/packages/missing.7z"), refused, std::string(), std::string("not a url"),
          "file://" + served, std::string("ftp://127.0.0.1/cloudpc.7z")}) {
        EXPECT_FALSE(DownloadPackage(address, Destination(), nullptr)) << address;
        EXPECT_FALSE(fs::exists(Destination())) << address;
    }
}

TEST_F(Download, UnwritableDestinationFails) {
    UpdateServiceProcess service(Config());
    ASSERT_TRUE(service.Running());
    EXPECT_FALSE(DownloadPackage(service.Url("/packages/cloudpc.7z"),
                                 (m_folder / "no-such-folder" / "cloudpc.7z").string(), nullptr));
    EXPECT_FALSE(DownloadPackage(service.Url("/packages/cloudpc.7z"),
                                 (m_folder / "install").string(), nullptr));
}

TEST_F(Download, BrokenConnectionFailsAndLeavesThePartialFile) {
    UpdateServiceProcess service(Config({"--cut-download-after", "100000"}));
    ASSERT_TRUE(service.Running());
    EXPECT_FALSE(DownloadPackage(service.Url("/packages/cloudpc.7z"), Destination(), nullptr));
    ASSERT_TRUE(fs::exists(Destination()));
    EXPECT_EQ(ReadFile(Destination()), m_bytes.substr(0, 100000));
}

TEST_F(Download, StalledTransferTimesOut) {
    UpdateServiceProcess service(Config({"--stall-download-after", "5000"}));
    ASSERT_TRUE(service.Running());
    DownloadOptions options;
    options.stallTimeout = std::chrono::seconds(1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(
        DownloadPackage(service.Url("/packages/cloudpc.7z"), Destination(), nullptr, options));
    // libcurl judges the speed over a window of a few seconds, hence the slack.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST_F(Download, LoopbackIsNeverProxied) {
    UpdateServiceProcess service(Config());
    ASSERT_TRUE(service.Running());
    const std::string proxy =
        "http://127.0.0.1:" + std::to_string(test_support::UnusedLoopbackPort());
    ::setenv("http_proxy", proxy.c_str(), 1);
    ::setenv("no_proxy", "example.invalid", 1);
    const bool ok = DownloadPackage(service.Url("/packages/cloudpc.7z"), Destination(), nullptr);
    ::unsetenv("http_proxy");
    ::unsetenv("no_proxy");
    EXPECT_TRUE(ok);
}

// A CA, a server certificate for 127.0.0.1 signed by it, and a second CA that signed nothing.
class HttpsDownload : public Download {
protected:
    void SetUp() override {
        Download::SetUp();
        const fs::path tls = m_folder / "tls";
        fs::create_directories(tls);
        const std::string d = tls.string();
        const std::string script =
            "cd " + d +
            " && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=TestCA"
            " -keyout ca.key -out ca.pem"
            " && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=OtherCA"
            " -keyout other.key -out other.pem"
            " && openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1"
            " -keyout server.key -out server.csr"
            " && printf 'subjectAltName=IP:127.0.0.1\\nbasicConstraints=CA:FALSE\\n' > ext.cnf"
            " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
            " -days 2 -extfile ext.cnf -out server.pem";
        ASSERT_EQ(std::system(("(" + script + ") >/dev/null 2>&1").c_str()), 0);
        m_ca = (tls / "ca.pem").string();
        m_otherCa = (tls / "other.pem").string();
        m_cert = (tls / "server.pem").string();
        m_key = (tls / "server.key").string();
    }

    std::string m_ca, m_otherCa, m_cert, m_key;
};

TEST_F(HttpsDownload, VerifiedAgainstTheGivenCaOnly) {
    UpdateServiceProcess service(Config({"--tls-cert", m_cert, "--tls-key", m_key}));
    ASSERT_TRUE(service.Running());
    ASSERT_NE(service.TlsPort(), 0);
    const std::string address =
        "https://127.0.0.1:" + std::to_string(service.TlsPort()) + "/packages/cloudpc.7z";

    DownloadOptions trusted;
    trusted.caFile = m_ca;
    ASSERT_TRUE(DownloadPackage(address, Destination(), nullptr, trusted));
    EXPECT_EQ(ReadFile(Destination()), m_bytes);
    fs::remove(Destination());

    DownloadOptions other;
    other.caFile = m_otherCa;
    EXPECT_FALSE(DownloadPackage(address, Destination(), nullptr, other));
    // The system store does not know the test CA either.
    EXPECT_FALSE(DownloadPackage(address, Destination(), nullptr));
    EXPECT_FALSE(fs::exists(Destination()));
}

}  // namespace
