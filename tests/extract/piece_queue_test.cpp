// The hand-over between the decoding and the writing thread: order kept, bounded, and no
// stall when a large piece meets a few small ones below the reader's wake-up marks.
#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "extract/PieceQueue.h"

namespace {

using extract::Piece;
using extract::PieceQueue;

Piece DataPiece(std::size_t size, int tag) {
    Piece piece;
    piece.kind = Piece::Kind::Data;
    piece.bytes.assign(size, static_cast<unsigned char>(tag));
    piece.result = tag;
    return piece;
}

TEST(PieceQueueTest, DeliversEverythingInOrderWithoutStalling) {
    constexpr std::size_t kMax = 1 << 20;
    PieceQueue queue(kMax);
    std::vector<int> seen;
    std::size_t peak = 0;
    std::thread reader([&] {
        Piece piece;
        while (queue.Pop(piece) && piece.kind != Piece::Kind::Finish) {
            seen.push_back(piece.result);
            peak = std::max(peak, piece.bytes.size());
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });
    auto pushing = std::async(std::launch::async, [&] {
        int tag = 0;
        for (int round = 0; round < 20; ++round) {
            // Let the reader drain the queue and wait for more.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            for (int i = 0; i < 3; ++i) {
                queue.Push(DataPiece(10, tag++));  // below every wake-up mark
            }
            queue.Push(DataPiece(kMax, tag++));  // needs the queue to drain first
        }
        Piece finish;
        queue.Push(std::move(finish));
        return tag;
    });
    const bool finished = pushing.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!finished) {
        queue.Close();  // lets both sides go
    }
    reader.join();
    ASSERT_TRUE(finished) << "the two sides wait for each other";
    const int pushed = pushing.get();
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(pushed));
    for (int i = 0; i < pushed; ++i) {
        EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
    }
    EXPECT_EQ(peak, kMax);
}

TEST(PieceQueueTest, ClosingStopsBothSides) {
    PieceQueue queue(1 << 10);
    ASSERT_TRUE(queue.Push(DataPiece(1 << 10, 1)));
    auto blocked = std::async(std::launch::async, [&] { return queue.Push(DataPiece(10, 2)); });
    EXPECT_EQ(blocked.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    queue.Close();
    ASSERT_EQ(blocked.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_FALSE(blocked.get());
    EXPECT_FALSE(queue.Push(DataPiece(1, 3)));
}

}  // namespace
