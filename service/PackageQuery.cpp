#include "service/PackageQuery.h"

#include <cstdint>

namespace {

// Length of the well-formed UTF-8 sequence at `i`, or 0 when it is not one (overlong forms,
// surrogates and values past U+10FFFF included).
std::size_t SequenceLength(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
    const std::uint8_t lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    } else {
        return 0;
    }
    if (i + length > s.size()) {
        return 0;
    }
    if (byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string ToValidUtf8(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = SequenceLength(bytes, i);
        if (length == 0) {
            text += "\xEF\xBF\xBD";
            ++i;
        } else {
            text.append(bytes, i, length);
            i += length;
        }
    }
    return text;
}

UpdateInfo MakeUpdateInfo(const UpdateResponse& response) {
    UpdateInfo info;
    info.version = ToValidUtf8(response.version());
    info.down_url = ToValidUtf8(response.down_url());
    info.crc = static_cast<std::uint32_t>(static_cast<std::uint64_t>(response.crc()));
    return info;
}

void QueryPackages(const QueryUpdateFunction& queryUpdate, const std::string& macText,
                   UpdateInfo* clientPackage, UpdateInfo* updaterPackage) {
    UpdateRequest request;
    request.set_product(UpdateRequest::PERSON);
    request.set_mac_addr(macText);
    request.set_version("0.0.0.0");

    UpdateResponse response;
    queryUpdate(request, &response);
    if (clientPackage != nullptr) {
        *clientPackage = MakeUpdateInfo(response);
    }

    request.set_product(UpdateRequest::UPDATE);
    queryUpdate(request, &response);
    if (updaterPackage != nullptr) {
        *updaterPackage = MakeUpdateInfo(response);
    }
}
