// Payload bytes through decompression; and the same bytes as a text through the writer's
// compression, which decompression must give back exactly.
#include <cstdint>
#include <string>
#include <vector>

#include "decoder/data/Decompressor.h"
#include "fuzz/FuzzSupport.h"
#include "writer/PayloadEncoder.h"

namespace {

// What the reader gives back for a text the writer took: a hexadecimal Binary text ("0x" and
// hex digits) comes back as binary digits, four per hex digit, least significant first.
std::string asRead(const std::string& text, qcl::PayloadType type) {
    if (type != qcl::PayloadType::Binary || text.size() < 2 || text[1] != 'x') {
        return text;
    }
    std::string bits = "0b";
    for (std::size_t i = 2; i < text.size(); ++i) {
        const int value = std::stoi(text.substr(i, 1), nullptr, 16);
        for (int bit = 0; bit < 4; ++bit) {
            bits += ((value >> bit) & 1) != 0 ? '1' : '0';
        }
    }
    return bits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto type = static_cast<qcl::PayloadType>(in.ConsumeIntegralInRange(0, 8));
    const auto payloadBits = in.ConsumeIntegral<std::uint16_t>();
    const std::vector<std::uint8_t> bytes = in.ConsumeRemainingBytes<std::uint8_t>();
    qcl::fuzz::expectingOurErrors([&] { qcl::decompress(bytes, payloadBits); });

    const std::string text(bytes.begin(), bytes.end());
    qcl::writer::EncodedPayload encoded;
    try {
        encoded = qcl::writer::encodePayload(text, type);
    } catch (const qcl::QCException&) {
        return 0;  // a text the type cannot hold
    }
    const qcl::DecompressedPayload back = qcl::decompress(encoded.bytes, encoded.bitLength);
    if (back.text != asRead(text, encoded.type) ||
        back.type != static_cast<std::uint8_t>(encoded.type)) {
        __builtin_trap();
    }
    return 0;
}
