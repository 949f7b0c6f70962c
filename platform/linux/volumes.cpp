#include "platform/volumes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

#include "platform/linux/xdg_dirs.h"

namespace platform {
namespace fs = std::filesystem;

namespace {

// mountinfo escapes space, tab, newline and backslash as three octal digits.
std::string Unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value <= 0xFF) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<std::string_view> SplitSpaces(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos) {
            end = line.size();
        }
        if (end > start) {
            fields.push_back(line.substr(start, end - start));
        }
        start = end + 1;
    }
    return fields;
}

bool HasOption(std::string_view options, std::string_view option) {
    std::size_t start = 0;
    while (start <= options.size()) {
        std::size_t end = options.find(',', start);
        if (end == std::string_view::npos) {
            end = options.size();
        }
        if (options.substr(start, end - start) == option) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::string ReadFirstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// File systems that reach their data over a network (or a host share), even where a block
// device stands behind them.
bool IsNetworkType(const std::string& type) {
    static constexpr std::array kTypes = {
        "nfs",   "nfs4",     "cifs",     "smb3",   "smbfs",  "ceph", "glusterfs",
        "9p",    "afs",      "ncpfs",    "coda",   "lustre", "gfs2", "ocfs2",
        "davfs", "virtiofs", "orangefs", "beegfs", "gpfs",
    };
    if (type.starts_with("fuse.") && type != "fuse.fuseblk") {
        return true;  // user-space file systems without a block device: sshfs, rclone, ...
    }
    return std::find(kTypes.begin(), kTypes.end(), type) != kTypes.end();
}

// The block device a mount reads from. Some file systems (btrfs, fuseblk) report an
// anonymous device number; their source names the real device.
std::optional<dev_t> BlockDeviceOf(const MountEntry& entry) {
    if (entry.major != 0) {
        const fs::path sys =
            "/sys/dev/block/" + std::to_string(entry.major) + ":" + std::to_string(entry.minor);
        std::error_code ec;
        if (fs::exists(sys, ec)) {
            return makedev(entry.major, entry.minor);
        }
        return std::nullopt;
    }
    struct stat st {};
    if (!entry.source.empty() && entry.source[0] == '/' && stat(entry.source.c_str(), &st) == 0 &&
        S_ISBLK(st.st_mode)) {
        return st.st_rdev;
    }
    return std::nullopt;
}

// A local disk that stays in the machine. Partitions answer for their disk; device-mapper
// and md devices are fixed when every device under them is.
bool IsFixedDisk(fs::path sysPath, int depth) {
    std::error_code ec;
    sysPath = fs::canonical(sysPath, ec);
    if (ec || depth > 8) {
        return false;
    }
    if (fs::exists(sysPath / "partition", ec)) {
        sysPath = sysPath.parent_path();
    }
    const std::string name = sysPath.filename().string();
    // Loop devices carry images (snaps, ISO files, USB images); RAM disks and network block
    // devices are not local disks; floppies and optical drives are removable media.
    static constexpr std::array kNotDisks = {"loop", "ram", "zram", "nbd",
                                             "rbd",  "fd",  "sr",   "drbd"};
    for (const char* prefix : kNotDisks) {
        if (name.starts_with(prefix)) {
            return false;
        }
    }
    const fs::path slaves = sysPath / "slaves";
    if (fs::is_directory(slaves, ec) && !fs::is_empty(slaves, ec)) {
        for (const auto& slave : fs::directory_iterator(slaves, ec)) {
            if (!IsFixedDisk("/sys/class/block" / slave.path().filename(), depth + 1)) {
                return false;
            }
        }
        return !ec;
    }
    if (ReadFirstLine(sysPath / "removable") != "0") {
        return false;
    }
    // SD cards in a card slot report removable 0; eMMC soldered to the board says "MMC".
    if (name.starts_with("mmcblk") && ReadFirstLine(sysPath / "device" / "type") == "SD") {
        return false;
    }
    return true;
}

bool IsWritableDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool IsFixed(const MountEntry& entry, const std::optional<dev_t>& device) {
    if (!device || IsNetworkType(entry.fsType)) {
        return false;
    }
    if (HasOption(entry.mountOptions, "ro") || HasOption(entry.superOptions, "ro")) {
        return false;
    }
    const fs::path sys =
        "/sys/dev/block/" + std::to_string(major(*device)) + ":" + std::to_string(minor(*device));
    return IsFixedDisk(sys, 0) && IsWritableDirectory(entry.mountPoint);
}

std::optional<std::uint64_t> FreeBytes(const std::string& path) {
    struct statvfs st {};
    if (statvfs(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    const std::uint64_t blocks = st.f_bfree;
    const std::uint64_t size = st.f_frsize;
    if (size != 0 && blocks > std::numeric_limits<std::uint64_t>::max() / size) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return blocks * size;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const auto fields = SplitSpaces(text.substr(start, end - start));
        start = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source super
        const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 10 || dash - fields.begin() < 6 || fields.end() - dash < 4) {
            continue;
        }
        MountEntry entry;
        const std::string_view device = fields[2];
        const std::size_t colon = device.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        try {
            entry.major = static_cast<unsigned>(std::stoul(std::string(device.substr(0, colon))));
            entry.minor = static_cast<unsigned>(std::stoul(std::string(device.substr(colon + 1))));
        } catch (...) {
            continue;
        }
        entry.mountPoint = Unescape(fields[4]);
        entry.mountOptions = std::string(fields[5]);
        entry.fsType = Unescape(dash[1]);
        entry.source = Unescape(dash[2]);
        entry.superOptions = std::string(dash[3]);
        if (entry.mountPoint.empty() || entry.mountPoint[0] != '/') {
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<Volume> ListVolumes() {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    const std::vector<MountEntry> entries = ParseMountInfo(text.str());

    // A later mount on the same point hides the earlier ones.
    std::map<std::string, const MountEntry*> visible;
    for (const MountEntry& entry : entries) {
        visible[entry.mountPoint] = &entry;
    }

    std::optional<dev_t> systemDevice;
    if (auto root = visible.find("/"); root != visible.end()) {
        systemDevice = BlockDeviceOf(*root->second)
                           .value_or(makedev(root->second->major, root->second->minor));
    }

    std::vector<Volume> volumes;
    for (const auto& [point, entry] : visible) {  // std::map: ascending mount point order
        const std::optional<dev_t> device = BlockDeviceOf(*entry);
        Volume volume;
        volume.mountPoint = point == "/" ? point : point + "/";
        volume.fixed = IsFixed(*entry, device);
        volume.systemDrive =
            systemDevice && device.value_or(makedev(entry->major, entry->minor)) == *systemDevice;
        if (volume.fixed) {
            volume.totalFreeBytes = FreeBytes(point);
        }
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

std::string ProgramFilesFallback() {
    return xdg::DataHome();
}

}  // namespace platform
