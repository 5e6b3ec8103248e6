// quorview_eval: how well the reader reads writer symbols through common distortions, side by
// side with zxing-cpp reading QR codes of the same payload at the same width.
//
//   quorview_eval [--quick] [--families a,b] [--widths 576,320] [--variants N] [--seed S]
//                 [--csv FILE]
#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/eval/EvalFamilies.h"
#include "bench/eval/EvalReaders.h"
#include "support/SeededRandom.h"

namespace {

using qcl::eval::Family;
using qcl::eval::ReadOutcome;

// The reader's working square: symbols are placed in pictures of this size.
const cv::Size kCanvas(640, 640);
// Payload lengths drawn in turn, in bytes of printable ASCII.
constexpr std::size_t kPayloadLengths[] = {16, 32, 48};

struct Options {
    std::vector<std::string> families;  // empty: all
    std::vector<int> widths = {576, 320, 200, 160, 120};
    int variants = 10;
    std::uint32_t seed = 2026;
    std::string csv;
};

struct Tally {
    int tries = 0, ours = 0, qr = 0, ourMisreads = 0, qrMisreads = 0;
    std::vector<double> ourMs, qrMs;
};

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');) {
        items.push_back(item);
    }
    return items;
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--quick") {
            options.widths = {576, 320, 200};
            options.variants = 3;
        } else if (arg == "--families" && hasValue) {
            options.families = splitList(argv[++i]);
        } else if (arg == "--widths" && hasValue) {
            options.widths.clear();
            for (const std::string& w : splitList(argv[++i])) {
                options.widths.push_back(std::stoi(w));
            }
        } else if (arg == "--variants" && hasValue) {
            options.variants = std::max(1, std::stoi(argv[++i]));
        } else if (arg == "--seed" && hasValue) {
            options.seed = static_cast<std::uint32_t>(std::stoul(argv[++i]));
        } else if (arg == "--csv" && hasValue) {
            options.csv = argv[++i];
        } else {
            std::cerr << "usage: quorview_eval [--quick] [--families a,b] [--widths 576,320] "
                         "[--variants N] [--seed S] [--csv FILE]\n";
            return false;
        }
    }
    return true;
}

std::string printablePayload(qcl::test::SeededRandom& random, std::size_t length) {
    std::string text(length, ' ');
    for (char& c : text) {
        c = static_cast<char>(random.uniformInt(33, 126));
    }
    return text;
}

void count(const ReadOutcome& outcome, const std::string& truth, int& reads, int& misreads,
           std::vector<double>& times) {
    times.push_back(outcome.milliseconds);
    if (outcome.decoded && outcome.payload == truth) {
        ++reads;
    } else if (outcome.decoded) {
        ++misreads;
    }
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string percent(int part, int whole) {
    return whole == 0 ? "-" : std::to_string((100 * part + whole / 2) / whole);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        return 2;
    }
    std::ofstream csv;
    if (!options.csv.empty()) {
        csv.open(options.csv);
        csv << "family,level,width,tries,ours,qr,our_misreads,qr_misreads,our_median_ms,"
               "qr_median_ms\n";
    }
    const bool qr = qcl::eval::haveQr();
    std::cout << "| family | width | ours % | QR % | misreads ours / QR | median ms ours / QR "
                 "| time ratio |\n|---|---|---|---|---|---|---|\n";
    int totalMisreads = 0;
    for (const Family& family : qcl::eval::families()) {
        const auto& wanted = options.families;
        if (!wanted.empty() &&
            std::find(wanted.begin(), wanted.end(), family.name) == wanted.end()) {
            continue;
        }
        for (const int width : options.widths) {
            Tally whole;
            for (const double level : family.levels) {
                Tally tally;
                qcl::test::SeededRandom random(options.seed + static_cast<std::uint32_t>(width));
                for (int v = 0; v < options.variants; ++v) {
                    const std::string payload = printablePayload(random, kPayloadLengths[v % 3]);
                    const std::uint32_t seed = random.engine()();
                    const cv::Mat ours = family.apply(
                        qcl::eval::placeCentred(qcl::eval::ourPicture(payload), width, kCanvas),
                        level, seed);
                    ++tally.tries;
                    count(qcl::eval::readOurs(ours), payload, tally.ours, tally.ourMisreads,
                          tally.ourMs);
                    if (qr) {
                        const cv::Mat code = family.apply(
                            qcl::eval::placeCentred(qcl::eval::qrPicture(payload), width, kCanvas),
                            level, seed);
                        count(qcl::eval::readQr(code), payload, tally.qr, tally.qrMisreads,
                              tally.qrMs);
                    }
                }
                if (csv) {
                    csv << family.name << "," << level << "," << width << "," << tally.tries << ","
                        << tally.ours << "," << tally.qr << "," << tally.ourMisreads << ","
                        << tally.qrMisreads << "," << median(tally.ourMs) << ","
                        << median(tally.qrMs) << "\n";
                }
                whole.tries += tally.tries;
                whole.ours += tally.ours;
                whole.qr += tally.qr;
                whole.ourMisreads += tally.ourMisreads;
                whole.qrMisreads += tally.qrMisreads;
                whole.ourMs.insert(whole.ourMs.end(), tally.ourMs.begin(), tally.ourMs.end());
                whole.qrMs.insert(whole.qrMs.end(), tally.qrMs.begin(), tally.qrMs.end());
            }
            totalMisreads += whole.ourMisreads;
            const double ourMedian = median(whole.ourMs);
            const double qrMedian = median(whole.qrMs);
            std::cout << "| " << family.name << " | " << width << " | "
                      << percent(whole.ours, whole.tries) << " | "
                      << (qr ? percent(whole.qr, whole.tries) : "-") << " | " << whole.ourMisreads
                      << " / " << (qr ? std::to_string(whole.qrMisreads) : "-") << " | "
                      << cv::format("%.2f / %.2f", ourMedian, qrMedian) << " | "
                      << (qrMedian > 0 ? cv::format("%.1f", ourMedian / qrMedian) : "-") << " |\n";
        }
    }
    std::cout << "\nMisreads of our reader: " << totalMisreads << "\n";
    return totalMisreads == 0 ? 0 : 1;
}
