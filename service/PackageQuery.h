// The package query sequence run at every start: the client package (PERSON), then the
// updater package (UPDATE), both asked with the host identity and version "0.0.0.0".
#pragma once

#include <functional>
#include <string>

#include "proto/service.pb.h"
#include "service/UpdateInfo.h"

using QueryUpdateFunction = std::function<void(const UpdateRequest&, UpdateResponse*)>;

// Asks twice through `queryUpdate` with one response object that is not cleared in between,
// so a query that fails before an answer leaves the previous values in place: a failed first
// query gives empty records, a failed second one repeats the client package's values.
void QueryPackages(const QueryUpdateFunction& queryUpdate, const std::string& macText,
                   UpdateInfo* clientPackage, UpdateInfo* updaterPackage);

// version and down_url as UTF-8 (invalid sequences become U+FFFD), crc = the low 32 bits.
UpdateInfo MakeUpdateInfo(const UpdateResponse& response);

// `bytes` with every invalid UTF-8 sequence replaced by U+FFFD.
std::string ToValidUtf8(const std::string& bytes);
