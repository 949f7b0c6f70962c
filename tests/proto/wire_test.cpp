// The generated classes against protoc's own encoder and decoder for the same schema.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "proto/service.pb.h"

namespace {

namespace fs = std::filesystem;

std::string Hex(const std::string& bytes) {
    std::string out;
    char pair[4];
    for (unsigned char b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X ", b);
        out += pair;
    }
    if (!out.empty()) {
        out.pop_back();
    }
    return out;
}

// Runs protoc --encode/--decode on the project's schema with `input` as standard input.
std::string Protoc(const std::string& mode, const std::string& input) {
    const fs::path folder = fs::temp_directory_path() / ("wire-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path in = folder / "in";
    const fs::path out = folder / "out";
    std::ofstream(in, std::ios::binary) << input;
    const std::string command = "protoc " + mode + " --proto_path=" ORVIK_SOURCE_DIR "/proto" +
                                " service.proto < " + in.string() + " > " + out.string();
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::string bytes(fs::file_size(out), '\0');
    std::ifstream(out, std::ios::binary)
        .read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    fs::remove_all(folder);
    return bytes;
}

std::string Encode(const std::string& type, const std::string& text) {
    return Protoc("--encode=" + type, text);
}

std::string Decode(const std::string& type, const std::string& bytes) {
    return Protoc("--decode=" + type, bytes);
}

UpdateRequest ClientRequest() {
    UpdateRequest request;
    request.set_product(UpdateRequest::PERSON);
    request.set_mac_addr("00-11-22-33-44-55");
    request.set_version("0.0.0.0");
    return request;
}

TEST(Wire, WorkedExampleIsThirtyBytes) {
    const std::string bytes = ClientRequest().SerializeAsString();
    EXPECT_EQ(Hex(bytes),
              "08 01 12 11 30 30 2D 31 31 2D 32 32 2D 33 33 2D 34 34 2D 35 35 "
              "1A 07 30 2E 30 2E 30 2E 30");
    EXPECT_EQ(bytes.size(), 30u);
    UpdateRequest updater = ClientRequest();
    updater.set_product(UpdateRequest::UPDATE);
    const std::string second = updater.SerializeAsString();
    EXPECT_EQ(second[1], '\x03');
    EXPECT_EQ(second.substr(2), bytes.substr(2));
}

struct RequestCase {
    const char* name;
    UpdateRequest request;
    const char* text;  // protoc text format of the same message
};

void PrintTo(const RequestCase& c, std::ostream* os) {
    *os << c.name;
}

class RequestWire : public testing::TestWithParam<RequestCase> {};

TEST_P(RequestWire, MatchesProtocBothWays) {
    const RequestCase& c = GetParam();
    const std::string ours = c.request.SerializeAsString();
    EXPECT_EQ(Hex(ours), Hex(Encode("UpdateRequest", c.text)));
    UpdateRequest back;
    ASSERT_TRUE(back.ParseFromString(Encode("UpdateRequest", c.text)));
    EXPECT_EQ(back.SerializeAsString(), ours);
    EXPECT_EQ(Decode("UpdateRequest", ours), c.text);
}

UpdateRequest WithFrom(UpdateRequest request, UpdateRequest::FROM from) {
    request.set_from(from);
    return request;
}

UpdateRequest WithProduct(UpdateRequest request, UpdateRequest::PRODUCT product) {
    request.set_product(product);
    return request;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RequestWire,
    testing::Values(
        RequestCase{"Client", ClientRequest(),
                    "product: PERSON\nmac_addr: \"00-11-22-33-44-55\"\nversion: \"0.0.0.0\"\n"},
        RequestCase{"Updater", WithProduct(ClientRequest(), UpdateRequest::UPDATE),
                    "product: UPDATE\nmac_addr: \"00-11-22-33-44-55\"\nversion: \"0.0.0.0\"\n"},
        RequestCase{"FromInstall", WithFrom(ClientRequest(), UpdateRequest::FROMINSTALL),
                    "product: PERSON\nmac_addr: \"00-11-22-33-44-55\"\nversion: "
                    "\"0.0.0.0\"\nfrom: FROMINSTALL\n"},
        RequestCase{"AllDefaults", UpdateRequest(), ""}),
    [](const auto& param) { return std::string(param.param.name); });

struct CrcCase {
    const char* text;
    const char* hex;  // the crc field on the wire
    std::int64_t value;
};

void PrintTo(const CrcCase& c, std::ostream* os) {
    *os << c.text;
}

class ResponseCrc : public testing::TestWithParam<CrcCase> {};

TEST_P(ResponseCrc, Int64VarintFromProtocParses) {
    const CrcCase& c = GetParam();
    const std::string bytes = Encode("UpdateResponse", c.text);
    EXPECT_EQ(Hex(bytes), c.hex);
    UpdateResponse response;
    ASSERT_TRUE(response.ParseFromString(bytes));
    EXPECT_EQ(response.crc(), c.value);
    EXPECT_EQ(response.SerializeAsString(), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Crcs, ResponseCrc,
    testing::Values(CrcCase{"crc: 4294967295", "28 FF FF FF FF 0F", 4294967295LL},
                    CrcCase{"crc: -1", "28 FF FF FF FF FF FF FF FF FF 01", -1},
                    CrcCase{"crc: 4294967301", "28 85 80 80 80 10", 4294967301LL}));

TEST(Wire, FullResponseDecodesAsProtocSeesIt) {
    UpdateResponse response;
    response.set_state(UpdateResponse::UPDATE);
    response.set_version("1.2.3.4");
    response.set_down_url("http://127.0.0.1:1/packages/cloudpc.7z");
    response.set_size(123456789012LL);
    response.set_crc(3421780262LL);
    const std::string text =
        "state: UPDATE\nversion: \"1.2.3.4\"\ndown_url: "
        "\"http://127.0.0.1:1/packages/cloudpc.7z\"\nsize: 123456789012\ncrc: 3421780262\n";
    EXPECT_EQ(Decode("UpdateResponse", response.SerializeAsString()), text);
    EXPECT_EQ(Hex(Encode("UpdateResponse", text)), Hex(response.SerializeAsString()));
}

TEST(Wire, UndeclaredFieldsAreSkipped) {
    UpdateResponse known;
    known.set_version("2.0");
    known.set_crc(7);
    // Field 9 as a varint and field 15 as a length-delimited value, neither declared.
    const std::string unknown = std::string("\x48\x2A", 2) +
                                "\x7A\x03"
                                "abc";
    const std::string bytes = unknown + known.SerializeAsString();
    UpdateResponse parsed;
    ASSERT_TRUE(parsed.ParseFromString(bytes));
    EXPECT_EQ(parsed.version(), "2.0");
    EXPECT_EQ(parsed.crc(), 7);
    // protoc, too, keeps the declared fields and shows the others by number.
    EXPECT_EQ(Decode("UpdateResponse", bytes), "version: \"2.0\"\ncrc: 7\n9: 42\n15: \"abc\"\n");
}

TEST(Wire, EmptyBodyIsAllDefaults) {
    UpdateResponse response;
    response.set_version("stale");
    ASSERT_TRUE(response.ParseFromArray("", 0));
    EXPECT_EQ(response.state(), UpdateResponse::NORMAL);
    EXPECT_EQ(response.version(), "");
    EXPECT_EQ(response.down_url(), "");
    EXPECT_EQ(response.size(), 0);
    EXPECT_EQ(response.crc(), 0);
    EXPECT_EQ(UpdateRequest().ByteSizeLong(), 0u);
}

TEST(Schema, FileLayout) {
    const auto* file = UpdateRequest::descriptor()->file();
    EXPECT_EQ(file->name(), "service.proto");
    EXPECT_EQ(file->package(), "");
    EXPECT_EQ(file->syntax(), google::protobuf::FileDescriptor::SYNTAX_PROTO3);
    EXPECT_EQ(file->dependency_count(), 0);
    const char* order[] = {"UpdateRequest",       "UpdateResponse",       "FailResponse",
                           "InitRequest",         "InitResponse",         "BusinessRequest",
                           "BusinessResponse",    "QrcodeRequest",        "QrcodeResponse",
                           "PayCheckRequest",     "PayCheckResponse",     "SurplusTimeRequest",
                           "SurplusTimeResponse", "StreamRequest",        "StreamResponse",
                           "HeartbeatRequest",    "HeartbeatResponse",    "RoomListRequest",
                           "RoomListResponse",    "OrderShutDownRequest", "OrderShutDownResponse"};
    ASSERT_EQ(file->message_type_count(), static_cast<int>(std::size(order)));
    for (int i = 0; i < file->message_type_count(); ++i) {
        EXPECT_EQ(file->message_type(i)->name(), order[i]);
    }
    ASSERT_EQ(file->enum_type_count(), 1);
    EXPECT_EQ(file->enum_type(0)->full_name(), "CODE");
    EXPECT_EQ(FAIL, 1);
    // The two UPDATE values live in different enums with different numbers.
    EXPECT_EQ(UpdateRequest::UPDATE, 3);
    EXPECT_EQ(UpdateResponse::UPDATE, 1);
    EXPECT_EQ(UpdateRequest::descriptor()->FindEnumTypeByName("PRODUCT")->full_name(),
              "UpdateRequest.PRODUCT");
    EXPECT_EQ(sizeof(BusinessResponse_Goods) > 0 && sizeof(RoomListResponse_Rooms) > 0, true);
}

}  // namespace
