// The application's persistent choices: logging, code type, camera and output form.
#pragma once

#include <cstdint>
#include <string>

#include "common/CodeTypes.h"

namespace qcl {

// The settings file, relative to the working directory.
extern const char* const kSettingsFileName;

struct Settings {
    std::string logFileName = "log.txt";
    std::string launch;  // camera launch string; when set it is used instead of the device number
    LogLevel logLevel = LogLevel::Info;         // file threshold
    LogLevel logLevelConsole = LogLevel::Info;  // console threshold
    CodeType codeType = CodeType::BlackAndWhite;
    std::int32_t device = 0;
    std::int32_t mode = -1;  // -1: the camera's default mode
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t backend = 0;  // video capture API preference (0 any, 700, 1400, 200, ...)
    BinaryFormat binFormat = BinaryFormat::Binary;
    bool outputChangesOnly = false;  // the camera view prints a payload again only when it changes
};

// Overwrites the record from the file. A missing, unreadable or malformed file leaves defaults
// or partly read values and a Warning line; never throws. Returns true when every key was read.
bool readSettings(Settings& settings, const std::string& fileName = kSettingsFileName);

// Writes the record, replacing the file. Reports failures through the logger; never throws.
// Returns true when the file was written.
bool saveSettings(const Settings& settings, const std::string& fileName = kSettingsFileName);

}  // namespace qcl
