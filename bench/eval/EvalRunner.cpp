#include "bench/eval/EvalRunner.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <iostream>
#include <mutex>
#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "bench/eval/EvalReaders.h"
#include "support/SeededRandom.h"

namespace qcl::eval {
namespace {

// Payload lengths drawn in turn, in bytes of printable ASCII.
constexpr std::size_t kPayloadLengths[] = {16, 32, 48};
constexpr std::size_t kLengthCount = sizeof(kPayloadLengths) / sizeof(kPayloadLengths[0]);

// One variant to read: its cell, its first payload and the seed of all its random choices.
struct Job {
    std::size_t cell = 0;
    std::size_t index = 0;  // variant number, which also picks the payload lengths
    std::string payload;
    std::uint32_t seed = 0;
};

// The payloads a variant's picture shows: none, one, or as many as the level says.
std::vector<std::string> payloadsOf(const Family& family, double level, const Job& job) {
    if (family.count == SymbolCount::None) {
        return {};
    }
    std::vector<std::string> payloads = {job.payload};
    if (family.count == SymbolCount::Several) {
        test::SeededRandom random(job.seed);
        for (std::size_t i = 1; i < static_cast<std::size_t>(level); ++i) {
            payloads.push_back(
                printablePayload(random, kPayloadLengths[(job.index + i) % kLengthCount]));
        }
    }
    return payloads;
}

ReaderTally judge(const ReadOutcome& outcome, const std::vector<std::string>& truth) {
    ReaderTally tally;
    tally.milliseconds.push_back(outcome.milliseconds);
    const auto shown = [&](const std::string& p) {
        return std::find(truth.begin(), truth.end(), p) != truth.end();
    };
    const auto reported = [&](const std::string& p) {
        return std::find(outcome.payloads.begin(), outcome.payloads.end(), p) !=
               outcome.payloads.end();
    };
    tally.misreads = std::all_of(outcome.payloads.begin(), outcome.payloads.end(), shown) ? 0 : 1;
    tally.reads =
        !truth.empty() && tally.misreads == 0 && std::all_of(truth.begin(), truth.end(), reported);
    return tally;
}

// Writes the picture of the first variant as FOLDER/family-width-level-reader.png.
void save(const std::string& folder, const Cell& cell, const Job& job, const char* reader,
          const cv::Mat& picture) {
    if (!folder.empty() && job.index == 0) {
        cv::imwrite(cv::format("%s/%s-%d-%g-%s.png", folder.c_str(), cell.family->name.c_str(),
                               cell.width, cell.level, reader),
                    picture);
    }
}

Tally runJob(const Cell& cell, const Job& job, bool qr, const RunOptions& options) {
    const std::string& folder = options.saveFolder;
    const Family& family = *cell.family;
    const std::vector<std::string> payloads = payloadsOf(family, cell.level, job);
    const CodeType codeType = family.colour ? CodeType::Color : CodeType::BlackAndWhite;
    const bool single = family.count == SymbolCount::One;
    Tally tally;
    tally.tries = 1;
    std::vector<cv::Mat> pictures;
    for (const std::string& payload : payloads) {
        pictures.push_back(ourPicture(payload, codeType));
    }
    const cv::Mat scene = family.build(pictures, cell.width, cell.level, job.seed);
    save(folder, cell, job, "ours", scene);
    const ReadOutcome ours = single && !family.autoCodeType
                                 ? readOurs(scene, codeType)
                                 : readOursAll(scene, codeType, family.autoCodeType);
    tally.ours = judge(ours, payloads);
    if (!options.missedFolder.empty() && !payloads.empty() && tally.ours.reads == 0) {
        cv::imwrite(
            cv::format("%s/%s-%d-%g-%d.png", options.missedFolder.c_str(), family.name.c_str(),
                       cell.width, cell.level, static_cast<int>(job.index)),
            scene);
    }
    if (qr) {
        pictures.clear();
        for (const std::string& payload : payloads) {
            pictures.push_back(qrPicture(payload));
        }
        const cv::Mat code = family.build(pictures, cell.width, cell.level, job.seed);
        save(folder, cell, job, "qr", code);
        tally.qr = judge(readQr(code, !single), payloads);
    }
    return tally;
}

bool selected(const RunOptions& options, const Family& family) {
    const auto& wanted = options.families;
    return wanted.empty() || std::find(wanted.begin(), wanted.end(), family.name) != wanted.end();
}

// The cells in report order and a job for every variant of each. The variants of one family and
// width show the same payloads at every level.
void planJobs(const RunOptions& options, std::vector<Cell>& cells, std::vector<Job>& jobs) {
    for (const Family& family : families()) {
        if (!selected(options, family)) {
            continue;
        }
        const bool sized = family.count != SymbolCount::None;
        for (const int width : sized ? options.widths : std::vector<int>{0}) {
            test::SeededRandom random(options.seed + static_cast<std::uint32_t>(width));
            std::vector<Job> variants;
            for (int v = 0; v < options.variants; ++v) {
                Job job;
                job.index = static_cast<std::size_t>(v);
                job.payload = printablePayload(random, kPayloadLengths[v % kLengthCount]);
                job.seed = random.engine()();
                variants.push_back(job);
            }
            for (const double level : family.levels) {
                cells.push_back({&family, width, level, {}});
                for (Job job : variants) {
                    job.cell = cells.size() - 1;
                    jobs.push_back(job);
                }
            }
        }
    }
}

}  // namespace

void ReaderTally::add(const ReaderTally& other) {
    reads += other.reads;
    misreads += other.misreads;
    milliseconds.insert(milliseconds.end(), other.milliseconds.begin(), other.milliseconds.end());
}

void Tally::add(const Tally& other) {
    tries += other.tries;
    ours.add(other.ours);
    qr.add(other.qr);
}

std::vector<Cell> runEvaluation(const RunOptions& options) {
    // Each read runs wholly on its own thread, so its processor time is all of its work and the
    // variants, not the image operations, share the cores.
    cv::setNumThreads(1);
    std::vector<Cell> cells;
    std::vector<Job> jobs;
    planJobs(options, cells, jobs);
    const bool qr = haveQr();
    std::vector<Tally> results(jobs.size());
    std::atomic<std::size_t> next{0};
    std::mutex errorLock;
    const auto work = [&] {
        for (std::size_t i = next++; i < jobs.size(); i = next++) {
            try {
                results[i] = runJob(cells[jobs[i].cell], jobs[i], qr, options);
            } catch (const std::exception& e) {
                // Counted as a failed read of both; the reader should not throw anything else.
                std::lock_guard<std::mutex> hold(errorLock);
                std::cerr << cells[jobs[i].cell].family->name << " width "
                          << cells[jobs[i].cell].width << " seed " << jobs[i].seed << ": "
                          << e.what() << "\n";
                results[i].tries = 1;
            }
        }
    };
    std::vector<std::thread> workers;
    for (int t = 1; t < options.threads; ++t) {
        workers.emplace_back(work);
    }
    work();
    for (std::thread& worker : workers) {
        worker.join();
    }
    // Added in job order, so every list is in the same order whatever the thread count.
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        cells[jobs[i].cell].tally.add(results[i]);
    }
    return cells;
}

}  // namespace qcl::eval
