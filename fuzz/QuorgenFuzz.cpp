// Quorgen's command line, one argument per line of the input, then the encoder and, for small
// images, the renderer. Usage errors, the writer's own errors and the renderer's refusals are
// answers; anything else escapes to the fuzzer.
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "writer/QuorgenOptions.h"
#include "writer/SymbolEncoder.h"
#include "writer/SymbolRenderer.h"
#include "writer/SymbolSvg.h"

namespace {

// Larger images are drawn correctly or not at all alike; the cap keeps executions fast.
constexpr int kMaxRenderedPixels = 200 * 200;

void writeSymbol(const std::vector<std::string>& args) {
    using namespace qcl::writer;
    QuorgenOptions o = parseQuorgenArguments(args);
    if (o.help || o.version || o.source != QuorgenOptions::Source::Text || o.input.empty()) {
        return;
    }
    quorgenFormat(o);
    const SymbolContent content = encodeSymbol(quorgenPayload(o), o.symbol);
    const qcl::SymbolRenderer renderer(content.modulesPerRing, content.ringCount, content.codeType,
                                       o.render);
    if (renderer.geometry().imageSize.area() * o.render.supersampling <= kMaxRenderedPixels) {
        renderer.render(content.modules);
        qcl::symbolSvg(renderer, content.modules);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
    for (std::string line; std::getline(lines, line);) {
        args.push_back(line);
    }
    try {
        writeSymbol(args);
    } catch (const qcl::writer::UsageError&) {
    } catch (const qcl::QCException&) {
    } catch (const std::invalid_argument&) {
    }
    return 0;
}
