// The misread campaign's ledger: one CSV line per range of seeds read, so that the campaign can
// stop at any time and a later run continues with the first seed no line covers.
//
//   seed,count,symbol_images,nosymbol_images,decoded,misreads,false_positives,commit
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace qcl::misread {

// Seeds `seed` to `seed + count - 1`: a symbol picture and a no-symbol picture of each.
struct LedgerRow {
    std::uint64_t seed = 0;
    std::uint64_t count = 0;
    std::uint64_t symbolImages = 0;
    std::uint64_t noSymbolImages = 0;
    std::uint64_t decoded = 0;         // symbol pictures read right: every symbol, nothing else
    std::uint64_t misreads = 0;        // symbol pictures with a payload they do not show
    std::uint64_t falsePositives = 0;  // no-symbol pictures with any payload reported
    std::string commit;                // the reader's source version
};

extern const char* const kLedgerHeader;

// The rows of a ledger's text, header first; blank lines are skipped. Throws std::runtime_error
// naming the line for a line that is not a row, and for a range that overlaps another.
std::vector<LedgerRow> parseLedger(const std::string& text);

// One line of the ledger, without its line end.
std::string formatRow(const LedgerRow& row);

// The first seed from `first` on that no row covers, and how many seeds follow it before the
// next recorded range.
struct FreeSeeds {
    std::uint64_t seed = 0;
    std::uint64_t room = std::numeric_limits<std::uint64_t>::max();
};
FreeSeeds nextFreeSeeds(const std::vector<LedgerRow>& rows, std::uint64_t first);

// The rows' counts summed (no seed, no commit).
LedgerRow totals(const std::vector<LedgerRow>& rows);

// The ledger file, held by one run at a time.
class LedgerFile {
  public:
    // Opens or creates the file and locks it; throws std::runtime_error when it cannot be
    // opened, another run holds it, or its text is no ledger.
    explicit LedgerFile(const std::string& path);
    ~LedgerFile();
    LedgerFile(const LedgerFile&) = delete;
    LedgerFile& operator=(const LedgerFile&) = delete;

    const std::vector<LedgerRow>& rows() const { return rows_; }

    // Appends `row` (after the header when the file is new) and flushes it to the disk; throws
    // std::runtime_error when that fails or the range overlaps a recorded one.
    void append(const LedgerRow& row);

  private:
    std::string path_;
    int fd_ = -1;
    std::vector<LedgerRow> rows_;
};

}  // namespace qcl::misread
