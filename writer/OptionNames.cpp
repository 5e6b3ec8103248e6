#include "writer/OptionNames.h"

#include <cctype>
#include <vector>

namespace qcl {
namespace {

struct Name {
    const char* word;
    int value;
    bool offered = false;  // listed in messages
    bool exactCase = false;
};

const std::vector<Name>& namesOf(NameKind kind) {
    static const std::vector<Name> kCodeTypes = {
        {"bw", 0, true}, {"color", 1, true}, {"BlackAndWhite", 0},
        {"colour", 1},   {"0", 0},           {"1", 1}};
    static const std::vector<Name> kReadCodeTypes = {{"bw", 0, true},
                                                     {"color", 1, true},
                                                     {"auto", kAutoCodeType, true},
                                                     {"BlackAndWhite", 0},
                                                     {"colour", 1},
                                                     {"0", 0},
                                                     {"1", 1}};
    static const std::vector<Name> kEcc = {{"low", 0, true},
                                           {"medium", 1, true},
                                           {"quartile", 2, true},
                                           {"high", 3, true},
                                           {"0", 0},
                                           {"1", 1},
                                           {"2", 2},
                                           {"3", 3}};
    static const std::vector<Name> kLayouts = {{"Horizontal", 0, true},
                                               {"Vertical", 1, true},
                                               {"VerticalSnake", 2, true},
                                               {"HorizontalSnake", 3, true},
                                               {"HorizontalShortSnake", 4, true},
                                               {"Scrambled", 5, true},
                                               {"0", 0},
                                               {"1", 1},
                                               {"2", 2},
                                               {"3", 3},
                                               {"4", 4},
                                               {"5", 5}};
    static const std::vector<Name> kPayloadTypes = {{"Automatic", 0, true},
                                                    {"Digits", 1, true},
                                                    {"Letters", 2, true},
                                                    {"Numbers", 3, true},
                                                    {"Ascii", 4, true},
                                                    {"Binary", 5, true},
                                                    {"UTF8", 7, true},
                                                    {"BigLetters", 6},
                                                    {"0", 0},
                                                    {"1", 1},
                                                    {"2", 2},
                                                    {"3", 3},
                                                    {"4", 4},
                                                    {"5", 5},
                                                    {"6", 6},
                                                    {"7", 7}};
    static const std::vector<Name> kBinaryFormats = {{"binary", 0, true},
                                                     {"hex", 1, true, true},
                                                     {"HEX", 2, true, true},
                                                     {"bits", 0},
                                                     {"HexaLowerCase", 1},
                                                     {"HexaUpperCase", 2},
                                                     {"0", 0},
                                                     {"1", 1},
                                                     {"2", 2}};
    switch (kind) {
        case NameKind::CodeType:
            return kCodeTypes;
        case NameKind::ReadCodeType:
            return kReadCodeTypes;
        case NameKind::Ecc:
            return kEcc;
        case NameKind::Layout:
            return kLayouts;
        case NameKind::PayloadType:
            return kPayloadTypes;
        case NameKind::BinaryFormat:
            break;
    }
    return kBinaryFormats;
}

bool sameIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

}  // namespace

std::optional<int> valueNamed(NameKind kind, const std::string& word) {
    for (const Name& name : namesOf(kind)) {
        if (name.exactCase ? word == name.word : sameIgnoringCase(word, name.word)) {
            return name.value;
        }
    }
    return std::nullopt;
}

std::string nameChoices(NameKind kind) {
    std::vector<const char*> offered;
    for (const Name& name : namesOf(kind)) {
        if (name.offered) {
            offered.push_back(name.word);
        }
    }
    std::string text;
    for (std::size_t i = 0; i < offered.size(); ++i) {
        text += i == 0 ? "" : (i + 1 == offered.size() ? " or " : ", ");
        text += offered[i];
    }
    return text;
}

}  // namespace qcl
