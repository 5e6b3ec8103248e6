#include "common/ErrorCodes.h"

#include <gtest/gtest.h>

#include <sstream>

namespace qcl {
namespace {

TEST(ErrorCodes, MessagesKeepTheirSpellingAndGapsAreEmpty) {
    EXPECT_EQ(errorMessage(0), "SUCCESS");
    EXPECT_EQ(errorMessage(11), "Data size exceeds maxium");
    EXPECT_EQ(errorMessage(17), "Quorel code data type is unknwon");
    EXPECT_EQ(errorMessage(24), "Output data contains invalid symbols");
    for (const int gap : {18, 25, -1}) {
        EXPECT_EQ(errorMessage(gap), "") << gap;
    }
    std::ostringstream out;
    out << WrongChecksum;
    EXPECT_EQ(out.str(), "Wrong checksum");
}

TEST(QCException, MessageWithAndWithoutDetail) {
    const QCException plain(EccCannotCorrect);
    EXPECT_STREQ(plain.what(), "ECC cannot correct all errors");
    EXPECT_EQ(plain.code, 9);
    const QCException detailed(EccParamsWrong, "ECC length must be larger than 0");
    EXPECT_STREQ(detailed.what(), "ECC params are wrong (ECC length must be larger than 0)");
    EXPECT_EQ(detailed.code, 19);
}

}  // namespace
}  // namespace qcl
