#include "extract/SevenZipReader.h"

#include <zlib.h>

#include <algorithm>
#include <thread>
#include <utility>

#include "extract/ExtractResult.h"
#include "extract/Lzma2Segments.h"

namespace extract {

namespace {

// Cuts of an LZMA2 stream closer than this are not worth a job of their own.
constexpr std::uint64_t kMinJobOutput = 4 << 20;

ParallelDecoder::Limits DecoderLimits() {
    ParallelDecoder::Limits limits;
    limits.threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    return limits;
}

}  // namespace

SevenZipReader::SevenZipReader(int fd, SevenZipDatabase database)
    : m_fd(fd), m_database(std::move(database)) {}

int SevenZipReader::Open() {
    std::vector<DecodeJob> jobs;
    for (const SevenZipFolder& folder : m_database.folders) {
        if (folder.substreams == 0) {
            continue;  // no file takes its data
        }
        if (folder.method == FolderMethod::Lzma2) {
            const std::vector<DecodeJob> parts = SplitLzma2(m_fd, folder, kMinJobOutput);
            jobs.insert(jobs.end(), parts.begin(), parts.end());
        } else {
            jobs.push_back({&folder, folder.packOffset, folder.packSize, folder.unpackSize});
        }
    }
    m_decoder = std::make_unique<ParallelDecoder>(m_fd, std::move(jobs), DecoderLimits());
    return m_decoder->Start();
}

int SevenZipReader::NextEntry(Entry& entry, bool& end) {
    end = false;
    // Data the caller did not read is passed over.
    for (bool last = false; m_file && !last;) {
        const void* data = nullptr;
        std::size_t size = 0;
        const int r = ReadBlock(data, size, last);
        if (r != kResultOk) {
            return r;
        }
    }
    if (m_next == m_database.files.size()) {
        m_file = nullptr;
        end = true;
        return kResultOk;
    }
    m_file = &m_database.files[m_next++];
    m_remaining = m_file->hasStream ? m_file->size : 0;
    m_crc = 0;
    m_checked = !m_file->hasStream || !m_file->crcDefined;
    entry.name = m_file->name;
    entry.mode = m_file->mode;
    entry.folder = m_file->folder;
    entry.size = m_remaining;
    return kResultOk;
}

int SevenZipReader::ReadBlock(const void*& data, std::size_t& size, bool& end) {
    data = nullptr;
    size = 0;
    end = false;
    if (m_remaining == 0) {
        if (!m_checked) {
            m_checked = true;
            if (m_crc != m_file->crc) {
                return kResultCrc;
            }
        }
        end = true;
        m_file = nullptr;
        return kResultOk;
    }
    if (m_available == 0) {
        bool decoded = false;
        const int r = m_decoder->Read(m_data, m_available, decoded);
        if (r != kResultOk) {
            return r;
        }
        if (decoded) {
            return kResultData;  // the folders hold less than their files
        }
    }
    const std::size_t take =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_available, m_remaining));
    data = m_data;
    size = take;
    m_crc = static_cast<std::uint32_t>(crc32(m_crc, m_data, static_cast<uInt>(take)));
    m_data += take;
    m_available -= take;
    m_remaining -= take;
    if (m_remaining == 0 && !m_checked) {
        // The last piece of a file whose CRC-32 does not match is not handed on.
        m_checked = true;
        if (m_crc != m_file->crc) {
            size = 0;
            return kResultCrc;
        }
    }
    return kResultOk;
}

}  // namespace extract
