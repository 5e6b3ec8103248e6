// The misread campaign: for every seed a picture of writer symbols under the heaviest
// distortions and a picture without a symbol, read by the whole-image reader. A symbol picture
// may read right or not at all; a picture without a symbol must read nothing. It runs at the
// lowest priority, so it can run beside other work, and counts the frame tries of the search.
//
//   quorview_misread_campaign --ledger FILE [--count N] [--chunk K] [--threads T] [--commit C]
//   quorview_misread_campaign --seed S [--count N] [--threads T] [--save FOLDER]
//
// With a ledger, N more seeds are read from the first seed the ledger does not cover, and a
// line is added for every K seeds done, so a run may be stopped at any time (the unfinished
// chunk is read again next time). With --seed, seeds S to S + N - 1 are read and nothing is
// recorded: "misread at seed 1234" replays with --seed 1234 --count 1, and --save writes the
// pictures read (SEED-symbol.png, SEED-nosymbol.png) with their scenes on the output.
#include <sys/resource.h>

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/misread/MisreadLedger.h"
#include "bench/misread/MisreadMix.h"
#include "common/ImageMemory.h"
#include "common/Logger.h"
#include "decoder/Decoder.h"
#include "decoder/data/FrameDecoder.h"

namespace {

using qcl::misread::LedgerRow;
using qcl::misread::Picture;

// The lowest scheduling priority.
constexpr int kLowestPriority = 19;
// More threads than this are a typing error.
constexpr std::uint64_t kMostThreads = 256;
// Picture seeds are 32-bit.
constexpr std::uint64_t kSeedLimit = std::uint64_t{1} << 32;

// Frame tries of the pictures of one kind.
struct TryCounts {
    std::uint64_t pictures = 0;
    std::uint64_t tries = 0;
    std::uint64_t most = 0;

    void add(std::uint64_t t) {
        ++pictures;
        tries += t;
        most = std::max(most, t);
    }
    double mean() const { return pictures == 0 ? 0.0 : static_cast<double>(tries) / pictures; }
};

// What the two pictures of one seed gave.
struct SeedOutcome {
    bool decoded = false;
    bool misread = false;
    bool falsePositive = false;
    bool readerError = false;
    std::uint64_t symbolTries = 0;
    std::uint64_t noSymbolTries = 0;
    std::string report;  // lines for each misread, false positive or reader error
};

struct RunTally {
    TryCounts decoded, failed, noSymbol;
    std::uint64_t readerErrors = 0;
};

// Every payload the whole-image reader reports, and the frame tries its search made.
std::vector<std::string> readPicture(const Picture& picture, std::uint64_t& tries) {
    qcl::DecodeParameters parameters;
    parameters.codeType = picture.codeType;
    const std::uint64_t before = qcl::frameDecodeTries();
    const qcl::DecodeAllResult result =
        qcl::decodeAll(parameters, picture.image, qcl::DecodeOptions{});
    tries = qcl::frameDecodeTries() - before;
    std::vector<std::string> payloads;
    for (const qcl::DecodedSymbol& symbol : result.symbols) {
        payloads.push_back(symbol.payload);
    }
    return payloads;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

std::string wrongLine(const char* what, std::uint32_t seed, const Picture& picture,
                      const std::string& payload) {
    return std::string(what) + " at seed " + std::to_string(seed) + " (" + picture.scene + "): \"" +
           payload + "\"\n";
}

// Writes the picture to FOLDER/SEED-KIND.png when a folder is given, and says what it shows.
void save(const std::string& folder, std::uint32_t seed, const char* kind, const Picture& picture,
          std::string& report) {
    if (!folder.empty()) {
        const std::string path = folder + "/" + std::to_string(seed) + "-" + kind + ".png";
        report += (cv::imwrite(path, picture.image) ? "saved " : "cannot write ") + path + ": " +
                  picture.scene + "\n";
    }
}

SeedOutcome readSeed(std::uint32_t seed, const std::string& folder) {
    SeedOutcome outcome;
    try {
        const Picture symbols = qcl::misread::symbolPicture(seed);
        save(folder, seed, "symbol", symbols, outcome.report);
        const std::vector<std::string> read = readPicture(symbols, outcome.symbolTries);
        for (const std::string& payload : read) {
            if (!contains(symbols.payloads, payload)) {
                outcome.misread = true;
                outcome.report += wrongLine("misread", seed, symbols, payload);
            }
        }
        outcome.decoded = !outcome.misread &&
                          std::all_of(symbols.payloads.begin(), symbols.payloads.end(),
                                      [&](const std::string& p) { return contains(read, p); });
        const Picture empty = qcl::misread::noSymbolPicture(seed);
        save(folder, seed, "nosymbol", empty, outcome.report);
        for (const std::string& payload : readPicture(empty, outcome.noSymbolTries)) {
            outcome.falsePositive = true;
            outcome.report += wrongLine("false positive", seed, empty, payload);
        }
    } catch (const std::exception& error) {
        outcome.readerError = true;
        outcome.report +=
            "reader error at seed " + std::to_string(seed) + ": " + error.what() + "\n";
    }
    return outcome;
}

// Seeds `first` to `first + count - 1` on `threads` threads; the outcomes in seed order.
std::vector<SeedOutcome> readSeeds(std::uint64_t first, std::uint64_t count, int threads,
                                   const std::string& folder) {
    std::vector<SeedOutcome> outcomes(count);
    std::atomic<std::uint64_t> next{0};
    const auto work = [&] {
        for (std::uint64_t i = next++; i < count; i = next++) {
            outcomes[i] = readSeed(static_cast<std::uint32_t>(first + i), folder);
        }
    };
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t) {
        workers.emplace_back(work);
    }
    work();
    for (std::thread& worker : workers) {
        worker.join();
    }
    return outcomes;
}

LedgerRow tally(std::uint64_t first, const std::vector<SeedOutcome>& outcomes, RunTally& run) {
    LedgerRow row;
    row.seed = first;
    row.count = outcomes.size();
    row.symbolImages = row.noSymbolImages = outcomes.size();
    for (const SeedOutcome& o : outcomes) {
        std::fputs(o.report.c_str(), stdout);
        row.decoded += o.decoded ? 1 : 0;
        row.misreads += o.misread ? 1 : 0;
        row.falsePositives += o.falsePositive ? 1 : 0;
        run.readerErrors += o.readerError ? 1 : 0;
        if (!o.readerError) {
            (o.decoded ? run.decoded : run.failed).add(o.symbolTries);
            run.noSymbol.add(o.noSymbolTries);
        }
    }
    return row;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

void printProgress(const LedgerRow& row, const LedgerRow& run, const RunTally& tries,
                   double seconds, double cpu) {
    const double pictures = static_cast<double>(run.symbolImages + run.noSymbolImages);
    std::printf("seeds %" PRIu64 "-%" PRIu64 ": decoded %" PRIu64 " of %" PRIu64
                ", misreads %" PRIu64 ", false positives %" PRIu64 "\n",
                row.seed, row.seed + row.count - 1, row.decoded, row.symbolImages, row.misreads,
                row.falsePositives);
    std::printf("  this run: %.0f pictures, %.2f per CPU second, %.2f per second\n", pictures,
                pictures / std::max(cpu, 1e-9), pictures / std::max(seconds, 1e-9));
    std::printf("  frame tries per picture, mean (most): decoded %.1f (%" PRIu64
                "), not decoded %.1f (%" PRIu64 "), no symbol %.1f (%" PRIu64 ")\n",
                tries.decoded.mean(), tries.decoded.most, tries.failed.mean(), tries.failed.most,
                tries.noSymbol.mean(), tries.noSymbol.most);
    std::fflush(stdout);
}

struct Options {
    std::string ledger;
    std::uint64_t seed = 1;
    bool seedGiven = false;
    std::uint64_t count = 1000;
    std::uint64_t chunk = 100;
    int threads = 1;
    std::string commit = "unknown";
    std::string saveFolder;
};

bool positive(const char* text, std::uint64_t& value) {
    char* end = nullptr;
    value = text[0] == '-' ? 0 : std::strtoull(text, &end, 10);
    return end != text && end != nullptr && *end == '\0' && value > 0;
}

// Exactly one of --ledger and --seed.
bool parse(int argc, char** argv, Options& o) {
    if (argc % 2 == 0) {
        return false;
    }
    for (int i = 1; i < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        std::uint64_t n = 0;
        const bool number = positive(value, n);
        bool ok = number;
        if (name == "--ledger") {
            o.ledger = value;
            ok = !o.ledger.empty();
        } else if (name == "--save") {
            o.saveFolder = value;
            ok = !o.saveFolder.empty();
        } else if (name == "--commit") {
            o.commit = value;
            ok = !o.commit.empty() && o.commit.find_first_of(",\r\n") == std::string::npos;
        } else if (name == "--seed") {
            o.seed = n;
            o.seedGiven = true;
        } else if (name == "--count") {
            o.count = n;
        } else if (name == "--chunk") {
            o.chunk = n;
        } else if (name == "--threads") {
            o.threads = static_cast<int>(std::min<std::uint64_t>(n, kMostThreads));
        } else {
            return false;
        }
        if (!ok) {
            std::fprintf(stderr, "Option %s cannot take '%s'\n", name.c_str(), value);
            return false;
        }
    }
    return o.ledger.empty() == o.seedGiven && (o.saveFolder.empty() || o.ledger.empty());
}

}  // namespace

int main(int argc, char** argv) {
    setpriority(PRIO_PROCESS, 0, kLowestPriority);  // before any thread: they inherit it
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s --ledger FILE [--count N] [--chunk K] [--threads T] [--commit C]\n"
                     "       %s --seed S [--count N] [--threads T] [--save FOLDER]\n",
                     argv[0], argv[0]);
        return 2;
    }
    qcl::keepImageMemory();
    qcl::logger().setFileThreshold(qcl::LogLevel::Off);
    qcl::logger().setConsoleThreshold(qcl::LogLevel::Off);
    // The campaign's threads share the cores; a picture per CPU second is then the cost of one.
    cv::setNumThreads(1);
    std::unique_ptr<qcl::misread::LedgerFile> ledger;
    try {
        if (!options.ledger.empty()) {
            ledger = std::make_unique<qcl::misread::LedgerFile>(options.ledger);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
    RunTally tries;
    std::vector<LedgerRow> done;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds();
    for (std::uint64_t read = 0; read < options.count;) {
        qcl::misread::FreeSeeds free{options.seed + read};
        if (ledger) {
            free = qcl::misread::nextFreeSeeds(ledger->rows(), 1);
        }
        const std::uint64_t n = std::min({options.chunk, options.count - read, free.room});
        if (free.seed + n > kSeedLimit) {
            std::fprintf(stderr, "Seeds end at %" PRIu64 "\n", kSeedLimit);
            break;
        }
        LedgerRow row =
            tally(free.seed, readSeeds(free.seed, n, options.threads, options.saveFolder), tries);
        row.commit = options.commit;
        done.push_back(row);
        if (ledger) {
            try {
                ledger->append(row);
            } catch (const std::exception& error) {
                std::fprintf(stderr, "%s\n", error.what());
                return 2;
            }
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        printProgress(row, qcl::misread::totals(done), tries, seconds, cpuSeconds() - cpuStart);
        read += n;
    }
    const LedgerRow run = qcl::misread::totals(done);
    if (ledger) {
        const LedgerRow all = qcl::misread::totals(ledger->rows());
        std::printf("ledger: %" PRIu64 " symbol pictures (%" PRIu64 " decoded), %" PRIu64
                    " without a symbol, misreads %" PRIu64 ", false positives %" PRIu64 "\n",
                    all.symbolImages, all.decoded, all.noSymbolImages, all.misreads,
                    all.falsePositives);
    }
    if (tries.readerErrors > 0) {
        std::printf("reader errors: %" PRIu64 "\n", tries.readerErrors);
    }
    return run.misreads + run.falsePositives + tries.readerErrors == 0 ? 0 : 1;
}
