// Every coder and filter the packages may use, solid and not, extracted and compared with
// what 7zz itself extracts from the same archive.
#include <string>
#include <vector>

#include "ExtractTestSupport.h"

namespace extract_test {
namespace {

struct Method {
    const char* name;
    std::vector<std::string> switches;
    const char* listed;  // what `7zz l -slt` shows in the folder's Method line
};

void PrintTo(const Method& method, std::ostream* os) {
    *os << method.name;
}

std::string Listing(const std::string& archive) {
    TempDir dir;
    const std::string out = dir / "list.txt";
    const std::string cmd = "7zz l -slt '" + archive + "' > '" + out + "' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return ReadFile(out);
}

// A small package: code for the branch filters, text, nested folders, an empty file, an
// empty folder and an executable.
void MakePackage(const fs::path& root) {
    WriteFile(root / "client.bin", MakeData(300001, 1));
    WriteFile(root / "readme.txt", MakeData(70000, 2));
    WriteFile(root / "lib/sub/small.txt", "small\n");
    WriteFile(root / "lib/empty.dat", "");
    WriteFile(root / "start.sh", "#!/bin/sh\necho started\n", 0755);
    fs::create_directories(root / "cache");
}

class MethodTest : public testing::TestWithParam<std::tuple<Method, bool>> {};

TEST_P(MethodTest, ExtractsWhat7zzExtracts) {
    const auto& [method, solid] = GetParam();
    TempDir dir;
    MakePackage(dir.Path() / "src");
    const std::string archive = dir / "package.7z";
    std::vector<std::string> switches = method.switches;
    switches.push_back(solid ? "-ms=on" : "-ms=off");
    Make7z(archive, dir / "src", {"."}, switches);
    ASSERT_NE(Listing(archive).find(std::string("Method = ") + method.listed), std::string::npos)
        << Listing(archive);

    fs::create_directories(dir / "ours");
    const Outcome outcome = Extract(archive, dir / "ours");
    Reference7z(archive, dir / "theirs");

    EXPECT_EQ(outcome.result, 0) << outcome.log;
    EXPECT_NE(outcome.log.find("\nEverything is Ok\n"), std::string::npos) << outcome.log;
    EXPECT_EQ(TreeDifference(Tree(dir.Path() / "ours"), Tree(dir.Path() / "theirs")), "");
    EXPECT_EQ(ReadFile(dir.Path() / "ours/client.bin"), MakeData(300001, 1));
}

const Method kMethods[] = {
    {"Copy", {"-m0=Copy"}, "Copy"},
    {"LZMA", {"-m0=LZMA"}, "LZMA:"},
    {"LZMA2", {"-m0=LZMA2"}, "LZMA2:"},
    {"PPMd", {"-m0=PPMd"}, "PPMD"},
    {"BCJ", {"-m0=BCJ", "-m1=LZMA"}, "LZMA:384k BCJ"},
    {"BCJ2", {"-mf=BCJ2"}, "BCJ2"},
    {"BCJ_LZMA2", {"-m0=BCJ", "-m1=LZMA2"}, "LZMA2:384k BCJ"},
    {"ARM", {"-mf=ARM"}, "LZMA2:384k ARM"},
    {"ARMT", {"-mf=ARMT"}, "ARMT"},
    {"PPC", {"-mf=PPC"}, "PPC"},
    {"SPARC", {"-mf=SPARC"}, "SPARC"},
    {"IA64", {"-mf=IA64"}, "IA64"},
    {"Delta", {"-mf=Delta:4"}, "Delta"},
    {"Delta_LZMA", {"-m0=Delta:2", "-m1=LZMA"}, "Delta LZMA:"},
};

INSTANTIATE_TEST_SUITE_P(Methods, MethodTest,
                         testing::Combine(testing::ValuesIn(kMethods), testing::Bool()),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param).name) +
                                    (std::get<1>(p.param) ? "_solid" : "_nonsolid");
                         });

// What libarchive's reader cannot decode fails the extraction, before the entry's file is
// touched: coders and chains it does not know end with code 4; the branch filters other
// than BCJ after an LZMA (version 1) coder, and BCJ after PPMd, lose the last bytes of the
// folder in libarchive 3.6 and end as corrupt data, code 1.
struct Limitation {
    Method method;
    const char* closing;
};

void PrintTo(const Limitation& limitation, std::ostream* os) {
    *os << limitation.method.name;
}

class LimitationTest : public testing::TestWithParam<Limitation> {};

TEST_P(LimitationTest, FailsWithoutWritingTheEntry) {
    const Method& method = GetParam().method;
    TempDir dir;
    MakePackage(dir.Path() / "src");
    const std::string archive = dir / "package.7z";
    Make7z(archive, dir / "src", {"client.bin"}, method.switches);
    ASSERT_NE(Listing(archive).find(method.listed), std::string::npos) << Listing(archive);

    fs::create_directories(dir / "out");
    const Outcome outcome = Extract(archive, dir / "out");
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(LogBody(outcome.log), std::string("Extracting client.bin") + GetParam().closing);
    EXPECT_FALSE(fs::exists(dir.Path() / "out/client.bin"));
}

constexpr const char* kUnsupported = "\nERROR: decoder doesn't support this archive\n";
constexpr const char* kCorrupt = "\nERROR #1\n";

const Limitation kLimitations[] = {
    {{"ARM64", {"-mf=ARM64"}, "ARM64"}, kUnsupported},
    {{"RISCV", {"-mf=RISCV"}, "RISCV"}, kUnsupported},
    {{"Deflate64", {"-m0=Deflate64"}, "Deflate64"}, kUnsupported},
    {{"ARM_over_Copy", {"-m0=ARM", "-m1=Copy"}, "Copy ARM"}, kUnsupported},
    {{"ARM_over_PPMd", {"-m0=ARM", "-m1=PPMd"}, "PPMD ARM"}, kUnsupported},
    {{"Delta_over_PPMd", {"-m0=Delta:4", "-m1=PPMd"}, "Delta PPMD"}, kUnsupported},
    {{"three_coders", {"-m0=BCJ", "-m1=Delta:4", "-m2=LZMA2"}, "BCJ"}, kUnsupported},
    {{"encrypted", {"-pSecret"}, "7zAES"}, kUnsupported},
    {{"ARM_over_LZMA", {"-m0=ARM", "-m1=LZMA"}, "LZMA:384k ARM"}, kCorrupt},
    {{"SPARC_over_LZMA", {"-m0=SPARC", "-m1=LZMA"}, "LZMA:384k SPARC"}, kCorrupt},
    {{"BCJ_over_PPMd", {"-m0=BCJ", "-m1=PPMd"}, "PPMD BCJ"}, kCorrupt},
};

INSTANTIATE_TEST_SUITE_P(Methods, LimitationTest, testing::ValuesIn(kLimitations),
                         [](const auto& p) { return std::string(p.param.method.name); });

}  // namespace
}  // namespace extract_test
