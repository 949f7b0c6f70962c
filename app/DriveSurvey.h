// The default install location: the first fixed data volume with at least 1 GiB free, else
// the per-user fallback folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/volumes.h"

// Free space in whole GiB as the survey compares it: total free bytes shifted right by 30,
// as a signed 32-bit integer (saturated: a volume that reports an absurd size stays eligible
// instead of wrapping negative).
std::int32_t FreeGiB(std::uint64_t totalFreeBytes);

// Walks `volumes` in their order and returns the mount point (ending with '/') of the first
// one that is fixed, answers its free-space query, is not the system volume and has at least
// 1 GiB free; `fallbackRoot` when none does. The first qualifying volume wins, not the one
// with the most space.
std::string ChooseDefaultRoot(const std::vector<platform::Volume>& volumes,
                              std::string_view fallbackRoot);

// The survey on this machine: its volumes, with platform::ProgramFilesFallback() as fallback.
std::string SurveyDefaultRoot();

// The default install folder of a root: "%s/orvikcloud/". A volume root already ends with
// '/', so its folder holds a doubled '/' ("/data//orvikcloud/"), which is kept as it is.
std::string DefaultInstallFolder(std::string_view root);
