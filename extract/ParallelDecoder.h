// Decodes a list of jobs on worker threads, several at a time, and hands their output to one
// consumer in job order. Workers run ahead of the consumer only within a memory budget.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "extract/JobDecoder.h"

namespace extract {

class ParallelDecoder {
public:
    struct Limits {
        unsigned threads = 1;
        std::size_t blockSize = 1 << 20;
        // Output the consumer has not taken yet, over all jobs; the job being read may hold
        // `currentAhead` bytes even when the budget is spent.
        std::size_t budget = 24 << 20;
        std::size_t currentAhead = 4 << 20;
    };

    ParallelDecoder(int fd, std::vector<DecodeJob> jobs, const Limits& limits);
    // Stops the workers and waits for them.
    ~ParallelDecoder();
    ParallelDecoder(const ParallelDecoder&) = delete;
    ParallelDecoder& operator=(const ParallelDecoder&) = delete;

    // Starts the workers; kResultMemory when not one could be started.
    int Start();
    // The next bytes of the jobs' output, in order, valid until the next call (consumer's
    // thread). kResultOk with `end` set after the last job; a job's fault comes after the
    // bytes decoded before it.
    int Read(const unsigned char*& data, std::size_t& size, bool& end);

private:
    struct Block {
        std::unique_ptr<unsigned char[]> bytes;
        std::size_t size = 0;
    };
    struct Job {
        DecodeJob job;
        std::deque<Block> blocks;
        std::size_t buffered = 0;
        bool finished = false;
        int result = 0;
    };

    void Work();
    void Decode(std::size_t index);
    bool MayAdd(std::size_t index, std::size_t size) const;  // with m_mutex held

    const int m_fd;
    const Limits m_limits;
    std::vector<Job> m_jobs;
    std::vector<std::thread> m_threads;

    std::mutex m_mutex;
    std::condition_variable m_changed;  // a block added or taken, a job finished, a stop
    std::size_t m_next = 0;             // the first job no worker has taken
    std::size_t m_current = 0;          // the job the consumer reads
    std::size_t m_buffered = 0;
    bool m_stop = false;
    Block m_held;  // the block the consumer was last given
};

}  // namespace extract
