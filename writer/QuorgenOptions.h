// The command line of Quorgen, the symbol writer: what to write, how the symbol is built and how
// it is drawn.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "writer/SymbolEncoder.h"
#include "writer/SymbolRenderer.h"

namespace qcl::writer {

struct QuorgenOptions {
    enum class Source { Text, File, BinaryFile };
    Source source = Source::Text;
    std::string input;                  // the text itself or a file name
    std::string output = "quorel.png";  // "-" is standard output
    std::string format;                 // "png", "svg" or another image type; "" from the name
    SymbolOptions symbol;
    RenderOptions render;
    bool force = false;  // write a symbol that the reader does not read back
    bool verbose = false;
    bool help = false;     // print the usage text and nothing else
    bool version = false;  // print the program and version and nothing else
};

// A command line that cannot be followed; what() says which argument is wrong and why.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Image the symbol fills when neither its size nor its ring pitch nor its diameter is given: the
// reader's own working size.
const cv::Size kDefaultQuorgenImage(640, 640);

// The text that --help prints.
extern const char* const kQuorgenUsage;

// Reads the arguments that follow the program name. Exactly one payload is needed (a text, or
// --file or --binary-file) unless --help is given. Enumeration values are taken by name, in any
// letter case, or by number; an option's value may follow it or be attached as --name=VALUE.
// Throws UsageError.
QuorgenOptions parseQuorgenArguments(const std::vector<std::string>& args);

// The payload text: the text itself, a file's bytes, or a binary file's bytes as "0x" and two
// lower-case hexadecimal digits per byte (the reader's hexadecimal output), which also sets the
// payload type to Binary. Throws std::runtime_error, with the reason in our words, when a file
// cannot be read.
std::string quorgenPayload(QuorgenOptions& options);

// The image type to write: --format, else the output name's extension ("png" for standard
// output). Throws UsageError for a type that cannot be written.
std::string quorgenFormat(const QuorgenOptions& options);

}  // namespace qcl::writer
