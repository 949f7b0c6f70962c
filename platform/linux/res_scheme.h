// The res: scheme of the web view: res://<any path>/<id> serves HTML resource <id>.
#pragma once

#include <optional>
#include <string_view>

typedef struct _WebKitWebContext WebKitWebContext;

namespace platform {

// Registers the scheme with `context`; later calls for the same context do nothing.
void RegisterResourceScheme(WebKitWebContext* context);

// The resource id named by the last segment of a res: path, or nothing when it is not a
// plain decimal number.
std::optional<int> ResourceIdOfPath(std::string_view path);

}  // namespace platform
