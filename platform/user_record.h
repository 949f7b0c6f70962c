// The per-user installation record: a key file in the user's configuration folder,
// $XDG_CONFIG_HOME/Orvik/RizurUR.conf, group [RizurUR], one string per value.
//
// Readers see either the whole previous or the whole new record: a write replaces the file
// atomically, and writers merge under a lock, so two installers never lose each other's keys.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// The longest value a reader accepts, in UTF-16 code units; longer values read as missing.
inline constexpr std::size_t kMaxRecordValueUnits = 129;

// UTF-16 code units of UTF-8 text (a character beyond the Basic Multilingual Plane counts
// two); a byte that is not valid UTF-8 counts one.
std::size_t Utf16Length(std::string_view utf8);

// A snapshot of the record's values, taken when it was opened.
class RecordKey {
public:
    // The value's text; nothing when the value is missing, not valid text, or longer than
    // kMaxRecordValueUnits.
    std::optional<std::string> ReadValue(std::string_view name) const;

private:
    friend std::optional<RecordKey> OpenRecord();
    std::vector<std::pair<std::string, std::string>> m_values;
};

// Nothing when there is no record: no file, an unreadable or corrupt one, a folder in its
// place, or no [RizurUR] group.
std::optional<RecordKey> OpenRecord();

using RecordValue = std::pair<std::string, std::string>;  // name, text

// Creates or opens the record and stores `values` in this order in one atomic step, keeping
// every other key and group. A corrupt record is replaced (its bytes are kept beside it as
// RizurUR.conf.corrupt). False, with the record unchanged, when the folder cannot be created
// or written, the existing file cannot be read, or a folder stands in its place. Text that is
// not valid UTF-8 is stored with replacement characters.
bool WriteRecord(std::span<const RecordValue> values);

// The record file's path, as reads and writes use it now.
std::string RecordFilePath();

}  // namespace platform
