#include "platform/linux/res_scheme.h"

#include <webkit2/webkit2.h>

#include <charconv>
#include <set>

#include "platform/resources.h"

namespace platform {
namespace {

void ServeResource(WebKitURISchemeRequest* request, gpointer) {
    // WebKit may have percent-encoded a program path with spaces or other characters; only
    // the final segment matters and it is digits either way.
    const char* path = webkit_uri_scheme_request_get_path(request);
    const std::optional<int> id = ResourceIdOfPath(path != nullptr ? path : "");
    const auto bytes = id ? FindResource("HTML", *id) : std::nullopt;
    if (!bytes) {
        GError* error = g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "no resource at %s",
                                    webkit_uri_scheme_request_get_uri(request));
        webkit_uri_scheme_request_finish_error(request, error);
        g_error_free(error);
        return;
    }
    // The resource bytes live as long as the process: the stream need not copy them.
    GInputStream* stream = g_memory_input_stream_new_from_data(
        bytes->data(), static_cast<gssize>(bytes->size()), nullptr);
    WebKitURISchemeResponse* response =
        webkit_uri_scheme_response_new(stream, static_cast<gint64>(bytes->size()));
    webkit_uri_scheme_response_set_content_type(response, "text/html; charset=UTF-8");
    webkit_uri_scheme_request_finish_with_response(request, response);
    g_object_unref(response);
    g_object_unref(stream);
}

}  // namespace

std::optional<int> ResourceIdOfPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (last.empty() || last.size() > 9 || last.front() < '0' || last.front() > '9') {
        return std::nullopt;
    }
    int id = 0;
    const auto [end, error] = std::from_chars(last.data(), last.data() + last.size(), id);
    if (error != std::errc() || end != last.data() + last.size()) {
        return std::nullopt;
    }
    return id;
}

void RegisterResourceScheme(WebKitWebContext* context) {
    static std::set<WebKitWebContext*> registered;  // UI thread only
    if (context == nullptr || !registered.insert(context).second) {
        return;
    }
    webkit_web_context_register_uri_scheme(context, "res", ServeResource, nullptr, nullptr);
}

}  // namespace platform
