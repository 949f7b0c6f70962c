#include "app/NetLinkFile.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "platform/resources.h"
#include "tests/support/Sandbox.h"

namespace {
namespace fs = std::filesystem;
using orvik::test::ReadFileBytes;
using orvik::test::RunInChild;
using orvik::test::Sandbox;
using orvik::test::WriteFileBytes;

std::array<std::uint8_t, 32> Block() {
    std::array<std::uint8_t, 32> block{};
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    return block;
}

std::string BlockText() {
    const auto block = Block();
    return std::string(block.begin(), block.end());
}

struct Notices {
    int count = 0;
    std::function<void()> Callback() {
        return [this] { ++count; };
    }
};

TEST(NetLinkFile, NewFileHoldsTheBlock) {
    Sandbox sandbox;
    Notices notices;
    // The worker joins the install folder and the name with a doubled slash.
    const fs::path path = sandbox.Root().string() + "//NetLink.dat";
    EXPECT_TRUE(WriteNetLinkData(path, Block(), notices.Callback()));
    EXPECT_EQ(ReadFileBytes(path), BlockText());
    EXPECT_EQ(notices.count, 0);
}

TEST(NetLinkFile, CopiesTheProgramsDataBlock) {
    Sandbox sandbox;
    const auto block = platform::FindResource("DATA", 152);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 32U);
    const fs::path path = sandbox.Root() / "NetLink.dat";
    WriteFileBytes(path, std::string(40, 'z'));
    EXPECT_TRUE(WriteNetLinkFile(path.string()));
    EXPECT_EQ(ReadFileBytes(path), std::string(block->begin(), block->end()) + std::string(8, 'z'));
}

TEST(NetLinkFile, LongerFileKeepsItsTail) {
    Sandbox sandbox;
    Notices notices;
    const fs::path path = sandbox.Root() / "NetLink.dat";
    WriteFileBytes(path, std::string(32, 'x') + "TAIL1234");
    EXPECT_TRUE(WriteNetLinkData(path, Block(), notices.Callback()));
    EXPECT_EQ(ReadFileBytes(path), BlockText() + "TAIL1234");
    // A shorter one grows to the block's size.
    WriteFileBytes(path, "abc");
    EXPECT_TRUE(WriteNetLinkData(path, Block(), notices.Callback()));
    EXPECT_EQ(ReadFileBytes(path), BlockText());
    EXPECT_EQ(notices.count, 0);
}

// Failures to open are silent; only a failing write tells the user.
TEST(NetLinkFile, FailuresAndTheirNotice) {
    Sandbox sandbox;
    Notices notices;
    EXPECT_FALSE(WriteNetLinkData(sandbox.Root().string(), Block(), notices.Callback()));
    EXPECT_FALSE(
        WriteNetLinkData((sandbox.Root() / "no" / "folder").string(), Block(), notices.Callback()));
    EXPECT_FALSE(WriteNetLinkData((sandbox.Root() / "empty").string(), {}, notices.Callback()));
    EXPECT_FALSE(fs::exists(sandbox.Root() / "empty"));
    EXPECT_EQ(notices.count, 0);

    EXPECT_FALSE(WriteNetLinkData("/dev/full", Block(), notices.Callback()));
    EXPECT_EQ(notices.count, 1);
}

TEST(NetLinkFile, ReadOnlyFileIsLeftAlone) {
    Sandbox sandbox;
    const fs::path path = sandbox.Root() / "NetLink.dat";
    WriteFileBytes(path, "old content");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    sandbox.GiveToUnprivilegedUser();  // root would write through the missing write bits
    const int result = RunInChild(
        [&] {
            int notices = 0;
            const bool ok = WriteNetLinkData(path, Block(), [&] { ++notices; });
            return (ok ? 1 : 0) | (notices > 0 ? 2 : 0);
        },
        /*unprivileged=*/true);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFileBytes(path), "old content");
}

}  // namespace
