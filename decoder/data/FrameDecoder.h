// The frame inside the modules: byte packing, error-correction strength, header and checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/CodeTypes.h"
#include "common/ErrorCodes.h"
#include "decoder/data/SamplingGrid.h"

namespace qcl {

// The error-correction margin of one decoded frame.
struct FrameReport {
    // Reed-Solomon symbols (bytes) the decoder changed; for a read with erased bytes, the margin
    // it used: the errors outside the erasures plus half the erasures, rounded up.
    std::int32_t correctedSymbols = 0;
    std::int32_t correctableSymbols = 0;  // the most it could have changed at that strength
};

// Whole bytes of a grid's module bits, (modulesPerRing - 5) * ringCount * bitsPerModule / 8: the
// block of frame and parity bytes (a partial last byte is not used). 0 for a grid without data
// slots, rings or bits.
std::size_t gridCapacity(std::int32_t modulesPerRing, std::int32_t ringCount,
                         std::int32_t bitsPerModule);

// Correctable bytes t of a block of `capacity` bytes at `strength`: 7.5 %, 15 %, 25 % or 30 % of
// the capacity (Low, Medium, Quartile, High), rounded up; the block carries 2t parity bytes.
// Throws QCException(InvalidConfiguration) for a strength outside the table.
std::size_t correctionCapability(ECCtype strength, std::size_t capacity);

// Decodes modules in stream order. On success writes the payload text, its type and the ECC
// strength and returns 0; otherwise WrongGrid, EccCannotCorrect, WrongChecksum,
// NotEnoughCapacity or EccStrengthInconsistent (the code of the last strength tried, Low).
// WrongGrid: no data slots (modulesPerRing <= 5), no rings, a list whose length is not
// (modulesPerRing - 5) * ringCount (an empty list included, which is what applyMaskAndLayout
// leaves behind when it rejects a grid), more than 255 whole bytes, or exactly one byte (too
// short for any parity). A grid without a whole byte gets t = 0, for which error correction
// throws QCException(EccParamsWrong); a payload shorter than its header's length throws
// QCException(InvalidInputSymbols). Null output pointers are skipped; `report`, when given,
// receives the correction margin of the decoded frame. When modules carry doubts (see
// ModuleList), each strength whose designed read fails is read again with the most doubtful
// bytes erased (erasureTries); the code returned is still the designed reads'.
ErrorCode decodeFrame(const SamplingGrid& grid, const ModuleList& modules, std::string* payload,
                      std::uint8_t* payloadType, std::uint8_t* eccType,
                      FrameReport* report = nullptr);

// Frames decodeFrame has tried on the calling thread since the thread started: the calls that
// got past the grid checks to error correction. Measurements read it before and after a search
// to learn how many frame tries one image costs.
std::uint64_t frameDecodeTries();

}  // namespace qcl
