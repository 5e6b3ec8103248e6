// Errors-and-erasures decoding of the shortened Reed-Solomon code: symbols the caller knows to be
// unreliable are erased, so each costs one parity symbol instead of two. A word with e errors
// outside the erasures and s erasures is corrected whenever 2e + s <= 2t.
#pragma once

#include <array>
#include <cstdint>

#include "reedsolomon/ReedSolomon.h"

namespace reedsolomon {

// A full-length word in plain form, indexed by codeword position.
using Word = std::array<std::uint8_t, kCodeLength>;

// What an errors-and-erasures decoding did.
struct ErasureOutcome {
    bool corrected = false;  // the word is now a codeword (it may have been one already)
    int errors = 0;          // symbols changed outside the erasures
};

// Corrects `word` in place against the code of `codec` (its parity length and data length fix
// the codeword positions in use: data 0..k-1, parity 255-2t..254). `erasures` lists `count`
// distinct codeword positions in use. Refuses, leaving the word as it was, when the erasures are
// more than 2t, repeat a position or name one outside the positions in use, or when no codeword
// lies within 2e + s <= 2t of the word; a codeword that needs a non-zero symbol in the zero fill
// is refused too, since the fill is known. Allocates nothing.
ErasureOutcome decodeWithErasures(const ReedSolomon& codec, Word& word,
                                  const std::uint8_t* erasures, int count);

}  // namespace reedsolomon
