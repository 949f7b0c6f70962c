#include "app/RunningClient.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <set>

#include "tests/support/ChildProcess.h"
#include "tests/support/Sandbox.h"

namespace {
using orvik::test::NamedProcess;
using orvik::test::RunInChild;
using orvik::test::Sandbox;

// The machine's real process list, narrowed to the processes this test started, so that
// clients of tests running in parallel are neither asked about nor killed.
std::vector<platform::ProcessEntry> Ours(const std::set<int>& pids) {
    std::vector<platform::ProcessEntry> list = platform::ListProcesses();
    std::erase_if(list, [&](const auto& p) { return !pids.contains(p.pid); });
    return list;
}

struct WalkCase {
    const char* label;
    int clients;               // processes named "ovClient.exe"
    std::vector<int> answers;  // dialog results, in the order asked
    int result;
    int asked;
    int killed;  // the first `killed` clients (in pid order) end
};

void PrintTo(const WalkCase& c, std::ostream* out) {
    *out << c.label;
}

class RunningClient : public testing::TestWithParam<WalkCase> {};

INSTANTIATE_TEST_SUITE_P(Cases, RunningClient,
                         testing::Values(WalkCase{"noClient", 0, {}, 1, 0, 0},
                                         WalkCase{"oneConfirmed", 1, {1}, 1, 1, 1},
                                         WalkCase{"oneRefused", 1, {2}, 0, 1, 0},
                                         WalkCase{"twoConfirmed", 2, {1, 1}, 1, 2, 2},
                                         WalkCase{"confirmThenRefuse", 2, {1, 2}, 0, 2, 1},
                                         WalkCase{"refuseFirstStopsTheWalk", 2, {2}, 0, 1, 0}),
                         [](const auto& p) { return std::string(p.param.label); });

TEST_P(RunningClient, AsksOncePerClientAndStopsAtARefusal) {
    const WalkCase& c = GetParam();
    Sandbox sandbox;
    std::vector<std::unique_ptr<NamedProcess>> clients;
    std::set<int> pids;
    for (int i = 0; i < c.clients; ++i) {
        // One folder each: the folder a client runs from does not matter.
        clients.push_back(std::make_unique<NamedProcess>(
            sandbox.Root() / ("install" + std::to_string(i)), "ovClient.exe"));
        pids.insert(clients.back()->Pid());
    }
    std::sort(clients.begin(), clients.end(),
              [](const auto& a, const auto& b) { return a->Pid() < b->Pid(); });
    // Other letter case and a longer name are other programs.
    NamedProcess upper(sandbox.Root(), "OVCLIENT.EXE");
    NamedProcess longer(sandbox.Root(), "ovClient.exe2");
    pids.insert(upper.Pid());
    pids.insert(longer.Pid());

    int asked = 0;
    const int result = CloseClientProcesses(Ours(pids), [&] {
        const int answer = asked < static_cast<int>(c.answers.size()) ? c.answers[asked] : 2;
        ++asked;
        return answer;
    });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(asked, c.asked);
    // A terminated client has already ended when the walk returns: its files can be replaced.
    for (int i = 0; i < c.killed; ++i) {
        EXPECT_FALSE(clients[i]->Alive()) << "client " << i << " still runs after the walk";
    }
    for (int i = 0; i < c.clients; ++i) {
        if (i < c.killed) {
            EXPECT_TRUE(clients[i]->WaitKilled()) << "client " << i;
        } else {
            EXPECT_TRUE(clients[i]->Alive()) << "client " << i;
        }
    }
    EXPECT_TRUE(upper.Alive());
    EXPECT_TRUE(longer.Alive());
}

TEST(RunningClientSelf, TheCallingProcessIsNeverMatched) {
    const int result = RunInChild([] {
        prctl(PR_SET_NAME, "ovClient.exe");
        int asked = 0;
        const int walk = CloseClientProcesses(Ours({static_cast<int>(getpid())}), [&] {
            ++asked;
            return 1;
        });
        return walk == 1 && asked == 0 ? 0 : 1;  // and still alive to say so
    });
    EXPECT_EQ(result, 0);
}

TEST(RunningClientSelf, ClientThatCannotBeTerminatedIsPassedOver) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs a client of another user: run as root";
    }
    Sandbox sandbox;
    NamedProcess client(sandbox.Root(), "ovClient.exe");
    const auto list = Ours({client.Pid()});
    ASSERT_EQ(list.size(), 1U);
    const int result = RunInChild(
        [&] {
            int asked = 0;
            const int walk = CloseClientProcesses(list, [&] {
                ++asked;
                return 1;
            });
            return walk == 1 && asked == 1 ? 0 : 1;
        },
        /*unprivileged=*/true);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(client.Alive());
}

}  // namespace
