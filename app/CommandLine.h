// The program's arguments: a lone image path, or the options of the usage text.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qcl {

enum class RunMode {
    DecodeFile,   // decode one image file and end
    CameraView,   // open the camera view at once and end when it closes
    Interactive,  // the console menu
};

// What the arguments ask for. Options absent from the arguments stay unset.
struct CommandLine {
    RunMode mode = RunMode::Interactive;
    std::string imagePath;               // DecodeFile only
    std::optional<int> codeType;         // "-c"
    std::optional<int> logLevel;         // "-ll"
    std::optional<int> logLevelConsole;  // "-lc"
    std::optional<std::string> logFile;  // "-lf"
};

// An option value that the program cannot use; the run ends with what() on the error stream.
class BadOption : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// `arguments` excludes the program name. Exactly one argument is an image path. Otherwise the
// arguments count as options only when every one of them is a known option or the value that
// follows it ("-r", "-c", "-ll", "-lc", "-lf" take a value, "-v" none; the first occurrence of an
// option wins): with "-r" the file is decoded, else with "-v" the camera view opens, else the
// menu runs with the options applied. Anything else runs the menu as if no argument were given.
// Throws BadOption for a value that is not a whole signed 32-bit decimal integer or lies outside
// its option's range.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// True when every argument is one of the options above or the value that follows it.
bool usesOnlyDesignOptions(const std::vector<std::string>& arguments);

// Whole decimal integer in the signed 32-bit range (optional sign, no blanks, no other text).
std::optional<int> parseInteger(const std::string& text);

}  // namespace qcl
