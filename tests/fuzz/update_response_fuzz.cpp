// The update service's answers as hostile bytes: the package query sequence over two answer
// bodies, parsed as CHttpClient::PostUpdateRequest parses a body it has read, and the
// package records filled from the shared response as QueryPackages fills them.
//
// Input: one flag byte (bit 0: the first query fails before an answer, bit 1: the second
// does), one byte giving the share of the rest that forms the first body, then the bodies.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "proto/service.pb.h"
#include "service/HttpClient.h"
#include "service/PackageQuery.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "update_response_fuzz: %s\n", what);
        std::abort();
    }
}

// Well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF), decoded by
// code point rather than by the table the product uses.
bool IsUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        std::size_t length = lead < 0x80         ? 1
                             : lead >> 5 == 0x6  ? 2
                             : lead >> 4 == 0xE  ? 3
                             : lead >> 3 == 0x1E ? 4
                                                 : 0;
        if (length == 0 || i + length > s.size()) {
            return false;
        }
        std::uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

void CheckRecord(const UpdateInfo& info, const UpdateResponse& response) {
    Check(IsUtf8(info.version) && IsUtf8(info.down_url), "record text is not UTF-8");
    if (IsUtf8(response.version())) {
        Check(info.version == response.version(), "valid version text changed");
    }
    if (IsUtf8(response.down_url())) {
        Check(info.down_url == response.down_url(), "valid address changed");
    }
    Check(info.crc ==
              static_cast<std::uint32_t>(static_cast<std::uint64_t>(response.crc()) & 0xFFFFFFFFu),
          "crc is not the low 32 bits");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const bool firstFails = (data[0] & 1) != 0;
    const bool secondFails = (data[0] & 2) != 0;
    const std::size_t rest = size - 2;
    const std::size_t split = rest * data[1] / 255;
    // What reaches the parser is what the client read into its buffer: a body past the
    // buffer is no answer at all.
    const std::string bodies[2] = {
        std::string(reinterpret_cast<const char*>(data + 2), split),
        std::string(reinterpret_cast<const char*>(data + 2 + split), rest - split),
    };

    int call = 0;
    UpdateResponse seen[2];
    const auto query = [&](const UpdateRequest& request, UpdateResponse* response) {
        const int index = call++;
        Check(request.version() == "0.0.0.0", "request version");
        const std::string& body = bodies[index];
        const bool fails = index == 0 ? firstFails : secondFails;
        if (!fails && body.size() <= CHttpClient::kBodyCapacity) {
            // As PostUpdateRequest: the result of the parse is not looked at.
            response->ParseFromArray(body.data(), static_cast<int>(body.size()));
        }
        seen[index] = *response;
    };
    UpdateInfo client{"stale", "stale", 7};
    UpdateInfo updater{"stale", "stale", 7};
    QueryPackages(query, "02-00-00-00-00-01", &client, &updater);
    Check(call == 2, "two queries");

    CheckRecord(client, seen[0]);
    CheckRecord(updater, seen[1]);
    const bool firstAnswered = !firstFails && bodies[0].size() <= CHttpClient::kBodyCapacity;
    const bool secondAnswered = !secondFails && bodies[1].size() <= CHttpClient::kBodyCapacity;
    if (!firstAnswered) {
        Check(client.version.empty() && client.down_url.empty() && client.crc == 0,
              "a failed first query gives an empty record");
    }
    if (!secondAnswered) {
        Check(updater.version == client.version && updater.down_url == client.down_url &&
                  updater.crc == client.crc,
              "a failed second query repeats the first");
    }
    // Mending is stable: what the records hold is already valid text.
    Check(ToValidUtf8(client.version) == client.version, "mended text mends again");
    return 0;
}
