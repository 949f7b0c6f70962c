// The installation record under concurrent and interrupted writers: two installers writing
// it at the same moment, round after round, and an installer killed at random moments while
// it writes. Afterwards (and, for the concurrent case, at every moment in between) the record
// is one writer's complete set of values: never a mix, never torn, never unreadable.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "app/ClientRecord.h"
#include "platform/user_record.h"
#include "tests/support/Sandbox.h"

namespace {

namespace fs = std::filesystem;

// One installer's complete set of values; every value names the writer and its round.
ClientRecord Set(const std::string& writer, int round) {
    const std::string tag = writer + "-" + std::to_string(round);
    return {"/home/u/" + tag + "/orvikcloud//", "ovClient-" + tag, "1.0." + tag};
}

// The writer and round of a complete set; empty for no record, "torn" for anything else.
std::string Classify() {
    const std::optional<StoredClientRecord> stored = ReadClientRecord();
    if (!stored) {
        return "";
    }
    if (!stored->version || stored->version->rfind("1.0.", 0) != 0) {
        return "torn";
    }
    const std::string tag = stored->version->substr(4);
    const std::size_t dash = tag.rfind('-');
    const ClientRecord whole = Set(tag.substr(0, dash), std::atoi(tag.c_str() + dash + 1));
    if (stored->installDir != whole.installDir || stored->startName != whole.startName) {
        return "torn";
    }
    return tag;
}

int Temporaries(const orvik::test::Sandbox& sandbox) {
    int count = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(sandbox.ConfigHome() / "Orvik", ec)) {
        count += entry.path().filename().string().rfind(".RizurUR.conf.tmp-", 0) == 0;
    }
    return count;
}

int Reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

TEST(RecordFaults, TwoInstallersWritingAtOnce) {
    orvik::test::Sandbox sandbox;
    constexpr int kRounds = 100;
    int snapshots = 0, mixed = 0, empty = 0;
    std::map<std::string, int> lastWriter;
    for (int round = 0; round < kRounds; ++round) {
        // Both writers wait on one pipe and start when it closes.
        int gate[2];
        ASSERT_EQ(pipe(gate), 0);
        pid_t writers[2];
        for (int w = 0; w < 2; ++w) {
            writers[w] = fork();
            ASSERT_GE(writers[w], 0);
            if (writers[w] == 0) {
                close(gate[1]);
                char byte;
                while (read(gate[0], &byte, 1) < 0 && errno == EINTR) {
                }
                _exit(WriteClientRecord(Set(w == 0 ? "A" : "B", round)) ? 0 : 1);
            }
        }
        close(gate[0]);
        close(gate[1]);
        // Read while they write: every snapshot is a whole set.
        for (bool running = true; running;) {
            const std::string tag = Classify();
            ++snapshots;
            mixed += tag == "torn";
            empty += round > 0 && tag.empty();
            running = false;
            for (pid_t& pid : writers) {
                int status = 0;
                if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid) {
                    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed";
                    pid = 0;
                }
                running = running || pid > 0;
            }
        }
        const std::string tag = Classify();
        ASSERT_TRUE(tag == "A-" + std::to_string(round) || tag == "B-" + std::to_string(round))
            << "round " << round << ": " << tag;
        ++lastWriter[tag.substr(0, 1)];
    }
    std::printf(
        "concurrent: %d rounds of 2 installers at once, %d snapshots read meanwhile, "
        "%d mixed, %d missing; last writer A %d times, B %d times\n",
        kRounds, snapshots, mixed, empty, lastWriter["A"], lastWriter["B"]);
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(empty, 0);
    EXPECT_EQ(Temporaries(sandbox), 0);
}

TEST(RecordFaults, InstallerKilledWhileWritingTheRecord) {
    orvik::test::Sandbox sandbox;
    constexpr int kKills = 200;
    // Kills land anywhere from before the first write to several writes in.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(WriteClientRecord(Set("old", 0)));
    }
    const auto window =
        4 * (std::chrono::steady_clock::now() - start) / 5 + std::chrono::milliseconds(2);
    const auto windowUs = std::chrono::duration_cast<std::chrono::microseconds>(window).count();
    std::mt19937 random(4711);
    int torn = 0, killedMidWrite = 0, changed = 0;
    std::string previous = "old-0";
    for (int run = 0; run < kKills; ++run) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Alternating complete sets, as fast as the record takes them.
            for (int i = 0;; ++i) {
                WriteClientRecord(Set(i % 2 == 0 ? "even" : "odd", run));
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % windowUs));
        kill(pid, SIGKILL);
        const int status = Reap(pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        killedMidWrite += Temporaries(sandbox) > 0;
        const std::string tag = Classify();
        const bool whole = tag == previous || tag == "even-" + std::to_string(run) ||
                           tag == "odd-" + std::to_string(run);
        torn += !whole;
        EXPECT_TRUE(whole) << "run " << run << ": " << (tag.empty() ? "no record" : tag);
        changed += tag != previous;
        previous = tag;
    }
    // The lock died with the writer, and the next writer clears what it left.
    ASSERT_TRUE(WriteClientRecord(Set("after", 0)));
    EXPECT_EQ(Classify(), "after-0");
    EXPECT_EQ(Temporaries(sandbox), 0);
    std::printf(
        "faults: %d kills during record write (at up to %.1f ms), %d torn records; the "
        "record moved on in %d runs, %d kills left a half-written temporary (cleared "
        "by the next write)\n",
        kKills, static_cast<double>(windowUs) / 1000.0, torn, changed, killedMidWrite);
    EXPECT_EQ(torn, 0);
    // Both kinds of moment were hit: before a write took its name, and after.
    EXPECT_GT(changed, kKills / 10);
    EXPECT_GT(killedMidWrite, kKills / 10);
}

}  // namespace
