// Payload compression: text to the packed bit stream that the reader's decompression turns back
// into the same text.
//
// Stream layout (bit 0 of byte 0 first): bit 0 unused (0), bits 1-3 the payload type, the data
// symbols from bit 4 on, then one more unused bit (0). The bit length counts all five non-data
// bits: bitLength = data bits + 5.
//
// Alphabets:
//   Digits   "0"-"9"; 10 bits per three digits, 4 bits for a single last digit, 7 for a last pair
//   Letters  space "." "0"-"9" "A"-"Z" "a"-"z"; 6 bits each
//   Numbers  "," "-" "." "/" "0"-"9" ":" "_"; 4 bits each
//   Ascii    character codes 0-127; 7 bits each
//   UTF8     well-formed UTF-8; 8 bits per byte
//   Binary   "0b" followed by binary digits, one bit each (the reader hands it back in this form);
//            when Binary is asked for explicitly, "0x" followed by hexadecimal digits is taken
//            too, each digit giving four bits least significant first, which is the inverse of
//            the reader's hexadecimal output of Binary payloads.
// BigLetters has no alphabet in the reader and is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/CodeTypes.h"

namespace qcl::writer {

// Largest bit length the 11-bit length field of the frame header can carry.
constexpr std::size_t kMaxPayloadBits = 2047;

// Bits before the data (unused bit and type) and after it (one unused bit).
constexpr std::size_t kPayloadOverheadBits = 5;

struct EncodedPayload {
    PayloadType type = PayloadType::Automatic;
    std::uint16_t bitLength = 0;      // B: data bits + 5
    std::vector<std::uint8_t> bytes;  // (bitLength + 7) / 8 bytes; unused bits are 0
};

// Data bits `text` needs as `type`; nothing when the type cannot hold the text.
std::optional<std::size_t> payloadDataBits(const std::string& text, PayloadType type);

// The type that holds `text` in the fewest bits. Ties go to the first of Binary, Digits, Numbers,
// Letters, Ascii, UTF8. Binary is chosen only for "0b" texts, whose decoded form is identical.
// Bytes that are not UTF-8 fit no type (UTF8 is chosen and refuses them).
PayloadType choosePayloadType(const std::string& text);

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isValidUtf8(const std::string& text);

// The bytes as "0x" and two lower-case hexadecimal digits per byte: the Binary text that a
// hexadecimal read gives back unchanged.
std::string bytesAsHexText(const std::string& bytes);

// Compresses `text` as `type` (Automatic: choosePayloadType). Throws QCException:
// UnknownDataType for BigLetters or a value outside the table, InvalidInputSymbols when the text
// holds a character outside the type's alphabet, DataSizeExceedsMaximum when it needs more than
// kMaxPayloadBits bits.
EncodedPayload encodePayload(const std::string& text, PayloadType type = PayloadType::Automatic);

}  // namespace qcl::writer
