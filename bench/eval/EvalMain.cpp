// quorview_eval: how well the reader reads writer symbols through common distortions and in
// busier scenes, side by side with zxing-cpp reading QR codes of the same payload at the same
// width.
//
//   quorview_eval [--quick] [--families a,b] [--widths 576,320] [--variants N] [--seed S]
//                 [--threads N] [--csv FILE] [--plot FILE.png] [--save FOLDER]
//                 [--save-missed FOLDER]
//
// --save writes the pictures of every cell's first variant, to see what the readers were given;
// --save-missed every picture our reader did not read.
#include <algorithm>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "bench/eval/EvalPlot.h"
#include "bench/eval/EvalReaders.h"
#include "bench/eval/EvalReport.h"
#include "bench/eval/EvalRunner.h"
#include "common/ImageMemory.h"

namespace {

using qcl::eval::RunOptions;

struct Options {
    RunOptions run;
    std::string csv;
    std::string plot;
};

const char* const kUsage =
    "usage: quorview_eval [--quick] [--families a,b] [--widths 576,320] [--variants N] "
    "[--seed S] [--threads N] [--csv FILE] [--plot FILE.png] [--save FOLDER]\n"
    "  [--save-missed FOLDER]\n";

bool knownFamilies(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const auto& all = qcl::eval::families();
        if (std::none_of(all.begin(), all.end(), [&](const auto& f) { return f.name == name; })) {
            std::cerr << "unknown family '" << name << "'\n";
            return false;
        }
    }
    return true;
}

bool parse(int argc, char** argv, Options& options) {
    RunOptions& run = options.run;
    run.threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    // --quick sets the defaults that the other options may then change, wherever it stands.
    if (std::find(argv + 1, argv + argc, std::string("--quick")) != argv + argc) {
        run.widths = {576, 320, 200};
        run.variants = 3;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--quick") {
            continue;
        } else if (arg == "--families" && hasValue) {
            run.families = qcl::eval::splitList(argv[++i]);
        } else if (arg == "--widths" && hasValue) {
            run.widths.clear();
            for (const std::string& w : qcl::eval::splitList(argv[++i])) {
                run.widths.push_back(std::stoi(w));
            }
        } else if (arg == "--variants" && hasValue) {
            run.variants = std::max(1, std::stoi(argv[++i]));
        } else if (arg == "--seed" && hasValue) {
            run.seed = static_cast<std::uint32_t>(std::stoul(argv[++i]));
        } else if (arg == "--threads" && hasValue) {
            run.threads = std::max(1, std::stoi(argv[++i]));
        } else if (arg == "--csv" && hasValue) {
            options.csv = argv[++i];
        } else if (arg == "--save" && hasValue) {
            run.saveFolder = argv[++i];
        } else if (arg == "--save-missed" && hasValue) {
            run.missedFolder = argv[++i];
        } else if (arg == "--plot" && hasValue) {
            options.plot = argv[++i];
        } else {
            std::cerr << kUsage;
            return false;
        }
    }
    const bool widthsValid =
        std::all_of(run.widths.begin(), run.widths.end(), [](int w) { return w > 0 && w <= 640; });
    if (run.widths.empty() || !widthsValid) {
        std::cerr << "widths must lie between 1 and 640 pixels\n" << kUsage;
        return false;
    }
    return knownFamilies(run.families);
}

}  // namespace

int main(int argc, char** argv) {
    qcl::keepImageMemory();
    Options options;
    try {
        if (!parse(argc, argv, options)) {
            return 2;
        }
    } catch (const std::exception&) {
        std::cerr << kUsage;
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::vector<qcl::eval::Cell> cells = qcl::eval::runEvaluation(options.run);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const bool qr = qcl::eval::haveQr();
    qcl::eval::printTable(std::cout, cells, qr);
    if (!options.csv.empty() && !qcl::eval::writeCsv(options.csv, cells)) {
        std::cerr << "cannot write " << options.csv << "\n";
        return 2;
    }
    if (!options.plot.empty()) {
        if (!qcl::eval::writePlot(options.plot, cells, qr)) {
            std::cerr << "cannot write " << options.plot << "\n";
            return 2;
        }
        std::cout << "\nPlot written to " << options.plot << "\n";
    }
    const int misreads = qcl::eval::ourMisreads(cells);
    std::cout << "\nMisreads of our reader: " << misreads << "\n"
              << "Run time: " << static_cast<int>(seconds + 0.5) << " s on " << options.run.threads
              << " threads\n";
    return misreads == 0 ? 0 : 1;
}
