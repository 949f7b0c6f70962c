// The parts of the environment check that decide what the next screen is, apart from the
// window they write into.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/ClientRecord.h"

inline constexpr const char* kDefaultStartName = "ovClient.exe";
// The check screen stays at least this long, so it never just flickers.
inline constexpr std::chrono::milliseconds kMinimumCheckDuration{1000};

// Version texts compared as text, ignoring letter case: ASCII letters fold, every other byte
// of the UTF-8 text must match exactly ("1.0" and "1.0.0" differ).
bool VersionsEqualIgnoringCase(std::string_view a, std::string_view b);

// The client executable "%s/%s" of the folder and name can be opened for reading as a file
// (a folder of that name does not count).
bool ClientFilePresent(std::string_view installDir, std::string_view startName);

// What the record tells the check, given the defaults already in `installDir` and
// `startName`: the recorded folder and name replace them when present; `installedVersion`
// is set only when the installation is found whole. Returns the next screen: 3 (quick install)
// with no record, no readable Version or no client executable (asked through `clientPresent`
// after the folder and name are taken over); 2 (up to date) when the installed version equals
// `offeredVersion` ignoring case; 5 (upgrade) otherwise.
int DecideFromRecord(const std::optional<StoredClientRecord>& record,
                     const std::string& offeredVersion, std::string& installDir,
                     std::string& startName, std::string& installedVersion,
                     const std::function<bool()>& clientPresent);

// Sleeps until `duration` has passed since `start`; returns at once when it already has.
void WaitUntilElapsed(std::chrono::steady_clock::time_point start,
                      std::chrono::milliseconds duration);
