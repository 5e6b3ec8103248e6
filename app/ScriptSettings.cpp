#include "app/ScriptSettings.h"

#include <nlohmann/json.hpp>

#include "app/CommandLine.h"
#include "imaging/ImageFile.h"
#include "writer/OptionNames.h"

namespace qcl {
namespace {

using nlohmann::json;

// The value of `key` as a name or a number of `kind`; nothing when the file has no such key.
std::optional<int> settingValue(const json& settings, const char* key, NameKind kind,
                                const std::string& fileName) {
    const auto found = settings.find(key);
    if (found == settings.end()) {
        return std::nullopt;
    }
    std::optional<int> value;
    if (found->is_string()) {
        value = valueNamed(kind, found->get<std::string>());
    } else if (found->is_number_integer()) {
        value = valueNamed(kind, std::to_string(found->get<long long>()));
    }
    if (!value) {
        throw BadOption("Settings file '" + fileName + "': " + key + " must be " +
                        nameChoices(kind) + " (or its number), but read: " + found->dump());
    }
    return value;
}

}  // namespace

ScriptSettings readScriptSettings(const std::string& fileName) {
    const FileBytes file = readFileBytes(fileName);
    if (!file.ok()) {
        throw BadOption("Settings file '" + fileName + "' cannot be read: " + file.error);
    }
    const json settings = json::parse(file.bytes.begin(), file.bytes.end(), nullptr, false);
    if (!settings.is_object()) {
        throw BadOption("Settings file '" + fileName +
                        "' cannot be read: it is not a JSON object of settings");
    }
    ScriptSettings result;
    if (const auto codeType = settingValue(settings, "codeType", NameKind::CodeType, fileName)) {
        result.codeType = static_cast<CodeType>(*codeType);
    }
    if (const auto format = settingValue(settings, "binFormat", NameKind::BinaryFormat, fileName)) {
        result.binaryFormat = static_cast<BinaryFormat>(*format);
    }
    return result;
}

}  // namespace qcl
