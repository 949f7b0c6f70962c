#include "extract/JobDecoder.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "extract/ExtractResult.h"

namespace extract {

namespace {

constexpr std::size_t kInputSize = 256 << 10;

int MapLzmaError(lzma_ret ret) {
    switch (ret) {
        case LZMA_MEM_ERROR:
        case LZMA_MEMLIMIT_ERROR:
            return kResultMemory;
        case LZMA_OPTIONS_ERROR:
            return kResultUnsupported;
        default:
            return kResultData;
    }
}

}  // namespace

std::uint32_t Lzma2DictSize(std::uint8_t property) {
    if (property > 40) {
        return 0;
    }
    if (property == 40) {
        return 0xFFFFFFFFu;
    }
    return (2u | (property & 1u)) << (property / 2 + 11);
}

JobDecoder::~JobDecoder() {
    if (m_lzma) {
        lzma_end(&m_stream);
    }
}

int JobDecoder::Start() {
    m_input.reset(new (std::nothrow) unsigned char[kInputSize]);
    if (!m_input) {
        return kResultMemory;
    }
    const SevenZipFolder& folder = *m_job.folder;
    if (folder.method == FolderMethod::Copy) {
        return kResultOk;
    }
    // Nothing a job decodes reaches back before its own start, so a dictionary larger than
    // its output would only cost memory.
    const std::uint64_t span = std::max<std::uint64_t>(m_job.unpackSize, LZMA_DICT_SIZE_MIN);
    lzma_options_lzma options{};
    options.dict_size = static_cast<std::uint32_t>(
        std::clamp<std::uint64_t>(folder.dictSize, LZMA_DICT_SIZE_MIN, span));
    lzma_filter filters[3];
    std::size_t n = 0;
    if (folder.method == FolderMethod::BcjLzma || folder.method == FolderMethod::BcjLzma2) {
        filters[n++] = {LZMA_FILTER_X86, nullptr};
    }
    if (folder.method == FolderMethod::Lzma || folder.method == FolderMethod::BcjLzma) {
        unsigned d = folder.lzmaProperties;
        options.lc = d % 9;
        d /= 9;
        options.lp = d % 5;
        options.pb = d / 5;
        // The LZMA coder's output size is known, and an end marker is allowed as well.
        const std::uint64_t size =
            folder.method == FolderMethod::BcjLzma ? folder.intermediateSize : m_job.unpackSize;
        options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
        options.ext_size_low = static_cast<std::uint32_t>(size);
        options.ext_size_high = static_cast<std::uint32_t>(size >> 32);
        filters[n++] = {LZMA_FILTER_LZMA1EXT, &options};
    } else {
        filters[n++] = {LZMA_FILTER_LZMA2, &options};
    }
    filters[n] = {LZMA_VLI_UNKNOWN, nullptr};
    const lzma_ret ret = lzma_raw_decoder(&m_stream, filters);
    if (ret != LZMA_OK) {
        return MapLzmaError(ret);
    }
    m_lzma = true;
    return kResultOk;
}

int JobDecoder::Fill() {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_job.packSize - m_packRead, kInputSize));
    for (;;) {
        const ssize_t n =
            ::pread(m_fd, m_input.get(), want, static_cast<off_t>(m_job.packOffset + m_packRead));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return kResultRead;
        }
        if (n == 0) {
            return kResultInputEof;  // the file was cut short since its database was read
        }
        m_stream.next_in = m_input.get();
        m_stream.avail_in = static_cast<std::size_t>(n);
        m_packRead += static_cast<std::uint64_t>(n);
        return kResultOk;
    }
}

int JobDecoder::DecodeCopy(unsigned char* out, std::size_t capacity, std::size_t& produced) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_job.unpackSize - m_produced, capacity));
    while (produced < want) {
        const ssize_t n = ::pread(m_fd, out + produced, want - produced,
                                  static_cast<off_t>(m_job.packOffset + m_produced));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return kResultRead;
        }
        if (n == 0) {
            return kResultInputEof;
        }
        produced += static_cast<std::size_t>(n);
        m_produced += static_cast<std::uint64_t>(n);
    }
    return kResultOk;
}

int JobDecoder::Decode(unsigned char* out, std::size_t capacity, std::size_t& produced,
                       bool& done) {
    produced = 0;
    done = m_produced == m_job.unpackSize;
    if (done) {
        return kResultOk;
    }
    if (!m_lzma) {
        const int r = DecodeCopy(out, capacity, produced);
        done = m_produced == m_job.unpackSize;
        return r;
    }
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(m_job.unpackSize - m_produced, capacity));
    while (produced < want) {
        if (m_stream.avail_in == 0 && m_packRead < m_job.packSize) {
            const int r = Fill();
            if (r != kResultOk) {
                return r;
            }
        }
        m_stream.next_out = out + produced;
        m_stream.avail_out = want - produced;
        const lzma_ret ret = lzma_code(&m_stream, LZMA_RUN);
        const std::size_t made = (want - produced) - m_stream.avail_out;
        produced += made;
        m_produced += made;
        if (produced == want) {
            break;
        }
        if (ret == LZMA_STREAM_END) {
            return kResultData;  // the stream ended before the output it promised
        }
        if (ret != LZMA_OK) {
            return MapLzmaError(ret);
        }
        if (made == 0 && m_stream.avail_in == 0 && m_packRead == m_job.packSize) {
            return kResultData;  // all input is used up and the output is short
        }
    }
    done = m_produced == m_job.unpackSize;
    return kResultOk;
}

}  // namespace extract
