#include "app/ClientLaunch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/ClientRecord.h"
#include "tests/support/Sandbox.h"

namespace {
namespace fs = std::filesystem;
using orvik::test::ReadFileBytes;
using orvik::test::RunInChild;
using orvik::test::Sandbox;
using orvik::test::WriteFileBytes;

const std::string kEntryName = "Orvik云电脑.desktop";

bool WaitFor(const fs::path& path) {
    for (int i = 0; i < 300 && !fs::exists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return fs::exists(path);
}

TEST(ClientLaunch, ExecutablePathKeepsTheDoubledSlash) {
    EXPECT_EQ(ClientExecutablePath("/data//orvikcloud/", "ovClient.exe"),
              "/data//orvikcloud//ovClient.exe");
}

// Record, then shortcuts, then the start: all three against the same doubled-slash path.
TEST(ClientLaunch, RecordsLinksAndStartsTheClient) {
    Sandbox sandbox;
    const std::string installDir = sandbox.Root().string() + "//orvikcloud/";
    fs::create_directories(installDir);
    const std::string executable = installDir + "/ovClient.exe";
    const fs::path marker = sandbox.Root() / "client-started";
    WriteFileBytes(executable, "#!/bin/sh\ntouch '" + marker.string() + "'\n");
    fs::permissions(executable, fs::perms::owner_all);

    // In a child: GLib keeps the first desktop folder it sees for the life of a process.
    ASSERT_EQ(RunInChild([&] {
                  RecordAndLaunch({installDir, "ovClient.exe", "2.1.0"});
                  return 0;
              }),
              0);
    const auto record = ReadClientRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->installDir, installDir);
    EXPECT_EQ(record->startName, "ovClient.exe");
    EXPECT_EQ(record->version, "2.1.0");
    const std::string exec = "Exec=\"" + executable + "\"\n";
    EXPECT_NE(ReadFileBytes(sandbox.DataHome() / "applications" / kEntryName).find(exec),
              std::string::npos);
    EXPECT_NE(ReadFileBytes(sandbox.Desktop() / kEntryName).find(exec), std::string::npos);
    EXPECT_TRUE(WaitFor(marker));
}

// The record comes first, so it exists even when nothing can be started.
TEST(ClientLaunch, RecordIsWrittenWhenTheStartFails) {
    Sandbox sandbox(/*withDesktop=*/false);
    const std::string installDir = sandbox.Root().string() + "/missing/";
    ASSERT_EQ(RunInChild([&] {
                  RecordAndLaunch({installDir, "ovClient.exe", "1.0"});
                  return 0;
              }),
              0);
    const auto record = ReadClientRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->installDir, installDir);
    EXPECT_EQ(record->version, "1.0");
    EXPECT_TRUE(fs::exists(sandbox.DataHome() / "applications" / kEntryName));
}

TEST(ClientRecordRead, MissingValuesStayMissing) {
    Sandbox sandbox;
    EXPECT_FALSE(ReadClientRecord());
    fs::create_directories(sandbox.ConfigHome() / "Orvik");
    WriteFileBytes(sandbox.ConfigHome() / "Orvik" / "RizurUR.conf",
                   "[RizurUR]\ninstallDir=/d//orvikcloud/\n");
    const auto record = ReadClientRecord();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->installDir, "/d//orvikcloud/");
    EXPECT_FALSE(record->startName);
    EXPECT_FALSE(record->version);
}

}  // namespace
