// Where entries land: folders made along entry names, files replaced, attributes, and names
// or links that would lead outside the output folder.
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "ExtractTestSupport.h"

namespace extract_test {
namespace {

std::string OpenFailure(const std::string& shownName) {
    return "Extracting " + shownName + "\nERROR: can not open output file\n\nERROR #11\n";
}

class PathsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.Path().empty());
        fs::create_directories(src);
        fs::create_directories(out);
    }
    // An archive of `inputs` under src/, in the order given.
    std::string Archive(const std::vector<std::string>& inputs,
                        const std::vector<std::string>& switches = {}) {
        const std::string archive = dir / "package.7z";
        fs::remove(archive);
        Make7z(archive, src, inputs, switches);
        return archive;
    }

    TempDir dir;
    const fs::path src = dir.Path() / "src";
    const fs::path out = dir.Path() / "out";
};

TEST_F(PathsTest, NestedNameCreatesEveryLevel) {
    WriteFile(src / "a/b/c.txt", "deep\n");
    const Outcome outcome = Extract(Archive({"a/b/c.txt"}), out);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(LogBody(outcome.log), "Extracting a/b/c.txt\n\nEverything is Ok\n");
    EXPECT_TRUE(fs::is_directory(out / "a"));
    EXPECT_TRUE(fs::is_directory(out / "a/b"));
    EXPECT_EQ(ReadFile(out / "a/b/c.txt"), "deep\n");
}

TEST_F(PathsTest, OutputFolderWithOrWithoutFinalSlash) {
    WriteFile(src / "f.txt", "x");
    const std::string archive = Archive({"f.txt"});
    EXPECT_EQ(Extract(archive, out.string() + "/").result, 0);
    EXPECT_EQ(Extract(archive, out.string() + "//").result, 0);
    EXPECT_EQ(ReadFile(out / "f.txt"), "x");
}

TEST_F(PathsTest, ExistingFoldersAndFilesAreTakenOver) {
    WriteFile(src / "data/x.txt", "fresh content\n");
    const std::string archive = Archive({"data"});
    fs::create_directories(out / "data");

    const Outcome first = Extract(archive, out);
    EXPECT_EQ(first.result, 0) << first.log;
    EXPECT_EQ(LogBody(first.log), "Extracting data/\nExtracting data/x.txt\n\nEverything is Ok\n");

    WriteFile(out / "data/x.txt", "a longer text that the second run has to cut back\n");
    const Outcome second = Extract(archive, out);
    EXPECT_EQ(second.result, 0) << second.log;
    EXPECT_EQ(ReadFile(out / "data/x.txt"), "fresh content\n");
}

// Permission bits stored by 7zz are applied, at most 0777; folders get none.
TEST_F(PathsTest, AppliesStoredPermissions) {
    const std::pair<const char*, mode_t> files[] = {
        {"run.sh", 0755},      {"secret.key", 0600},  {"readonly.txt", 0444},
        {"setuid.bin", 04755}, {"setgid.bin", 02750}, {"plain.txt", 0644},
    };
    std::vector<std::string> inputs;
    for (const auto& [name, mode] : files) {
        WriteFile(src / name, name, mode);
        inputs.push_back(name);
    }
    fs::create_directories(src / "private");
    ::chmod((src / "private").c_str(), 0700);
    inputs.push_back("private");

    const Outcome outcome = Extract(Archive(inputs), out);
    ASSERT_EQ(outcome.result, 0) << outcome.log;
    for (const auto& [name, mode] : files) {
        EXPECT_EQ(Permissions(out / name), mode & 0777) << name;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(Permissions(out / "private"), 0755 & ~mask);
}

TEST_F(PathsTest, BackslashIsAnOrdinaryCharacter) {
    WriteFile(src / "bin\\tool.txt", "one file\n");
    const Outcome outcome = Extract(Archive({"bin\\tool.txt"}), out);
    EXPECT_EQ(outcome.result, 0) << outcome.log;
    EXPECT_EQ(LogBody(outcome.log), "Extracting bin\\tool.txt\n\nEverything is Ok\n");
    const auto tree = Tree(out);
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_EQ(tree.begin()->first, "bin\\tool.txt");
}

TEST_F(PathsTest, NamesOutsideAsciiKeepTheirCharacters) {
    WriteFile(src / "文档/说明.txt", "内容\n");
    const Outcome outcome = Extract(Archive({"文档"}), out);
    EXPECT_EQ(outcome.result, 0) << outcome.log;
    EXPECT_EQ(LogBody(outcome.log),
              "Extracting 文档/\nExtracting 文档/说明.txt\n\nEverything is Ok\n");
    EXPECT_EQ(ReadFile(out / "文档/说明.txt"), "内容\n");
}

// A name that climbs out of the output folder or is absolute fails like an output file that
// cannot be created, and nothing appears outside; what came before it stays extracted.
class EscapingNameTest : public PathsTest, public testing::WithParamInterface<const char*> {};

TEST_P(EscapingNameTest, FailsWithoutWritingOutside) {
    WriteFile(src / "a_first.txt", "first\n");
    WriteFile(src / "z_escape.txt", "escaped\n");
    const std::string archive = Archive({"a_first.txt", "z_escape.txt"});
    std::string name = GetParam();
    if (name.front() == '/') {
        name = (dir.Path() / "abs/escaped.txt").string();
    }
    Rename7z(archive, "z_escape.txt", name);
    fs::create_directories(out / "deep");

    const Outcome outcome = Extract(archive, out / "deep");
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(LogBody(outcome.log), "Extracting a_first.txt\n" + OpenFailure(name));
    EXPECT_EQ(ReadFile(out / "deep/a_first.txt"), "first\n");
    for (const auto& [path, desc] : Tree(dir.Path())) {
        if (!path.starts_with("src") && path != "package.7z") {
            EXPECT_EQ(desc.find("escaped"), std::string::npos) << path;
        }
    }
    EXPECT_FALSE(fs::exists(dir.Path() / "abs"));
}

INSTANTIATE_TEST_SUITE_P(Names, EscapingNameTest,
                         testing::Values("../evil.txt", "../../evil.txt", "a/../../evil.txt",
                                         "./../evil.txt", "a/b/../../../evil.txt", "/absolute"));

TEST_F(PathsTest, EscapingFolderEntryFails) {
    fs::create_directories(src / "dir");
    const std::string archive = Archive({"dir"});
    Rename7z(archive, "dir", "../outside");
    const Outcome outcome = Extract(archive, out);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(LogBody(outcome.log), OpenFailure("../outside/"));
    EXPECT_FALSE(fs::exists(dir.Path() / "outside"));
}

// No entry makes a symbolic link: a link stored with -snl fails the extraction.
TEST_F(PathsTest, LinkEntryFails) {
    WriteFile(src / "before.txt", "before\n");
    fs::create_symlink("/etc/passwd", src / "link");
    const Outcome outcome = Extract(Archive({"before.txt", "link"}, {"-snl"}), out);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(LogBody(outcome.log), "Extracting before.txt\n" + OpenFailure("link"));
    EXPECT_TRUE(fs::exists(out / "before.txt"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(out / "link")));
}

// A link standing where a file goes is replaced by the file; its target is left alone.
TEST_F(PathsTest, LinkAtTargetPathIsReplacedNotFollowed) {
    WriteFile(dir.Path() / "outside/target.txt", "original\n");
    fs::create_symlink(dir.Path() / "outside/target.txt", out / "config.txt");
    WriteFile(src / "config.txt", "from the package\n");

    const Outcome outcome = Extract(Archive({"config.txt"}), out);
    EXPECT_EQ(outcome.result, 0) << outcome.log;
    EXPECT_EQ(ReadFile(dir.Path() / "outside/target.txt"), "original\n");
    EXPECT_FALSE(fs::is_symlink(out / "config.txt"));
    EXPECT_EQ(ReadFile(out / "config.txt"), "from the package\n");
}

// A link standing where a folder of the entry's path is, is never entered.
TEST_F(PathsTest, LinkedParentFolderIsNotFollowed) {
    fs::create_directories(dir.Path() / "outside");
    fs::create_directory_symlink(dir.Path() / "outside", out / "lib");
    WriteFile(src / "lib/sub/f.txt", "payload\n");
    WriteFile(src / "lib/g.txt", "payload\n");

    const Outcome outcome = Extract(Archive({"lib/g.txt", "lib/sub/f.txt"}), out);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(LogBody(outcome.log), OpenFailure("lib/g.txt"));
    EXPECT_TRUE(fs::is_empty(dir.Path() / "outside"));
}

// Runs `body` as the unprivileged user "nobody" in a child process, since root ignores
// permission bits; returns its exit status, or -1 when the switch is impossible here.
template <typename Fn>
int RunUnprivileged(const fs::path& tree, Fn&& body) {
    if (::geteuid() == 0) {
        constexpr uid_t kNobody = 65534;
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(tree, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (::lchown(it->path().c_str(), kNobody, kNobody) != 0) {
                return -1;
            }
        }
        if (::chown(tree.c_str(), kNobody, kNobody) != 0) {
            return -1;
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 ||
                ::geteuid() == 0) {
                ::_exit(125);
            }
            ::_exit(body());
        }
        int status = 0;
        if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) == 125) {
            return -1;
        }
        return WEXITSTATUS(status);
    }
    return body();
}

// A file made read-only by the first run cannot be replaced by the second.
TEST_F(PathsTest, ReadOnlyFileFromFirstRunStopsTheSecond) {
    WriteFile(src / "a_locked.txt", "locked\n", 0444);
    WriteFile(src / "b_later.txt", "later\n");
    const std::string archive = Archive({"a_locked.txt", "b_later.txt"});
    const std::string firstLog = dir / "first.log";
    const std::string secondLog = dir / "second.log";

    const int status = RunUnprivileged(dir.Path(), [&] {
        const auto run = [&](const std::string& log) {
            std::fflush(stdout);
            const int saved = ::dup(1);
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, 1);
            ::close(fd);
            const int result = ExtractArchive(archive.c_str(), out.string(), nullptr);
            std::fflush(stdout);
            ::dup2(saved, 1);
            ::close(saved);
            return result + 1;
        };
        const int first = run(firstLog);
        fs::remove(out / "b_later.txt");
        return first * 4 + run(secondLog);
    });
    if (status < 0) {
        GTEST_SKIP() << "cannot switch to an unprivileged user to test permission bits";
    }
    EXPECT_EQ(status / 4, 1) << "first run: " << ReadFile(firstLog);
    EXPECT_EQ(status % 4, 2) << "second run: " << ReadFile(secondLog);
    EXPECT_EQ(LogBody(ReadFile(secondLog)), OpenFailure("a_locked.txt"));
    EXPECT_EQ(ReadFile(out / "a_locked.txt"), "locked\n");
    EXPECT_FALSE(fs::exists(out / "b_later.txt"));
}

}  // namespace
}  // namespace extract_test
