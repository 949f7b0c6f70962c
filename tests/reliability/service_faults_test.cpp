// Faults of the update service and of the package server, through the product's own client:
// the service down, stalling, answering an error status or garbage, and a package download
// that breaks off or stalls. Each case prints what happened and how long it took.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "service/Crc32.h"
#include "service/Download.h"
#include "service/HttpClient.h"
#include "service/PackageQuery.h"
#include "tests/support/Sandbox.h"
#include "tests/support/loopback_server.h"
#include "tests/support/service_process.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using test_support::HttpAnswer;
using test_support::HttpRequest;
using test_support::LoopbackServer;
using test_support::UpdateServiceProcess;

constexpr const char* kMac = "02-aa-00-00-00-01";
const HttpTimeouts kShortTimeouts{std::chrono::milliseconds(1000), std::chrono::seconds(1)};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The start-up check's package query over one client, with each query's result and time.
struct Sequence {
    int results[2] = {-1, -1};
    double seconds[2] = {0, 0};
    UpdateInfo client{"stale", "stale", 1};
    UpdateInfo updater{"stale", "stale", 2};
};

Sequence RunSequence(CHttpClient& client) {
    Sequence s;
    int call = 0;
    QueryPackages(
        [&](const UpdateRequest& request, UpdateResponse* response) {
            const auto start = Clock::now();
            s.results[call] = client.PostUpdateRequest(request, response);
            s.seconds[call] = SecondsSince(start);
            ++call;
        },
        kMac, &s.client, &s.updater);
    return s;
}

bool Empty(const UpdateInfo& info) {
    return info.version.empty() && info.down_url.empty() && info.crc == 0;
}

struct ServiceFault {
    const char* name;
    std::vector<std::string> switches;  // of the development service; empty: nothing listens
    int result;                         // of each query
    double slowest;                     // seconds a query may take
};

void PrintTo(const ServiceFault& fault, std::ostream* out) {
    *out << fault.name;
}

class QueryFaults : public testing::TestWithParam<ServiceFault> {};

// Whatever the service does, the records come out as the query sequence defines them (here
// both empty, since no answer carries a field) within the time-outs, and the install that
// follows fails at its first download, as a failed query is meant to end.
TEST_P(QueryFaults, RecordsAndTimeAsDesigned) {
    const ServiceFault& fault = GetParam();
    std::unique_ptr<UpdateServiceProcess> service;
    std::string url =
        "http://127.0.0.1:" + std::to_string(test_support::UnusedLoopbackPort()) + "/UpdateRequest";
    if (!fault.switches.empty()) {
        service = std::make_unique<UpdateServiceProcess>(fault.switches);
        ASSERT_TRUE(service->Running());
        url = service->Url("/UpdateRequest");
    }
    CHttpClient client(url, kShortTimeouts);
    const Sequence s = RunSequence(client);
    std::printf("%s: results %d, %d after %.2f s and %.2f s\n", fault.name, s.results[0],
                s.results[1], s.seconds[0], s.seconds[1]);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(s.results[i], fault.result) << "query " << i;
        EXPECT_LT(s.seconds[i], fault.slowest) << "query " << i;
    }
    EXPECT_TRUE(Empty(s.client));
    EXPECT_TRUE(Empty(s.updater));

    orvik::test::Sandbox sandbox;
    const fs::path package = sandbox.Root() / "cloudpc.7z";
    EXPECT_FALSE(DownloadPackage(s.client.down_url, package.string(), nullptr));
    EXPECT_FALSE(fs::exists(package));
}

INSTANTIATE_TEST_SUITE_P(Service, QueryFaults,
                         testing::Values(ServiceFault{"refused", {}, 1, 3.0},
                                         // libcurl judges the speed over a window of a few seconds.
                                         ServiceFault{"stall", {"--stall-query"}, 2, 15.0},
                                         ServiceFault{
                                             "status 500", {"--fail-status", "500"}, 0, 3.0},
                                         ServiceFault{"empty body", {"--empty-body"}, 0, 3.0}),
                         [](const testing::TestParamInfo<ServiceFault>& param) {
                             std::string name;
                             for (const char c : std::string(param.param.name)) {
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

// An answer made of random bytes, in the shapes a broken or hostile peer sends.
struct Garbage {
    std::string bytes;
    std::string body;    // of a whole 2xx answer that fits the client's buffer
    bool whole = false;  // a complete answer of at most 1024 bytes: must parse
};

Garbage MakeGarbage(std::mt19937& random) {
    const auto bytes = [&](std::size_t count) {
        std::string s(count, '\0');
        for (char& c : s) {
            c = static_cast<char>(random() & 0xFF);
        }
        return s;
    };
    Garbage g;
    switch (random() % 5) {
        case 0:  // not HTTP at all
            g.bytes = bytes(1 + random() % 600);
            break;
        case 1:  // a whole answer with a random body
            g.body = bytes(random() % 1025);
            g.bytes = HttpAnswer(200, g.body);
            g.whole = true;
            break;
        case 2: {  // an error status with a random body
            const int statuses[] = {301, 404, 500, 503};
            g.bytes = HttpAnswer(statuses[random() % 4], bytes(random() % 800));
            break;
        }
        case 3: {  // a body shorter than its declared length, then the peer closes
            const std::string answer = HttpAnswer(200, bytes(64 + random() % 800));
            g.bytes = answer.substr(0, answer.size() - 1 - random() % 60);
            break;
        }
        default:  // a status line followed by random header bytes
            g.bytes = "HTTP/1.0 200 OK\r\n" + bytes(random() % 400) + "\r\n\r\n" + bytes(100);
            break;
    }
    return g;
}

TEST(QueryFaults, GarbageAnswersNeverCrashOrHang) {
    constexpr int kAnswers = 300;
    std::mt19937 random(20240611);
    std::vector<Garbage> answers;
    for (int i = 0; i < kAnswers; ++i) {
        answers.push_back(MakeGarbage(random));
    }
    std::mutex mutex;
    std::size_t next = 0;
    LoopbackServer server([&](const HttpRequest&) -> std::optional<std::string> {
        std::lock_guard lock(mutex);
        return answers[next++ % answers.size()].bytes;
    });
    CHttpClient client(server.Url("/UpdateRequest"), kShortTimeouts);

    int counts[3] = {0, 0, 0};
    int invalid = 0;
    double slowest = 0;
    for (int i = 0; i < kAnswers; i += 2) {
        const Sequence s = RunSequence(client);
        for (int k = 0; k < 2; ++k) {
            ASSERT_GE(s.results[k], 0);
            ASSERT_LE(s.results[k], 2);
            ++counts[s.results[k]];
            slowest = std::max(slowest, s.seconds[k]);
        }
        // A complete answer is handed to the parser; the record holds what it took.
        UpdateResponse expected;
        const Garbage& first = answers[i];
        if (first.whole) {
            EXPECT_EQ(s.results[0], 0) << "answer " << i;
            expected.ParseFromString(first.body);
            const UpdateInfo info = MakeUpdateInfo(expected);
            EXPECT_EQ(s.client.version, info.version);
            EXPECT_EQ(s.client.down_url, info.down_url);
            EXPECT_EQ(s.client.crc, info.crc);
        } else if (s.results[0] != 0) {
            EXPECT_TRUE(Empty(s.client)) << "answer " << i;
        }
        for (const UpdateInfo* info : {&s.client, &s.updater}) {
            invalid += ToValidUtf8(info->version) != info->version ||
                       ToValidUtf8(info->down_url) != info->down_url;
        }
    }
    std::printf(
        "garbage: %d answers, results 0: %d, 1: %d, 2: %d; slowest %.2f s; "
        "%d records with invalid text\n",
        kAnswers, counts[0], counts[1], counts[2], slowest, invalid);
    EXPECT_EQ(invalid, 0);
    EXPECT_EQ(counts[2], 0);  // every peer here answers or closes at once
    EXPECT_LT(slowest, 5.0);  // far below a stall's time-out, with room for a loaded machine
}

// A package on the development service, 1 MiB of random bytes.
class DownloadFaults : public testing::Test {
protected:
    static constexpr std::size_t kPackageSize = 1 << 20;

    void SetUp() override {
        std::mt19937 random(7);
        std::string bytes(kPackageSize, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random() & 0xFF);
        }
        orvik::test::WriteFileBytes(m_sandbox.Root() / "cloudpc.7z", bytes);
        m_crc = Crc32(0, bytes.data(), bytes.size());
        std::ofstream(m_sandbox.Root() / "service.json")
            << R"({"packages": {"PERSON": {"version": "1.0.0.1", "file": "cloudpc.7z"}}})";
        fs::create_directories(Target().parent_path());
    }

    std::vector<std::string> Switches(std::vector<std::string> more) const {
        more.insert(more.begin(), {"--config", (m_sandbox.Root() / "service.json").string()});
        return more;
    }

    fs::path Target() const { return m_sandbox.Root() / "install" / "cloudpc.7z"; }

    orvik::test::Sandbox m_sandbox;
    std::uint32_t m_crc = 0;
};

TEST_F(DownloadFaults, BrokenOffStalledOrMissingIsAFailure) {
    struct Case {
        const char* name;
        std::vector<std::string> switches;
        const char* file;
        bool leavesFile;
    };
    const Case cases[] = {
        {"cut", {"--cut-download-after", "65536"}, "cloudpc.7z", true},
        {"stall", {"--stall-download-after", "65536"}, "cloudpc.7z", true},
        {"missing", {}, "nothing.7z", false},
    };
    DownloadOptions options;
    options.connectTimeout = std::chrono::milliseconds(1000);
    options.stallTimeout = std::chrono::seconds(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(Target());
        UpdateServiceProcess service(Switches(c.switches));
        ASSERT_TRUE(service.Running());
        const auto start = Clock::now();
        const bool ok = DownloadPackage(service.Url(std::string("/packages/") + c.file),
                                        Target().string(), nullptr, options);
        const double seconds = SecondsSince(start);
        const auto left = fs::exists(Target()) ? fs::file_size(Target()) : 0;
        std::printf("download %s: %s after %.2f s, %ju of %zu bytes left on disk\n", c.name,
                    ok ? "success" : "failure", seconds, static_cast<std::uintmax_t>(left),
                    kPackageSize);
        EXPECT_FALSE(ok);
        EXPECT_LT(seconds, 15.0);
        EXPECT_EQ(fs::exists(Target()), c.leavesFile);
        EXPECT_LT(left, kPackageSize);
        // What is left never passes the check that comes next.
        EXPECT_FALSE(VerifyPackage(Target().string(), m_crc));
    }
    // The same service without the fault delivers the whole package.
    UpdateServiceProcess service(Switches({}));
    ASSERT_TRUE(service.Running());
    EXPECT_TRUE(
        DownloadPackage(service.Url("/packages/cloudpc.7z"), Target().string(), nullptr, options));
    EXPECT_TRUE(VerifyPackage(Target().string(), m_crc));
}

}  // namespace
