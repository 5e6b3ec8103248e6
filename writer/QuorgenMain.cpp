// Quorgen: writes a Quorel code symbol for a text, a file or binary data into an image file.
#include <opencv2/imgcodecs.hpp>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/ErrorCodes.h"
#include "common/Version.h"
#include "writer/QuorgenOptions.h"
#include "writer/SymbolEncoder.h"
#include "writer/SymbolRenderer.h"
#include "writer/SymbolSvg.h"

namespace {

using qcl::writer::QuorgenOptions;

// Exit codes: a symbol that cannot be made is a different failure from a wrong command line.
constexpr int kExitCannotWrite = 1;
constexpr int kExitUsage = 2;

void printSummary(const qcl::writer::SymbolContent& content, const qcl::SymbolGeometry& g,
                  const std::string& output) {
    std::cout << "Wrote " << output << ": " << g.imageSize.width << "x" << g.imageSize.height
              << " px, " << content.codeType << ", " << content.modulesPerRing
              << " modules per ring, " << content.ringCount << " rings, ECC " << content.eccStrength
              << ", payload " << content.payloadType << " (" << content.payloadBits
              << " bits), layout " << content.layout << ", mask " << content.mask << "\n"
              << "  diameter " << 2 * g.outerRadius() << " px, ring pitch " << g.pitch
              << " px, centre disc radius " << g.discRadius << " px\n";
}

// The encoded image in the chosen type: an SVG document or the image codec's bytes.
std::string encodeImage(const std::string& format, const qcl::SymbolRenderer& renderer,
                        const qcl::ModuleList& modules) {
    if (format == "svg") {
        return qcl::symbolSvg(renderer, modules);
    }
    std::vector<std::uint8_t> bytes;
    if (!cv::imencode("." + format, renderer.render(modules), bytes)) {
        throw std::runtime_error("cannot encode the image as " + format);
    }
    return std::string(bytes.begin(), bytes.end());
}

// Writes the bytes to the file, or to standard output for "-".
void writeOutput(const std::string& output, const std::string& bytes) {
    if (output == "-") {
        std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        if (!std::cout) {
            throw std::runtime_error("cannot write to standard output");
        }
        return;
    }
    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        throw std::runtime_error("cannot write '" + output + "': " + std::strerror(errno));
    }
}

int run(const std::vector<std::string>& args) {
    QuorgenOptions o = qcl::writer::parseQuorgenArguments(args);
    if (o.help) {
        std::cout << qcl::writer::kQuorgenUsage;
        return EXIT_SUCCESS;
    }
    if (o.version) {
        std::cout << "Quorgen " << qcl::kVersion << std::endl;
        return EXIT_SUCCESS;
    }
    const std::string format = qcl::writer::quorgenFormat(o);
    const std::string text = qcl::writer::quorgenPayload(o);
    if (text.empty()) {
        // An empty frame reads back as no data at all: refuse it rather than write a blank code.
        throw qcl::writer::UsageError(
            "the payload is empty; a symbol holds at least one character");
    }
    const qcl::writer::SymbolContent content = qcl::writer::encodeSymbol(text, o.symbol);
    const qcl::SymbolRenderer renderer(content.modulesPerRing, content.ringCount, content.codeType,
                                       o.render);
    const qcl::SymbolGeometry& g = renderer.geometry();
    const double workingPitch = g.pitch / g.workingScale;
    if (workingPitch < qcl::minimumRingPitch(content.modulesPerRing)) {
        std::cerr << "Quorgen: warning: ring pitch " << workingPitch
                  << " px (in a 640-px view) is below "
                  << qcl::minimumRingPitch(content.modulesPerRing)
                  << " px; the reader may not find this symbol\n";
    }
    writeOutput(o.output, encodeImage(format, renderer, content.modules));
    if (o.verbose && o.output != "-") {
        printSummary(content, g, o.output);
    }
    return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return run(args);
    } catch (const qcl::writer::UsageError& error) {
        std::cerr << "Quorgen: " << error.what() << "\n(Quorgen --help lists the options)\n";
        return kExitUsage;
    } catch (const qcl::QCException& error) {
        std::cerr << "Quorgen: cannot write the symbol: " << error.what() << "\n";
        return kExitCannotWrite;
    } catch (const std::exception& error) {
        std::cerr << "Quorgen: " << error.what() << "\n";
        return kExitCannotWrite;
    }
}
