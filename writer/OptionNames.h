// The words users name code parameters with, the same on every surface: the program's options
// and settings file, Quorgen's options and the C++ and Python interfaces.
#pragma once

#include <optional>
#include <string>

namespace qcl {

// What a word may name.
enum class NameKind {
    CodeType,      // a code type to write: bw or color
    ReadCodeType,  // a code type to read: bw, color or auto
    Ecc,
    Layout,
    PayloadType,
    BinaryFormat,
};

// The value of "auto" as a reading code type: black-and-white first, then colour when the image
// shows colour.
constexpr int kAutoCodeType = 2;

// The value a word stands for: the short words (bw, color, auto, low ... high, binary, hex,
// HEX), the design's names (BlackAndWhite, Color, Medium, HorizontalShortSnake, HexaLowerCase,
// ...) and the values' numbers. Letter case does not matter, except between hex and HEX.
// Nothing for a word that names no value of the kind.
std::optional<int> valueNamed(NameKind kind, const std::string& word);

// The words a message offers, e.g. "bw, color or auto".
std::string nameChoices(NameKind kind);

}  // namespace qcl
