#include "bench/eval/EvalReport.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>

namespace qcl::eval {
namespace {

constexpr double kMedian = 0.5;
constexpr double kP90 = 0.9;

std::string percent(int part, int whole) {
    return whole == 0 ? "-" : std::to_string((100 * part + whole / 2) / whole);
}

std::string timePair(const Tally& tally, double share, bool qr) {
    const double ours = percentile(tally.ours.milliseconds, share);
    return qr ? cv::format("%.1f / %.1f", ours, percentile(tally.qr.milliseconds, share))
              : cv::format("%.1f / -", ours);
}

void printRow(std::ostream& out, const Cell& first, const Tally& whole, bool qr) {
    const bool symbols = first.family->count != SymbolCount::None;
    const double ourMedian = percentile(whole.ours.milliseconds, kMedian);
    const double qrMedian = percentile(whole.qr.milliseconds, kMedian);
    out << "| " << first.family->name << " | " << (symbols ? std::to_string(first.width) : "-")
        << " | " << (symbols ? percent(whole.ours.reads, whole.tries) : "-") << " | "
        << (symbols && qr ? percent(whole.qr.reads, whole.tries) : "-") << " | "
        << whole.ours.misreads << " / " << (qr ? std::to_string(whole.qr.misreads) : "-") << " | "
        << timePair(whole, kMedian, qr) << " | " << timePair(whole, kP90, qr) << " | "
        << (qr && qrMedian > 0 ? cv::format("%.1f", ourMedian / qrMedian) : "-") << " |\n";
}

}  // namespace

double percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(share * values.size()) - 1.0;
    return values[static_cast<std::size_t>(std::max(0.0, rank))];
}

void printTable(std::ostream& out, const std::vector<Cell>& cells, bool qr) {
    out << "| family | width | ours % | QR % | misreads ours / QR | median ms ours / QR "
           "| p90 ms ours / QR | time ratio |\n|---|---|---|---|---|---|---|---|\n";
    for (std::size_t i = 0; i < cells.size();) {
        Tally whole;
        std::size_t j = i;
        for (; j < cells.size() && cells[j].family == cells[i].family &&
               cells[j].width == cells[i].width;
             ++j) {
            whole.add(cells[j].tally);
        }
        printRow(out, cells[i], whole, qr);
        i = j;
    }
}

bool writeCsv(const std::string& path, const std::vector<Cell>& cells) {
    std::ofstream csv(path);
    csv << "family,level,width,tries,ours,qr,our_misreads,qr_misreads,our_median_ms,"
           "qr_median_ms,our_p90_ms,qr_p90_ms\n";
    for (const Cell& cell : cells) {
        const Tally& t = cell.tally;
        csv << cell.family->name << "," << cell.level << "," << cell.width << "," << t.tries << ","
            << t.ours.reads << "," << t.qr.reads << "," << t.ours.misreads << "," << t.qr.misreads
            << "," << percentile(t.ours.milliseconds, kMedian) << ","
            << percentile(t.qr.milliseconds, kMedian) << ","
            << percentile(t.ours.milliseconds, kP90) << "," << percentile(t.qr.milliseconds, kP90)
            << "\n";
    }
    return static_cast<bool>(csv);
}

int ourMisreads(const std::vector<Cell>& cells) {
    int total = 0;
    for (const Cell& cell : cells) {
        total += cell.tally.ours.misreads;
    }
    return total;
}

}  // namespace qcl::eval
