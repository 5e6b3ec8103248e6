// The version that both programs, Quorview and Quorgen, print.
#pragma once

namespace qcl {

inline constexpr char kVersion[] = "1.26.34";

}  // namespace qcl
