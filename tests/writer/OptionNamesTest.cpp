// The words every surface takes for code types, strengths, layouts, payload types and binary
// formats.
#include "writer/OptionNames.h"

#include <gtest/gtest.h>

namespace qcl {
namespace {

TEST(OptionNames, ShortWordsDesignNamesAndNumbersInAnyCase) {
    const struct {
        NameKind kind;
        const char* word;
        std::optional<int> value;
    } cases[] = {
        {NameKind::CodeType, "bw", 0},
        {NameKind::CodeType, "BW", 0},
        {NameKind::CodeType, "BlackAndWhite", 0},
        {NameKind::CodeType, "blackandwhite", 0},
        {NameKind::CodeType, "Color", 1},
        {NameKind::CodeType, "COLOUR", 1},
        {NameKind::CodeType, "1", 1},
        {NameKind::CodeType, "auto", std::nullopt},  // nothing to write automatically
        {NameKind::CodeType, "2", std::nullopt},
        {NameKind::ReadCodeType, "Auto", kAutoCodeType},
        {NameKind::ReadCodeType, "color", 1},
        {NameKind::Ecc, "high", 3},
        {NameKind::Ecc, "High", 3},
        {NameKind::Ecc, "LOW", 0},
        {NameKind::Ecc, "2", 2},
        {NameKind::Ecc, "4", std::nullopt},
        {NameKind::Ecc, "hi", std::nullopt},
        {NameKind::Layout, "scrambled", 5},
        {NameKind::Layout, "HorizontalShortSnake", 4},
        {NameKind::Layout, "0", 0},
        {NameKind::Layout, "6", std::nullopt},
        {NameKind::PayloadType, "utf8", 7},
        {NameKind::PayloadType, "Digits", 1},
        {NameKind::BinaryFormat, "hex", 1},
        {NameKind::BinaryFormat, "HEX", 2},
        {NameKind::BinaryFormat, "Hex", std::nullopt},  // the case tells hex from HEX
        {NameKind::BinaryFormat, "hexauppercase", 2},
        {NameKind::BinaryFormat, "Bits", 0},
        {NameKind::BinaryFormat, "binary", 0},
        {NameKind::CodeType, "", std::nullopt},
        {NameKind::CodeType, "bw ", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(valueNamed(c.kind, c.word), c.value) << c.word;
    }
    EXPECT_EQ(nameChoices(NameKind::ReadCodeType), "bw, color or auto");
    EXPECT_EQ(nameChoices(NameKind::Ecc), "low, medium, quartile or high");
}

}  // namespace
}  // namespace qcl
