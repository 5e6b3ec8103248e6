// The identity dump: thousands of seeded pictures made the way the evaluation makes them, each
// read by the designed search alone and by the whole-image read (with the stages' findings kept),
// one line per picture with everything the reader decided. Two builds whose dumps differ decide
// differently somewhere; a change meant only to be faster must leave the dump as it was.
//
// Usage: quorview_identity [--variants N] [--shard I/N] [--families a,b,...]
#include <opencv2/core.hpp>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "bench/eval/EvalFamilies.h"
#include "common/ErrorCodes.h"
#include "common/ImageMemory.h"
#include "decoder/Decoder.h"
#include "decoder/StageChain.h"
#include "support/SeededRandom.h"

namespace {

using qcl::eval::Family;

// Payload lengths drawn in turn, in bytes of printable ASCII: the evaluation's sizes and a
// short one.
constexpr std::size_t kPayloadLengths[] = {16, 32, 48, 5};
constexpr std::size_t kLengthCount = sizeof(kPayloadLengths) / sizeof(kPayloadLengths[0]);
// Symbol widths tried in every family (px), from barely readable to filling the square.
constexpr int kWidths[] = {150, 220, 320, 450, 600};
// Found positions are printed to this many decimals: enough to see a different path, few
// enough that the last bits of a different summation order do not show.
constexpr int kDecimals = 3;
// Families left out by default: their 4000 x 3000 frames take most of a run's time.
const char* const kSkippedFamilies[] = {"frame4000"};

struct Options {
    int variants = 2;
    int shard = 0;
    int shards = 1;
    std::vector<std::string> families;  // empty: all but the skipped ones
};

// Processor time of this thread (ms), for the cost of each picture on the error stream.
double threadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec * 1e-6;
}

std::string hex(const std::string& bytes) {
    std::string out;
    char digits[3];
    for (const char c : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
        out += digits;
    }
    return out.empty() ? "-" : out;
}

// FNV-1a over the rounded coordinates: one number that changes when any finding moves.
struct PointHash {
    std::uint64_t value = 1469598103934665603ull;
    void add(double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.*f", kDecimals, v + 0.0);
        for (const char* c = text; *c != '\0'; ++c) {
            value = (value ^ static_cast<unsigned char>(*c)) * 1099511628211ull;
        }
    }
    void add(const cv::Point2d& p) {
        add(p.x);
        add(p.y);
    }
    void add(const std::vector<cv::Point2d>& points) {
        for (const cv::Point2d& p : points) {
            add(p);
        }
    }
};

std::string describeTrace(const qcl::StageTrace& trace) {
    PointHash hash;
    hash.add(trace.centreDisc);
    hash.add(trace.innerZebra);
    hash.add(trace.markerInner);
    hash.add(trace.markerOuter);
    hash.add(trace.outerZebra);
    std::string values;
    for (const qcl::TracedModule& module : trace.modules) {
        hash.add(module.position);
        values += static_cast<char>('0' + module.value);
    }
    std::ostringstream out;
    out << "trace=" << trace.reachedStage << "/" << trace.centreDisc.size() << "/"
        << trace.innerZebra.size() << "/" << trace.outerZebra.size() << "/" << trace.modules.size()
        << "/" << std::hex << hash.value << std::dec
        << " modules=" << (values.empty() ? "-" : values);
    return out.str();
}

std::string describeSymbol(const qcl::DecodedSymbol& s) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "type=%d ecc=%d mpr=%d rings=%d mirrored=%d centre=%.*f,%.*f angle=%.*f "
                  "corrected=%d/%d",
                  static_cast<int>(s.payloadType), static_cast<int>(s.eccType), s.modulesPerRing,
                  s.ringCount, s.mirrored ? 1 : 0, kDecimals, s.center.x, kDecimals, s.center.y,
                  kDecimals, s.startMarkerAngle, s.correctedSymbols, s.correctableSymbols);
    PointHash outline;
    outline.add(s.outline);
    std::ostringstream out;
    out << hex(s.payload) << " " << text << " outline=" << std::hex << outline.value << std::dec
        << " " << describeTrace(s.trace);
    return out.str();
}

// The designed search on the whole picture, the single read's first step (whose failure the
// single read reports): decoded or not, the payload and the deepest failure. The rest of the
// single read is made of the whole-image read's steps.
std::string designedRead(const cv::Mat& image, const qcl::DecodeParameters& parameters) {
    const qcl::DesignedDecode read =
        qcl::runDesignedDecode(parameters, image, true, qcl::realStages());
    std::ostringstream out;
    out << "designed=" << (read.decoded ? "ok " : "fail ") << hex(read.payload)
        << " status=" << read.status.errorCode << "@" << read.status.stage;
    return out.str();
}

std::string wholeRead(const cv::Mat& image, const qcl::DecodeParameters& parameters) {
    qcl::DecodeOptions options;
    options.traceStages = true;
    const qcl::DecodeAllResult result = qcl::decodeAll(parameters, image, options);
    std::ostringstream out;
    out << "all=" << result.symbols.size() << " failure=" << result.failure.errorCode << "@"
        << result.failure.stage;
    for (const qcl::DecodedSymbol& symbol : result.symbols) {
        out << " | " << describeSymbol(symbol);
    }
    if (result.symbols.empty()) {
        out << " | " << describeTrace(result.failureTrace);
    }
    return out.str();
}

bool wanted(const Options& options, const Family& family) {
    if (options.families.empty()) {
        for (const char* skipped : kSkippedFamilies) {
            if (family.name == skipped) {
                return false;
            }
        }
        return true;
    }
    for (const std::string& name : options.families) {
        if (family.name == name) {
            return true;
        }
    }
    return false;
}

// Reads one picture and prints its line.
void dumpOne(const Family& family, double level, int width, int variant, std::uint32_t seed,
             const std::vector<std::string>& payloads) {
    const qcl::CodeType codeType =
        family.colour ? qcl::CodeType::Color : qcl::CodeType::BlackAndWhite;
    std::vector<cv::Mat> pictures;
    for (const std::string& payload : payloads) {
        pictures.push_back(qcl::eval::ourPicture(payload, codeType));
    }
    const cv::Mat scene = family.build(pictures, width, level, seed);
    qcl::DecodeParameters parameters;
    parameters.codeType = codeType;
    const double start = threadMilliseconds();
    const std::string designed = designedRead(scene, parameters);
    const std::string whole = wholeRead(scene, parameters);
    std::fprintf(stderr, "%s %g %d %.1f\n", family.name.c_str(), level, width,
                 threadMilliseconds() - start);
    std::printf("%s level=%g width=%d variant=%d seed=%u shown=%s %s %s\n", family.name.c_str(),
                level, width, variant, seed, hex(payloads.front()).c_str(), designed.c_str(),
                whole.c_str());
    std::fflush(stdout);
}

void dumpFamily(const Options& options, const Family& family, int& index) {
    // A picture without a symbol does not depend on the width: one width, other seeds.
    const bool none = family.count == qcl::eval::SymbolCount::None;
    for (const int width : kWidths) {
        if (none && width != kWidths[0]) {
            break;
        }
        qcl::test::SeededRandom random(static_cast<std::uint32_t>(width) * 7919u +
                                       static_cast<std::uint32_t>(family.name.size()));
        for (const double level : family.levels) {
            for (int v = 0; v < options.variants; ++v) {
                std::vector<std::string> payloads;
                const int shown =
                    family.count == qcl::eval::SymbolCount::Several ? static_cast<int>(level) : 1;
                for (int i = 0; i < shown; ++i) {
                    payloads.push_back(qcl::eval::printablePayload(
                        random, kPayloadLengths[(v + i) % kLengthCount]));
                }
                const std::uint32_t seed = random.engine()();
                if (index++ % options.shards == options.shard) {
                    dumpOne(family, level, width, v, seed, payloads);
                }
            }
        }
    }
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--variants") {
            options.variants = std::stoi(value);
        } else if (name == "--shard") {
            std::sscanf(value.c_str(), "%d/%d", &options.shard, &options.shards);
        } else if (name == "--families") {
            options.families = qcl::eval::splitList(value);
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    qcl::keepImageMemory();
    cv::setNumThreads(1);  // the same work whatever the machine's cores
    const Options options = parse(argc, argv);
    int index = 0;
    for (const Family& family : qcl::eval::families()) {
        if (wanted(options, family)) {
            dumpFamily(options, family, index);
        }
    }
    return 0;
}
