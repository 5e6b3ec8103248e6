// What a scripting run takes from a settings file (--settings): the code type and the binary
// format. Unlike the interactive program, which carries on with defaults and a warning, a
// script is stopped by a file it cannot use, with the reason.
#pragma once

#include <optional>
#include <string>

#include "common/CodeTypes.h"

namespace qcl {

struct ScriptSettings {
    std::optional<CodeType> codeType;          // unset when the file has no codeType
    std::optional<BinaryFormat> binaryFormat;  // unset when the file has no binFormat
};

// Reads the file's codeType and binFormat, each by name (the settings file's names, or the
// words of the command line, in any letter case) or by number. Throws BadOption
// (app/CommandLine.h) naming the file and the reason for a missing or unreadable file, one that
// is not a JSON object, or a value that names no code type or binary format.
ScriptSettings readScriptSettings(const std::string& fileName);

}  // namespace qcl
