// The client of the update service: one POST of a serialised UpdateRequest to the service's
// endpoint, whose answer body is parsed as an UpdateResponse.
//
// Over the wire: "POST <path> HTTP/1.0", the client's fixed user agent, the header
// "Content-Type: application/x-protobuf" and the serialised request as the body. Proxies come
// from the usual environment variables; loopback never goes through one. The HTTP status is
// not examined.
//
// Answer bodies: the body is read into a zero-filled buffer of kBodyCapacity (1024) bytes and
// parsed with the length read; bodies up to 1024 bytes are read whole. A longer body is no
// answer: reading stops at the buffer's capacity and the call fails with result 1, leaving
// *response untouched. (Parsing a message cut at an arbitrary byte could hand on a cut
// number as if it were whole, for example a wrong CRC.) Nothing is written past the buffer.
// A body that fails to parse keeps the fields read before the fault; string bytes are kept
// as they came (UpdateInfo mends text that is not UTF-8).
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "proto/service.pb.h"

#ifndef ORVIK_UPDATE_URL
#define ORVIK_UPDATE_URL "http://127.0.0.1:18470/UpdateRequest"
#endif

// The platform's defaults.
struct HttpTimeouts {
    std::chrono::milliseconds connect{60000};
    // A transfer that moves no byte for this long times out.
    std::chrono::seconds stall{30};
};

class CHttpClient {
public:
    static constexpr const char* kUserAgent =
        "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)";
    static constexpr std::size_t kBodyCapacity = 1024;

    enum Result { ResultAnswer = 0, ResultInternetError = 1, ResultTimeout = 2 };

    using Timeouts = HttpTimeouts;

    explicit CHttpClient(std::string url = ORVIK_UPDATE_URL, Timeouts timeouts = {});
    virtual ~CHttpClient();
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    // 0: an answer arrived and its body went to the parser (whatever its status and whether it
    // parsed); 1: a transport error or an oversized body; 2: a time-out. On 1 and 2 *response
    // is not touched.
    int PostUpdateRequest(UpdateRequest request, UpdateResponse* response);

    // Releases the state of the request under way; the session stays.
    void CloseRequest();

private:
    struct Session;
    struct Request;

    std::string m_url;
    Timeouts m_timeouts;
    std::string m_noProxy;
    std::unique_ptr<Session> m_pSession;  // lives as long as the client
    std::unique_ptr<Request> m_pFile;     // set only while a request is under way
};
