// The package query sequence: what it asks, how the answers fill the records, and what the
// records hold when a query fails, against the development update service.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "service/HttpClient.h"
#include "service/PackageQuery.h"
#include "tests/support/loopback_server.h"
#include "tests/support/service_process.h"

namespace {

namespace fs = std::filesystem;
using test_support::HttpAnswer;
using test_support::HttpRequest;
using test_support::LoopbackServer;
using test_support::UpdateServiceProcess;

const char* kMac = "02-aa-00-00-00-01";

TEST(QueryPackages, AsksPersonThenUpdateWithOneUnclearedResponse) {
    std::vector<UpdateRequest> asked;
    std::vector<const UpdateResponse*> responses;
    int call = 0;
    const auto query = [&](const UpdateRequest& request, UpdateResponse* response) {
        asked.push_back(request);
        responses.push_back(response);
        // The second query sees what the first left in the response.
        if (call++ == 0) {
            response->set_version("1.0");
            response->set_down_url("http://127.0.0.1/a");
            response->set_crc(-1);
        } else {
            EXPECT_EQ(response->version(), "1.0");
            response->set_version("2.0");
        }
    };
    UpdateInfo client, updater;
    QueryPackages(query, kMac, &client, &updater);

    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(responses[0], responses[1]);
    EXPECT_EQ(asked[0].product(), UpdateRequest::PERSON);
    EXPECT_EQ(asked[1].product(), UpdateRequest::UPDATE);
    for (const auto& request : asked) {
        EXPECT_EQ(request.mac_addr(), kMac);
        EXPECT_EQ(request.version(), "0.0.0.0");
        EXPECT_EQ(request.from(), UpdateRequest::FROMCLIENT);
    }
    EXPECT_EQ(client.version, "1.0");
    EXPECT_EQ(client.crc, 0xFFFFFFFFu);
    EXPECT_EQ(updater.version, "2.0");
    EXPECT_EQ(updater.down_url, "http://127.0.0.1/a");  // left from the first answer
}

struct InfoCase {
    const char* name;
    std::string version;
    std::int64_t crc;
    std::string expectedVersion;
    std::uint32_t expectedCrc;
};

void PrintTo(const InfoCase& c, std::ostream* os) {
    *os << c.name;
}

class UpdateInfoFilling : public testing::TestWithParam<InfoCase> {};

TEST_P(UpdateInfoFilling, KeepsLow32BitsAndValidText) {
    const InfoCase& c = GetParam();
    UpdateResponse response;
    response.set_version(c.version);
    response.set_down_url(c.version);
    response.set_crc(c.crc);
    const UpdateInfo info = MakeUpdateInfo(response);
    EXPECT_EQ(info.version, c.expectedVersion);
    EXPECT_EQ(info.down_url, c.expectedVersion);
    EXPECT_EQ(info.crc, c.expectedCrc);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, UpdateInfoFilling,
    testing::Values(
        InfoCase{"AllBitsSet", "1.0", 4294967295LL, "1.0", 0xFFFFFFFFu},
        InfoCase{"MinusOne", "1.0", -1, "1.0", 0xFFFFFFFFu},
        InfoCase{"Past32Bits", "1.0", 4294967301LL, "1.0", 5u}, InfoCase{"Empty", "", 0, "", 0u},
        InfoCase{"ChineseText", "版本一", 1, "版本一", 1u},
        InfoCase{"LoneContinuationByte", "a\x80z", 1, "a\xEF\xBF\xBDz", 1u},
        InfoCase{"TruncatedSequence", "ab\xE4\xB8", 1, "ab\xEF\xBF\xBD\xEF\xBF\xBD", 1u},
        InfoCase{"OverlongSlash", "\xC0\xAF", 1, "\xEF\xBF\xBD\xEF\xBF\xBD", 1u},
        InfoCase{"Surrogate", "\xED\xA0\x80", 1, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", 1u},
        InfoCase{"FourByteKept", "\xF0\x9F\x98\x80", 1, "\xF0\x9F\x98\x80", 1u}),
    [](const auto& param) { return std::string(param.param.name); });

// Packages and a configuration for the development service in a throw-away folder.
class ServiceSequence : public testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() /
                   ("query-" + std::to_string(::getpid()) + "-" +
                    testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_folder);
        m_clientCrc = WritePackage("cloudpc.7z", std::string(3000, 'c'));
        m_updaterCrc = WritePackage("cloudupdate.7z", std::string(100, 'u'));
        std::ofstream(m_folder / "config.json")
            << R"({"packages": {"PERSON": {"version": "1.0.0.7", "file": "cloudpc.7z"},)"
            << R"( "UPDATE": {"version": "2.0.0.3", "file": "cloudupdate.7z"}}})";
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::uint32_t WritePackage(const std::string& name, const std::string& bytes) {
        std::ofstream(m_folder / name, std::ios::binary) << bytes;
        return static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()),
                                                static_cast<uInt>(bytes.size())));
    }

    std::vector<std::string> Config(std::vector<std::string> more = {}) const {
        more.insert(more.begin(), {"--config", (m_folder / "config.json").string()});
        return more;
    }

    static void Run(CHttpClient& client, UpdateInfo* clientPackage, UpdateInfo* updaterPackage) {
        QueryPackages(
            [&](const UpdateRequest& request, UpdateResponse* response) {
                client.PostUpdateRequest(request, response);
            },
            kMac, clientPackage, updaterPackage);
    }

    fs::path m_folder;
    std::uint32_t m_clientCrc = 0;
    std::uint32_t m_updaterCrc = 0;
};

TEST_F(ServiceSequence, BothRecordsFromTheService) {
    UpdateServiceProcess service(Config());
    ASSERT_TRUE(service.Running());
    CHttpClient client(service.Url("/UpdateRequest"));
    UpdateInfo clientPackage, updaterPackage;
    Run(client, &clientPackage, &updaterPackage);
    EXPECT_EQ(clientPackage.version, "1.0.0.7");
    EXPECT_EQ(clientPackage.down_url, service.Url("/packages/cloudpc.7z"));
    EXPECT_EQ(clientPackage.crc, m_clientCrc);
    EXPECT_EQ(updaterPackage.version, "2.0.0.3");
    EXPECT_EQ(updaterPackage.down_url, service.Url("/packages/cloudupdate.7z"));
    EXPECT_EQ(updaterPackage.crc, m_updaterCrc);
}

TEST_F(ServiceSequence, MisbehavingServiceGivesEmptyRecords) {
    struct Case {
        std::vector<std::string> switches;
        std::string clientVersion;
        std::string updaterVersion;
    };
    const Case cases[] = {
        {{"--fail-status", "500"}, "", ""},  // text body parses to nothing
        {{"--empty-body"}, "", ""},
        // Over the buffer: no answer, so the response keeps its empty start.
        {{"--oversized-body", "1500"}, "", ""},
    };
    for (const Case& c : cases) {
        UpdateServiceProcess service(Config(c.switches));
        ASSERT_TRUE(service.Running());
        CHttpClient client(service.Url("/UpdateRequest"));
        UpdateInfo clientPackage{"x", "x", 1}, updaterPackage{"y", "y", 2};
        Run(client, &clientPackage, &updaterPackage);
        EXPECT_EQ(clientPackage.version, c.clientVersion) << c.switches[0];
        EXPECT_EQ(clientPackage.down_url, "") << c.switches[0];
        EXPECT_EQ(clientPackage.crc, 0u) << c.switches[0];
        EXPECT_EQ(updaterPackage.version, c.updaterVersion) << c.switches[0];
        EXPECT_EQ(updaterPackage.crc, 0u) << c.switches[0];
    }
}

TEST_F(ServiceSequence, WrongCrcIsAnnouncedAsIs) {
    UpdateServiceProcess service(Config({"--wrong-crc"}));
    ASSERT_TRUE(service.Running());
    CHttpClient client(service.Url("/UpdateRequest"));
    UpdateInfo clientPackage, updaterPackage;
    Run(client, &clientPackage, &updaterPackage);
    EXPECT_EQ(clientPackage.crc, m_clientCrc ^ 1u);
    EXPECT_EQ(updaterPackage.crc, m_updaterCrc ^ 1u);
}

TEST(QueryFailures, FailedFirstGivesEmptyFailedSecondRepeatsTheFirst) {
    // Refused from the start: both records empty.
    {
        CHttpClient client("http://127.0.0.1:" +
                           std::to_string(test_support::UnusedLoopbackPort()) + "/UpdateRequest");
        UpdateInfo clientPackage{"x", "x", 1}, updaterPackage{"y", "y", 2};
        QueryPackages([&](const UpdateRequest& r,
                          UpdateResponse* response) { client.PostUpdateRequest(r, response); },
                      kMac, &clientPackage, &updaterPackage);
        EXPECT_EQ(clientPackage.version, "");
        EXPECT_EQ(clientPackage.crc, 0u);
        EXPECT_EQ(updaterPackage.down_url, "");
        EXPECT_EQ(updaterPackage.crc, 0u);
    }
    // The first answered, the second dropped without an answer.
    {
        UpdateResponse first;
        first.set_version("1.0.0.7");
        first.set_down_url("http://127.0.0.1/packages/cloudpc.7z");
        first.set_crc(77);
        int calls = 0;
        LoopbackServer server([&](const HttpRequest&) -> std::optional<std::string> {
            if (calls++ == 0) {
                return HttpAnswer(200, first.SerializeAsString());
            }
            return std::string();
        });
        CHttpClient client(server.Url("/UpdateRequest"));
        UpdateInfo clientPackage, updaterPackage;
        QueryPackages([&](const UpdateRequest& r,
                          UpdateResponse* response) { client.PostUpdateRequest(r, response); },
                      kMac, &clientPackage, &updaterPackage);
        EXPECT_EQ(clientPackage.version, "1.0.0.7");
        EXPECT_EQ(updaterPackage.version, "1.0.0.7");
        EXPECT_EQ(updaterPackage.down_url, "http://127.0.0.1/packages/cloudpc.7z");
        EXPECT_EQ(updaterPackage.crc, 77u);
    }
}

}  // namespace
