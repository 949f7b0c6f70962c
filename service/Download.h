// Downloads a package file from the address the update service announced.
//
// Success means the whole body arrived with an HTTP 2xx status and was written to `path`.
// The destination is created (or truncated) when the first byte of a 2xx body arrives, so a
// refused connection or an error status leaves no new file; a transfer that breaks off part
// way leaves the partial file behind, as an interrupted install does (no clean-up, no resume).
//
// Only http and https are followed (redirects too); https is always verified, against the
// system's CA store or DownloadOptions::caFile. Proxies come from the environment; loopback
// addresses never go through one.
//
// Progress: `progress->OnProgress` is called once the expected size is known and again each
// time the whole-number percentage changes (about a hundred sends per download), so the
// synchronous sends to the window never slow the transfer down.
#pragma once

#include <chrono>
#include <string>

#include "service/DownloadProgress.h"

struct DownloadOptions {
    std::string caFile;  // PEM bundle to verify https against; empty: the system store
    std::chrono::milliseconds connectTimeout{60000};
    // A transfer that moves no byte for this long times out.
    std::chrono::seconds stallTimeout{30};
};

bool DownloadPackage(const std::string& address, const std::string& path,
                     CDownloadProgress* progress, const DownloadOptions& options = {});
