#include "app/ScriptingOptions.h"

#include <cstdlib>
#include <functional>
#include <map>

#include "app/CommandLine.h"
#include "writer/OptionNames.h"

namespace qcl {
namespace {

// Largest thread count accepted by -j; more would only add scheduling overhead.
constexpr int kMostThreads = 256;
// Highest log threshold (Off) that -ll and -lc take.
constexpr int kHighestLogLevel = 6;

const char* const kUsage =
    "Scripting mode (any long option, or two or more image files):\n"
    "  Quorview [options] FILE...   FILE is an image file, or - for image bytes on standard input\n"
    "  -h, --help                 this text\n"
    "  --version                  program and OpenCV version\n"
    "  --format text|json         text: one line per symbol (\"FILE: payload\" for several\n"
    "                             inputs); json: one JSON object per input (JSON Lines)\n"
    "  -c, --code-type bw|color|auto  code type to read (default auto: each symbol as the\n"
    "                             code type its own pixels show); any letter case, and\n"
    "                             BlackAndWhite, Color, 0 and 1 too\n"
    "  --binary-format binary|hex|HEX  form of binary payloads (default binary: 0b...)\n"
    "  --layout NAME|N            data layout to read (default HorizontalShortSnake, 4); what\n"
    "                             Quorgen -l wrote: Horizontal 0, Vertical 1, VerticalSnake 2,\n"
    "                             HorizontalSnake 3, HorizontalShortSnake 4, Scrambled 5\n"
    "  --no-enhance               skip the input enhancement\n"
    "  --max-symbols N            stop after N symbols per image (0: all)\n"
    "  --time-budget MS           give up an image after MS milliseconds (0: no limit)\n"
    "  -j N, --jobs N             decode on N threads (default: all cores)\n"
    "  --settings FILE            read code type and binary format from a settings file\n"
    "  --log FILE, -lf FILE       write a log file (Warning and worse)\n"
    "  -ll N, -lc N               thresholds 0..6 of the log file and of the error stream\n"
    "                             (defaults 3, Warning, and 4, Error)\n"
    "  -r FILE                    one more input\n"
    "  --overlay FILE.png         the image with what the reader found drawn on it (one input)\n"
    "  --overlay-dir DIR          one such picture per input in DIR, named N-NAME.png\n"
    "A value may also be attached: --jobs=2, -j2, -c1. After -- every argument is an input.\n"
    "Standard output carries only results; diagnostics go to standard error.\n"
    "Exit codes: 0 every input had a symbol, 1 some input had none, 2 usage error (bad option or\n"
    "  settings file), 3 an input could not be read as an image (3 wins over 1).\n";

int integerValue(const std::string& name, const std::string& value, int lowest, int highest) {
    const std::optional<int> number = parseInteger(value);
    if (!number || *number < lowest || *number > highest) {
        throw BadOption("Option " + name + " needs a whole number from " + std::to_string(lowest) +
                        " to " + std::to_string(highest) + ", but read: " + value);
    }
    return *number;
}

int namedValue(const std::string& name, NameKind kind, const std::string& value) {
    const std::optional<int> found = valueNamed(kind, value);
    if (!found) {
        throw BadOption("Option " + name + " must be " + nameChoices(kind) +
                        ", but read: " + value);
    }
    return *found;
}

CodeTypeChoice codeTypeValue(const std::string& name, const std::string& value) {
    switch (namedValue(name, NameKind::ReadCodeType, value)) {
        case 0:
            return CodeTypeChoice::BlackAndWhite;
        case 1:
            return CodeTypeChoice::Color;
        default:
            return CodeTypeChoice::Automatic;
    }
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

using ValueSetter = std::function<void(ScriptingOptions&, const std::string&, const std::string&)>;

// Options that take a value, under every name they go by.
const std::map<std::string, ValueSetter>& valueOptions() {
    const ValueSetter codeType = [](auto& o, const auto& n, const auto& v) {
        o.codeType = codeTypeValue(n, v);
    };
    const ValueSetter threads = [](auto& o, const auto& n, const auto& v) {
        o.threads = integerValue(n, v, 1, kMostThreads);
    };
    const ValueSetter log = [](auto& o, const auto&, const auto& v) { o.logFile = v; };
    static const std::map<std::string, ValueSetter> kOptions = {
        {"--format", [](auto& o, const auto&, const auto& v) { o.format = formatValue(v); }},
        {"--code-type", codeType},
        {"-c", codeType},
        {"--binary-format",
         [](auto& o, const auto& n, const auto& v) {
             o.binaryFormat = static_cast<BinaryFormat>(namedValue(n, NameKind::BinaryFormat, v));
         }},
        {"--layout",
         [](auto& o, const auto& n, const auto& v) {
             o.layout = static_cast<Layout>(namedValue(n, NameKind::Layout, v));
         }},
        {"--max-symbols",
         [](auto& o, const auto& n, const auto& v) { o.maxSymbols = integerValue(n, v, 0, 1000); }},
        {"--time-budget", [](auto& o, const auto& n,
                             const auto& v) { o.timeBudgetMs = integerValue(n, v, 0, 3600000); }},
        {"-j", threads},
        {"--jobs", threads},
        {"--settings", [](auto& o, const auto&, const auto& v) { o.settingsFile = v; }},
        {"--log", log},
        {"-lf", log},
        {"-ll",
         [](auto& o, const auto& n, const auto& v) {
             o.fileLevel = static_cast<LogLevel>(integerValue(n, v, 0, kHighestLogLevel));
         }},
        {"-lc",
         [](auto& o, const auto& n, const auto& v) {
             o.consoleLevel = static_cast<LogLevel>(integerValue(n, v, 0, kHighestLogLevel));
         }},
        {"-r", [](auto& o, const auto&, const auto& v) { o.inputs.push_back(v); }},
        {"--overlay", [](auto& o, const auto&, const auto& v) { o.overlayFile = v; }},
        {"--overlay-dir", [](auto& o, const auto&, const auto& v) { o.overlayDir = v; }},
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
    } else if (word == "-v") {
        throw BadOption("Option -v opens the camera view; it takes no image files");
    } else {
        return false;
    }
    return true;
}

// The option a word names and the value attached to it ("--jobs=2", "-j2"); the name alone when
// nothing is attached, or the word itself when it names no option.
std::pair<std::string, std::optional<std::string>> splitWord(const std::string& word) {
    if (word.rfind("--", 0) == 0) {
        const std::size_t equals = word.find('=');
        if (equals == std::string::npos) {
            return {word, std::nullopt};
        }
        return {word.substr(0, equals), word.substr(equals + 1)};
    }
    // The two-letter short options first: "-ll3" is -ll with 3, not -l with "l3".
    for (const char* name : {"-ll", "-lc", "-lf", "-j", "-c", "-r"}) {
        const std::string shortName = name;
        if (word.size() > shortName.size() && word.rfind(shortName, 0) == 0) {
            return {shortName, word.substr(shortName.size())};
        }
    }
    return {word, std::nullopt};
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
        if (word.rfind("--", 0) == 0 || word == "-h" || word.rfind("-j", 0) == 0) {
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
            continue;
        }
        if (word == "--") {
            onlyInputs = true;
            continue;
        }
        const auto [name, attached] = splitWord(word);
        const auto found = valueOptions().find(name);
        if (found != valueOptions().end()) {
            if (!attached && i + 1 >= arguments.size()) {
                throw BadOption("Option " + name + " needs a value");
            }
            found->second(options, name, attached ? *attached : arguments[++i]);
        } else if (isFlag(name, options)) {
            if (attached) {
                throw BadOption("Option " + name + " takes no value");
            }
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
