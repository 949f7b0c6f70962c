// The licence view: a WebKitGTK view placed in the window's client container above its
// drawing area. The container clips the window's own painting around the view.
#include "platform/web_view.h"

#include <webkit2/webkit2.h>

#include "platform/linux/res_scheme.h"

namespace platform {

struct WebView::Impl {
    GtkWidget* view = nullptr;  // null once destroyed, also by the parent's destruction
    bool loading = false;
    bool failed = false;
};

namespace {

void OnViewDestroyed(GtkWidget*, gpointer data) {
    static_cast<WebView::Impl*>(data)->view = nullptr;
}

void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto* impl = static_cast<WebView::Impl*>(data);
    if (event == WEBKIT_LOAD_STARTED) {
        impl->loading = true;
        impl->failed = false;
    } else if (event == WEBKIT_LOAD_FINISHED) {
        impl->loading = false;
    }
}

gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer data) {
    static_cast<WebView::Impl*>(data)->failed = true;
    return FALSE;  // let the view show its own error page
}

GtkFixed* ClientContainer(Window& parent) {
    if (!parent.Exists()) {
        return nullptr;
    }
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(parent.NativeHandle()));
    return child != nullptr && GTK_IS_FIXED(child) ? GTK_FIXED(child) : nullptr;
}

}  // namespace

WebView::WebView() : m_impl(std::make_unique<Impl>()) {}

WebView::~WebView() {
    Destroy();
}

bool WebView::Create(Window& parent, Rect clientRect) {
    Destroy();
    GtkFixed* container = ClientContainer(parent);
    if (container == nullptr) {
        return false;
    }
    GtkWidget* view = webkit_web_view_new();
    if (view == nullptr) {
        return false;
    }
    WebKitWebView* web = WEBKIT_WEB_VIEW(view);
    RegisterResourceScheme(webkit_web_view_get_context(web));
    // A static page needs no GPU; this also keeps the view working on displays without GL.
    WebKitSettings* settings = webkit_web_view_get_settings(web);
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    g_signal_connect(view, "destroy", G_CALLBACK(OnViewDestroyed), m_impl.get());
    g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), m_impl.get());
    g_signal_connect(view, "load-failed", G_CALLBACK(OnLoadFailed), m_impl.get());
    m_impl->view = view;
    m_impl->loading = false;
    m_impl->failed = false;
    gtk_fixed_put(container, view, clientRect.x, clientRect.y);
    Move(clientRect);
    gtk_widget_show(view);
    return true;
}

void WebView::Move(Rect clientRect) {
    if (m_impl->view == nullptr) {
        return;
    }
    GtkWidget* container = gtk_widget_get_parent(m_impl->view);
    gtk_fixed_move(GTK_FIXED(container), m_impl->view, clientRect.x, clientRect.y);
    gtk_widget_set_size_request(m_impl->view, clientRect.width, clientRect.height);
}

void WebView::SetVisible(bool visible) {
    if (m_impl->view != nullptr) {
        gtk_widget_set_visible(m_impl->view, visible);
    }
}

void WebView::Navigate(const std::string& uri) {
    if (m_impl->view != nullptr) {
        m_impl->loading = true;
        m_impl->failed = false;
        webkit_web_view_load_uri(WEBKIT_WEB_VIEW(m_impl->view), uri.c_str());
    }
}

void WebView::Destroy() {
    if (GtkWidget* view = m_impl->view) {
        g_signal_handlers_disconnect_by_data(view, m_impl.get());
        m_impl->view = nullptr;
        gtk_widget_destroy(view);
    }
}

bool WebView::Exists() const {
    return m_impl->view != nullptr;
}

bool WebView::IsLoading() const {
    return m_impl->view != nullptr && m_impl->loading;
}

bool WebView::LoadFailed() const {
    return m_impl->failed;
}

std::string WebView::Title() const {
    if (m_impl->view == nullptr) {
        return std::string();
    }
    const gchar* title = webkit_web_view_get_title(WEBKIT_WEB_VIEW(m_impl->view));
    return title != nullptr ? title : "";
}

void* WebView::NativeHandle() const {
    return m_impl->view;
}

}  // namespace platform
