// What the extraction reads an archive through: its entries in order, and the data of each.
// Two readers provide it: the extraction's own (SevenZipReader) and libarchive's
// (ArchiveReader), which takes every archive the first does not.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace extract {

struct Entry {
    std::string name;     // UTF-8, as stored; a folder's without a final '/'
    mode_t mode = 0;      // type and permissions
    bool folder = false;  // a folder entry, which has no data
    std::uint64_t size = 0;
};

class EntrySource {
public:
    virtual ~EntrySource() = default;
    // Moves to the next entry: kResultOk with `entry` filled, or kResultOk with `end` set
    // after the last entry, or an error code.
    virtual int NextEntry(Entry& entry, bool& end) = 0;
    // The next piece of the current entry's data, decoded and, at its end, CRC-checked:
    // kResultOk with `data`/`size` (valid until the next call), kResultOk with `end` set
    // after the last piece, or an error code.
    virtual int ReadBlock(const void*& data, std::size_t& size, bool& end) = 0;
};

}  // namespace extract
