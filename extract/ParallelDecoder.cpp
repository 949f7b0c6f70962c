#include "extract/ParallelDecoder.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "extract/ExtractResult.h"

namespace extract {

ParallelDecoder::ParallelDecoder(int fd, std::vector<DecodeJob> jobs, const Limits& limits)
    : m_fd(fd), m_limits(limits), m_jobs(jobs.size()) {
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        m_jobs[i].job = jobs[i];
    }
}

ParallelDecoder::~ParallelDecoder() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

int ParallelDecoder::Start() {
    const std::size_t count = std::min<std::size_t>(std::max(m_limits.threads, 1u),
                                                    std::max<std::size_t>(m_jobs.size(), 1));
    for (std::size_t i = 0; i < count; ++i) {
        try {
            m_threads.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            break;
        }
    }
    return m_threads.empty() && !m_jobs.empty() ? kResultMemory : kResultOk;
}

// Worker thread: takes the jobs in order, one at a time.
void ParallelDecoder::Work() {
    for (;;) {
        std::size_t index = 0;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop || m_next == m_jobs.size()) {
                return;
            }
            index = m_next++;
        }
        Decode(index);
    }
}

bool ParallelDecoder::MayAdd(std::size_t index, std::size_t size) const {
    if (index == m_current && m_jobs[index].buffered < m_limits.currentAhead) {
        return true;
    }
    return m_buffered + size <= m_limits.budget;
}

// Worker thread: decodes one job into blocks. Nothing thrown leaves the thread; a failure
// becomes the job's result.
void ParallelDecoder::Decode(std::size_t index) {
    int result = kResultOk;
    try {
        Job& job = m_jobs[index];
        JobDecoder decoder(m_fd, job.job);
        result = decoder.Start();
        for (bool done = false; result == kResultOk && !done;) {
            const std::size_t capacity = static_cast<std::size_t>(std::min<std::uint64_t>(
                m_limits.blockSize, std::max<std::uint64_t>(job.job.unpackSize, 1)));
            Block block;
            block.bytes.reset(new (std::nothrow) unsigned char[capacity]);
            if (!block.bytes) {
                result = kResultMemory;
                break;
            }
            result = decoder.Decode(block.bytes.get(), capacity, block.size, done);
            if (block.size == 0) {
                continue;
            }
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop || MayAdd(index, block.size); });
            if (m_stop) {
                return;
            }
            m_buffered += block.size;
            job.buffered += block.size;
            job.blocks.push_back(std::move(block));
            lock.unlock();
            m_changed.notify_all();
        }
    } catch (const std::bad_alloc&) {
        result = kResultMemory;
    }
    {
        std::lock_guard lock(m_mutex);
        m_jobs[index].finished = true;
        m_jobs[index].result = result;
    }
    m_changed.notify_all();
}

int ParallelDecoder::Read(const unsigned char*& data, std::size_t& size, bool& end) {
    data = nullptr;
    size = 0;
    end = false;
    std::unique_lock lock(m_mutex);
    if (m_held.bytes) {
        m_buffered -= m_held.size;
        m_jobs[m_current].buffered -= m_held.size;
        m_held = {};
        m_changed.notify_all();
    }
    for (;;) {
        if (m_current == m_jobs.size()) {
            end = true;
            return kResultOk;
        }
        Job& job = m_jobs[m_current];
        m_changed.wait(lock, [&] { return !job.blocks.empty() || job.finished; });
        if (!job.blocks.empty()) {
            m_held = std::move(job.blocks.front());
            job.blocks.pop_front();
            data = m_held.bytes.get();
            size = m_held.size;
            return kResultOk;
        }
        if (job.result != kResultOk) {
            return job.result;
        }
        ++m_current;
        // The next job may now fill its share beyond the budget.
        m_changed.notify_all();
    }
}

}  // namespace extract
