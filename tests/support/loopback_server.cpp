#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

namespace test_support {
namespace {

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

int BindLoopback(std::uint16_t* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::runtime_error("socket failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        throw std::runtime_error("bind failed");
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(address.sin_port);
    return fd;
}

// Reads one request: the head up to the blank line, then Content-Length bytes of body.
bool ReadRequest(int fd, HttpRequest* request) {
    std::string data;
    char buffer[4096];
    std::size_t headEnd = std::string::npos;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    const std::string head = data.substr(0, headEnd);
    std::size_t lineEnd = head.find("\r\n");
    request->requestLine = head.substr(0, lineEnd);
    {
        const std::size_t a = request->requestLine.find(' ');
        const std::size_t b = request->requestLine.rfind(' ');
        request->method = request->requestLine.substr(0, a);
        if (a != std::string::npos && b > a) {
            request->target = request->requestLine.substr(a + 1, b - a - 1);
            request->version = request->requestLine.substr(b + 1);
        }
    }
    while (lineEnd != std::string::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd - start);
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        request->headers.emplace_back(line.substr(0, colon), value);
    }
    std::size_t length = 0;
    if (auto header = request->Header("Content-Length")) {
        length = std::stoul(*header);
    }
    request->body = data.substr(headEnd + 4);
    while (request->body.size() < length) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        request->body.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

void SendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::optional<std::string> HttpRequest::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (SameText(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}

std::string HttpAnswer(int status, const std::string& body, const std::string& contentType) {
    const char* reason = status == 200 ? "OK" : status == 404 ? "Not Found" : "Error";
    return "HTTP/1.0 " + std::to_string(status) + " " + reason +
           "\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

LoopbackServer::LoopbackServer(Handler handler) : m_handler(std::move(handler)) {
    m_listener = BindLoopback(&m_port);
    ::listen(m_listener, 16);
    m_acceptor = std::thread([this] { Accept(); });
}

LoopbackServer::~LoopbackServer() {
    m_stopping = true;
    ::shutdown(m_listener, SHUT_RDWR);
    m_acceptor.join();
    ::close(m_listener);
    {
        std::lock_guard lock(m_mutex);
        for (int fd : m_connections) {
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    for (auto& thread : m_threads) {
        thread.join();
    }
}

std::string LoopbackServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<HttpRequest> LoopbackServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void LoopbackServer::Accept() {
    while (!m_stopping) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (m_stopping || (errno != EINTR && errno != ECONNABORTED)) {
                return;
            }
            continue;
        }
        std::lock_guard lock(m_mutex);
        m_connections.push_back(fd);
        m_threads.emplace_back([this, fd] { Serve(fd); });
    }
}

void LoopbackServer::Serve(int fd) {
    HttpRequest request;
    if (ReadRequest(fd, &request)) {
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
        }
        if (const auto answer = m_handler(request)) {
            SendAll(fd, *answer);
        } else {
            // Stalled: hold the connection until the server stops.
            pollfd wait{fd, POLLRDHUP, 0};
            while (!m_stopping && ::poll(&wait, 1, 50) == 0) {
            }
        }
    }
    ::shutdown(fd, SHUT_WR);
    std::lock_guard lock(m_mutex);
    m_connections.erase(std::remove(m_connections.begin(), m_connections.end(), fd),
                        m_connections.end());
    ::close(fd);
}

std::uint16_t UnusedLoopbackPort() {
    std::uint16_t port = 0;
    ::close(BindLoopback(&port));
    return port;
}

}  // namespace test_support
