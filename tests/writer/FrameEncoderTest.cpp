#include "writer/FrameEncoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/ErrorCodes.h"
#include "support/ThrownCode.h"

namespace qcl::writer {
namespace {

ErrorCode refusal(const EncodedPayload& payload, ECCtype strength, std::size_t capacity) {
    return test::thrownCode([&] { encodeFrame(payload, strength, capacity); });
}

TEST(FrameEncoder, RefusesWhatTheBlockCannotHold) {
    const EncodedPayload two{PayloadType::Numbers, 13, {0x56, 0x0D}};
    EXPECT_EQ(refusal(two, ECCtype::High, 14), NotEnoughCapacity);  // t = 5, k = 4: one byte
    EXPECT_EQ(refusal(two, ECCtype::High, 15), Success);            // t = 5, k = 5
    EXPECT_EQ(refusal(two, ECCtype::High, 8), NotEnoughCapacity);   // header and checksum only
    EXPECT_EQ(refusal(two, ECCtype::Low, 256), InvalidConfiguration);
    EXPECT_EQ(refusal({PayloadType::Numbers, 17, {0x56, 0x0D}}, ECCtype::Low, 100),
              InvalidConfiguration);  // 17 bits need three bytes
}

}  // namespace
}  // namespace qcl::writer
