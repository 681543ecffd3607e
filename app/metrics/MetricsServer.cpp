#include "app/metrics/MetricsServer.hpp"

#include "app/metrics/MetricsExposition.hpp"

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <charconv>
#include <mutex>
#include <thread>

namespace ampwell {
namespace {

constexpr const char* kIndexPage =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Ampwell metrics</title></head>\n"
    "<body><h1>Ampwell metrics</h1><p>Metrics are served at <a href=\"/metrics\">/metrics</a>.</p></body></html>\n";

void respond(SoupServerMessage* message, guint status, const char* type, const char* body) {
    soup_server_message_set_status(message, status, nullptr);
    soup_server_message_set_response(message, type, SOUP_MEMORY_STATIC, body, std::char_traits<char>::length(body));
}

}  // namespace

std::optional<ListenAddress> parseListenAddress(std::string_view text) {
    ListenAddress address;
    std::string_view port = text;
    const auto colon = text.rfind(':');
    if (colon != std::string_view::npos) {
        std::string_view host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (host.starts_with('[')) {
            if (!host.ends_with(']')) return std::nullopt;
            host = host.substr(1, host.size() - 2);
        } else if (host.find(':') != std::string_view::npos) {
            return std::nullopt;  // an IPv6 address must be bracketed, or its last group reads as the port
        }
        if (host.empty()) return std::nullopt;
        address.host = std::string(host);
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || value > 65535) return std::nullopt;
    address.port = static_cast<std::uint16_t>(value);
    return address;
}

struct MetricsServer::Impl {
    explicit Impl(std::string programVersion) : version(std::move(programVersion)) {}

    static void handle(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*, gpointer data) {
        static_cast<Impl*>(data)->answer(message, path);
    }

    void answer(SoupServerMessage* message, std::string_view path) {
        if (path != "/metrics" && path != "/")
            return respond(message, SOUP_STATUS_NOT_FOUND, "text/plain", "not found\n");
        const std::string_view method = soup_server_message_get_method(message);
        if (method != SOUP_METHOD_GET && method != SOUP_METHOD_HEAD) {
            soup_message_headers_replace(soup_server_message_get_response_headers(message), "Allow", "GET, HEAD");
            return respond(message, SOUP_STATUS_METHOD_NOT_ALLOWED, "text/plain", "method not allowed\n");
        }
        if (path == "/") return respond(message, SOUP_STATUS_OK, "text/html; charset=utf-8", kIndexPage);

        const char* accept = soup_message_headers_get_one(soup_server_message_get_request_headers(message), "Accept");
        const ExpositionFormat format = negotiateExposition(accept != nullptr ? accept : "");
        {
            // Copying into the same value every time reuses its storage.
            const std::lock_guard lock(mutex);
            served = published;
        }
        writeExposition(served, format, version, buffer);
        soup_server_message_set_status(message, SOUP_STATUS_OK, nullptr);
        soup_server_message_set_response(message, expositionContentType(format), SOUP_MEMORY_COPY, buffer.data(),
                                         buffer.size());
    }

    const std::string version;
    std::mutex mutex;
    FleetState published;  // guarded by mutex

    // The server thread's own.
    FleetState served;
    std::string buffer;

    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    SoupServer* server = nullptr;
    std::thread thread;
};

MetricsServer::MetricsServer(std::string version) : impl_(std::make_unique<Impl>(std::move(version))) {}

MetricsServer::~MetricsServer() {
    if (impl_->loop != nullptr) {
        // Quit from inside the loop: a quit that came before the thread entered it would be lost.
        GSource* quit = g_idle_source_new();
        g_source_set_callback(
            quit,
            [](gpointer loop) -> gboolean {
                g_main_loop_quit(static_cast<GMainLoop*>(loop));
                return G_SOURCE_REMOVE;
            },
            impl_->loop, nullptr);
        g_source_attach(quit, impl_->context);
        g_source_unref(quit);
        if (impl_->thread.joinable()) impl_->thread.join();
        g_main_loop_unref(impl_->loop);
    }
    if (impl_->server != nullptr) {
        g_main_context_push_thread_default(impl_->context);
        soup_server_disconnect(impl_->server);
        g_object_unref(impl_->server);
        g_main_context_pop_thread_default(impl_->context);
    }
    if (impl_->context != nullptr) g_main_context_unref(impl_->context);
}

platform::Result<std::uint16_t, std::string> MetricsServer::start(const ListenAddress& address) {
    if (impl_->server != nullptr) return platform::Failure{std::string("the server is already running")};
    const std::string host = address.host == "localhost" ? "127.0.0.1" : address.host;
    GInetAddress* inet = g_inet_address_new_from_string(host.c_str());
    if (inet == nullptr) return platform::Failure{"not an IP address: " + address.host};
    GSocketAddress* socket = g_inet_socket_address_new(inet, address.port);
    g_object_unref(inet);

    // The server's sockets belong to the context that is the thread's default while it listens.
    impl_->context = g_main_context_new();
    g_main_context_push_thread_default(impl_->context);
    impl_->server = soup_server_new("server-header", "ampwell", nullptr);
    soup_server_add_handler(impl_->server, nullptr, &Impl::handle, impl_.get(), nullptr);
    GError* error = nullptr;
    const bool listening =
        soup_server_listen(impl_->server, socket, static_cast<SoupServerListenOptions>(0), &error) != FALSE;
    g_main_context_pop_thread_default(impl_->context);
    g_object_unref(socket);
    if (!listening) {
        std::string reason = error != nullptr ? error->message : "cannot listen";
        if (error != nullptr) g_error_free(error);
        return platform::Failure{std::move(reason)};
    }

    std::uint16_t port = address.port;
    GSList* uris = soup_server_get_uris(impl_->server);
    if (uris != nullptr) port = static_cast<std::uint16_t>(g_uri_get_port(static_cast<GUri*>(uris->data)));
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));

    impl_->loop = g_main_loop_new(impl_->context, FALSE);
    impl_->thread = std::thread([context = impl_->context, loop = impl_->loop] {
        g_main_context_push_thread_default(context);
        g_main_loop_run(loop);
        g_main_context_pop_thread_default(context);
    });
    return port;
}

void MetricsServer::publish(const FleetState& state) {
    const std::lock_guard lock(impl_->mutex);
    impl_->published = state;
}

}  // namespace ampwell
