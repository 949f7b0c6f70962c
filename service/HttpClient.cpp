#include "service/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

#include "service/LoopbackProxyBypass.h"

namespace {

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

// The easy handle is the session: its settings are made once and kept for every call.
struct CHttpClient::Session {
    struct Cleanup {
        void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
    };
    std::unique_ptr<CURL, Cleanup> handle;
};

// Everything one call owns: its header list, its body and the answer buffer.
struct CHttpClient::Request {
    struct FreeList {
        void operator()(curl_slist* list) const { curl_slist_free_all(list); }
    };
    std::unique_ptr<curl_slist, FreeList> headers;
    std::string body;
    std::array<char, kBodyCapacity> answer{};
    std::size_t offset = 0;

    static std::size_t Write(char* data, std::size_t size, std::size_t count, void* user) {
        auto* self = static_cast<Request*>(user);
        const std::size_t bytes = size * count;
        const std::size_t room = self->answer.size() - self->offset;
        const std::size_t taken = std::min(bytes, room);
        std::memcpy(self->answer.data() + self->offset, data, taken);
        self->offset += taken;
        if (taken < bytes) {
            return 0;  // does not fit: ends the transfer as a write error, no answer
        }
        return bytes;
    }
};

CHttpClient::CHttpClient(std::string url, Timeouts timeouts)
    : m_url(std::move(url)), m_timeouts(timeouts), m_pSession(std::make_unique<Session>()) {
    InitCurlOnce();
    m_pSession->handle.reset(curl_easy_init());
    CURL* curl = m_pSession->handle.get();
    if (curl == nullptr) {
        return;
    }
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // A connection belongs to one call only.
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    m_noProxy = NoProxyWithLoopback();
    curl_easy_setopt(curl, CURLOPT_NOPROXY, m_noProxy.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(m_timeouts.connect.count()));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(m_timeouts.stall.count()));
}

CHttpClient::~CHttpClient() {
    CloseRequest();
    m_pSession.reset();
}

void CHttpClient::CloseRequest() {
    if (m_pSession && m_pSession->handle) {
        // The handle must not keep pointers into the request being released.
        CURL* curl = m_pSession->handle.get();
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, static_cast<const char*>(nullptr));
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, static_cast<void*>(nullptr));
    }
    m_pFile.reset();
}

int CHttpClient::PostUpdateRequest(UpdateRequest request, UpdateResponse* response) {
    CURL* curl = m_pSession->handle.get();
    if (curl == nullptr) {
        return ResultInternetError;
    }
    m_pFile = std::make_unique<Request>();
    Request& call = *m_pFile;

    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/x-protobuf");
    if (headers != nullptr) {
        // No accept types are sent.
        curl_slist* more = curl_slist_append(headers, "Accept:");
        headers = more != nullptr ? more : headers;
    }
    call.headers.reset(headers);
    call.body = request.SerializeAsString();

    curl_easy_setopt(curl, CURLOPT_URL, m_url.c_str());
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, call.headers.get());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, call.body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(call.body.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Request::Write);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &call);

    const CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) {
        CloseRequest();
        return code == CURLE_OPERATION_TIMEDOUT ? ResultTimeout : ResultInternetError;
    }
    if (response != nullptr) {
        // Whether it parsed is not looked at: a bad body leaves what was read before the fault.
        response->ParseFromArray(call.answer.data(), static_cast<int>(call.offset));
    }
    CloseRequest();
    return ResultAnswer;
}
