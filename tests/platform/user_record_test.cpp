#include "platform/user_record.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Sandbox.h"

namespace {
namespace fs = std::filesystem;
using orvik::test::ReadFileBytes;
using orvik::test::RunInChild;
using orvik::test::Sandbox;
using orvik::test::WriteFileBytes;

bool Write(const std::vector<platform::RecordValue>& values) {
    return platform::WriteRecord(values);
}

std::optional<std::string> Read(const char* name) {
    const auto key = platform::OpenRecord();
    return key ? key->ReadValue(name) : std::nullopt;
}

fs::path RecordFolder(const Sandbox& sandbox) {
    return sandbox.ConfigHome() / "Orvik";
}
fs::path RecordFile(const Sandbox& sandbox) {
    return RecordFolder(sandbox) / "RizurUR.conf";
}

bool HasTemporaries(const Sandbox& sandbox) {
    for (const auto& entry : fs::directory_iterator(RecordFolder(sandbox))) {
        if (entry.path().filename().string().starts_with(".RizurUR.conf.tmp-")) {
            return true;
        }
    }
    return false;
}

TEST(UserRecord, NoRecordBeforeTheFirstWrite) {
    Sandbox sandbox;
    EXPECT_FALSE(platform::OpenRecord());
    EXPECT_EQ(platform::RecordFilePath(), RecordFile(sandbox).string());
}

TEST(UserRecord, RoundTripKeepsTextAndWriteOrder) {
    Sandbox sandbox;
    // Values that the key file format would mangle without escaping.
    const std::string dir = "/home/u/My Apps/ \\ = ; # [x]\t\"q\" 云电脑 😀//";
    const std::string start = "  leading and trailing spaces  ";
    const std::string version = "1.0\nsecond line";
    ASSERT_TRUE(Write({{"installDir", dir}, {"Start", start}, {"Version", version}}));
    EXPECT_EQ(Read("installDir"), dir);
    EXPECT_EQ(Read("Start"), start);
    EXPECT_EQ(Read("Version"), version);
    EXPECT_EQ(Read("Missing"), std::nullopt);

    const std::string text = ReadFileBytes(RecordFile(sandbox));
    EXPECT_TRUE(text.starts_with("[RizurUR]\n")) << text;
    const auto installDirAt = text.find("\ninstallDir=");
    const auto startAt = text.find("\nStart=");
    const auto versionAt = text.find("\nVersion=");
    ASSERT_NE(versionAt, std::string::npos) << text;
    EXPECT_LT(installDirAt, startAt);
    EXPECT_LT(startAt, versionAt);
    EXPECT_FALSE(HasTemporaries(sandbox));

    // A rewrite replaces the values in place.
    ASSERT_TRUE(Write({{"Version", "2.0"}}));
    EXPECT_EQ(Read("Version"), "2.0");
    EXPECT_EQ(Read("installDir"), dir);
}

struct LengthCase {
    const char* label;
    std::string value;
    bool readable;
};

void PrintTo(const LengthCase& c, std::ostream* out) {
    *out << c.label;
}

class UserRecordLength : public testing::TestWithParam<LengthCase> {};

std::string Repeat(const std::string& unit, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) {
        s += unit;
    }
    return s;
}

// The reader's limit is 129 UTF-16 units: not bytes, not code points.
INSTANTIATE_TEST_SUITE_P(Cases, UserRecordLength,
                         testing::Values(LengthCase{"ascii129", Repeat("a", 129), true},
                                         LengthCase{"ascii130", Repeat("a", 130), false},
                                         LengthCase{"cjk129", Repeat("云", 129), true},
                                         LengthCase{"cjk130", Repeat("云", 130), false},
                                         LengthCase{"astral64PlusOne", Repeat("😀", 64) + "a", true},
                                         LengthCase{"astral65", Repeat("😀", 65), false},
                                         LengthCase{"empty", "", true}),
                         [](const auto& p) { return std::string(p.param.label); });

TEST_P(UserRecordLength, LongValuesReadAsMissing) {
    Sandbox sandbox;
    const LengthCase& c = GetParam();
    ASSERT_TRUE(Write({{"installDir", "/d/"}, {"Version", c.value}}));
    if (c.readable) {
        EXPECT_EQ(Read("Version"), c.value);
    } else {
        EXPECT_EQ(Read("Version"), std::nullopt);
    }
    EXPECT_EQ(Read("installDir"), "/d/");  // the neighbour is unaffected
}

TEST(UserRecord, Utf16LengthCountsUnits) {
    EXPECT_EQ(platform::Utf16Length(""), 0U);
    EXPECT_EQ(platform::Utf16Length("abc"), 3U);
    EXPECT_EQ(platform::Utf16Length("云电脑"), 3U);
    EXPECT_EQ(platform::Utf16Length("😀"), 2U);
    EXPECT_EQ(platform::Utf16Length("\xff\xfe"), 2U);
    EXPECT_EQ(platform::Utf16Length("\xe4\xba"), 2U);  // a cut-off character
}

struct DamageCase {
    const char* label;
    std::string fileBytes;
    bool opens;                             // the reader finds a key
    std::optional<std::string> installDir;  // what it reads
    std::optional<std::string> version;
    std::vector<std::string> keptAfterWrite;  // lines a later write must keep
};

void PrintTo(const DamageCase& c, std::ostream* out) {
    *out << c.label;
}

class UserRecordDamage : public testing::TestWithParam<DamageCase> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, UserRecordDamage,
    testing::Values(
        DamageCase{"binaryGarbage",
                   std::string("\x00\x01\xff\xfe[[[=\n\x80zz", 12),
                   false,
                   std::nullopt,
                   std::nullopt,
                   {}},
        DamageCase{"notAKeyFile",
                   "just some text\nwithout groups\n",
                   false,
                   std::nullopt,
                   std::nullopt,
                   {}},
        DamageCase{"otherGroupOnly",
                   "[Other]\nkeep=1\n",
                   false,
                   std::nullopt,
                   std::nullopt,
                   {"[Other]", "keep=1"}},
        DamageCase{"emptyVersion",
                   "[RizurUR]\ninstallDir=/d/\nStart=ovClient.exe\nVersion=\n",
                   true,
                   "/d/",
                   "",
                   {}},
        DamageCase{"invalidUtf8Value",
                   "# note\n[RizurUR]\ninstallDir=/d/\nVersion=\xff\xfe\nextra=x\n[Other]\nk=v\n",
                   true,
                   "/d/",
                   std::nullopt,
                   {"# note", "extra=x", "[Other]", "k=v"}},
        DamageCase{"brokenEscape",
                   "[RizurUR]\ninstallDir=/d/\\\nVersion=1\n",
                   true,
                   std::nullopt,
                   "1",
                   {}},
        DamageCase{"tooLongValue",
                   "[RizurUR]\ninstallDir=" + std::string(5000, 'x') + "\nVersion=1\n",
                   true,
                   std::nullopt,
                   "1",
                   {}}),
    [](const auto& p) { return std::string(p.param.label); });

// A damaged record never crashes the reader, and a later write stores its values and keeps
// whatever of the old file can be kept.
TEST_P(UserRecordDamage, ReadsWhatItCanAndWritesOverIt) {
    Sandbox sandbox;
    const DamageCase& c = GetParam();
    fs::create_directories(RecordFolder(sandbox));
    WriteFileBytes(RecordFile(sandbox), c.fileBytes);

    EXPECT_EQ(platform::OpenRecord().has_value(), c.opens);
    if (c.opens) {
        EXPECT_EQ(Read("installDir"), c.installDir);
        EXPECT_EQ(Read("Version"), c.version);
    }

    ASSERT_TRUE(Write({{"installDir", "/new/"}, {"Start", "ovClient.exe"}, {"Version", "9"}}));
    EXPECT_EQ(Read("installDir"), "/new/");
    EXPECT_EQ(Read("Start"), "ovClient.exe");
    EXPECT_EQ(Read("Version"), "9");
    const std::string text = ReadFileBytes(RecordFile(sandbox));
    for (const std::string& line : c.keptAfterWrite) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " lost from:\n" << text;
    }
    if (!c.opens && c.keptAfterWrite.empty()) {
        // Nothing could be merged: the old bytes are kept beside the record.
        EXPECT_EQ(ReadFileBytes(RecordFolder(sandbox) / "RizurUR.conf.corrupt"), c.fileBytes);
    }
}

// The key file format ends a line with CR-LF as well as LF, so a carriage return that ends a
// value must be escaped when the file is written again, or the next read takes it for part
// of the line's end.
TEST(UserRecord, ValuesEndingInCarriageReturnsKeepThemThroughWrites) {
    Sandbox sandbox;
    fs::create_directories(RecordFolder(sandbox));
    // "bad" holds an escape GLib does not know: it reads as missing, before and after.
    WriteFileBytes(RecordFile(sandbox), "[RizurUR]\nextra=keep\r\r\nnote=a b\r\r\r\nbad=\\q\r\r\n");
    ASSERT_EQ(Read("extra"), "keep\r");
    ASSERT_EQ(Read("note"), "a b\r\r");
    ASSERT_EQ(Read("bad"), std::nullopt);
    for (const char* version : {"9", "10"}) {  // the second write goes over the escaped form
        ASSERT_TRUE(Write({{"Version", version}}));
        EXPECT_EQ(Read("extra"), "keep\r");
        EXPECT_EQ(Read("note"), "a b\r\r");
        EXPECT_EQ(Read("bad"), std::nullopt);
        EXPECT_EQ(Read("Version"), version);
    }
}

TEST(UserRecord, FolderInThePlaceOfTheFile) {
    Sandbox sandbox;
    fs::create_directories(RecordFile(sandbox) / "inside");
    EXPECT_FALSE(platform::OpenRecord());
    EXPECT_FALSE(Write({{"installDir", "/d/"}}));
    EXPECT_TRUE(fs::is_directory(RecordFile(sandbox) / "inside"));
    EXPECT_FALSE(HasTemporaries(sandbox));
}

TEST(UserRecord, ReadOnlyFolderLeavesTheRecordAlone) {
    Sandbox sandbox;
    ASSERT_TRUE(Write({{"installDir", "/old/"}, {"Version", "1"}}));
    const std::string before = ReadFileBytes(RecordFile(sandbox));
    fs::permissions(RecordFolder(sandbox), fs::perms::owner_read | fs::perms::owner_exec);
    sandbox.GiveToUnprivilegedUser();
    const int result = RunInChild(
        [] {
            if (Write({{"installDir", "/new/"}, {"Version", "2"}})) {
                return 1;
            }
            return Read("installDir") == "/old/" ? 0 : 2;  // still readable
        },
        /*unprivileged=*/true);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFileBytes(RecordFile(sandbox)), before);
}

TEST(UserRecord, UnreadableRecordIsNoKeyAndIsNotOverwritten) {
    Sandbox sandbox;
    ASSERT_TRUE(Write({{"installDir", "/old/"}, {"other", "keep"}}));
    fs::permissions(RecordFile(sandbox), fs::perms::none);
    sandbox.GiveToUnprivilegedUser();
    const int result = RunInChild(
        [] {
            if (platform::OpenRecord()) {
                return 1;
            }
            return Write({{"installDir", "/new/"}}) ? 2 : 0;
        },
        /*unprivileged=*/true);
    EXPECT_EQ(result, 0);
    fs::permissions(RecordFile(sandbox), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Read("other"), "keep");
    EXPECT_EQ(Read("installDir"), "/old/");
}

TEST(UserRecord, PrivateRecordStaysPrivate) {
    Sandbox sandbox;
    ASSERT_TRUE(Write({{"installDir", "/old/"}}));
    fs::permissions(RecordFile(sandbox), fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(Write({{"installDir", "/new/"}}));
    EXPECT_EQ(fs::status(RecordFile(sandbox)).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

// Each write stores a whole triple tagged by its writer and round, plus a key of its own.
std::vector<platform::RecordValue> Triple(const std::string& writer, int round) {
    const std::string tag = writer + "-" + std::to_string(round);
    return {{"installDir", tag}, {"Start", tag}, {"Version", tag}, {"only" + writer, tag}};
}

// Empty when the record holds one writer's whole triple, else what is wrong.
std::string CheckWhole() {
    const auto key = platform::OpenRecord();
    if (!key) {
        return "no record";
    }
    const auto dir = key->ReadValue("installDir");
    if (!dir || key->ReadValue("Start") != dir || key->ReadValue("Version") != dir) {
        return "torn record";
    }
    return {};
}

TEST(UserRecord, TwoWritersNeverTearOrLoseKeys) {
    Sandbox sandbox;
    constexpr int kRounds = 150;
    ASSERT_TRUE(Write(Triple("seed", 0)));
    std::vector<pid_t> writers;
    for (const char* name : {"A", "B"}) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 1; i <= kRounds; ++i) {
                if (!platform::WriteRecord(Triple(name, i))) {
                    _exit(1);
                }
            }
            _exit(0);
        }
        writers.push_back(pid);
    }
    // Read while they write: every snapshot is one whole write.
    int reads = 0;
    for (bool running = true; running; ++reads) {
        ASSERT_EQ(CheckWhole(), "");
        running = false;
        for (pid_t& pid : writers) {
            int status = 0;
            if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                pid = 0;
            }
            running = running || pid > 0;
        }
    }
    EXPECT_GT(reads, 1);
    EXPECT_EQ(CheckWhole(), "");
    // Each writer merged over the other's result, so both own keys hold their last round.
    EXPECT_EQ(Read("onlyA"), "A-" + std::to_string(kRounds));
    EXPECT_EQ(Read("onlyB"), "B-" + std::to_string(kRounds));
    EXPECT_EQ(Read("onlyseed"), "seed-0");
    EXPECT_FALSE(HasTemporaries(sandbox));
}

TEST(UserRecord, WriterKilledMidWayLeavesAWholeRecord) {
    Sandbox sandbox;
    ASSERT_TRUE(Write(Triple("seed", 0)));
    for (int attempt = 0; attempt < 5; ++attempt) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 1;; ++i) {
                platform::WriteRecord(Triple("K", i));
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + attempt * 7));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        ASSERT_EQ(CheckWhole(), "");
    }
    // The next writer clears what a killed one left behind.
    ASSERT_TRUE(Write(Triple("after", 1)));
    EXPECT_EQ(CheckWhole(), "");
    EXPECT_FALSE(HasTemporaries(sandbox));
    EXPECT_EQ(Read("onlyseed"), "seed-0");
}

}  // namespace
