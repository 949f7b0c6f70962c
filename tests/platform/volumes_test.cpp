#include "platform/volumes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

namespace {

TEST(MountInfo, DecodesFieldsAndEscapes) {
    const std::string text =
        "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw,discard\n"
        // optional fields before the separator, escaped space, tab and backslash
        "40 26 8:17 /sub /mnt/My\\040Data\\011x\\134y rw,noatime shared:5 master:1 - xfs "
        "/dev/sdb1 rw\n"
        "41 26 0:45 / /media/net ro - nfs4 server:/export\\040dir ro,vers=4\n"
        "garbage line\n"
        "42 26 8:x / /bad rw - ext4 /dev/sdc rw\n"
        "43 26 8:33 / relative rw - ext4 /dev/sdc1 rw\n"
        "44 26 8:33 / /no/separator rw ext4 /dev/sdc1 rw\n";
    const auto entries = platform::ParseMountInfo(text);
    ASSERT_EQ(entries.size(), 3U);
    EXPECT_EQ(entries[0].mountPoint, "/");
    EXPECT_EQ(entries[0].major, 254U);
    EXPECT_EQ(entries[0].source, "/dev/vda");
    EXPECT_EQ(entries[1].mountPoint, "/mnt/My Data\tx\\y");
    EXPECT_EQ(entries[1].major, 8U);
    EXPECT_EQ(entries[1].minor, 17U);
    EXPECT_EQ(entries[1].fsType, "xfs");
    EXPECT_EQ(entries[1].mountOptions, "rw,noatime");
    EXPECT_EQ(entries[2].source, "server:/export dir");
    EXPECT_EQ(entries[2].superOptions, "ro,vers=4");
    EXPECT_TRUE(platform::ParseMountInfo("").empty());
}

// This machine: what the survey will walk.
TEST(Volumes, RealMachine) {
    const auto volumes = platform::ListVolumes();
    ASSERT_FALSE(volumes.empty());
    EXPECT_TRUE(std::is_sorted(volumes.begin(), volumes.end(), [](const auto& a, const auto& b) {
        auto bare = [](std::string s) {
            if (s.size() > 1) {
                s.pop_back();
            }
            return s;
        };
        return bare(a.mountPoint) < bare(b.mountPoint);
    }));
    int roots = 0;
    for (const auto& v : volumes) {
        SCOPED_TRACE(v.mountPoint);
        EXPECT_EQ(v.mountPoint.back(), '/');
        EXPECT_EQ(std::count_if(volumes.begin(), volumes.end(),
                                [&](const auto& o) { return o.mountPoint == v.mountPoint; }),
                  1);
        if (v.mountPoint == "/") {
            ++roots;
            EXPECT_TRUE(v.systemDrive);
        }
        if (v.mountPoint == "/proc/" || v.mountPoint == "/sys/" || v.mountPoint == "/dev/shm/") {
            EXPECT_FALSE(v.fixed);  // pseudo file systems never qualify
        }
        if (!v.fixed) {
            EXPECT_FALSE(v.totalFreeBytes.has_value());
        }
    }
    EXPECT_EQ(roots, 1);
}

TEST(Volumes, FallbackFollowsTheDataHome) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string restore = saved != nullptr ? saved : "";
    setenv("XDG_DATA_HOME", "/srv/users/u/data/", 1);
    EXPECT_EQ(platform::ProgramFilesFallback(), "/srv/users/u/data");
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(platform::ProgramFilesFallback(), std::string(home) + "/.local/share");
    if (saved != nullptr) {
        setenv("XDG_DATA_HOME", restore.c_str(), 1);
    } else {
        unsetenv("XDG_DATA_HOME");
    }
}

}  // namespace
