// Quorgen: writes a Quorel code symbol for a text, a file or binary data into an image file.
#include <opencv2/imgcodecs.hpp>

#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/ErrorCodes.h"
#include "writer/QuorgenOptions.h"
#include "writer/SymbolEncoder.h"
#include "writer/SymbolRenderer.h"

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

int run(const std::vector<std::string>& args) {
    QuorgenOptions o = qcl::writer::parseQuorgenArguments(args);
    if (o.help) {
        std::cout << qcl::writer::kQuorgenUsage;
        return EXIT_SUCCESS;
    }
    const std::string text = qcl::writer::quorgenPayload(o);
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
    const cv::Mat image = renderer.render(content.modules);
    if (!cv::imwrite(o.output, image)) {
        throw std::runtime_error("cannot write '" + o.output + "'");
    }
    if (o.verbose) {
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
