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
#include "writer/SymbolWriter.h"

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
std::string encodeImage(const std::string& format, const qcl::writer::CheckedSymbol& symbol) {
    if (format == "svg") {
        return qcl::symbolSvg(symbol.renderer, symbol.content.modules);
    }
    std::vector<std::uint8_t> bytes;
    if (!cv::imencode("." + format, symbol.image, bytes)) {
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
    qcl::writer::SymbolRequest request;
    request.payload = qcl::writer::quorgenPayload(o);
    request.symbol = o.symbol;
    request.render = o.render;
    request.force = o.force;
    qcl::writer::CheckedSymbol symbol = [&] {
        try {
            return qcl::writer::writeCheckedSymbol(request);
        } catch (const qcl::writer::UnreadableSymbol& refused) {
            throw std::runtime_error("cannot write the symbol: " + refused.detail +
                                     "; --force writes it anyway");
        }
    }();
    writeOutput(o.output, encodeImage(format, symbol));
    if (o.verbose && o.output != "-") {
        printSummary(symbol.content, symbol.renderer.geometry(), o.output);
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
