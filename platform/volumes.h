// Mounted file systems, as the drive survey sees them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct Volume {
    std::string mountPoint;  // ends with '/'
    // Backed by a local, non-removable block device, mounted read-write, on a directory the
    // current user can write. Pseudo, network, loop and RAM-backed file systems never are.
    bool fixed = false;
    // The file system that holds "/".
    bool systemDrive = false;
    // Free blocks times fragment size; asked only for fixed volumes (a dead network mount
    // would block the query), nothing when the query fails.
    std::optional<std::uint64_t> totalFreeBytes;
};

// Every mounted file system in ascending mount point order; where several mounts share a
// mount point only the last (the visible) one is listed.
std::vector<Volume> ListVolumes();

// One line of /proc/self/mountinfo, decoded.
struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::string mountPoint;  // as mounted, without a final '/' (except for "/")
    std::string mountOptions;
    std::string fsType;
    std::string source;
    std::string superOptions;
};
// Parses the text of /proc/<pid>/mountinfo in file order; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Where a machine without a suitable data volume installs: the user's data folder
// ($XDG_DATA_HOME, else ~/.local/share) without a final '/'.
std::string ProgramFilesFallback();

}  // namespace platform
