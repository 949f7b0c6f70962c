// The extraction's own 7z reader: which archives it takes, that it reads every entry as
// libarchive's reader does, and the parallel decoding of LZMA2 streams the encoder wrote in
// independent blocks (cut points, order, memory budget, damage in a later block).
#include <fcntl.h>

#include <string>
#include <vector>

#include "ExtractTestSupport.h"
#include "extract/ArchiveReader.h"
#include "extract/ExtractResult.h"
#include "extract/Lzma2Segments.h"
#include "extract/ParallelDecoder.h"
#include "extract/SevenZipDatabase.h"
#include "extract/SevenZipReader.h"
#include "extract/UniqueFd.h"
#include "extract/Utf8Locale.h"

namespace extract_test {
namespace {

using namespace extract;

UniqueFd OpenArchive(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

struct ReadEntry {
    std::string name;
    mode_t mode = 0;
    bool folder = false;
    std::string data;
    bool operator==(const ReadEntry&) const = default;
};

std::ostream& operator<<(std::ostream& os, const ReadEntry& e) {
    return os << e.name << " mode " << std::oct << e.mode << std::dec << (e.folder ? " folder" : "")
              << " " << e.data.size() << " bytes";
}

// Every entry with its data, or the first result code that is not kResultOk.
int ReadAll(EntrySource& source, std::vector<ReadEntry>& entries) {
    for (;;) {
        Entry entry;
        bool end = false;
        int r = source.NextEntry(entry, end);
        if (r != kResultOk || end) {
            return r;
        }
        ReadEntry read{entry.name, entry.mode, entry.folder, {}};
        for (bool last = entry.folder; !last;) {
            const void* data = nullptr;
            std::size_t size = 0;
            r = source.ReadBlock(data, size, last);
            if (r != kResultOk) {
                return r;
            }
            read.data.append(static_cast<const char*>(data), size);
        }
        entries.push_back(std::move(read));
    }
}

struct Taken {
    const char* name;
    std::vector<std::string> switches;
    bool taken;
    FolderMethod method;
};

void PrintTo(const Taken& taken, std::ostream* os) {
    *os << taken.name;
}

class ReaderTest : public testing::TestWithParam<Taken> {
protected:
    void SetUp() override {
        const fs::path src = dir.Path() / "src";
        WriteFile(src / "client.bin", MakeData(300001, 1));
        WriteFile(src / "readme.txt", MakeData(70000, 2));
        WriteFile(src / "lib/sub/small.txt", "small\n");
        WriteFile(src / "lib/empty.dat", "");
        WriteFile(src / "start.sh", "#!/bin/sh\necho started\n", 0755);
        WriteFile(src / "readonly.txt", "keep\n", 0444);
        WriteFile(src / "文档/说明.txt", "中文\n");
        fs::create_directories(src / "cache");
    }
    TempDir dir;
};

// The archive is taken, or left to libarchive, by its coders; what is taken reads exactly as
// libarchive reads it: names, types, permissions, folders and data.
TEST_P(ReaderTest, TakesItsMethodsAndReadsAsLibarchiveDoes) {
    const std::string archive = dir / "package.7z";
    std::vector<std::string> switches = GetParam().switches;
    Make7z(archive, dir / "src", {"."}, switches);
    const UniqueFd fd = OpenArchive(archive);
    SevenZipDatabase database;
    ASSERT_EQ(ReadSevenZipDatabase(fd.Get(), database), GetParam().taken);
    if (!GetParam().taken) {
        return;
    }
    ASSERT_FALSE(database.folders.empty());
    for (const SevenZipFolder& folder : database.folders) {
        EXPECT_EQ(folder.method, GetParam().method);
    }
    const ScopedUtf8Locale utf8;
    SevenZipReader ours(fd.Get(), std::move(database));
    ASSERT_EQ(ours.Open(), kResultOk);
    std::vector<ReadEntry> ourEntries;
    ASSERT_EQ(ReadAll(ours, ourEntries), kResultOk);

    ArchiveReader theirs(fd.Get());
    ASSERT_EQ(theirs.Open(), kResultOk);
    std::vector<ReadEntry> theirEntries;
    ASSERT_EQ(ReadAll(theirs, theirEntries), kResultOk);
    EXPECT_EQ(ourEntries, theirEntries);
    EXPECT_EQ(ourEntries.size(), 11u);
}

const Taken kTaken[] = {
    {"LZMA2_solid", {"-m0=LZMA2", "-ms=on"}, true, FolderMethod::Lzma2},
    {"LZMA2_nonsolid", {"-m0=LZMA2", "-ms=off"}, true, FolderMethod::Lzma2},
    {"LZMA", {"-m0=LZMA"}, true, FolderMethod::Lzma},
    {"Copy", {"-m0=Copy"}, true, FolderMethod::Copy},
    {"BCJ_LZMA2", {"-m0=BCJ", "-m1=LZMA2"}, true, FolderMethod::BcjLzma2},
    {"BCJ_LZMA", {"-m0=BCJ", "-m1=LZMA"}, true, FolderMethod::BcjLzma},
    {"header_not_compressed", {"-m0=LZMA2", "-mhc=off"}, true, FolderMethod::Lzma2},
    {"PPMd", {"-m0=PPMd"}, false, FolderMethod::Copy},
    {"BCJ2", {"-mf=BCJ2"}, false, FolderMethod::Copy},
    {"ARM", {"-mf=ARM"}, false, FolderMethod::Copy},
    {"encrypted_header", {"-pSecret", "-mhe=on"}, false, FolderMethod::Copy},
};

INSTANTIATE_TEST_SUITE_P(Archives, ReaderTest, testing::ValuesIn(kTaken),
                         [](const auto& p) { return std::string(p.param.name); });

// An LZMA2 stream written by two encoder threads in blocks of 1 MB (4 x the dictionary).
class BlocksTest : public testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir.Path() / "src/a.txt", MakeData(kSize, 3));
        WriteFile(dir.Path() / "src/b.txt", MakeData(kSize, 4));
        Make7z(archive, dir / "src", {"a.txt", "b.txt"},
               {"-m0=LZMA2:d=256k", "-mx=1", "-mmt=2", "-ms=on"});
        fd = OpenArchive(archive);
        ASSERT_TRUE(ReadSevenZipDatabase(fd.Get(), database));
        ASSERT_EQ(database.folders.size(), 1u);
    }

    // The whole folder's output, decoded with `limits`.
    int DecodeAll(const std::vector<DecodeJob>& jobs, const ParallelDecoder::Limits& limits,
                  std::string& out) {
        ParallelDecoder decoder(fd.Get(), jobs, limits);
        int r = decoder.Start();
        for (bool end = false; r == kResultOk && !end;) {
            const unsigned char* data = nullptr;
            std::size_t size = 0;
            r = decoder.Read(data, size, end);
            out.append(reinterpret_cast<const char*>(data), size);
        }
        return r;
    }

    static constexpr std::size_t kSize = 5 << 20;
    TempDir dir;
    const std::string archive = dir / "blocks.7z";
    UniqueFd fd;
    SevenZipDatabase database;
};

TEST_F(BlocksTest, CutsAtEveryBlockAndDecodesInOrderWithinAnyBudget) {
    const SevenZipFolder& folder = database.folders[0];
    const std::vector<DecodeJob> jobs = SplitLzma2(fd.Get(), folder, 1);
    ASSERT_GE(jobs.size(), 8u);
    std::uint64_t packed = folder.packOffset;
    std::uint64_t unpacked = 0;
    for (const DecodeJob& job : jobs) {
        EXPECT_EQ(job.packOffset, packed);
        packed += job.packSize;
        unpacked += job.unpackSize;
    }
    EXPECT_EQ(packed, folder.packOffset + folder.packSize);
    EXPECT_EQ(unpacked, folder.unpackSize);
    // Runs of at least 3 MB: fewer jobs, still adding up.
    EXPECT_LE(SplitLzma2(fd.Get(), folder, 3 << 20).size(), 4u);

    const std::string expected = MakeData(kSize, 3) + MakeData(kSize, 4);
    struct Case {
        unsigned threads;
        std::size_t block, budget, ahead;
    };
    for (const Case c : {Case{1, 1 << 20, 24 << 20, 4 << 20}, Case{4, 1 << 20, 24 << 20, 4 << 20},
                         Case{3, 4096, 4096, 4096}, Case{2, 100000, 0, 100000}}) {
        std::string out;
        ParallelDecoder::Limits limits{c.threads, c.block, c.budget, c.ahead};
        EXPECT_EQ(DecodeAll(jobs, limits, out), kResultOk) << c.threads << " threads";
        EXPECT_TRUE(out == expected) << c.threads << " threads, budget " << c.budget;
    }
}

TEST_F(BlocksTest, DamageInALaterBlockComesAfterTheDataBeforeIt) {
    const std::vector<DecodeJob> jobs = SplitLzma2(fd.Get(), database.folders[0], 1);
    ASSERT_GE(jobs.size(), 8u);
    const DecodeJob& damaged = jobs[jobs.size() - 2];
    std::string bytes = ReadFile(archive);
    for (std::uint64_t i = 100; i < 400; ++i) {
        bytes[damaged.packOffset + i] = static_cast<char>(bytes[damaged.packOffset + i] ^ 0x5A);
    }
    WriteFile(archive, bytes);

    std::string out;
    EXPECT_EQ(DecodeAll(jobs, {4, 1 << 20, 24 << 20, 4 << 20}, out), kResultData);
    std::uint64_t before = 0;
    for (std::size_t i = 0; i + 2 < jobs.size(); ++i) {
        before += jobs[i].unpackSize;
    }
    ASSERT_GE(out.size(), before);
    EXPECT_TRUE(out.substr(0, before) ==
                (MakeData(kSize, 3) + MakeData(kSize, 4)).substr(0, before));

    // Through the extraction: the first file is whole, the damaged one is not left behind.
    fs::create_directories(dir / "out");
    const Outcome outcome = Extract(archive, dir / "out");
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(LogBody(outcome.log), "Extracting a.txt\nExtracting b.txt\nERROR #1\n");
    EXPECT_TRUE(ReadFile(dir.Path() / "out/a.txt") == MakeData(kSize, 3));
    EXPECT_FALSE(fs::exists(dir.Path() / "out/b.txt"));
}

TEST_F(BlocksTest, StoppingWhileWorkersWaitForTheConsumer) {
    const std::vector<DecodeJob> jobs = SplitLzma2(fd.Get(), database.folders[0], 1);
    ParallelDecoder decoder(fd.Get(), jobs, {4, 4096, 4096, 4096});
    ASSERT_EQ(decoder.Start(), kResultOk);
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    bool end = false;
    ASSERT_EQ(decoder.Read(data, size, end), kResultOk);
    EXPECT_EQ(size, 4096u);
    // The destructor stops the workers blocked on the budget.
}

}  // namespace
}  // namespace extract_test
