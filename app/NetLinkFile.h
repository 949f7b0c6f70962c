// NetLink.dat: the data block the installer carries for the client (resource DATA 152),
// copied unread into the install folder.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

// Copies the program's data block (resource DATA 152) into the file at `path` as below; a
// failed write shows "写入失败!" in the system message box first. False without a word when
// the program carries no such block.
bool WriteNetLinkFile(const std::string& path);

// Writes `data` at offset 0 of the file at `path`, creating the file when it does not exist
// and keeping it otherwise (a longer file keeps its bytes beyond the block). False without a
// word when `data` is empty or the file cannot be opened for writing; when the write itself
// fails, `onWriteFailure` runs before false is returned.
bool WriteNetLinkData(const std::string& path, std::span<const std::uint8_t> data,
                      const std::function<void()>& onWriteFailure);
