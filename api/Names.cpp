// The public interface's names of code parameters, both ways.
#include <quorview/quorview.h>

#include "common/CodeTypes.h"
#include "common/ErrorCodes.h"
#include "writer/OptionNames.h"

namespace quorview {
namespace {

template <typename Enum>
Enum named(qcl::NameKind kind, const char* what, const std::string& name) {
    const std::optional<int> value = qcl::valueNamed(kind, name);
    if (!value) {
        throw Error(qcl::InvalidConfiguration, std::string(what) + " must be " +
                                                   qcl::nameChoices(kind) + ", not '" + name + "'");
    }
    return static_cast<Enum>(*value);
}

}  // namespace

std::string toString(CodeType value) {
    return value == CodeType::Auto ? "Auto" : qcl::toString(static_cast<qcl::CodeType>(value));
}

std::string toString(Layout value) {
    return qcl::toString(static_cast<qcl::Layout>(value));
}

std::string toString(EccStrength value) {
    return qcl::toString(static_cast<qcl::ECCtype>(value));
}

std::string toString(PayloadType value) {
    return qcl::toString(static_cast<qcl::PayloadType>(value));
}

std::string toString(BinaryFormat value) {
    return qcl::toString(static_cast<qcl::BinaryFormat>(value));
}

CodeType parseCodeType(const std::string& name) {
    return named<CodeType>(qcl::NameKind::ReadCodeType, "code type", name);
}

Layout parseLayout(const std::string& name) {
    return named<Layout>(qcl::NameKind::Layout, "layout", name);
}

EccStrength parseEccStrength(const std::string& name) {
    return named<EccStrength>(qcl::NameKind::Ecc, "ecc", name);
}

PayloadType parsePayloadType(const std::string& name) {
    return named<PayloadType>(qcl::NameKind::PayloadType, "payload type", name);
}

BinaryFormat parseBinaryFormat(const std::string& name) {
    return named<BinaryFormat>(qcl::NameKind::BinaryFormat, "binary format", name);
}

}  // namespace quorview
