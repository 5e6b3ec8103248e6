#include "app/ScriptingOptions.h"

#include <cstdlib>
#include <functional>
#include <map>

#include "app/CommandLine.h"

namespace qcl {
namespace {

// Largest thread count accepted by -j; more would only add scheduling overhead.
constexpr int kMostThreads = 256;

const char* const kUsage =
    "Scripting mode (any long option, or two or more image files):\n"
    "  Quorview [options] FILE...   FILE is an image file, or - for image bytes on standard input\n"
    "  -h, --help                 this text\n"
    "  --version                  program and OpenCV version\n"
    "  --format text|json         text: one line per symbol (\"FILE: payload\" for several\n"
    "                             inputs); json: one JSON object per input (JSON Lines)\n"
    "  --code-type bw|color|auto  code type to read (default auto: black-and-white first,\n"
    "                             colour when the image has colour)\n"
    "  --binary-format binary|hex|HEX  form of binary payloads (default binary: 0b...)\n"
    "  --no-enhance               skip the input enhancement\n"
    "  --max-symbols N            stop after N symbols per image (0: all)\n"
    "  --time-budget MS           give up an image after MS milliseconds (0: no limit)\n"
    "  -j N, --jobs N             decode on N threads (default: all cores)\n"
    "  --settings FILE            read code type and binary format from a settings file\n"
    "  --log FILE                 write a log file\n"
    "  --overlay FILE.png         the image with what the reader found drawn on it (one input)\n"
    "  --overlay-dir DIR          one such picture per input in DIR, named N-NAME.png\n"
    "Standard output carries only results; diagnostics go to standard error.\n"
    "Exit codes: 0 every input had a symbol, 1 some input had none, 2 usage error,\n"
    "  3 an input could not be read as an image (3 wins over 1).\n";

int integerValue(const std::string& name, const std::string& value, int lowest, int highest) {
    const std::optional<int> number = parseInteger(value);
    if (!number || *number < lowest || *number > highest) {
        throw BadOption("Option " + name + " needs a whole number from " + std::to_string(lowest) +
                        " to " + std::to_string(highest) + ", but read: " + value);
    }
    return *number;
}

CodeTypeChoice codeTypeValue(const std::string& value) {
    static const std::map<std::string, CodeTypeChoice> kNames = {
        {"bw", CodeTypeChoice::BlackAndWhite},
        {"0", CodeTypeChoice::BlackAndWhite},
        {"BlackAndWhite", CodeTypeChoice::BlackAndWhite},
        {"color", CodeTypeChoice::Color},
        {"colour", CodeTypeChoice::Color},
        {"1", CodeTypeChoice::Color},
        {"Color", CodeTypeChoice::Color},
        {"auto", CodeTypeChoice::Automatic}};
    const auto found = kNames.find(value);
    if (found == kNames.end()) {
        throw BadOption("Option --code-type must be bw, color or auto, but read: " + value);
    }
    return found->second;
}

BinaryFormat binaryFormatValue(const std::string& value) {
    static const std::map<std::string, BinaryFormat> kNames = {
        {"binary", BinaryFormat::Binary},     {"Binary", BinaryFormat::Binary},
        {"hex", BinaryFormat::HexaLowerCase}, {"HexaLowerCase", BinaryFormat::HexaLowerCase},
        {"HEX", BinaryFormat::HexaUpperCase}, {"HexaUpperCase", BinaryFormat::HexaUpperCase}};
    const auto found = kNames.find(value);
    if (found == kNames.end()) {
        throw BadOption("Option --binary-format must be binary, hex or HEX, but read: " + value);
    }
    return found->second;
}

OutputFormat formatValue(const std::string& value) {
    if (value == "text") {
        return OutputFormat::Text;
    }
    if (value == "json") {
        return OutputFormat::Json;
    }
    throw BadOption("Option --format must be text or json, but read: " + value);
}

using ValueSetter = std::function<void(ScriptingOptions&, const std::string&)>;

const std::map<std::string, ValueSetter>& valueOptions() {
    static const std::map<std::string, ValueSetter> kOptions = {
        {"--format", [](auto& o, const auto& v) { o.format = formatValue(v); }},
        {"--code-type", [](auto& o, const auto& v) { o.codeType = codeTypeValue(v); }},
        {"--binary-format", [](auto& o, const auto& v) { o.binaryFormat = binaryFormatValue(v); }},
        {"--max-symbols",
         [](auto& o, const auto& v) { o.maxSymbols = integerValue("--max-symbols", v, 0, 1000); }},
        {"--time-budget",
         [](auto& o, const auto& v) {
             o.timeBudgetMs = integerValue("--time-budget", v, 0, 3600000);
         }},
        {"-j", [](auto& o, const auto& v) { o.threads = integerValue("-j", v, 1, kMostThreads); }},
        {"--jobs",
         [](auto& o, const auto& v) { o.threads = integerValue("--jobs", v, 1, kMostThreads); }},
        {"--settings", [](auto& o, const auto& v) { o.settingsFile = v; }},
        {"--log", [](auto& o, const auto& v) { o.logFile = v; }},
        {"--overlay", [](auto& o, const auto& v) { o.overlayFile = v; }},
        {"--overlay-dir", [](auto& o, const auto& v) { o.overlayDir = v; }},
    };
    return kOptions;
}

bool isFlag(const std::string& word, ScriptingOptions& options) {
    if (word == "-h" || word == "--help") {
        options.help = true;
    } else if (word == "--version") {
        options.version = true;
    } else if (word == "--no-enhance") {
        options.enhance = false;
    } else {
        return false;
    }
    return true;
}

void checkConsistency(const ScriptingOptions& options) {
    if (options.help || options.version) {
        return;
    }
    if (options.inputs.empty()) {
        throw BadOption("No image file given (see --help)");
    }
    if (!options.overlayFile.empty() && options.inputs.size() != 1) {
        throw BadOption("Option --overlay takes exactly one input; use --overlay-dir for several");
    }
}

}  // namespace

bool wantsScriptingMode(const std::vector<std::string>& arguments) {
    for (const std::string& word : arguments) {
        if (word.rfind("--", 0) == 0 || word == "-h" || word == "-j") {
            return true;
        }
    }
    if (arguments.size() == 1) {
        return arguments[0] == "-";
    }
    return arguments.size() >= 2 && !usesOnlyDesignOptions(arguments);
}

ScriptingOptions parseScriptingOptions(const std::vector<std::string>& arguments) {
    ScriptingOptions options;
    bool onlyInputs = false;  // after "--" every word is an input
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (onlyInputs || word == "-" || word.empty() || word[0] != '-') {
            options.inputs.push_back(word);
        } else if (word == "--") {
            onlyInputs = true;
        } else if (isFlag(word, options)) {
            continue;
        } else if (const auto found = valueOptions().find(word); found != valueOptions().end()) {
            if (i + 1 >= arguments.size()) {
                throw BadOption("Option " + word + " needs a value");
            }
            found->second(options, arguments[++i]);
        } else {
            throw BadOption("Unknown option " + word + " (see --help)");
        }
    }
    checkConsistency(options);
    return options;
}

const char* scriptingUsage() {
    return kUsage;
}

}  // namespace qcl
