#include "extract/PieceQueue.h"

namespace extract {

bool PieceQueue::HasRoomFor(std::size_t bytes) const {
    // A piece larger than the whole allowance still goes in when the queue is empty.
    return m_pieces.empty() || (m_pieces.size() < kMaxPieces && m_bytes + bytes <= m_maxBytes);
}

bool PieceQueue::Push(Piece piece) {
    std::unique_lock lock(m_mutex);
    if (!m_closed && !HasRoomFor(piece.bytes.size())) {
        // Whatever is queued must go now, even below the reader's wake-up marks.
        if (m_popWaits) {
            m_notEmpty.notify_one();
        }
        m_pushWaits = true;
        m_drained.wait(lock, [&] {
            return m_closed || (m_pieces.size() <= kMaxPieces / 2 && m_bytes <= m_maxBytes / 2 &&
                                HasRoomFor(piece.bytes.size()));
        });
        m_pushWaits = false;
    }
    if (m_closed) {
        return false;
    }
    m_bytes += piece.bytes.size();
    m_pieces.push_back(std::move(piece));
    const bool terminal =
        m_pieces.back().kind == Piece::Kind::Fail || m_pieces.back().kind == Piece::Kind::Finish;
    if (m_popWaits && (terminal || m_pieces.size() >= kWakeDepth || m_bytes >= m_maxBytes / 8)) {
        m_notEmpty.notify_one();
    }
    return true;
}

bool PieceQueue::Pop(Piece& piece) {
    std::unique_lock lock(m_mutex);
    if (!m_closed && m_pieces.empty()) {
        m_popWaits = true;
        m_notEmpty.wait(lock, [&] { return m_closed || !m_pieces.empty(); });
        m_popWaits = false;
    }
    if (m_pieces.empty()) {
        return false;
    }
    piece = std::move(m_pieces.front());
    m_pieces.pop_front();
    m_bytes -= piece.bytes.size();
    if (m_pushWaits && m_pieces.size() <= kMaxPieces / 2 && m_bytes <= m_maxBytes / 2) {
        m_drained.notify_one();
    }
    return true;
}

void PieceQueue::Close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_notEmpty.notify_all();
    m_drained.notify_all();
}

bool PieceQueue::Closed() const {
    std::lock_guard lock(m_mutex);
    return m_closed;
}

}  // namespace extract
