// A small HTTP server on 127.0.0.1 (any free port) for tests that need exact control over
// the bytes of an answer, or need to see the bytes of a request. One thread per connection;
// the handler decides each answer.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace test_support {

struct HttpRequest {
    std::string requestLine;  // e.g. "POST /UpdateRequest HTTP/1.0"
    std::string method;
    std::string target;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name (case-insensitive), or nothing.
    std::optional<std::string> Header(const std::string& name) const;
};

// The bytes of a complete HTTP/1.0 answer with Content-Length.
std::string HttpAnswer(int status, const std::string& body,
                       const std::string& contentType = "application/octet-stream");

class LoopbackServer {
public:
    // Returns the raw bytes to send before the connection is closed; nothing keeps the
    // connection open without an answer until the server stops (a stalled peer).
    using Handler = std::function<std::optional<std::string>(const HttpRequest&)>;

    explicit LoopbackServer(Handler handler);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t Port() const { return m_port; }
    std::string Url(const std::string& path) const;
    std::vector<HttpRequest> Requests() const;

private:
    void Accept();
    void Serve(int fd);

    Handler m_handler;
    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::vector<HttpRequest> m_requests;
    std::vector<int> m_connections;
    std::vector<std::thread> m_threads;
    std::thread m_acceptor;
};

// A loopback port that nothing listens on (bound, then released).
std::uint16_t UnusedLoopbackPort();

}  // namespace test_support
