// The last steps of an install, an upgrade or a start-now: record, shortcuts, start.
#pragma once

#include <string>
#include <string_view>

#include "app/ClientRecord.h"

// The client executable: "%s/%s" of the install folder and the start name. The folder ends
// with '/', so the path holds a doubled '/' before the name, which is kept as it is.
std::string ClientExecutablePath(std::string_view installDir, std::string_view startName);

// Writes the record first (so it exists even when the shortcuts or the start fail), then the
// shortcuts to the client executable, then starts it. Nothing is reported.
void RecordAndLaunch(const ClientRecord& record);
