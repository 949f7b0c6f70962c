#include "extract/ExtractArchive.h"

#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "extract/ArchiveReader.h"
#include "extract/ExtractLog.h"
#include "extract/ExtractResult.h"
#include "extract/OutputTree.h"
#include "extract/UniqueFd.h"
#include "extract/Utf8Locale.h"
#include "platform/messages.h"
#include "platform/window.h"

using namespace extract;

namespace {

// Decoded data is gathered into this buffer and written in pieces of its size. An entry
// that fits is decoded and CRC-checked completely before anything of it touches the disk.
constexpr std::size_t kWriteBufferSize = 4 << 20;

// Fills a buffer from the current entry's decoded blocks, keeping what does not fit.
class EntryData {
public:
    EntryData(ArchiveReader& reader, unsigned char* buffer) : m_reader(reader), m_buffer(buffer) {}

    // Fills the buffer until it is full or the entry ends; a result code.
    int Fill(std::size_t& filled) {
        filled = 0;
        while (filled < kWriteBufferSize && !m_end) {
            if (m_pendingSize == 0) {
                const void* data = nullptr;
                const int r = m_reader.ReadBlock(data, m_pendingSize, m_end);
                if (r != kResultOk) {
                    return r;
                }
                m_pending = static_cast<const unsigned char*>(data);
                continue;
            }
            const std::size_t n = std::min(m_pendingSize, kWriteBufferSize - filled);
            std::memcpy(m_buffer + filled, m_pending, n);
            filled += n;
            m_pending += n;
            m_pendingSize -= n;
        }
        return kResultOk;
    }
    bool End() const { return m_end && m_pendingSize == 0; }

private:
    ArchiveReader& m_reader;
    unsigned char* m_buffer;
    const unsigned char* m_pending = nullptr;
    std::size_t m_pendingSize = 0;
    bool m_end = false;
};

bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The archive's attribute word as libarchive hands it on: the high 16 bits of the word as
// the mode, with the write bits cleared when the read-only bit is set, or 0666 (0444 when
// read-only) when those bits are 0 or no word is stored. The permission bits, at most 0777,
// are applied; libarchive's default stands for "no Unix mode", where only the read-only bit
// counts and the permissions the file was created with stay otherwise. Set-user-ID,
// set-group-ID and sticky bits are never applied.
void ApplyAttributes(int fd, mode_t mode) {
    const mode_t permissions = mode & 0777;
    if (permissions == 0666) {
        return;
    }
    if (permissions == 0444) {
        struct stat st {};
        if (::fstat(fd, &st) == 0) {
            ::fchmod(fd, st.st_mode & 0777 & ~static_cast<mode_t>(0222));
        }
        return;
    }
    ::fchmod(fd, permissions);
}

int ExtractFile(ArchiveReader& reader, OutputTree& tree, const std::string& name, mode_t mode,
                unsigned char* buffer) {
    EntryData data(reader, buffer);
    std::size_t filled = 0;
    int r = data.Fill(filled);
    if (r != kResultOk) {
        return r;
    }
    // Only regular files are extracted: no entry makes a symbolic link, a device or a FIFO.
    const mode_t type = mode & AE_IFMT;
    int parent = -1;
    std::string_view leaf;
    UniqueFd file;
    if ((type == AE_IFREG || type == 0) && OutputTree::IsSafeName(name)) {
        file = tree.CreateFile(name, parent, leaf);
    }
    if (!file.Valid()) {
        LogError("can not open output file");
        return kResultFail;
    }
    for (;;) {
        if (!WriteAll(file.Get(), buffer, filled)) {
            LogError("can not write output file");
            return kResultFail;
        }
        if (data.End()) {
            break;
        }
        r = data.Fill(filled);
        if (r != kResultOk) {
            // The entry's data is bad: leave no half-written file behind.
            file.Reset();
            ::unlinkat(parent, std::string(leaf).c_str(), 0);
            return r;
        }
    }
    ApplyAttributes(file.Get(), mode);
    if (::close(file.Release()) != 0) {
        LogError("can not close output file");
        return kResultFail;
    }
    return kResultOk;
}

int ExtractEntry(ArchiveReader& reader, OutputTree& tree, archive_entry* entry,
                 unsigned char* buffer) {
    const char* pathname = archive_entry_pathname(entry);
    std::string name = pathname ? pathname : "";
    const mode_t mode = archive_entry_mode(entry);
    // A folder is an entry without data that is not an empty file; libarchive gives it the
    // folder type and a final '/', which the log does not show.
    const bool folder = (mode & AE_IFMT) == AE_IFDIR && archive_entry_size(entry) == 0;
    if (folder && !name.empty() && name.back() == '/') {
        name.pop_back();
    }
    LogText("Extracting ");
    LogText(name);
    if (folder) {
        LogText("/");
        if (!OutputTree::IsSafeName(name)) {
            LogError("can not open output file");
            return kResultFail;
        }
        tree.MakeFolder(name);
    } else {
        const int r = ExtractFile(reader, tree, name, mode, buffer);
        if (r != kResultOk) {
            return r;
        }
    }
    LogText("\n");
    return kResultOk;
}

// The number of entries, read from the database without decoding any data.
int CountEntries(int fd, std::size_t& count) {
    count = 0;
    ArchiveReader reader(fd);
    int r = reader.Open();
    if (r != kResultOk) {
        return r;
    }
    for (;;) {
        archive_entry* entry = nullptr;
        bool end = false;
        r = reader.NextEntry(entry, end);
        if (r != kResultOk) {
            // A fault behind the database (a symbolic link's target is decoded with its
            // header) belongs to that entry: the entries before it are still extracted.
            if (count > 0) {
                ++count;
                return kResultOk;
            }
            return r;
        }
        if (end) {
            return kResultOk;
        }
        ++count;
    }
}

int Extract(int fd, OutputTree& tree, platform::Window* progressWindow) {
    bool empty = false;
    int r = CheckStartHeader(fd, empty);
    if (r != kResultOk || empty) {
        return r;
    }
    const ScopedUtf8Locale utf8;
    std::size_t count = 0;
    r = CountEntries(fd, count);
    if (r != kResultOk) {
        return r;
    }
    ArchiveReader reader(fd);
    r = reader.Open();
    if (r != kResultOk) {
        return r;
    }
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kWriteBufferSize]);
    if (!buffer) {
        return kResultMemory;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (progressWindow) {
            const double percent = static_cast<double>(i) * 100.0 / static_cast<double>(count);
            progressWindow->Send(WM_INSTALL_PROGRESS, static_cast<std::uintptr_t>(percent), 0);
        }
        archive_entry* entry = nullptr;
        bool end = false;
        r = reader.NextEntry(entry, end);
        if (r != kResultOk) {
            return r;
        }
        if (end) {
            return kResultArchive;  // the file changed since it was counted
        }
        r = ExtractEntry(reader, tree, entry, buffer.get());
        if (r != kResultOk) {
            return r;
        }
    }
    return kResultOk;
}

}  // namespace

int ExtractArchive(const char* archivePath, const std::string& outputDir,
                   platform::Window* progressWindow) {
    if (archivePath == nullptr || outputDir.empty()) {
        return -1;
    }
    std::string folder = outputDir;
    if (folder.back() != '/') {
        folder += '/';
    }
    OutputTree tree(folder);
    if (!tree.Valid()) {
        return -1;
    }
    LogBanner();
    // O_NONBLOCK: opening a FIFO must not wait for a writer; only a regular file is read.
    UniqueFd archiveFd(::open(archivePath, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!archiveFd.Valid() || ::fstat(archiveFd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        LogError("can not open input file");
        LogFlush();
        return 1;
    }
    const int result = Extract(archiveFd.Get(), tree, progressWindow);
    LogResult(result);
    return result == kResultOk ? 0 : 1;
}
