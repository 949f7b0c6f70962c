// The database of a 7z archive (its folders, their coders and pack streams, and its files),
// read by the extraction's own parser. The parser takes only what the packages the 7-Zip
// encoder writes are made of; anything else is left to libarchive's reader.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace extract {

// The coder chains decoded here. Lzma2 folders are the ones that may decode in parallel.
enum class FolderMethod { Copy, Lzma, Lzma2, BcjLzma, BcjLzma2 };

struct SevenZipFolder {
    FolderMethod method = FolderMethod::Copy;
    std::uint32_t dictSize = 0;       // Lzma, Lzma2: from the coder's properties
    std::uint8_t lzmaProperties = 0;  // Lzma: lc, lp and pb in one byte
    std::uint64_t packOffset = 0;     // from the start of the file
    std::uint64_t packSize = 0;
    std::uint64_t unpackSize = 0;        // of the folder's final output
    std::uint64_t intermediateSize = 0;  // Bcj*: the LZMA coder's output, which BCJ reads
    bool crcDefined = false;
    std::uint32_t crc = 0;
    std::uint64_t substreams = 1;
};

struct SevenZipFile {
    std::string name;  // UTF-8
    bool hasStream = false;
    bool folder = false;  // a folder entry: no stream and not an empty file
    mode_t mode = 0;      // the type and permissions the entry is extracted with
    std::uint64_t size = 0;
    bool crcDefined = false;
    std::uint32_t crc = 0;
};

struct SevenZipDatabase {
    std::vector<SevenZipFolder> folders;
    std::vector<SevenZipFile> files;
};

// Reads the database of the archive open at `fd`, whose start header and database CRC-32
// have been checked. False when the archive holds anything this parser does not take
// (another coder, encryption, an external or damaged structure, names that are not valid
// UTF-16, pack streams beyond the file): the caller then extracts with libarchive's reader,
// which reports faults in its own terms.
bool ReadSevenZipDatabase(int fd, SevenZipDatabase& database);

}  // namespace extract
