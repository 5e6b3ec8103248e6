// The public interface's names of code parameters, both ways.
#include <quorview/quorview.h>

#include "common/CodeTypes.h"
#include "common/ErrorCodes.h"
#include "writer/OptionNames.h"

namespace quorview {
namespace {

template <typename Enum>
Enum named(qcl::NameKind kind, const std::string& what, const std::string& name) {
    const std::optional<int> value = qcl::valueNamed(kind, name);
    if (!value) {
        throw Error(qcl::InvalidConfiguration,
                    what + " must be " + qcl::nameChoices(kind) + ", not '" + name + "'");
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

CodeType parseCodeType(const std::string& name, const std::string& what) {
    return named<CodeType>(qcl::NameKind::ReadCodeType, what, name);
}

Layout parseLayout(const std::string& name, const std::string& what) {
    return named<Layout>(qcl::NameKind::Layout, what, name);
}

EccStrength parseEccStrength(const std::string& name, const std::string& what) {
    return named<EccStrength>(qcl::NameKind::Ecc, what, name);
}

PayloadType parsePayloadType(const std::string& name, const std::string& what) {
    return named<PayloadType>(qcl::NameKind::PayloadType, what, name);
}

BinaryFormat parseBinaryFormat(const std::string& name, const std::string& what) {
    return named<BinaryFormat>(qcl::NameKind::BinaryFormat, what, name);
}

}  // namespace quorview
