// The installation record of the client: where it is installed, the executable's name and
// the installed version. Written at the end of an install, read by the next start's check.
#pragma once

#include <optional>
#include <string>

inline constexpr const char* kRecordInstallDir = "installDir";
inline constexpr const char* kRecordStart = "Start";
inline constexpr const char* kRecordVersion = "Version";

struct ClientRecord {
    std::string installDir;  // ends with '/'
    std::string startName;   // file name of the client executable inside installDir
    std::string version;
};

// Stores installDir, Start and Version, in this order, in one atomic update of the record.
// False when the record cannot be created or written (nothing is shown; the caller goes on).
bool WriteClientRecord(const ClientRecord& record);

// What a reader finds: nothing at all when there is no record; otherwise each value that is
// present and readable.
struct StoredClientRecord {
    std::optional<std::string> installDir;
    std::optional<std::string> startName;
    std::optional<std::string> version;
};
std::optional<StoredClientRecord> ReadClientRecord();
