// The frame as the writer lays it out, checked beyond header and checksum. Random modules pass
// the checksum one time in 256 and a Reed-Solomon decoder pushed past its capability returns a
// wrong codeword; every try of the search is one more chance of that, so a frame is accepted only
// when everything the writer fixes about it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/ErrorCodes.h"

namespace qcl {

// Fill after the checksum: alternating bytes, so that an unused frame tail is neither all light
// nor all dark before masking.
constexpr std::uint8_t kPaddingBytes[2] = {0xEC, 0x11};

// Which of the writer's rules a frame breaks; None when it is a frame the writer could have made.
enum class FrameFault {
    None,
    TooManyCorrections,  // more bytes changed than the strength corrects: a miscorrection
    Padding,             // the bytes after the checksum are not the writer's fill
    PayloadLayout,  // payload type, symbol count or the bits around the data are not written so
};

// A readable name of the fault for the debug log.
const char* toString(FrameFault fault);

// Checks a frame that passed header and checksum: `data` the corrected frame bytes (header,
// payload, checksum, fill), `payloadBytes` and `payloadBits` from the header, `corrections` the
// bytes of the received block the correction changed, `t` the strength's capability.
FrameFault checkFrame(const std::vector<std::uint8_t>& data, std::size_t payloadBytes,
                      std::uint16_t payloadBits, std::int32_t corrections, std::size_t t);

}  // namespace qcl
