// Where an LZMA2 stream can be cut into pieces that decode on their own: at the chunks where
// the encoder reset its dictionary, as the 7-Zip encoder does between the blocks it
// compresses on several threads.
#pragma once

#include <cstdint>
#include <vector>

#include "extract/JobDecoder.h"

namespace extract {

// The jobs of an Lzma2 folder: runs of its chunks, each of at least `minUnpack` bytes of
// output (but the last) and beginning with a dictionary reset and new properties. One job
// for the whole folder when the stream has no such point, or when its chunk headers do not
// add up (its decoder then reports the damage where it is).
std::vector<DecodeJob> SplitLzma2(int fd, const SevenZipFolder& folder, std::uint64_t minUnpack);

}  // namespace extract
