// The installation record as whatever bytes a damaged or hostile key file holds: each input
// becomes the record file in a fresh configuration folder, is read the way the start-up
// check reads it, and is then written over the way an install writes it.
//
// Never a crash; no value longer than 129 UTF-16 units and no text that is not UTF-8 comes
// back; the write over any content succeeds, reads back whole and keeps every other value.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "app/ClientRecord.h"
#include "platform/user_record.h"

namespace {

namespace fs = std::filesystem;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "record_fuzz: %s\n", what);
        std::abort();
    }
}

// UTF-16 units of well-formed UTF-8, or nothing when the text is not well-formed.
std::optional<std::size_t> Utf16Units(std::string_view s) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const std::size_t length = lead < 0x80         ? 1
                                   : lead >> 5 == 0x6  ? 2
                                   : lead >> 4 == 0xE  ? 3
                                   : lead >> 3 == 0x1E ? 4
                                                       : 0;
        if (length == 0 || i + length > s.size()) {
            return std::nullopt;
        }
        std::uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return std::nullopt;
        }
        units += cp > 0xFFFF ? 2 : 1;
        i += length;
    }
    return units;
}

void CheckValue(const std::optional<std::string>& value) {
    if (value) {
        const std::optional<std::size_t> units = Utf16Units(*value);
        Check(units.has_value(), "a value that is not UTF-8 was read");
        Check(*units <= platform::kMaxRecordValueUnits, "a value over 129 units was read");
    }
}

// Names a reader might ask for: the record's own and whatever stands before a '=' in the
// input (a key file's key, if it is one).
std::set<std::string> CandidateNames(std::string_view text) {
    std::set<std::string> names = {kRecordInstallDir, kRecordStart, kRecordVersion};
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (const std::size_t eq = line.find('='); eq != std::string_view::npos) {
            std::string_view name = line.substr(0, eq);
            while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) {
                name.remove_prefix(1);
            }
            while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
                name.remove_suffix(1);
            }
            if (!name.empty() && name.find('\0') == std::string_view::npos) {
                names.emplace(name);
            }
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return names;
}

fs::path g_configHome;

void RemoveConfigHome() {
    std::error_code ignored;
    fs::remove_all(g_configHome, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/record-fuzz-XXXXXX";
    Check(mkdtemp(pattern.data()) != nullptr, "no temporary folder");
    g_configHome = pattern;
    setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
    std::atexit(RemoveConfigHome);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // A fresh folder for every input: no lock, temporary or kept copy from the last one.
    const fs::path folder = g_configHome / "Orvik";
    RemoveConfigHome();
    fs::create_directories(folder);
    {
        std::ofstream out(platform::RecordFilePath(), std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        Check(out.good(), "cannot write the input");
    }

    const std::set<std::string> names = CandidateNames(bytes);
    const std::optional<platform::RecordKey> before = platform::OpenRecord();
    if (before) {
        for (const std::string& name : names) {
            CheckValue(before->ReadValue(name));
        }
    }
    const std::optional<StoredClientRecord> stored = ReadClientRecord();
    Check(stored.has_value() == before.has_value(), "the two readers disagree");
    if (stored) {
        CheckValue(stored->installDir);
        CheckValue(stored->startName);
        CheckValue(stored->version);
        Check(stored->version == before->ReadValue(kRecordVersion), "Version differs");
    }

    // An install writes over whatever stands there; the version text comes from the network.
    std::string version = bytes.substr(0, 40);
    for (char& c : version) {
        c = c == '\0' ? ' ' : c;
    }
    const ClientRecord record{"/home/u/orvikcloud/", "ovClient", version};
    Check(WriteClientRecord(record), "the write over the record failed");
    const std::optional<platform::RecordKey> after = platform::OpenRecord();
    Check(after.has_value(), "no record after a write");
    Check(after->ReadValue(kRecordInstallDir) == record.installDir, "installDir not written");
    Check(after->ReadValue(kRecordStart) == record.startName, "Start not written");
    const std::optional<std::string> readVersion = after->ReadValue(kRecordVersion);
    CheckValue(readVersion);
    Check(readVersion.has_value(), "Version not written");
    if (Utf16Units(version)) {
        // The key file format cannot hold a value that begins with a form feed: GLib skips
        // blanks after '=' but escapes only the spaces and tabs that lead the value, so such
        // a value loses its whole leading run of form feeds, spaces and tabs. Every other
        // valid text comes back as it went in.
        std::string expected = version;
        if (!expected.empty() && expected.front() == '\f') {
            expected.erase(0, expected.find_first_not_of("\f \t"));
        }
        Check(*readVersion == expected, "valid Version text changed");
    }
    if (before) {
        for (const std::string& name : names) {
            if (name != kRecordInstallDir && name != kRecordStart && name != kRecordVersion) {
                Check(after->ReadValue(name) == before->ReadValue(name), "another value lost");
            }
        }
    }
    return 0;
}
