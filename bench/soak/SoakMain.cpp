// quorview_soak: one process reads pictures of the evaluation's mix, with symbols and without,
// through the public quorview::read, first on one thread for the reference results and then on
// each thread count asked for. Every read must give exactly its reference result; the resident
// size is followed after a warm-up, and the throughput of each thread count is measured.
//
//   quorview_soak [--reads N] [--threads 1,2,8] [--pool P] [--warmup W] [--seed S]
//                 [--families a,b] [--strict]
//
// N reads in all, shared evenly by the thread counts; they cycle through a pool of P pictures
// made beforehand. The image library's own worker threads are off, so a thread count is the
// number of cores the reads may use. Exit code 1 when a result differed, and with --strict also
// when the resident size grew by more than 10 % after the first W reads of a thread count
// (default: a tenth of them, at least twice the pool) or two threads read less than 1.8 times
// as fast as one.
#include <quorview/quorview.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/eval/EvalFamilies.h"

namespace {

using qcl::eval::Family;
using qcl::eval::SymbolCount;

// Widths the pool's symbols are drawn at: the evaluation's.
constexpr int kWidths[] = {576, 320, 200, 160, 120};
// Payload lengths of the pool's symbols, in printable characters: the evaluation's.
constexpr std::size_t kPayloadLengths[] = {16, 32, 48};
// The targets: resident size after warm-up within 10 %, two threads at least 1.8 times one.
constexpr double kMostGrowth = 0.10;
constexpr double kLeastScaling = 1.8;
// How often the resident size is looked at.
constexpr auto kSampleEvery = std::chrono::milliseconds(100);
// Differing results printed in full, at most.
constexpr int kShownMismatches = 5;

struct Item {
    cv::Mat image;
    quorview::ReadOptions options;
    std::string name;  // family, level and width
};

struct Options {
    std::uint64_t reads = 3000;
    std::vector<int> threads = {1, 2, 8};
    std::size_t pool = 63;
    std::uint64_t warmup = 0;  // 0: a tenth of a thread count's reads, at least twice the pool
    std::uint32_t seed = 36;
    std::vector<std::string> families;
    bool strict = false;
};

std::vector<const Family*> chosenFamilies(const Options& options) {
    std::vector<const Family*> chosen;
    for (const Family& family : qcl::eval::families()) {
        if (options.families.empty() ||
            std::count(options.families.begin(), options.families.end(), family.name) > 0) {
            chosen.push_back(&family);
        }
    }
    return chosen;
}

// The pool: the chosen families in turn, each picture at a random level and width.
std::vector<Item> makePool(const Options& options) {
    const std::vector<const Family*> families = chosenFamilies(options);
    std::vector<Item> pool;
    for (std::size_t k = 0; k < options.pool && !families.empty(); ++k) {
        const Family& family = *families[k % families.size()];
        qcl::test::SeededRandom random(options.seed + static_cast<std::uint32_t>(k));
        const double level =
            family.levels[random.uniformInt(0, static_cast<int>(family.levels.size()) - 1)];
        const int width = kWidths[random.uniformInt(0, std::size(kWidths) - 1)];
        const int shown = family.count == SymbolCount::None      ? 0
                          : family.count == SymbolCount::Several ? static_cast<int>(level)
                                                                 : 1;
        const qcl::CodeType codeType =
            family.colour ? qcl::CodeType::Color : qcl::CodeType::BlackAndWhite;
        std::vector<cv::Mat> pictures;
        for (int i = 0; i < shown; ++i) {
            const std::size_t length = kPayloadLengths[random.uniformInt(0, 2)];
            pictures.push_back(
                qcl::eval::ourPicture(qcl::eval::printablePayload(random, length), codeType));
        }
        Item item;
        item.image = family.build(pictures, width, level, random.engine()());
        item.options.codeType =
            family.colour ? quorview::CodeType::Color : quorview::CodeType::BlackAndWhite;
        item.name = cv::format("%s level %g width %d", family.name.c_str(), level, width);
        pool.push_back(item);
    }
    return pool;
}

// Everything a read reports, as one text.
std::string readAndDescribe(const Item& item) {
    std::ostringstream out;
    out.precision(17);
    try {
        const quorview::ReadResult result = quorview::read(item.image, item.options);
        for (const quorview::Symbol& s : result.symbols) {
            out << s.payload << '|' << static_cast<int>(s.payloadType) << ' '
                << static_cast<int>(s.eccStrength) << ' ' << static_cast<int>(s.codeType) << ' '
                << s.modulesPerRing << 'x' << s.ringCount << ' ' << s.mirrored << ' ' << s.center.x
                << ',' << s.center.y << ' ' << s.startMarkerAngle << ' ' << s.correctedSymbols
                << '/' << s.correctableSymbols;
            for (const quorview::Point& p : s.outline) {
                out << ' ' << p.x << ',' << p.y;
            }
            out << '\n';
        }
        out << "error " << result.errorCode << ' ' << result.errorMessage << " at "
            << result.failedStage;
    } catch (const quorview::Error& error) {
        out << "thrown " << error.code() << ' ' << error.what();
    }
    return out.str();
}

std::uint64_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t size = 0;
    std::uint64_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + 1e-9 * now.tv_nsec;
}

struct Phase {
    int threads = 0;
    std::uint64_t reads = 0;
    std::uint64_t mismatches = 0;
    double seconds = 0.0;
    double cpu = 0.0;
    std::uint64_t baseResident = 0;  // the first look after the warm-up
    std::uint64_t peakResident = 0;  // the largest look after it
    double growth() const {
        return baseResident == 0
                   ? 0.0
                   : (static_cast<double>(peakResident) - baseResident) / baseResident;
    }
};

// Follows the resident size while a phase runs, from the moment `done` reaches `warmup`.
class ResidentWatch {
  public:
    ResidentWatch(const std::atomic<std::uint64_t>& done, std::uint64_t warmup, Phase& phase)
        : done_(done), warmup_(warmup), phase_(phase), thread_([this] { watch(); }) {}
    ~ResidentWatch() {
        stop_ = true;
        thread_.join();
        look();  // the end of the phase counts too
    }

  private:
    void look() {
        if (done_ < warmup_) {
            return;
        }
        const std::uint64_t now = residentBytes();
        phase_.baseResident = phase_.baseResident == 0 ? now : phase_.baseResident;
        phase_.peakResident = std::max(phase_.peakResident, now);
    }
    void watch() {
        while (!stop_) {
            std::this_thread::sleep_for(kSampleEvery);
            look();
        }
    }

    const std::atomic<std::uint64_t>& done_;
    const std::uint64_t warmup_;
    Phase& phase_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

Phase runPhase(const std::vector<Item>& pool, const std::vector<std::string>& reference,
               int threads, std::uint64_t reads, std::uint64_t warmup) {
    Phase phase;
    phase.threads = threads;
    phase.reads = reads;
    std::atomic<std::uint64_t> next{0};
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::uint64_t> mismatches{0};
    std::mutex printing;
    const auto work = [&] {
        for (std::uint64_t i = next++; i < reads; i = next++) {
            const std::size_t k = i % pool.size();
            const std::string got = readAndDescribe(pool[k]);
            if (got != reference[k] && mismatches++ < kShownMismatches) {
                const std::lock_guard<std::mutex> hold(printing);
                std::printf("differs on %d threads, %s:\n  one thread: %s\n  now:        %s\n",
                            threads, pool[k].name.c_str(), reference[k].c_str(), got.c_str());
            }
            ++done;
        }
    };
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds();
    {
        const ResidentWatch watch(done, std::min(warmup, reads), phase);
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back(work);
        }
        for (std::thread& worker : workers) {
            worker.join();
        }
    }
    phase.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    phase.cpu = cpuSeconds() - cpuStart;
    phase.mismatches = mismatches;
    return phase;
}

bool parse(int argc, char** argv, Options& o) {
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string name = argv[i];
            if (name == "--strict") {
                o.strict = true;
                continue;
            }
            if (i + 1 == argc) {
                return false;
            }
            const std::string value = argv[++i];
            if (name == "--reads") {
                o.reads = std::stoull(value);
            } else if (name == "--pool") {
                o.pool = std::stoul(value);
            } else if (name == "--warmup") {
                o.warmup = std::stoull(value);
            } else if (name == "--seed") {
                o.seed = static_cast<std::uint32_t>(std::stoul(value));
            } else if (name == "--families") {
                o.families = qcl::eval::splitList(value);
            } else if (name == "--threads") {
                o.threads.clear();
                for (const std::string& t : qcl::eval::splitList(value)) {
                    o.threads.push_back(std::stoi(t));
                }
            } else {
                return false;
            }
        }
    } catch (const std::exception&) {
        return false;
    }
    const bool threadsValid =
        std::all_of(o.threads.begin(), o.threads.end(), [](int t) { return t >= 1 && t <= 256; });
    return o.reads > 0 && o.pool > 0 && !o.threads.empty() && threadsValid;
}

}  // namespace

namespace {

double mebibytes(std::uint64_t bytes) {
    return bytes / (1024.0 * 1024.0);
}

void printPhases(const std::vector<Phase>& phases) {
    std::printf(
        "\n| threads | reads | seconds | reads/s | reads per CPU second | resident after warm-up "
        "| peak | growth | differing |\n|---|---|---|---|---|---|---|---|---|\n");
    for (const Phase& p : phases) {
        std::printf("| %d | %" PRIu64
                    " | %.1f | %.2f | %.2f | %.1f MiB | %.1f MiB | %.1f %% | %" PRIu64 " |\n",
                    p.threads, p.reads, p.seconds, p.reads / p.seconds, p.reads / p.cpu,
                    mebibytes(p.baseResident), mebibytes(p.peakResident), 100.0 * p.growth(),
                    p.mismatches);
    }
}

// Prints the three verdicts; false when one that counts failed.
bool judge(const std::vector<Phase>& phases, bool strict) {
    std::uint64_t reads = 0;
    std::uint64_t differing = 0;
    double growth = 0.0;
    double one = 0.0;
    double two = 0.0;
    for (const Phase& p : phases) {
        reads += p.reads;
        differing += p.mismatches;
        growth = std::max(growth, p.growth());
        one = p.threads == 1 ? p.reads / p.seconds : one;
        two = p.threads == 2 ? p.reads / p.seconds : two;
    }
    std::printf("\nresults identical to the one-thread reads: %s (%" PRIu64 " of %" PRIu64
                " differ)\n",
                differing == 0 ? "yes" : "NO", differing, reads);
    const bool flat = growth <= kMostGrowth;
    std::printf("resident size within %.0f %% after warm-up: %s (largest growth %.1f %%)\n",
                100.0 * kMostGrowth, flat ? "yes" : "NO", 100.0 * growth);
    bool scales = true;
    if (one > 0.0 && two > 0.0) {
        scales = two / one >= kLeastScaling;
        std::printf("2 threads against 1: %.2f times the reads per second (target %.1f): %s\n",
                    two / one, kLeastScaling, scales ? "met" : "NOT met");
    }
    return differing == 0 && (!strict || (flat && scales));
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--reads N] [--threads 1,2,8] [--pool P] [--warmup W] [--seed S] "
                     "[--families a,b] [--strict]\n",
                     argv[0]);
        return 2;
    }
    for (const std::string& name : options.families) {
        const auto& all = qcl::eval::families();
        if (std::none_of(all.begin(), all.end(), [&](const Family& f) { return f.name == name; })) {
            std::fprintf(stderr, "unknown family '%s'\n", name.c_str());
            return 2;
        }
    }
    quorview::keepImageMemory();
    cv::setNumThreads(1);
    const std::vector<Item> pool = makePool(options);
    std::vector<std::string> reference;
    std::size_t withSymbols = 0;
    for (const Item& item : pool) {
        reference.push_back(readAndDescribe(item));
        withSymbols += reference.back().rfind("error ", 0) == 0 ? 0 : 1;
    }
    std::printf("pool: %zu pictures, %zu of them read with a symbol on one thread\n", pool.size(),
                withSymbols);
    const std::uint64_t each = std::max<std::uint64_t>(1, options.reads / options.threads.size());
    const std::uint64_t warmup =
        options.warmup > 0 ? options.warmup : std::max<std::uint64_t>(2 * pool.size(), each / 10);
    std::vector<Phase> phases;
    for (const int threads : options.threads) {
        phases.push_back(runPhase(pool, reference, threads, each, warmup));
        const Phase& p = phases.back();
        std::printf("%d threads: %" PRIu64 " reads in %.1f s, %" PRIu64 " differing\n", threads,
                    p.reads, p.seconds, p.mismatches);
        std::fflush(stdout);
    }
    printPhases(phases);
    return judge(phases, options.strict) ? 0 : 1;
}
