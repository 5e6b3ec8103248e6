// Payload decompression: from the packed payload bytes of a frame to the payload text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qcl {

struct DecompressedPayload {
    std::string text;       // byte string; a Binary payload reads "0b" and binary digits
    std::uint8_t type = 0;  // PayloadType value read from stream bits 1 to 3
};

// Decodes `payload` (bit 0 of byte 0 first) whose frame header gives `payloadBits` bits,
// including the five bits around the data. Throws QCException(InvalidInputSymbols) when the
// bytes hold fewer symbols than the length implies. An empty payload gives an empty text of
// type Automatic.
DecompressedPayload decompress(const std::vector<std::uint8_t>& payload, std::uint16_t payloadBits);

}  // namespace qcl
