// The frame around a payload and its Reed-Solomon protection: the byte block that the reader's
// frame decoder accepts.
//
// Block of C bytes: header (2 bytes, little-endian: ECC strength in bits 0-1, payload bit length
// in bits 5-15), payload, checksum (XOR of the header and payload bytes), padding up to the frame
// length k = C - 2t, then 2t parity bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/CodeTypes.h"
#include "decoder/data/FrameAcceptance.h"
#include "decoder/data/FrameDecoder.h"
#include "writer/PayloadEncoder.h"

namespace qcl::writer {

// The longest block a symbol may hold: one full Reed-Solomon codeword.
constexpr std::size_t kMaxBlockBytes = 255;

// Header and checksum bytes that every frame carries besides the payload.
constexpr std::size_t kFrameOverheadBytes = 3;

// The correctable bytes t of a block at each strength are the reader's: correctionCapability in
// decoder/data/FrameDecoder.h.

// Frame length k = capacity - 2t (0 when the parity alone fills the block).
std::size_t frameLength(ECCtype strength, std::size_t capacity);

// Most payload bytes a block of `capacity` bytes holds at `strength` (0 when none fit).
std::size_t maxPayloadBytes(ECCtype strength, std::size_t capacity);

// Builds the block of exactly `capacity` bytes (at most kMaxBlockBytes). Throws QCException:
// InvalidConfiguration for a capacity above kMaxBlockBytes or a strength outside the table,
// NotEnoughCapacity when the payload does not fit.
std::vector<std::uint8_t> encodeFrame(const EncodedPayload& payload, ECCtype strength,
                                      std::size_t capacity);

}  // namespace qcl::writer
