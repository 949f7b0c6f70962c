// A 7z archive read through libarchive's 7-Zip reader, with its errors mapped onto the
// extraction's result codes.
#pragma once

#include <cstddef>
#include <memory>

#include "extract/EntrySource.h"

struct archive;

namespace extract {

// Checks the 32-byte start header of the archive open at `fd` and the CRC-32 of the database
// it points to, as the 7z format defines them: signature (kResultNoArchive), format version
// (kResultUnsupported), start header CRC (kResultCrc), a database beyond the end of the file
// (kResultInputEof), database CRC (kResultArchive). libarchive checks some of this itself
// but reports it in words that do not tell these cases apart. `empty` is set for an archive
// without a database, which holds no entries.
int CheckStartHeader(int fd, bool& empty);

// One pass over the archive with libarchive's 7-Zip reader, from its first byte. The file
// descriptor stays the caller's.
class ArchiveReader final : public EntrySource {
public:
    explicit ArchiveReader(int fd);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Rewinds the file and opens the reader; a result code.
    int Open();
    int NextEntry(Entry& entry, bool& end) override;
    int ReadBlock(const void*& data, std::size_t& size, bool& end) override;

private:
    enum class Phase { Database, Data };
    int MapError(Phase phase) const;
    struct Callbacks;  // libarchive's client callbacks over m_fd

    struct Deleter {
        void operator()(archive* a) const;
    };
    int m_fd;
    std::unique_ptr<archive, Deleter> m_archive;
    std::unique_ptr<unsigned char[]> m_buffer;
    int m_readErrno = 0;
    bool m_headerRead = false;
};

}  // namespace extract
