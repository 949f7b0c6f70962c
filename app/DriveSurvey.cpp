#include "app/DriveSurvey.h"

#include <limits>

std::int32_t FreeGiB(std::uint64_t totalFreeBytes) {
    const std::uint64_t gib = totalFreeBytes >> 30;
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(gib > kMax ? kMax : gib);
}

std::string ChooseDefaultRoot(const std::vector<platform::Volume>& volumes,
                              std::string_view fallbackRoot) {
    // The steps keep the designed order: the "already chosen" test comes after the free-space
    // query, so every fixed volume is still asked for its space.
    std::string root;
    for (const platform::Volume& volume : volumes) {
        if (!volume.fixed) {
            continue;
        }
        if (!volume.totalFreeBytes) {
            continue;
        }
        if (!root.empty()) {
            continue;
        }
        if (volume.systemDrive) {
            continue;
        }
        if (FreeGiB(*volume.totalFreeBytes) < 1) {
            continue;
        }
        root = volume.mountPoint;
    }
    // The drive-choice list the window reserves stays empty: nothing offers a choice of
    // volumes, so the first qualifying one is the only candidate.
    if (root.empty()) {
        root = fallbackRoot;
    }
    return root;
}

std::string SurveyDefaultRoot() {
    return ChooseDefaultRoot(platform::ListVolumes(), platform::ProgramFilesFallback());
}

std::string DefaultInstallFolder(std::string_view root) {
    return std::string(root) + "/orvikcloud/";
}
