// Install folders that fill up or cannot be written: a package download and an extraction
// onto a small file system that runs full, and an install folder that even root cannot write
// (a file in its place, a read-only mount). The record and NetLink.dat are written there too.
//
// The small file systems are mounted in a child process with a mount namespace of its own,
// so they vanish with it whatever happens; where the machine allows no mounts (no root, no
// CAP_SYS_ADMIN) those tests are skipped.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "app/ClientRecord.h"
#include "app/NetLinkFile.h"
#include "extract/ExtractArchive.h"
#include "service/Crc32.h"
#include "service/Download.h"
#include "tests/extract/ExtractTestSupport.h"
#include "tests/support/Sandbox.h"
#include "tests/support/service_process.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using test_support::UpdateServiceProcess;

constexpr int kNoMounts = 77;
constexpr std::size_t kPackageSize = 4 << 20;  // twice the small file system
const std::array<std::uint8_t, 32> kNetLinkBlock = {1, 2, 3, 4, 5, 6, 7, 8};

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

// Runs `body` in a child with a private mount namespace; its failures are reported there
// (GoogleTest prints them) and come back as a non-zero status.
int RunWithPrivateMounts(const std::function<int()>& body) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        int rc = kNoMounts;
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            std::printf("no private mount namespace: %s\n", std::strerror(errno));
        } else {
            rc = body();
            if (rc == 0 && testing::Test::HasFailure()) {
                rc = 1;
            }
        }
        std::fflush(stdout);
        _exit(rc);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool MountSmallDisk(const fs::path& at, const char* size) {
    fs::create_directories(at);
    const std::string options = std::string("size=") + size;
    if (mount("tmpfs", at.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        std::printf("cannot mount a %s tmpfs: %s\n", size, std::strerror(errno));
        return false;
    }
    return true;
}

bool MountReadOnly(const fs::path& folder) {
    if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
        std::printf("cannot mount %s read-only: %s\n", folder.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

#define EXPECT_MOUNTED_RUN(body)                                                                \
    do {                                                                                        \
        const int rc = RunWithPrivateMounts(body);                                              \
        if (rc == kNoMounts) {                                                                  \
            GTEST_SKIP() << "this machine allows no mounts here (needs root or CAP_SYS_ADMIN)"; \
        }                                                                                       \
        EXPECT_EQ(rc, 0) << "the child reported failures (above)";                              \
    } while (false)

struct Extraction {
    int result;
    std::string log;
};

Extraction Extract(const fs::path& archive, const fs::path& folder) {
    testing::internal::CaptureStdout();
    const int result = ExtractArchive(archive.c_str(), folder.string(), nullptr);
    return {result, testing::internal::GetCapturedStdout()};
}

const ClientRecord kOldRecord{"/home/u/orvikcloud//", "ovClient", "1.0.0.1"};
const ClientRecord kNewRecord{"/home/u/orvikcloud//", "ovClient", "2.0.0.0"};

void ExpectRecord(const ClientRecord& expected) {
    const std::optional<StoredClientRecord> stored = ReadClientRecord();
    ASSERT_TRUE(stored.has_value()) << "the record is gone";
    EXPECT_EQ(stored->installDir, expected.installDir);
    EXPECT_EQ(stored->startName, expected.startName);
    EXPECT_EQ(stored->version, expected.version);
}

// A package twice the size of the disk, and a client archive with a small file, the same
// large one and another small file.
class DiskFaults : public testing::Test {
protected:
    void SetUp() override {
        const fs::path source = m_sandbox.Root() / "source";
        const std::string big = RandomBytes(kPackageSize, 11);
        extract_test::WriteFile(source / "a-first.txt", "first\n");
        extract_test::WriteFile(source / "m-client.bin", big);
        extract_test::WriteFile(source / "z-last.txt", "last\n");
        ASSERT_NO_FATAL_FAILURE(extract_test::Make7z(Archive().string(), source.string(),
                                                     {"a-first.txt", "m-client.bin", "z-last.txt"},
                                                     {"-mx=1", "-ms=off"}));
        extract_test::WriteFile(m_sandbox.Root() / "packages" / "cloudpc.7z", big);
        m_crc = Crc32(0, big.data(), big.size());
        std::ofstream(m_sandbox.Root() / "packages" / "service.json")
            << R"({"packages": {"PERSON": {"version": "2.0.0.0", "file": "cloudpc.7z"}}})";
    }

    fs::path Archive() const { return m_sandbox.Root() / "cloudpc-source.7z"; }
    fs::path Disk() const { return m_sandbox.Root() / "disk"; }
    std::string ServiceConfig() const {
        return (m_sandbox.Root() / "packages" / "service.json").string();
    }

    orvik::test::Sandbox m_sandbox;
    std::uint32_t m_crc = 0;
};

TEST_F(DiskFaults, FullDuringDownload) {
    UpdateServiceProcess service({"--config", ServiceConfig()});
    ASSERT_TRUE(service.Running());
    EXPECT_MOUNTED_RUN([&] {
        if (!MountSmallDisk(Disk(), "2m")) {
            return kNoMounts;
        }
        const fs::path folder = Disk() / "orvikcloud";
        fs::create_directory(folder);
        const std::string path = folder.string() + "//cloudpc.7z";
        const auto start = Clock::now();
        const bool ok = DownloadPackage(service.Url("/packages/cloudpc.7z"), path, nullptr);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const auto left = fs::exists(path) ? fs::file_size(path) : 0;
        std::printf("disk full (download): %s after %.2f s; %ju of %zu bytes on the 2 MiB disk\n",
                    ok ? "success" : "failure", seconds, static_cast<std::uintmax_t>(left),
                    kPackageSize);
        EXPECT_FALSE(ok) << "a short file reported as a download";
        EXPECT_LT(left, kPackageSize);
        EXPECT_FALSE(VerifyPackage(path, m_crc));
        return 0;
    });
}

TEST_F(DiskFaults, FullDuringExtraction) {
    EXPECT_MOUNTED_RUN([&] {
        if (!MountSmallDisk(Disk(), "2m")) {
            return kNoMounts;
        }
        // The record lives on the same disk here, written before it filled.
        setenv("XDG_CONFIG_HOME", (Disk() / "config").c_str(), 1);
        EXPECT_TRUE(WriteClientRecord(kOldRecord));

        const fs::path folder = Disk() / "orvikcloud";
        fs::create_directory(folder);
        const Extraction e = Extract(Archive(), folder.string() + "/");
        const bool first = fs::exists(folder / "a-first.txt");
        const auto big =
            fs::exists(folder / "m-client.bin") ? fs::file_size(folder / "m-client.bin") : 0;
        std::printf(
            "disk full (extraction): result %d, first entry %s, %ju of %zu bytes of the "
            "large entry written\n",
            e.result, first ? "kept" : "missing", static_cast<std::uintmax_t>(big), kPackageSize);
        EXPECT_EQ(e.result, 1);
        EXPECT_NE(e.log.find("\nERROR: can not write output file\n"), std::string::npos) << e.log;
        EXPECT_NE(e.log.find("\nERROR #11\n"), std::string::npos) << e.log;
        EXPECT_EQ(e.log.find("Everything is Ok"), std::string::npos);
        EXPECT_TRUE(first);  // what came before the fault stays, as designed
        EXPECT_FALSE(fs::exists(folder / "z-last.txt"));  // nothing after it is attempted

        // The steps after a failed extraction do not run in the installer; on the full disk
        // they would fail too, without harm: NetLink.dat reports its failed write, and the
        // record keeps its old values.
        int writeFailures = 0;
        EXPECT_FALSE(WriteNetLinkData(folder.string() + "//NetLink.dat", kNetLinkBlock,
                                      [&] { ++writeFailures; }));
        EXPECT_EQ(writeFailures, 1);
        EXPECT_FALSE(WriteClientRecord(kNewRecord));
        ExpectRecord(kOldRecord);
        return 0;
    });
}

// A regular file where the install folder should be: no write under it succeeds, not even
// for root, and nothing is written anywhere else.
TEST_F(DiskFaults, FileInThePlaceOfTheInstallFolder) {
    UpdateServiceProcess service({"--config", ServiceConfig()});
    ASSERT_TRUE(service.Running());
    const fs::path blocker = m_sandbox.Root() / "blocked";
    orvik::test::WriteFileBytes(blocker, "not a folder");
    const std::string installDir = (blocker / "orvikcloud").string() + "/";
    // Step 1 of the install makes the folder and does not look at the result.
    EXPECT_NE(::mkdir(installDir.c_str(), 0755), 0);

    EXPECT_FALSE(
        DownloadPackage(service.Url("/packages/cloudpc.7z"), installDir + "/cloudpc.7z", nullptr));
    const Extraction e = Extract(Archive(), installDir);
    EXPECT_EQ(e.result, -1);
    EXPECT_EQ(e.log, "");
    int writeFailures = 0;
    EXPECT_FALSE(
        WriteNetLinkData(installDir + "/NetLink.dat", kNetLinkBlock, [&] { ++writeFailures; }));
    EXPECT_EQ(writeFailures, 0);  // it could not even be opened

    // The record's folder blocked the same way: the write fails, the file stays as it was.
    ASSERT_TRUE(WriteClientRecord(kOldRecord));
    const fs::path recordFolder = m_sandbox.ConfigHome() / "Orvik";
    fs::rename(recordFolder, m_sandbox.Root() / "saved-record");
    orvik::test::WriteFileBytes(recordFolder, "not a folder");
    EXPECT_FALSE(WriteClientRecord(kNewRecord));
    EXPECT_EQ(orvik::test::ReadFileBytes(recordFolder), "not a folder");
    EXPECT_EQ(orvik::test::ReadFileBytes(blocker), "not a folder");
    std::printf("blocked folder: download, extraction (-1), NetLink.dat and record all refused\n");
}

// An install folder and a record on a file system mounted read-only: root cannot write
// there either. An upgrade over the old installation fails without touching it.
TEST_F(DiskFaults, ReadOnlyInstallFolder) {
    UpdateServiceProcess service({"--config", ServiceConfig()});
    ASSERT_TRUE(service.Running());
    const fs::path installed = m_sandbox.Root() / "ro" / "orvikcloud";
    extract_test::WriteFile(installed / "m-client.bin", "old client");
    setenv("XDG_CONFIG_HOME", (m_sandbox.Root() / "ro" / "config").c_str(), 1);
    ASSERT_TRUE(WriteClientRecord(kOldRecord));
    EXPECT_MOUNTED_RUN([&] {
        if (!MountReadOnly(m_sandbox.Root() / "ro")) {
            return kNoMounts;
        }
        const std::string installDir = installed.string() + "/";
        EXPECT_FALSE(DownloadPackage(service.Url("/packages/cloudpc.7z"),
                                     installDir + "/cloudpc.7z", nullptr));
        EXPECT_FALSE(fs::exists(installed / "cloudpc.7z"));
        const Extraction e = Extract(Archive(), installDir);
        EXPECT_EQ(e.result, 1);
        EXPECT_NE(e.log.find("\nERROR: can not open output file\n"), std::string::npos) << e.log;
        EXPECT_NE(e.log.find("\nERROR #11\n"), std::string::npos) << e.log;
        EXPECT_EQ(extract_test::ReadFile(installed / "m-client.bin"), "old client");
        EXPECT_FALSE(WriteNetLinkData(installDir + "/NetLink.dat", kNetLinkBlock, nullptr));
        EXPECT_FALSE(WriteClientRecord(kNewRecord));
        ExpectRecord(kOldRecord);
        std::printf(
            "read-only folder: download refused, extraction result %d, old files and "
            "record kept\n",
            e.result);
        return 0;
    });
    ExpectRecord(kOldRecord);
}

}  // namespace
