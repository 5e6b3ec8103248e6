#include "decoder/search/FoundSymbols.h"

#include <algorithm>

namespace qcl {

double rimRadius(const DecodedSymbol& symbol) {
    double sum = 0.0;
    for (const cv::Point2d& p : symbol.outline) {
        sum += cv::norm(p - symbol.center);
    }
    return symbol.outline.empty() ? 0.0 : sum / symbol.outline.size();
}

bool nearSymbol(const std::vector<DecodedSymbol>& symbols, const cv::Point2d& center,
                double share) {
    return std::any_of(symbols.begin(), symbols.end(), [&](const DecodedSymbol& s) {
        return cv::norm(s.center - center) < share * rimRadius(s);
    });
}

void sortInReadingOrder(std::vector<DecodedSymbol>& symbols) {
    std::sort(symbols.begin(), symbols.end(), [](const DecodedSymbol& a, const DecodedSymbol& b) {
        return a.center.y < b.center.y;
    });
    std::size_t rowStart = 0;
    for (std::size_t i = 1; i <= symbols.size(); ++i) {
        const bool rowEnds = i == symbols.size() ||
                             symbols[i].center.y - symbols[rowStart].center.y >
                                 std::min(rimRadius(symbols[i]), rimRadius(symbols[rowStart]));
        if (rowEnds) {
            std::sort(symbols.begin() + static_cast<long>(rowStart),
                      symbols.begin() + static_cast<long>(i),
                      [](const DecodedSymbol& a, const DecodedSymbol& b) {
                          return a.center.x < b.center.x;
                      });
            rowStart = i;
        }
    }
}

}  // namespace qcl
