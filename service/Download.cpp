#include "service/Download.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "service/LoopbackProxyBypass.h"

namespace {

constexpr long kReceiveBuffer = 512 * 1024;

struct CurlCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

class Transfer {
public:
    Transfer(CURL* curl, std::string path, CDownloadProgress* progress)
        : m_curl(curl), m_path(std::move(path)), m_progress(progress) {}
    ~Transfer() { Close(); }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    static std::size_t Write(char* data, std::size_t size, std::size_t count, void* user) {
        return static_cast<Transfer*>(user)->OnData(data, size * count);
    }

    static int Progress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
        static_cast<Transfer*>(user)->OnProgress(total, now);
        return 0;  // a download is never cancelled through its progress
    }

    bool Successful() const { return Is2xx() && !m_writeFailed; }

    // Creates the destination when a 2xx answer had an empty body.
    bool EnsureFile() { return m_fd >= 0 || Open(); }

    bool Close() {
        if (m_fd < 0) {
            return true;
        }
        const bool closed = ::close(m_fd) == 0;
        m_fd = -1;
        return closed;
    }

private:
    bool Is2xx() const {
        long status = 0;
        curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);
        return status >= 200 && status < 300;
    }

    bool Open() {
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        return m_fd >= 0;
    }

    std::size_t OnData(const char* data, std::size_t bytes) {
        // With redirects, only the final answer's body reaches this point as a 2xx one.
        if (!Is2xx()) {
            return bytes;  // an error page: read and dropped; the status fails the download
        }
        if (m_fd < 0 && !Open()) {
            m_writeFailed = true;
            return 0;
        }
        std::size_t written = 0;
        while (written < bytes) {
            const ssize_t n = ::write(m_fd, data + written, bytes - written);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                m_writeFailed = true;
                return 0;
            }
            written += static_cast<std::size_t>(n);
        }
        return bytes;
    }

    void OnProgress(curl_off_t total, curl_off_t now) {
        if (m_progress == nullptr || total <= 0) {
            return;
        }
        const auto expected = static_cast<std::uint64_t>(total);
        const auto done = static_cast<std::uint64_t>(now < 0 ? 0 : now);
        const unsigned percent = CDownloadProgress::Percentage(done, expected);
        if (m_lastPercent == percent && m_lastExpected == expected) {
            return;
        }
        m_lastPercent = percent;
        m_lastExpected = expected;
        m_progress->OnProgress(done, expected);
    }

    CURL* m_curl;
    std::string m_path;
    CDownloadProgress* m_progress;
    int m_fd = -1;
    bool m_writeFailed = false;
    std::optional<unsigned> m_lastPercent;
    std::uint64_t m_lastExpected = 0;
};

}  // namespace

bool DownloadPackage(const std::string& address, const std::string& path,
                     CDownloadProgress* progress, const DownloadOptions& options) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    if (address.empty() || path.empty()) {
        return false;
    }
    std::unique_ptr<CURL, CurlCleanup> handle(curl_easy_init());
    CURL* curl = handle.get();
    if (curl == nullptr) {
        return false;
    }
    Transfer transfer(curl, path, progress);
    const std::string noProxy = NoProxyWithLoopback();

    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, noProxy.c_str());
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.caFile.empty()) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, options.caFile.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(options.stallTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Transfer::Write);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Transfer::Progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);

    const CURLcode code = curl_easy_perform(curl);
    const bool ok = code == CURLE_OK && transfer.Successful() && transfer.EnsureFile();
    return transfer.Close() && ok;
}
