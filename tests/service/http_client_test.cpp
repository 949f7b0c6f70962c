// CHttpClient against real servers on the loopback interface: what goes over the wire, how
// answers of every shape are read, and how transport failures come back.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "service/HttpClient.h"
#include "tests/support/loopback_server.h"

namespace {

using test_support::HttpAnswer;
using test_support::HttpRequest;
using test_support::LoopbackServer;

UpdateRequest ClientRequest() {
    UpdateRequest request;
    request.set_product(UpdateRequest::PERSON);
    request.set_mac_addr("00-11-22-33-44-55");
    request.set_version("0.0.0.0");
    return request;
}

UpdateResponse Answer(const std::string& version, const std::string& url, std::int64_t crc) {
    UpdateResponse response;
    response.set_state(UpdateResponse::UPDATE);
    response.set_version(version);
    response.set_down_url(url);
    response.set_size(1234);
    response.set_crc(crc);
    return response;
}

// A response of exactly `size` bytes: a long down_url between version and crc.
UpdateResponse ResponseOfSize(std::size_t size) {
    UpdateResponse response = Answer("2.5", "", 0xCAFEF00D);
    const std::size_t base = response.ByteSizeLong();
    // down_url: key, a two-byte length, the text
    response.set_down_url(std::string(size - base - 3, 'u'));
    EXPECT_EQ(response.ByteSizeLong(), size);
    return response;
}

UpdateResponse Prefilled() {
    return Answer("stale", "http://stale/", 99);
}

TEST(HttpClient, SendsTheDesignedRequestAndReadsTheAnswer) {
    const std::string answer =
        Answer("1.0.0.7", "http://127.0.0.1:9/packages/cloudpc.7z", 4294967295LL)
            .SerializeAsString();
    LoopbackServer server(
        [&](const HttpRequest&) { return HttpAnswer(200, answer, "application/x-protobuf"); });
    CHttpClient client(server.Url("/UpdateRequest"));
    UpdateResponse response;
    ASSERT_EQ(client.PostUpdateRequest(ClientRequest(), &response), 0);
    EXPECT_EQ(response.version(), "1.0.0.7");
    EXPECT_EQ(response.down_url(), "http://127.0.0.1:9/packages/cloudpc.7z");
    EXPECT_EQ(response.crc(), 4294967295LL);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const HttpRequest& seen = requests[0];
    EXPECT_EQ(seen.requestLine, "POST /UpdateRequest HTTP/1.0");
    EXPECT_EQ(seen.Header("User-Agent"),
              "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)");
    EXPECT_EQ(seen.Header("Content-Type"), "application/x-protobuf");
    EXPECT_EQ(seen.Header("Content-Length"), "30");
    EXPECT_EQ(seen.Header("Host"), "127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_FALSE(seen.Header("Accept").has_value());
    EXPECT_EQ(seen.body, ClientRequest().SerializeAsString());
}

TEST(HttpClient, SessionServesSeveralCallsEachOnItsOwnConnection) {
    int calls = 0;
    LoopbackServer server([&](const HttpRequest&) {
        ++calls;
        return HttpAnswer(200, Answer(std::to_string(calls), "", 0).SerializeAsString());
    });
    CHttpClient client(server.Url("/UpdateRequest"));
    UpdateResponse response;
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(client.PostUpdateRequest(ClientRequest(), &response), 0);
        EXPECT_EQ(response.version(), std::to_string(i));
    }
    EXPECT_EQ(server.Requests().size(), 3u);
}

struct BodyCase {
    const char* name;
    std::string answer;   // raw bytes the server sends
    std::string version;  // what the response then holds
    std::size_t urlLength;
    std::int64_t crc;
};

void PrintTo(const BodyCase& c, std::ostream* os) {
    *os << c.name;
}

class AnswerBodies : public testing::TestWithParam<BodyCase> {};

TEST_P(AnswerBodies, AreParsedWithTheLengthRead) {
    const BodyCase& c = GetParam();
    LoopbackServer server([&](const HttpRequest&) { return c.answer; });
    CHttpClient client(server.Url("/UpdateRequest"));
    UpdateResponse response = Prefilled();
    ASSERT_EQ(client.PostUpdateRequest(ClientRequest(), &response), 0);
    EXPECT_EQ(response.version(), c.version);
    EXPECT_EQ(response.down_url().size(), c.urlLength);
    EXPECT_EQ(response.crc(), c.crc);
}

std::string Padded(const UpdateResponse& response, std::size_t total) {
    // Declared fields first, then an undeclared field 15 that fills the body to `total`.
    std::string body = response.SerializeAsString();
    const std::size_t pad = total - body.size() - 3;
    body += '\x7A';
    body += static_cast<char>(0x80 | (pad & 0x7F));
    body += static_cast<char>(pad >> 7);
    body += std::string(pad, 'x');
    EXPECT_EQ(body.size(), total);
    return body;
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, AnswerBodies,
    testing::Values(
        // The parser clears the response first: an empty body leaves only defaults.
        BodyCase{"Empty", HttpAnswer(200, ""), "", 0, 0},
        // The status is not examined; plain text gives whatever parses (here: nothing).
        BodyCase{"Status500Text", HttpAnswer(500, "Internal Server Error", "text/plain"), "", 0, 0},
        BodyCase{"Status404Protobuf", HttpAnswer(404, Answer("4.0", "", 4).SerializeAsString()),
                 "4.0", 0, 4},
        BodyCase{"Exactly1023", HttpAnswer(200, ResponseOfSize(1023).SerializeAsString()), "2.5",
                 ResponseOfSize(1023).down_url().size(), 0xCAFEF00D},
        BodyCase{"Exactly1024", HttpAnswer(200, ResponseOfSize(1024).SerializeAsString()), "2.5",
                 ResponseOfSize(1024).down_url().size(), 0xCAFEF00D},
        // A body without Content-Length, ended by closing the connection.
        BodyCase{"CloseDelimited",
                 "HTTP/1.0 200 OK\r\n\r\n" + Answer("3.1", "", 31).SerializeAsString(), "3.1", 0,
                 31},
        // Not UTF-8: the parse stops after that field, whose bytes stay as they came
        // (UpdateInfo mends them); later fields are lost.
        BodyCase{"InvalidUtf8KeptAsBytes",
                 HttpAnswer(200, std::string("\x12\x02\xC3\x28\x28\x05", 6)), "\xC3\x28", 0, 0}),
    [](const auto& param) { return std::string(param.param.name); });

// More than fits the 1024-byte buffer is no answer, however it arrives.
TEST(HttpClient, OversizedBodiesAreNoAnswer) {
    const std::string bodies[] = {
        Padded(Answer("2.5", "http://127.0.0.1/x", 25), 1025),
        ResponseOfSize(1025).SerializeAsString(),  // cut inside crc
        ResponseOfSize(9000).SerializeAsString(),
    };
    for (const std::string& body : bodies) {
        for (const bool withLength : {true, false}) {
            LoopbackServer server([&](const HttpRequest&) {
                return withLength ? HttpAnswer(200, body) : "HTTP/1.0 200 OK\r\n\r\n" + body;
            });
            CHttpClient client(server.Url("/UpdateRequest"));
            UpdateResponse response = Prefilled();
            EXPECT_EQ(client.PostUpdateRequest(ClientRequest(), &response), 1) << body.size();
            EXPECT_EQ(response.version(), "stale");
            EXPECT_EQ(response.crc(), 99);
        }
    }
}

TEST(HttpClient, StalledServerTimesOut) {
    LoopbackServer server([](const HttpRequest&) { return std::nullopt; });
    CHttpClient client(server.Url("/UpdateRequest"),
                       HttpTimeouts{std::chrono::milliseconds(1000), std::chrono::seconds(1)});
    UpdateResponse response = Prefilled();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.PostUpdateRequest(ClientRequest(), &response), 2);
    // libcurl judges the speed over a window of a few seconds, hence the slack.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(response.version(), "stale");
    EXPECT_EQ(response.crc(), 99);
}

TEST(HttpClient, TransportErrorsAreOneAndLeaveTheResponse) {
    // Refused: nothing listens on the port.
    {
        CHttpClient client("http://127.0.0.1:" +
                           std::to_string(test_support::UnusedLoopbackPort()) + "/UpdateRequest");
        UpdateResponse response = Prefilled();
        EXPECT_EQ(client.PostUpdateRequest(ClientRequest(), &response), 1);
        EXPECT_EQ(response.version(), "stale");
    }
    // The peer closes without a word.
    {
        LoopbackServer server([](const HttpRequest&) { return std::string(); });
        CHttpClient client(server.Url("/UpdateRequest"));
        UpdateResponse response = Prefilled();
        EXPECT_EQ(client.PostUpdateRequest(ClientRequest(), &response), 1);
        EXPECT_EQ(response.crc(), 99);
    }
    // An address the client cannot use at all.
    {
        CHttpClient client("not a url");
        UpdateResponse response = Prefilled();
        EXPECT_EQ(client.PostUpdateRequest(ClientRequest(), &response), 1);
        EXPECT_EQ(response.version(), "stale");
    }
}

TEST(HttpClient, LoopbackIsNeverProxied) {
    // A proxy that does not exist: going through it would fail.
    const std::string proxy =
        "http://127.0.0.1:" + std::to_string(test_support::UnusedLoopbackPort());
    ::setenv("http_proxy", proxy.c_str(), 1);
    LoopbackServer server(
        [](const HttpRequest&) { return HttpAnswer(200, Answer("9", "", 9).SerializeAsString()); });
    CHttpClient client(server.Url("/UpdateRequest"));
    UpdateResponse response;
    EXPECT_EQ(client.PostUpdateRequest(ClientRequest(), &response), 0);
    EXPECT_EQ(response.version(), "9");
    ::unsetenv("http_proxy");
}

}  // namespace
