// Decodes one piece of a folder's data on its own: the whole folder, or a run of an LZMA2
// folder's chunks that begins with a dictionary reset, reading the packed bytes with pread
// so that several decoders may share the archive's file descriptor.
#pragma once

#include <lzma.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "extract/SevenZipDatabase.h"

namespace extract {

struct DecodeJob {
    const SevenZipFolder* folder = nullptr;
    std::uint64_t packOffset = 0;  // from the start of the file
    std::uint64_t packSize = 0;
    std::uint64_t unpackSize = 0;
};

class JobDecoder {
public:
    JobDecoder(int fd, const DecodeJob& job) : m_fd(fd), m_job(job) {}
    ~JobDecoder();
    JobDecoder(const JobDecoder&) = delete;
    JobDecoder& operator=(const JobDecoder&) = delete;

    // Sets the decoder up; a result code (kResultUnsupported, kResultMemory).
    int Start();
    // Decodes the next bytes of the job into `out`, at most `capacity`; `produced` tells how
    // many. `done` is set once the job's whole output has been produced. A result code:
    // kResultData when the packed data is corrupt or ends before the output does.
    int Decode(unsigned char* out, std::size_t capacity, std::size_t& produced, bool& done);

private:
    int Fill();
    int DecodeCopy(unsigned char* out, std::size_t capacity, std::size_t& produced);

    const int m_fd;
    const DecodeJob m_job;
    lzma_stream m_stream = LZMA_STREAM_INIT;
    bool m_lzma = false;
    std::unique_ptr<unsigned char[]> m_input;
    std::uint64_t m_packRead = 0;
    std::uint64_t m_produced = 0;
};

// The dictionary size an LZMA2 coder's property byte stands for; 0 for an invalid byte.
std::uint32_t Lzma2DictSize(std::uint8_t property);

}  // namespace extract
