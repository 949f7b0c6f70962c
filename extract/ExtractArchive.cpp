#include "extract/ExtractArchive.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "extract/ArchiveReader.h"
#include "extract/EntryWriter.h"
#include "extract/ExtractLog.h"
#include "extract/ExtractResult.h"
#include "extract/OutputTree.h"
#include "extract/PieceQueue.h"
#include "extract/SevenZipDatabase.h"
#include "extract/SevenZipReader.h"
#include "extract/UniqueFd.h"
#include "extract/Utf8Locale.h"
#include "platform/messages.h"
#include "platform/window.h"

using namespace extract;

namespace {

// Decoded data goes to the writing thread in pieces of kPieceSize, small enough to stay in
// the processor's cache between the two threads. The first piece of an entry is larger: it
// holds all of the entry or kFirstPieceSize of it, so an entry that fits is decoded and
// CRC-checked completely before anything of it touches the disk.
constexpr std::size_t kPieceSize = 256 << 10;
constexpr std::size_t kFirstPieceSize = 1 << 20;
// Decoded data waiting for the writing thread; with the pieces being filled and written it
// bounds the extraction's own memory.
constexpr std::size_t kQueueBytes = 2 << 20;

// The number of entries, read by libarchive from the database without decoding any data.
int CountEntries(int fd, std::size_t& count) {
    count = 0;
    ArchiveReader reader(fd);
    int r = reader.Open();
    if (r != kResultOk) {
        return r;
    }
    for (;;) {
        Entry entry;
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

// Decodes a file entry's data into Data pieces. A result code; kResultOk also when the
// writing side has stopped.
int DecodeFile(EntrySource& reader, const Entry& entry, PieceQueue& queue) {
    std::uint64_t remaining = entry.size;
    for (std::size_t limit = kFirstPieceSize;; limit = kPieceSize) {
        Piece piece;
        piece.kind = Piece::Kind::Data;
        piece.bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(remaining, limit)));
        while (piece.bytes.size() < limit && !piece.last) {
            const void* data = nullptr;
            std::size_t size = 0;
            const int r = reader.ReadBlock(data, size, piece.last);
            if (r != kResultOk) {
                return r;
            }
            const auto* bytes = static_cast<const unsigned char*>(data);
            piece.bytes.insert(piece.bytes.end(), bytes, bytes + size);
            remaining -= std::min<std::uint64_t>(remaining, size);
        }
        const bool last = piece.last;
        if (!queue.Push(std::move(piece)) || last) {
            return kResultOk;
        }
    }
}

// The decoding side, on the calling thread: for each entry the progress message, its
// header and its data, handed to the writing thread. A result code; kResultOk also when the
// writing side has stopped.
int DecodeEntries(EntrySource& reader, std::size_t count, PieceQueue& queue,
                  platform::Window* progressWindow) {
    for (std::size_t i = 0; i < count && !queue.Closed(); ++i) {
        if (progressWindow) {
            const double percent = static_cast<double>(i) * 100.0 / static_cast<double>(count);
            progressWindow->Send(WM_INSTALL_PROGRESS, static_cast<std::uintptr_t>(percent), 0);
        }
        Entry entry;
        bool end = false;
        int r = reader.NextEntry(entry, end);
        if (r == kResultOk && end) {
            r = kResultArchive;  // the file changed since it was counted
        }
        if (r != kResultOk) {
            return r;
        }
        Piece begin;
        begin.kind = Piece::Kind::Begin;
        begin.name = entry.name;
        begin.mode = entry.mode;
        begin.folder = entry.folder;
        const bool folder = begin.folder;
        if (!queue.Push(std::move(begin))) {
            return kResultOk;
        }
        if (!folder) {
            r = DecodeFile(reader, entry, queue);
            if (r != kResultOk) {
                return r;
            }
        }
    }
    return kResultOk;
}

// Decoding and writing overlap: the calling thread hands the entries over (and sends the
// progress), a second thread creates and writes the files, so neither waits for the other's
// work. The data itself is decoded by the extraction's own reader on worker threads; an
// archive that reader does not take goes through libarchive's on the calling thread.
int Extract(int fd, OutputTree& tree, platform::Window* progressWindow) {
    bool empty = false;
    int r = CheckStartHeader(fd, empty);
    if (r != kResultOk || empty) {
        return r;
    }
    std::unique_ptr<EntrySource> reader;
    std::size_t count = 0;
    try {
        SevenZipDatabase database;
        if (ReadSevenZipDatabase(fd, database)) {
            auto own = std::make_unique<SevenZipReader>(fd, std::move(database));
            r = own->Open();
            count = own->Count();
            reader = std::move(own);
        } else {
            r = CountEntries(fd, count);
            if (r == kResultOk) {
                auto theirs = std::make_unique<ArchiveReader>(fd);
                r = theirs->Open();
                reader = std::move(theirs);
            }
        }
    } catch (const std::bad_alloc&) {
        r = kResultMemory;
    }
    if (r != kResultOk) {
        return r;
    }
    PieceQueue queue(kQueueBytes);
    EntryWriter writer(tree, queue);
    int written = kResultOk;
    std::thread writing;
    try {
        writing = std::thread([&] { written = writer.Run(); });
    } catch (const std::system_error&) {
        return kResultMemory;
    }
    try {
        r = DecodeEntries(*reader, count, queue, progressWindow);
    } catch (const std::bad_alloc&) {
        r = kResultMemory;
    }
    Piece last;
    last.kind = r == kResultOk ? Piece::Kind::Finish : Piece::Kind::Fail;
    last.result = r;
    queue.Push(std::move(last));
    writing.join();
    return written;
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
    const ScopedUtf8Locale utf8;
    const int result = Extract(archiveFd.Get(), tree, progressWindow);
    LogResult(result);
    return result == kResultOk ? 0 : 1;
}
