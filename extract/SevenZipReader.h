// The extraction's own 7z reader: the entries of a database read by ReadSevenZipDatabase,
// with their data decoded by a ParallelDecoder, so that an LZMA2 folder the encoder wrote in
// independent blocks decodes on several processor cores.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "extract/EntrySource.h"
#include "extract/ParallelDecoder.h"
#include "extract/SevenZipDatabase.h"

namespace extract {

class SevenZipReader final : public EntrySource {
public:
    // `fd` stays the caller's and must outlive the reader.
    SevenZipReader(int fd, SevenZipDatabase database);

    // Plans the decoding and starts it; a result code.
    int Open();
    std::size_t Count() const { return m_database.files.size(); }

    int NextEntry(Entry& entry, bool& end) override;
    int ReadBlock(const void*& data, std::size_t& size, bool& end) override;

private:
    const int m_fd;
    const SevenZipDatabase m_database;
    std::unique_ptr<ParallelDecoder> m_decoder;
    std::size_t m_next = 0;  // the next file
    const SevenZipFile* m_file = nullptr;
    std::uint64_t m_remaining = 0;
    std::uint32_t m_crc = 0;
    bool m_checked = true;  // the current file's CRC-32 is checked or not stored
    // Decoded bytes the current file has not taken yet.
    const unsigned char* m_data = nullptr;
    std::size_t m_available = 0;
};

}  // namespace extract
