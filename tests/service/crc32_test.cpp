// CRC-32 of files against zlib's crc32 on the same bytes.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "service/Crc32.h"

namespace {

namespace fs = std::filesystem;

class Crc32File : public testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() /
                   ("crc32-" + std::to_string(::getpid()) + "-" +
                    testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string Write(const std::string& name, const std::string& bytes) {
        const fs::path path = m_folder / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    static std::uint32_t Zlib(const std::string& bytes) {
        return static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()),
                                                static_cast<uInt>(bytes.size())));
    }

    fs::path m_folder;
};

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    return bytes;
}

TEST_F(Crc32File, CheckValueAndEmptyFile) {
    std::uint32_t crc = 1;
    ASSERT_EQ(GetFileCrc32(Write("check", "123456789").c_str(), &crc), 0);
    EXPECT_EQ(crc, 0xCBF43926u);
    ASSERT_EQ(GetFileCrc32(Write("empty", "").c_str(), &crc), 0);
    EXPECT_EQ(crc, 0u);
}

TEST_F(Crc32File, SizesAroundBlocksMatchZlib) {
    // Chunk edges of the original 4096-byte reads, the 16- and 64-byte folds and a large file
    // with a ragged tail.
    for (std::size_t size : {1u, 15u, 16u, 63u, 64u, 65u, 127u, 4095u, 4096u, 4097u, 8193u,
                             (1u << 20) + 1u, 5u * (1u << 20) + 77u}) {
        const std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
        std::uint32_t crc = 0;
        ASSERT_EQ(GetFileCrc32(Write("f" + std::to_string(size), bytes).c_str(), &crc), 0);
        EXPECT_EQ(crc, Zlib(bytes)) << size << " bytes";
    }
}

TEST_F(Crc32File, MissingFileOrFolderStoresNothing) {
    std::uint32_t crc = 0x12345678;
    EXPECT_EQ(GetFileCrc32((m_folder / "absent").c_str(), &crc), -1);
    // A folder opens but cannot be read: no value over nothing.
    EXPECT_EQ(GetFileCrc32(m_folder.c_str(), &crc), -1);
    EXPECT_EQ(GetFileCrc32(nullptr, &crc), -1);
    EXPECT_EQ(crc, 0x12345678u);
}

TEST_F(Crc32File, VerifyPackageComparesEveryBit) {
    const std::string bytes = RandomBytes(70000, 7);
    const std::string path = Write("package.7z", bytes);
    const std::uint32_t expected = Zlib(bytes);
    EXPECT_TRUE(VerifyPackage(path, expected));
    for (int bit = 0; bit < 32; ++bit) {
        EXPECT_FALSE(VerifyPackage(path, expected ^ (1u << bit))) << bit;
    }
    EXPECT_FALSE(VerifyPackage((m_folder / "absent").string(), expected));
}

TEST(Crc32, TableAndIncrementalUse) {
    MakeCrc32Table();
    EXPECT_EQ(g_crc32Table[0], 0u);
    EXPECT_EQ(g_crc32Table[1], 0x77073096u);
    EXPECT_EQ(g_crc32Table[255], 0x2D02EF8Du);
    const std::string bytes = RandomBytes(1000, 3);
    const std::uint32_t whole = Crc32(0, bytes.data(), bytes.size());
    std::uint32_t parts = 0;
    for (std::size_t at = 0; at < bytes.size(); at += 77) {
        parts = Crc32(parts, bytes.data() + at, std::min<std::size_t>(77, bytes.size() - at));
    }
    EXPECT_EQ(parts, whole);
}

}  // namespace
