// The frame inside the modules: byte packing, error-correction strength, header and checksum.
#pragma once

#include <cstdint>
#include <string>

#include "common/ErrorCodes.h"
#include "decoder/data/SamplingGrid.h"

namespace qcl {

// Decodes modules in stream order. On success writes the payload text, its type and the ECC
// strength and returns 0; otherwise WrongGrid, EccCannotCorrect, WrongChecksum,
// NotEnoughCapacity or EccStrengthInconsistent.
ErrorCode decodeFrame(const SamplingGrid& grid, const ModuleList& modules, std::string* payload,
                      std::uint8_t* payloadType, std::uint8_t* eccType);

}  // namespace qcl
