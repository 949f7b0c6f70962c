#include "platform/resources.h"

#include <gio/gio.h>

#include <string>

extern "C" GResource* orvik_res_get_resource(void);

namespace platform {

std::optional<std::span<const std::uint8_t>> FindResource(std::string_view type, int id) {
    const std::string path = "/res/" + std::string(type) + "/" + std::to_string(id);
    // The bundle is static data of the executable: the GBytes can be kept without a copy.
    GBytes* bytes = g_resource_lookup_data(orvik_res_get_resource(), path.c_str(),
                                           G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    if (bytes == nullptr) {
        return std::nullopt;
    }
    gsize size = 0;
    const auto* data = static_cast<const std::uint8_t*>(g_bytes_get_data(bytes, &size));
    std::span<const std::uint8_t> view(data, size);
    g_bytes_unref(bytes);  // the data itself belongs to the bundle and outlives the GBytes
    return view;
}

}  // namespace platform
