// NetLink.dat: the data block the installer carries for the client (resource DATA 152),
// copied unread into the install folder.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

// Writes `data` at offset 0 of the file at `path`, creating the file when it does not exist
// and keeping it otherwise (a longer file keeps its bytes beyond the block). False without a
// word when `data` is empty or the file cannot be opened for writing; when the write itself
// fails, `onWriteFailure` runs before false is returned.
bool WriteNetLinkData(const std::string& path, std::span<const std::uint8_t> data,
                      const std::function<void()>& onWriteFailure);
