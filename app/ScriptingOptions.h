// The command line of the scripting mode: image files (or "-" for standard input) and long
// options, for use from scripts and pipelines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/CodeTypes.h"

namespace qcl {

// Exit codes of the scripting mode.
enum ScriptExit : int {
    kExitAllRead = 0,     // every input had a symbol
    kExitSomeUnread = 1,  // some input had no symbol
    kExitUsage = 2,       // the command line could not be used
    kExitBadImage = 3,    // some input could not be read as an image (wins over 1)
};

enum class OutputFormat { Text, Json };

// Which code types a decode tries: one of them, or black-and-white and then colour when the
// image has colour and black-and-white found nothing.
enum class CodeTypeChoice { BlackAndWhite, Color, Automatic };

struct ScriptingOptions {
    bool help = false;
    bool version = false;
    std::vector<std::string> inputs;  // image paths; "-" is standard input
    OutputFormat format = OutputFormat::Text;
    std::optional<CodeTypeChoice> codeType;    // unset: the settings' choice, else Automatic
    std::optional<BinaryFormat> binaryFormat;  // unset: the settings' choice
    std::optional<Layout> layout;              // unset: HorizontalShortSnake
    bool enhance = true;
    std::int32_t maxSymbols = 0;
    double timeBudgetMs = 0.0;
    std::int32_t threads = 0;              // 0: one per core
    std::string settingsFile;              // "" reads no settings
    std::string logFile;                   // "" writes no log file
    std::optional<LogLevel> fileLevel;     // unset: Warning
    std::optional<LogLevel> consoleLevel;  // unset: Error
    std::string overlayFile;               // one input only
    std::string overlayDir;
};

// True when the arguments ask for the scripting mode: a long option, "-h", "-j" (with or without
// its value attached), a lone "-", or two or more arguments that are not all of the design's
// short options and their values.
bool wantsScriptingMode(const std::vector<std::string>& arguments);

// Parses the scripting command line: long options with their value after them or attached
// ("--jobs=2"), the short options -c, -j, -r, -ll, -lc, -lf likewise ("-j2"), image files.
// Throws BadOption (app/CommandLine.h) with a one-line message for an unknown option, a missing
// or unusable value, -v (the camera view takes no files), or a missing input.
ScriptingOptions parseScriptingOptions(const std::vector<std::string>& arguments);

// The scripting options' part of the usage text.
const char* scriptingUsage();

}  // namespace qcl
