// Resources compiled into the executable, addressed by type and numeric id
// ("PNG" 131, "GIF" 157, "HTML" 161, "DATA" 152, "ICON" 128, ...).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace platform {

// The bytes of resource `type`/`id`, or nothing when the program carries no such resource.
// The bytes stay valid for the life of the process. Any thread.
std::optional<std::span<const std::uint8_t>> FindResource(std::string_view type, int id);

}  // namespace platform
