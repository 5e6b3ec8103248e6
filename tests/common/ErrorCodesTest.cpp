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
    // An exception without a detail says the message alone; one with a detail in brackets is
    // checked with the Reed-Solomon decoder, which throws one.
    EXPECT_STREQ(QCException(EccCannotCorrect).what(), "ECC cannot correct all errors");
}

}  // namespace
}  // namespace qcl
