// Bad arguments, missing and damaged archives: the result, the closing log line, and what
// was written before the failure.
#include <functional>
#include <string>

#include "ExtractTestSupport.h"

namespace extract_test {
namespace {

class ErrorsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.Path().empty());
        fs::create_directories(out);
    }
    TempDir dir;
    const fs::path out = dir.Path() / "out";
};

TEST_F(ErrorsTest, MissingOutputFolderOrArchivePathWritesNoLog) {
    WriteFile(dir.Path() / "src/f.txt", "x");
    const std::string archive = dir / "package.7z";
    Make7z(archive, dir / "src", {"f.txt"});
    WriteFile(dir.Path() / "plain", "not a folder");

    for (const std::string& folder :
         {dir / "missing", dir / "missing/", dir / "plain", std::string()}) {
        const Outcome outcome = Extract(archive, folder);
        EXPECT_EQ(outcome.result, -1) << folder;
        EXPECT_EQ(outcome.log, "") << folder;
    }
    const Outcome null = Extract(nullptr, out.string());
    EXPECT_EQ(null.result, -1);
    EXPECT_EQ(null.log, "");
    EXPECT_FALSE(fs::exists(dir.Path() / "missing"));
    EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(ErrorsTest, ArchiveThatCannotBeOpened) {
    for (const std::string& archive : {dir / "missing.7z", out.string()}) {
        const Outcome outcome = Extract(archive, out);
        EXPECT_EQ(outcome.result, 1);
        ASSERT_TRUE(outcome.log.starts_with("\n")) << outcome.log;
        EXPECT_NE(outcome.log.find("libarchive"), std::string::npos) << "banner names decoder";
        EXPECT_EQ(LogBody(outcome.log), "\nERROR: can not open input file\n");
    }
}

TEST_F(ErrorsTest, EmptyArchive) {
    WriteFile(dir.Path() / "src/f.txt", "x");
    const std::string archive = dir / "empty.7z";
    Make7z(archive, dir / "src", {"f.txt"});
    ASSERT_EQ(RunProgram({"7zz", "d", "-bso0", archive, "f.txt"}), 0);
    ASSERT_EQ(fs::file_size(archive), 32u);

    const Outcome outcome = Extract(archive, out);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(LogBody(outcome.log), "\nEverything is Ok\n");
    EXPECT_TRUE(fs::is_empty(out));
}

// Damage done to a real archive of two files stored with Copy, a.txt then b.txt, whose data
// starts right after the 32-byte start header.
struct Damage {
    const char* name;
    std::function<void(std::string&)> apply;
    const char* body;     // the log after the banner
    bool firstExtracted;  // a.txt was written before the failure
};

void PrintTo(const Damage& damage, std::ostream* os) {
    *os << damage.name;
}

constexpr std::size_t kFirstSize = 5000;
constexpr std::size_t kSecondSize = 6 << 20;  // more than one write buffer

class DamageTest : public ErrorsTest, public testing::WithParamInterface<Damage> {};

TEST_P(DamageTest, EndsWithItsResultCode) {
    WriteFile(dir.Path() / "src/a.txt", MakeData(kFirstSize, 7));
    WriteFile(dir.Path() / "src/b.txt", MakeData(kSecondSize, 8));
    const std::string archive = dir / "package.7z";
    Make7z(archive, dir / "src", {"a.txt", "b.txt"}, {"-m0=Copy"});
    std::string bytes = ReadFile(archive);
    ASSERT_EQ(bytes.substr(32, 16), MakeData(kFirstSize, 7).substr(0, 16));
    GetParam().apply(bytes);
    WriteFile(archive, bytes);

    const Outcome outcome = Extract(archive, out);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(LogBody(outcome.log), GetParam().body);
    if (GetParam().firstExtracted) {
        EXPECT_EQ(ReadFile(out / "a.txt"), MakeData(kFirstSize, 7));
    } else {
        EXPECT_FALSE(fs::exists(out / "a.txt"));
    }
    // A file whose data failed its check is not left behind, even half written.
    EXPECT_FALSE(fs::exists(out / "b.txt"));
}

void Flip(std::string& bytes, std::size_t at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
}

const Damage kDamages[] = {
    {"not_an_archive", [](std::string& b) { b = "just some text, long enough for a header\n"; },
     "\nERROR #17\n", false},
    {"shorter_than_start_header", [](std::string& b) { b.resize(20); }, "\nERROR #17\n", false},
    {"future_format_version", [](std::string& b) { b[6] = 1; },
     "\nERROR: decoder doesn't support this archive\n", false},
    {"start_header_crc", [](std::string& b) { Flip(b, 9); }, "\nERROR: CRC error\n", false},
    {"database_damaged", [](std::string& b) { Flip(b, b.size() - 3); }, "\nERROR #16\n", false},
    {"truncated", [](std::string& b) { b.resize(b.size() / 2); }, "\nERROR #6\n", false},
    {"first_file_data", [](std::string& b) { Flip(b, 32 + 100); },
     "Extracting a.txt\nERROR: CRC error\n", false},
    {"second_file_data_at_its_end",
     [](std::string& b) { Flip(b, 32 + kFirstSize + kSecondSize - 1); },
     "Extracting a.txt\nExtracting b.txt\nERROR: CRC error\n", true},
};

INSTANTIATE_TEST_SUITE_P(Archives, DamageTest, testing::ValuesIn(kDamages),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace extract_test
