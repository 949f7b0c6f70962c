#include "extract/EntryWriter.h"

#include <archive_entry.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "extract/ExtractLog.h"
#include "extract/ExtractResult.h"

namespace extract {

namespace {

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

}  // namespace

int EntryWriter::Run() {
    try {
        return Handle();
    } catch (const std::bad_alloc&) {
        Abandon();
        m_queue.Close();
        return kResultMemory;
    }
}

int EntryWriter::Handle() {
    Piece piece;
    while (m_queue.Pop(piece)) {
        int result = kResultOk;
        switch (piece.kind) {
            case Piece::Kind::Begin:
                result = Begin(piece);
                break;
            case Piece::Kind::Data:
                result = Write(piece);
                break;
            case Piece::Kind::Fail:
                Abandon();
                result = piece.result;
                break;
            case Piece::Kind::Finish:
                return kResultOk;
        }
        if (result != kResultOk) {
            m_queue.Close();
            return result;
        }
    }
    return kResultFail;
}

int EntryWriter::Begin(const Piece& piece) {
    LogText("Extracting ");
    LogText(piece.name);
    if (!piece.folder) {
        m_name = piece.name;
        m_mode = piece.mode;
        return kResultOk;
    }
    LogText("/");
    if (!OutputTree::IsSafeName(piece.name)) {
        LogError("can not open output file");
        return kResultFail;
    }
    m_tree.MakeFolder(piece.name);
    LogText("\n");
    return kResultOk;
}

int EntryWriter::Write(const Piece& piece) {
    if (!m_file.Valid()) {
        // Only regular files are extracted: no entry makes a symbolic link, a device or a
        // FIFO.
        const mode_t type = m_mode & AE_IFMT;
        std::string_view leaf;
        if ((type == AE_IFREG || type == 0) && OutputTree::IsSafeName(m_name)) {
            m_file = m_tree.CreateFile(m_name, m_parent, leaf);
        }
        if (!m_file.Valid()) {
            LogError("can not open output file");
            return kResultFail;
        }
        m_leaf = leaf;
    }
    if (!WriteAll(m_file.Get(), piece.bytes.data(), piece.bytes.size())) {
        LogError("can not write output file");
        return kResultFail;
    }
    if (!piece.last) {
        return kResultOk;
    }
    ApplyAttributes(m_file.Get(), m_mode);
    if (::close(m_file.Release()) != 0) {
        LogError("can not close output file");
        return kResultFail;
    }
    LogText("\n");
    return kResultOk;
}

void EntryWriter::Abandon() {
    // The entry's data turned out bad after part of it was written: leave no half-written
    // file behind.
    if (m_file.Valid()) {
        m_file.Reset();
        ::unlinkat(m_parent, m_leaf.c_str(), 0);
    }
}

}  // namespace extract
