#include "extract/ArchiveReader.h"

#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

#include "extract/ExtractResult.h"

namespace extract {

namespace {

constexpr std::size_t kReadBufferSize = 1 << 20;
constexpr std::size_t kStartHeaderSize = 32;
constexpr std::array<unsigned char, 6> kSignature = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};

std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t Le64(const unsigned char* p) {
    return static_cast<std::uint64_t>(Le32(p)) | static_cast<std::uint64_t>(Le32(p + 4)) << 32;
}

// pread until `size` bytes or the end of the file; the count read, or -1.
long long ReadAt(int fd, unsigned char* data, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(done);
}

}  // namespace

int CheckStartHeader(int fd, bool& empty) {
    empty = false;
    std::array<unsigned char, kStartHeaderSize> header{};
    const long long got = ReadAt(fd, header.data(), header.size(), 0);
    if (got < 0) {
        return kResultRead;
    }
    if (static_cast<std::size_t>(got) < header.size() ||
        std::memcmp(header.data(), kSignature.data(), kSignature.size()) != 0) {
        return kResultNoArchive;
    }
    if (header[6] != 0) {
        return kResultUnsupported;
    }
    if (crc32(0, header.data() + 12, 20) != Le32(header.data() + 8)) {
        return kResultCrc;
    }
    const std::uint64_t offset = Le64(header.data() + 12);
    const std::uint64_t size = Le64(header.data() + 20);
    const std::uint32_t crc = Le32(header.data() + 28);
    if (size == 0) {
        empty = true;
        return kResultOk;
    }
    const std::uint64_t start = kStartHeaderSize + offset;
    if (start < offset || start + size < start) {
        return kResultNoArchive;
    }
    const off_t fileSize = ::lseek(fd, 0, SEEK_END);
    if (fileSize < 0) {
        return kResultRead;
    }
    if (static_cast<std::uint64_t>(fileSize) < start + size) {
        return kResultInputEof;
    }
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kReadBufferSize]);
    if (!buffer) {
        return kResultMemory;
    }
    uLong sum = crc32(0, nullptr, 0);
    for (std::uint64_t done = 0; done < size;) {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - done, kReadBufferSize));
        const long long n = ReadAt(fd, buffer.get(), chunk, start + done);
        if (n < 0) {
            return kResultRead;
        }
        if (static_cast<std::size_t>(n) != chunk) {
            return kResultInputEof;
        }
        sum = crc32(sum, buffer.get(), static_cast<uInt>(chunk));
        done += chunk;
    }
    return sum == crc ? kResultOk : kResultArchive;
}

struct ArchiveReader::Callbacks {
    static la_ssize_t Read(archive* a, void* client, const void** buffer) {
        auto* self = static_cast<ArchiveReader*>(client);
        for (;;) {
            const ssize_t n = ::read(self->m_fd, self->m_buffer.get(), kReadBufferSize);
            if (n >= 0) {
                *buffer = self->m_buffer.get();
                return n;
            }
            if (errno != EINTR) {
                self->m_readErrno = errno;
                archive_set_error(a, errno, "read error");
                return -1;
            }
        }
    }

    static la_int64_t Seek(archive* a, void* client, la_int64_t offset, int whence) {
        auto* self = static_cast<ArchiveReader*>(client);
        const off_t at = ::lseek(self->m_fd, static_cast<off_t>(offset), whence);
        if (at < 0) {
            self->m_readErrno = errno;
            archive_set_error(a, errno, "seek error");
            return ARCHIVE_FATAL;
        }
        return at;
    }
};

void ArchiveReader::Deleter::operator()(archive* a) const {
    archive_read_free(a);
}

ArchiveReader::ArchiveReader(int fd) : m_fd(fd) {}

ArchiveReader::~ArchiveReader() = default;

int ArchiveReader::Open() {
    m_buffer.reset(new (std::nothrow) unsigned char[kReadBufferSize]);
    m_archive.reset(archive_read_new());
    if (!m_buffer || !m_archive) {
        return kResultMemory;
    }
    if (::lseek(m_fd, 0, SEEK_SET) < 0) {
        return kResultRead;
    }
    archive* a = m_archive.get();
    if (archive_read_support_format_7zip(a) != ARCHIVE_OK ||
        archive_read_set_read_callback(a, &Callbacks::Read) != ARCHIVE_OK ||
        archive_read_set_seek_callback(a, &Callbacks::Seek) != ARCHIVE_OK ||
        archive_read_set_callback_data(a, this) != ARCHIVE_OK) {
        return MapError(Phase::Database);
    }
    if (archive_read_open1(a) != ARCHIVE_OK) {
        return MapError(Phase::Database);
    }
    return kResultOk;
}

int ArchiveReader::NextEntry(Entry& result, bool& end) {
    end = false;
    // libarchive reads the whole database with the first header, so errors then are the
    // database's; later headers only skip data, or read a symbolic link's target.
    const Phase phase = m_headerRead ? Phase::Data : Phase::Database;
    m_headerRead = true;
    archive_entry* entry = nullptr;
    const int r = archive_read_next_header(m_archive.get(), &entry);
    if (r == ARCHIVE_EOF) {
        end = true;
        return kResultOk;
    }
    if (r != ARCHIVE_OK) {
        // ARCHIVE_WARN here means the name could not be converted.
        return MapError(phase);
    }
    const char* pathname = archive_entry_pathname(entry);
    result.name = pathname ? pathname : "";
    result.mode = archive_entry_mode(entry);
    result.size = static_cast<std::uint64_t>(std::max<la_int64_t>(archive_entry_size(entry), 0));
    // A folder is an entry without data that is not an empty file; libarchive gives it the
    // folder type and a final '/'.
    result.folder = (result.mode & AE_IFMT) == AE_IFDIR && result.size == 0;
    if (result.folder && !result.name.empty() && result.name.back() == '/') {
        result.name.pop_back();
    }
    return kResultOk;
}

int ArchiveReader::ReadBlock(const void*& data, std::size_t& size, bool& end) {
    end = false;
    la_int64_t offset = 0;
    const int r = archive_read_data_block(m_archive.get(), &data, &size, &offset);
    if (r == ARCHIVE_EOF) {
        end = true;
        size = 0;
        return kResultOk;
    }
    // ARCHIVE_WARN comes with the last piece of an entry whose CRC-32 does not match.
    return r == ARCHIVE_OK ? kResultOk : MapError(Phase::Data);
}

// libarchive reports its 7-Zip reader's faults as an errno value and a sentence. They map
// onto the result codes so:
//   a failed read or seek of the archive file                      -> 8  read error
//   ENOMEM, "... allocate memory", "No memory", "Out of memory"     -> 2  memory
//   "7-Zip bad CRC", "Header CRC error"                             -> 3  CRC error
//   "Unknown/Unexpected codec ID", "Unsupported filter", "... not
//   supported" (encryption, several filters), "Unsupported form of
//   BCJ2", invalid LZMA, PPMd or Delta properties                  -> 4  unsupported
//   "Truncated 7-Zip file body/data"                                -> 6  unexpected end
//   "Not 7-Zip archive file", "Unrecognized archive format"         -> 17 not a 7z archive
//   "Malformed ...", "Unexpected Property ID"                       -> 16 corrupt database
//   "Pathname cannot be converted"                                  -> 11 name conversion
//   anything else ("Damaged 7-Zip archive", "Lzma library error:
//   Corrupted input data", "Failed to decode PPMd", "BCJ2
//   conversion Failed", ...)                                        -> 16 while the database
//                                                  is read, 1 (corrupt data) while decoding
int ArchiveReader::MapError(Phase phase) const {
    if (m_readErrno != 0) {
        return kResultRead;
    }
    const char* text = archive_error_string(m_archive.get());
    const std::string_view message = text ? text : "";
    const auto has = [&](std::string_view part) {
        return message.find(part) != std::string_view::npos;
    };
    if (archive_errno(m_archive.get()) == ENOMEM || has("allocate memory") || has("No memory") ||
        has("Out of memory")) {
        return kResultMemory;
    }
    if (has("CRC")) {
        return kResultCrc;
    }
    if (has("codec ID") || has("nsupported") || has("not supported") || has("Invalid options") ||
        has("PPMd parameter") || has("Delta parameter")) {
        return kResultUnsupported;
    }
    if (has("Truncated")) {
        return kResultInputEof;
    }
    if (has("Not 7-Zip") || has("Unrecognized archive format")) {
        return kResultNoArchive;
    }
    if (has("Malformed") || has("Unexpected Property")) {
        return kResultArchive;
    }
    if (has("Pathname cannot be converted")) {
        return kResultFail;
    }
    return phase == Phase::Database ? kResultArchive : kResultData;
}

}  // namespace extract
