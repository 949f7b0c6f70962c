#include "extract/SevenZipDatabase.h"

#include <endian.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include "extract/ExtractResult.h"
#include "extract/JobDecoder.h"

namespace extract {

namespace {

constexpr std::uint64_t kStartHeaderSize = 32;
// A database larger than this is left to libarchive, which streams it.
constexpr std::uint64_t kMaxDatabaseSize = 64 << 20;
constexpr std::uint64_t kMaxCount = 1 << 24;

enum Property : std::uint8_t {
    kEnd = 0x00,
    kHeader = 0x01,
    kMainStreamsInfo = 0x04,
    kFilesInfo = 0x05,
    kPackInfo = 0x06,
    kUnpackInfo = 0x07,
    kSubStreamsInfo = 0x08,
    kSize = 0x09,
    kCrc = 0x0A,
    kFolder = 0x0B,
    kCodersUnpackSize = 0x0C,
    kNumUnpackStream = 0x0D,
    kEmptyStream = 0x0E,
    kEmptyFile = 0x0F,
    kAnti = 0x10,
    kName = 0x11,
    kWinAttributes = 0x15,
    kEncodedHeader = 0x17,
};

// Bounds-checked reading of the database's bytes; any read past the end sets `failed`.
class Cursor {
public:
    explicit Cursor(std::string_view bytes) : m_bytes(bytes) {}

    bool Failed() const { return m_failed; }
    std::size_t Left() const { return m_failed ? 0 : m_bytes.size() - m_at; }

    std::uint8_t Byte() {
        if (Left() < 1) {
            m_failed = true;
            return 0;
        }
        return static_cast<std::uint8_t>(m_bytes[m_at++]);
    }

    // The format's variable-length number: the leading one bits of the first byte count the
    // little-endian bytes that follow.
    std::uint64_t Number() {
        const std::uint8_t first = Byte();
        std::uint8_t mask = 0x80;
        std::uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            if ((first & mask) == 0) {
                const std::uint64_t high = first & (mask - 1u);
                return value | high << (8 * i);
            }
            value |= static_cast<std::uint64_t>(Byte()) << (8 * i);
            mask >>= 1;
        }
        return value;
    }

    // A number that stands for a count, at most `limit`. Every item counted takes at least
    // one byte of what follows, so a count beyond that is damage, not a reason to allocate.
    std::uint64_t Count(std::uint64_t limit = kMaxCount) {
        const std::uint64_t n = Number();
        if (n > limit || n > Left()) {
            m_failed = true;
            return 0;
        }
        return n;
    }

    std::uint32_t Le32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        }
        return v;
    }

    std::string_view Bytes(std::uint64_t n) {
        if (n > Left()) {
            m_failed = true;
            return {};
        }
        const std::string_view part = m_bytes.substr(m_at, static_cast<std::size_t>(n));
        m_at += static_cast<std::size_t>(n);
        return part;
    }

    std::vector<bool> Bits(std::uint64_t n) {
        std::vector<bool> bits(static_cast<std::size_t>(n));
        std::uint8_t byte = 0;
        for (std::uint64_t i = 0; i < n; ++i) {
            if (i % 8 == 0) {
                byte = Byte();
            }
            bits[static_cast<std::size_t>(i)] = (byte & (0x80 >> (i % 8))) != 0;
        }
        return bits;
    }

    // An "all defined" byte, then the bit vector when it is 0.
    std::vector<bool> Defined(std::uint64_t n) {
        return Byte() != 0 ? std::vector<bool>(static_cast<std::size_t>(n), true) : Bits(n);
    }

    void Fail() { m_failed = true; }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
    bool m_failed = false;
};

struct Digests {
    std::vector<bool> defined;
    std::vector<std::uint32_t> values;
};

Digests ReadDigests(Cursor& in, std::uint64_t n) {
    Digests d;
    d.defined = in.Defined(n);
    d.values.resize(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < d.defined.size() && !in.Failed(); ++i) {
        if (d.defined[i]) {
            d.values[i] = in.Le32();
        }
    }
    return d;
}

struct StreamsInfo {
    std::uint64_t packPos = 0;
    std::vector<std::uint64_t> packSizes;
    std::vector<SevenZipFolder> folders;
    // Sizes and CRC-32 values of each folder's substreams, folder by folder.
    std::vector<std::uint64_t> sizes;
    std::vector<bool> crcDefined;
    std::vector<std::uint32_t> crcs;
};

bool ReadPackInfo(Cursor& in, StreamsInfo& info) {
    info.packPos = in.Number();
    const std::uint64_t n = in.Count();
    for (;;) {
        const std::uint8_t id = in.Byte();
        if (in.Failed()) {
            return false;
        }
        if (id == kEnd) {
            return info.packSizes.size() == n;
        }
        if (id == kSize) {
            for (std::uint64_t i = 0; i < n && !in.Failed(); ++i) {
                info.packSizes.push_back(in.Number());
            }
        } else if (id == kCrc) {
            ReadDigests(in, n);  // the folders' own checks cover the same bytes
        } else {
            return false;
        }
    }
}

struct Coder {
    std::string_view id;
    std::string_view properties;
};

// One folder: a single coder, or BCJ over LZMA or LZMA2, the one bind pair feeding the
// LZMA coder's output into BCJ's input (the encoder lists the two in either order). `count`
// is set to the number of coders and `finalCoder` to the one whose output is the folder's.
bool ReadFolder(Cursor& in, SevenZipFolder& folder, std::uint64_t& count,
                std::uint64_t& finalCoder) {
    count = in.Count(4);
    if (count == 0 || count > 2) {
        return false;
    }
    std::array<Coder, 2> coders;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t flags = in.Byte();
        // Complex coders (several streams) and the reserved bit are not taken.
        if ((flags & 0xD0) != 0) {
            return false;
        }
        coders[i].id = in.Bytes(flags & 0x0F);
        if ((flags & 0x20) != 0) {
            coders[i].properties = in.Bytes(in.Count(1 << 16));
        }
    }
    finalCoder = 0;
    std::uint64_t packedCoder = 0;
    if (count == 2) {
        finalCoder = in.Number();   // the coder whose input is bound
        packedCoder = in.Number();  // the coder whose output feeds it
        if (finalCoder + packedCoder != 1) {
            return false;
        }
    }
    if (in.Failed()) {
        return false;
    }
    using namespace std::string_view_literals;
    const Coder& packed = coders[packedCoder];
    const Coder& filter = coders[finalCoder];
    if (count == 2 && (filter.id != "\x03\x03\x01\x03"sv || !filter.properties.empty())) {
        return false;
    }
    if (packed.id == "\x00"sv && count == 1 && packed.properties.empty()) {
        folder.method = FolderMethod::Copy;
    } else if (packed.id == "\x21"sv && packed.properties.size() == 1) {
        folder.method = count == 2 ? FolderMethod::BcjLzma2 : FolderMethod::Lzma2;
        folder.dictSize = Lzma2DictSize(static_cast<std::uint8_t>(packed.properties[0]));
        if (folder.dictSize == 0) {
            return false;
        }
    } else if (packed.id == "\x03\x01\x01"sv && packed.properties.size() == 5) {
        folder.method = count == 2 ? FolderMethod::BcjLzma : FolderMethod::Lzma;
        const auto* p = reinterpret_cast<const unsigned char*>(packed.properties.data());
        folder.lzmaProperties = p[0];
        folder.dictSize = static_cast<std::uint32_t>(p[1]) | static_cast<std::uint32_t>(p[2]) << 8 |
                          static_cast<std::uint32_t>(p[3]) << 16 |
                          static_cast<std::uint32_t>(p[4]) << 24;
        if (folder.lzmaProperties >= 9 * 5 * 5) {
            return false;
        }
    } else {
        return false;
    }
    return true;
}

bool ReadUnpackInfo(Cursor& in, StreamsInfo& info) {
    if (in.Byte() != kFolder) {
        return false;
    }
    const std::uint64_t n = in.Count();
    if (in.Byte() != 0) {
        return false;  // folders stored elsewhere
    }
    info.folders.resize(static_cast<std::size_t>(n));
    std::vector<std::uint64_t> coders(info.folders.size());
    std::vector<std::uint64_t> finals(info.folders.size());
    for (std::size_t i = 0; i < info.folders.size(); ++i) {
        if (!ReadFolder(in, info.folders[i], coders[i], finals[i])) {
            return false;
        }
    }
    if (in.Byte() != kCodersUnpackSize) {
        return false;
    }
    for (std::size_t i = 0; i < info.folders.size(); ++i) {
        SevenZipFolder& folder = info.folders[i];
        // Output sizes come coder by coder.
        std::array<std::uint64_t, 2> sizes{};
        for (std::uint64_t c = 0; c < coders[i]; ++c) {
            sizes[c] = in.Number();
        }
        folder.unpackSize = sizes[finals[i]];
        folder.intermediateSize = coders[i] == 2 ? sizes[1 - finals[i]] : folder.unpackSize;
        if (folder.intermediateSize != folder.unpackSize) {
            return false;  // BCJ changes no lengths
        }
    }
    for (;;) {
        const std::uint8_t id = in.Byte();
        if (in.Failed()) {
            return false;
        }
        if (id == kEnd) {
            return true;
        }
        if (id != kCrc) {
            return false;
        }
        const Digests d = ReadDigests(in, n);
        for (std::size_t i = 0; i < info.folders.size() && !in.Failed(); ++i) {
            info.folders[i].crcDefined = d.defined[i];
            info.folders[i].crc = d.values[i];
        }
    }
}

bool ReadSubStreamsInfo(Cursor& in, StreamsInfo& info) {
    std::uint8_t id = in.Byte();
    if (id == kNumUnpackStream) {
        for (SevenZipFolder& folder : info.folders) {
            folder.substreams = in.Count();
        }
        id = in.Byte();
    }
    std::uint64_t total = 0;
    for (const SevenZipFolder& folder : info.folders) {
        total += folder.substreams;
        if (total > kMaxCount) {
            return false;
        }
    }
    const bool sizesStored = id == kSize;
    for (const SevenZipFolder& folder : info.folders) {
        if (folder.substreams == 0) {
            continue;
        }
        std::uint64_t sum = 0;
        for (std::uint64_t i = 1; i < folder.substreams && sizesStored; ++i) {
            const std::uint64_t size = in.Number();
            if (size > folder.unpackSize - sum) {
                return false;
            }
            sum += size;
            info.sizes.push_back(size);
        }
        if (!sizesStored && folder.substreams > 1) {
            return false;
        }
        info.sizes.push_back(folder.unpackSize - sum);
    }
    if (sizesStored) {
        id = in.Byte();
    }
    // CRC-32 values are stored for every substream but those of a folder that has a single
    // one and its own CRC-32.
    std::uint64_t unknown = 0;
    for (const SevenZipFolder& folder : info.folders) {
        unknown += folder.substreams == 1 && folder.crcDefined ? 0 : folder.substreams;
    }
    Digests d;
    for (;;) {
        if (in.Failed()) {
            return false;
        }
        if (id == kEnd) {
            break;
        }
        if (id != kCrc) {
            return false;
        }
        d = ReadDigests(in, unknown);
        id = in.Byte();
    }
    std::size_t next = 0;
    for (const SevenZipFolder& folder : info.folders) {
        if (folder.substreams == 1 && folder.crcDefined) {
            info.crcDefined.push_back(true);
            info.crcs.push_back(folder.crc);
            continue;
        }
        for (std::uint64_t i = 0; i < folder.substreams; ++i, ++next) {
            const bool known = next < d.defined.size() && d.defined[next];
            info.crcDefined.push_back(known);
            info.crcs.push_back(known ? d.values[next] : 0);
        }
    }
    return true;
}

void DefaultSubStreams(StreamsInfo& info) {
    for (const SevenZipFolder& folder : info.folders) {
        info.sizes.push_back(folder.unpackSize);
        info.crcDefined.push_back(folder.crcDefined);
        info.crcs.push_back(folder.crc);
    }
}

// Pack streams follow each other from the end of the start header; every folder reads one,
// and all must lie before the database.
bool PlacePackStreams(StreamsInfo& info, std::uint64_t dataEnd) {
    if (info.packSizes.size() != info.folders.size()) {
        return false;
    }
    std::uint64_t at = kStartHeaderSize + info.packPos;
    if (at < info.packPos || at > dataEnd) {
        return false;
    }
    for (std::size_t i = 0; i < info.folders.size(); ++i) {
        const std::uint64_t size = info.packSizes[i];
        if (size > dataEnd - at) {
            return false;
        }
        info.folders[i].packOffset = at;
        info.folders[i].packSize = size;
        at += size;
    }
    return true;
}

bool ReadStreamsInfo(Cursor& in, StreamsInfo& info, std::uint64_t dataEnd) {
    std::uint8_t id = in.Byte();
    if (id == kPackInfo) {
        if (!ReadPackInfo(in, info)) {
            return false;
        }
        id = in.Byte();
    }
    if (id == kUnpackInfo) {
        if (!ReadUnpackInfo(in, info)) {
            return false;
        }
        id = in.Byte();
    }
    if (id == kSubStreamsInfo) {
        if (!ReadSubStreamsInfo(in, info)) {
            return false;
        }
        id = in.Byte();
    } else {
        DefaultSubStreams(info);
    }
    return id == kEnd && !in.Failed() && PlacePackStreams(info, dataEnd);
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Zero-terminated UTF-16LE names, one for each file; false on a lone surrogate.
bool ReadNames(Cursor& in, std::vector<SevenZipFile>& files, std::uint64_t size) {
    if (size < 1 || in.Byte() != 0) {
        return false;  // names stored elsewhere
    }
    const std::string_view bytes = in.Bytes(size - 1);
    std::size_t at = 0;
    const auto unit = [&]() -> std::uint32_t {
        const auto lo = static_cast<unsigned char>(bytes[at]);
        const auto hi = static_cast<unsigned char>(bytes[at + 1]);
        at += 2;
        return lo | static_cast<std::uint32_t>(hi) << 8;
    };
    for (SevenZipFile& file : files) {
        for (;;) {
            if (bytes.size() - at < 2) {
                return false;
            }
            std::uint32_t c = unit();
            if (c == 0) {
                break;
            }
            if (c >= 0xDC00 && c <= 0xDFFF) {
                return false;
            }
            if (c >= 0xD800 && c <= 0xDBFF) {
                if (bytes.size() - at < 2) {
                    return false;
                }
                const std::uint32_t low = unit();
                if (low < 0xDC00 || low > 0xDFFF) {
                    return false;
                }
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            }
            AppendUtf8(file.name, c);
        }
    }
    return at == bytes.size() && !in.Failed();
}

struct Attributes {
    std::vector<bool> defined;
    std::vector<std::uint32_t> values;
};

bool ReadAttributes(Cursor& in, Attributes& attributes, std::uint64_t n) {
    attributes.defined = in.Defined(n);
    if (in.Byte() != 0) {
        return false;
    }
    attributes.values.resize(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < attributes.defined.size() && !in.Failed(); ++i) {
        if (attributes.defined[i]) {
            attributes.values[i] = in.Le32();
        }
    }
    return !in.Failed();
}

// The type and permissions as libarchive's reader gives them, which the extraction has
// always applied: the high 16 bits of the attribute word when they hold a Unix mode, else a
// folder or a regular file with 0777 or 0666; the read-only bit clears the write bits.
mode_t EntryMode(bool folder, bool defined, std::uint32_t attributes) {
    mode_t mode = 0;
    if (defined && (attributes & 0x8000u) != 0 && (attributes >> 16) != 0) {
        mode = static_cast<mode_t>(attributes >> 16);
    } else if (folder || (defined && (attributes & 0x10u) != 0)) {
        mode = S_IFDIR | 0777;
    } else {
        mode = S_IFREG | 0666;
    }
    if (defined && (attributes & 0x01u) != 0) {
        mode &= ~static_cast<mode_t>(0222);
    }
    return mode;
}

bool ReadFilesInfo(Cursor& in, const StreamsInfo& streams, SevenZipDatabase& database) {
    const std::uint64_t n = in.Count();
    std::vector<SevenZipFile>& files = database.files;
    files.resize(static_cast<std::size_t>(n));
    std::vector<bool> emptyStream(files.size(), false);
    std::vector<bool> emptyFile;
    std::uint64_t emptyCount = 0;
    Attributes attributes;
    bool named = false;
    for (;;) {
        const std::uint64_t id = in.Number();
        if (in.Failed()) {
            return false;
        }
        if (id == kEnd) {
            break;
        }
        const std::uint64_t size = in.Number();
        if (size > in.Left()) {
            return false;
        }
        Cursor property(in.Bytes(size));
        switch (id) {
            case kEmptyStream:
                emptyStream = property.Bits(n);
                emptyCount = 0;
                for (const bool empty : emptyStream) {
                    emptyCount += empty ? 1 : 0;
                }
                emptyFile.assign(static_cast<std::size_t>(emptyCount), false);
                break;
            case kEmptyFile:
                emptyFile = property.Bits(emptyCount);
                break;
            case kAnti:
                for (const bool anti : property.Bits(emptyCount)) {
                    if (anti) {
                        return false;  // entries that delete files when an update is applied
                    }
                }
                break;
            case kName:
                if (!ReadNames(property, files, size)) {
                    return false;
                }
                named = true;
                break;
            case kWinAttributes:
                if (!ReadAttributes(property, attributes, n)) {
                    return false;
                }
                break;
            default:
                break;  // times, padding, start positions: not used
        }
        if (property.Failed()) {
            return false;
        }
    }
    if (!named && n > 0) {
        return false;
    }
    std::size_t stream = 0;
    std::size_t empty = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        SevenZipFile& file = files[i];
        file.hasStream = !emptyStream[i];
        if (file.hasStream) {
            if (stream >= streams.sizes.size()) {
                return false;
            }
            file.size = streams.sizes[stream];
            file.crcDefined = streams.crcDefined[stream];
            file.crc = streams.crcs[stream];
            ++stream;
        } else {
            file.folder = !emptyFile[empty++];
        }
        const bool defined = i < attributes.defined.size() && attributes.defined[i];
        const std::uint32_t word = defined ? attributes.values[i] : 0;
        file.mode = EntryMode(file.folder, defined, word);
        // A folder by its attributes with no data is a folder, whatever the stream flags say.
        file.folder = (file.mode & S_IFMT) == S_IFDIR && file.size == 0;
    }
    return stream == streams.sizes.size();
}

bool ReadHeader(Cursor& in, std::uint64_t dataEnd, SevenZipDatabase& database) {
    StreamsInfo streams;
    std::uint8_t id = in.Byte();
    if (id == kMainStreamsInfo) {
        if (!ReadStreamsInfo(in, streams, dataEnd)) {
            return false;
        }
        id = in.Byte();
    }
    if (id == kFilesInfo) {
        if (!ReadFilesInfo(in, streams, database)) {
            return false;
        }
        id = in.Byte();
    } else if (!streams.sizes.empty()) {
        return false;
    }
    database.folders = std::move(streams.folders);
    return id == kEnd && !in.Failed();
}

bool ReadAt(int fd, std::string& out, std::uint64_t offset, std::uint64_t size) {
    out.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n =
            ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// An encoded header: the streams of one folder whose output is the real header.
bool DecodeHeader(int fd, Cursor& in, std::uint64_t dataEnd, std::string& header) {
    StreamsInfo streams;
    if (!ReadStreamsInfo(in, streams, dataEnd) || streams.folders.size() != 1) {
        return false;
    }
    const SevenZipFolder& folder = streams.folders[0];
    if (folder.unpackSize > kMaxDatabaseSize) {
        return false;
    }
    DecodeJob job{&folder, folder.packOffset, folder.packSize, folder.unpackSize};
    JobDecoder decoder(fd, job);
    if (decoder.Start() != kResultOk) {
        return false;
    }
    header.resize(static_cast<std::size_t>(folder.unpackSize));
    std::size_t at = 0;
    for (bool done = folder.unpackSize == 0; !done;) {
        std::size_t produced = 0;
        if (decoder.Decode(reinterpret_cast<unsigned char*>(header.data()) + at, header.size() - at,
                           produced, done) != kResultOk) {
            return false;
        }
        at += produced;
    }
    return !folder.crcDefined || crc32(0, reinterpret_cast<const Bytef*>(header.data()),
                                       static_cast<uInt>(header.size())) == folder.crc;
}

}  // namespace

bool ReadSevenZipDatabase(int fd, SevenZipDatabase& database) {
    database = {};
    try {
        std::string start;
        if (!ReadAt(fd, start, 0, kStartHeaderSize)) {
            return false;
        }
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
        std::memcpy(&offset, start.data() + 12, 8);
        std::memcpy(&size, start.data() + 20, 8);
        offset = le64toh(offset);
        size = le64toh(size);
        struct stat st {};
        if (size == 0 || size > kMaxDatabaseSize || ::fstat(fd, &st) != 0 ||
            offset > static_cast<std::uint64_t>(st.st_size) ||
            kStartHeaderSize + offset + size > static_cast<std::uint64_t>(st.st_size)) {
            return false;
        }
        const std::uint64_t dataEnd = kStartHeaderSize + offset;
        std::string bytes;
        if (!ReadAt(fd, bytes, dataEnd, size)) {
            return false;
        }
        Cursor in(bytes);
        std::uint8_t id = in.Byte();
        std::string decoded;
        if (id == kEncodedHeader) {
            if (!DecodeHeader(fd, in, dataEnd, decoded)) {
                return false;
            }
            in = Cursor(decoded);
            id = in.Byte();
        }
        return id == kHeader && ReadHeader(in, dataEnd, database);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace extract
