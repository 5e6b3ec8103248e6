// Which bytes of a frame block to erase when its modules carry doubts, and how many errors an
// erasure read may then correct outside them. Each try erases the most doubtful bytes; the more
// it erases, the fewer parity bytes are left to check the rest, so a try is accepted only when
// random modules would pass it no more often than they pass the designed read of the strength.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "decoder/data/SamplingGrid.h"

namespace qcl {

// One erasure read of a block at one strength.
struct ErasureTry {
    std::vector<std::uint8_t> erasures;  // block positions, most doubtful first
    int maxErrors = 0;                   // errors outside the erasures it may correct
};

// The doubt of every byte of the block that `modules` (stream order) pack into: the largest
// doubt of the modules whose bits it holds. All zero when no module carries a doubt.
std::vector<std::uint8_t> byteDoubts(const ModuleList& modules, int bitsPerModule,
                                     std::size_t capacity);

// log2 of the share of random blocks of `length` bytes that a read with `erasures` erasures and
// at most `errors` errors elsewhere accepts, 2t = `parity`: the words within its reach of some
// codeword, against all words.
double acceptedShare(std::size_t length, int parity, int erasures, int errors);

// The erasure reads of a block at capability t, most erasures first: no more than three, each
// erasing the most doubtful bytes (doubt above 0, ties in block order) and correcting no more
// errors elsewhere than keeps acceptedShare at or below the designed read's (no erasures, t
// errors). Empty when no byte is in doubt.
std::vector<ErasureTry> erasureTries(const std::vector<std::uint8_t>& doubts, std::size_t t);

}  // namespace qcl
