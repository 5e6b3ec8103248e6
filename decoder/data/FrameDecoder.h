// The frame inside the modules: byte packing, error-correction strength, header and checksum.
#pragma once

#include <cstdint>
#include <string>

#include "common/ErrorCodes.h"
#include "decoder/data/SamplingGrid.h"

namespace qcl {

// Decodes modules in stream order. On success writes the payload text, its type and the ECC
// strength and returns 0; otherwise WrongGrid, EccCannotCorrect, WrongChecksum,
// NotEnoughCapacity or EccStrengthInconsistent (the code of the last strength tried, Low).
// WrongGrid: no data slots (modulesPerRing <= 5), no rings, a list whose length is not
// (modulesPerRing - 5) * ringCount (an empty list included, which is what applyMaskAndLayout
// leaves behind when it rejects a grid), more than 255 whole bytes, or exactly one byte (too
// short for any parity). A grid without a whole byte gets t = 0, for which error correction
// throws QCException(EccParamsWrong); a payload shorter than its header's length throws
// QCException(InvalidInputSymbols). Null output pointers are skipped.
ErrorCode decodeFrame(const SamplingGrid& grid, const ModuleList& modules, std::string* payload,
                      std::uint8_t* payloadType, std::uint8_t* eccType);

}  // namespace qcl
