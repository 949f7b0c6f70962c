// Hands an extraction's decoded entries from the decoding thread to the writing thread, in
// archive order, holding at most a bounded amount of data.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace extract {

struct Piece {
    enum class Kind {
        Begin,   // an entry: name, mode, folder
        Data,    // the next bytes of the current file entry; `last` ends it
        Fail,    // decoding stopped with `result`
        Finish,  // every entry was handed over
    };
    Kind kind = Kind::Finish;
    std::string name;
    mode_t mode = 0;
    bool folder = false;
    std::vector<unsigned char> bytes;
    bool last = false;
    int result = 0;
};

class PieceQueue {
public:
    explicit PieceQueue(std::size_t maxBytes) : m_maxBytes(maxBytes) {}

    // Blocks while the queue is full, then until it is half empty. False once the queue is closed:
    // the piece is dropped.
    bool Push(Piece piece);
    // Blocks while the queue is empty (see m_notEmpty). False once it is closed and drained.
    bool Pop(Piece& piece);
    // Makes Push refuse everything from now on, and wakes both sides.
    void Close();
    bool Closed() const;

private:
    static constexpr std::size_t kMaxPieces = 4096;
    static constexpr std::size_t kWakeDepth = 64;
    bool HasRoomFor(std::size_t bytes) const;

    const std::size_t m_maxBytes;
    mutable std::mutex m_mutex;
    // A blocked side is woken only when there is work for it worth a switch: Pop once
    // kWakeDepth pieces, an eighth of the bytes or the last piece are in, Push once the queue
    // has drained to half, so that the two threads do not take turns for every small file.
    std::condition_variable m_notEmpty;
    std::condition_variable m_drained;
    bool m_popWaits = false;
    bool m_pushWaits = false;
    std::deque<Piece> m_pieces;
    std::size_t m_bytes = 0;
    bool m_closed = false;
};

}  // namespace extract
