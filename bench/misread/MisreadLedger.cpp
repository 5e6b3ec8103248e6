#include "bench/misread/MisreadLedger.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace qcl::misread {
namespace {

constexpr std::size_t kFieldCount = 8;

[[noreturn]] void fail(std::size_t line, const std::string& what) {
    throw std::runtime_error("ledger line " + std::to_string(line) + ": " + what);
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    for (std::string field; std::getline(stream, field, ',');) {
        fields.push_back(field);
    }
    if (!line.empty() && line.back() == ',') {
        fields.emplace_back();
    }
    return fields;
}

std::uint64_t number(const std::string& field, std::size_t line) {
    const bool digits = !field.empty() && std::all_of(field.begin(), field.end(),
                                                      [](char c) { return c >= '0' && c <= '9'; });
    errno = 0;
    const unsigned long long value = digits ? std::strtoull(field.c_str(), nullptr, 10) : 0;
    if (!digits || errno == ERANGE) {
        fail(line, "'" + field + "' is not a count");
    }
    return value;
}

LedgerRow parseRow(const std::string& line, std::size_t lineNumber) {
    const std::vector<std::string> f = splitFields(line);
    if (f.size() != kFieldCount) {
        fail(lineNumber, "expected 8 fields, found " + std::to_string(f.size()));
    }
    LedgerRow row;
    std::uint64_t* const counts[] = {&row.seed,           &row.count,   &row.symbolImages,
                                     &row.noSymbolImages, &row.decoded, &row.misreads,
                                     &row.falsePositives};
    for (std::size_t i = 0; i < kFieldCount - 1; ++i) {
        *counts[i] = number(f[i], lineNumber);
    }
    row.commit = f[kFieldCount - 1];
    if (row.count == 0) {
        fail(lineNumber, "a range of no seeds");
    }
    if (row.decoded + row.misreads > row.symbolImages || row.falsePositives > row.noSymbolImages) {
        fail(lineNumber, "more outcomes than pictures");
    }
    return row;
}

// The row of `rows` whose range overlaps `row`'s, or null.
const LedgerRow* overlapping(const std::vector<LedgerRow>& rows, const LedgerRow& row) {
    for (const LedgerRow& other : rows) {
        if (row.seed < other.seed + other.count && other.seed < row.seed + row.count) {
            return &other;
        }
    }
    return nullptr;
}

std::string rangeText(const LedgerRow& row) {
    return std::to_string(row.seed) + "-" + std::to_string(row.seed + row.count - 1);
}

}  // namespace

const char* const kLedgerHeader =
    "seed,count,symbol_images,nosymbol_images,decoded,misreads,false_positives,commit";

std::vector<LedgerRow> parseLedger(const std::string& text) {
    std::vector<LedgerRow> rows;
    std::stringstream stream(text);
    std::size_t lineNumber = 0;
    bool header = false;
    for (std::string line; std::getline(stream, line);) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        if (!header) {
            if (line != kLedgerHeader) {
                fail(lineNumber, std::string("expected the header ") + kLedgerHeader);
            }
            header = true;
            continue;
        }
        const LedgerRow row = parseRow(line, lineNumber);
        if (const LedgerRow* other = overlapping(rows, row)) {
            fail(lineNumber, "seeds " + rangeText(row) + " overlap seeds " + rangeText(*other));
        }
        rows.push_back(row);
    }
    return rows;
}

std::string formatRow(const LedgerRow& r) {
    std::ostringstream out;
    out << r.seed << ',' << r.count << ',' << r.symbolImages << ',' << r.noSymbolImages << ','
        << r.decoded << ',' << r.misreads << ',' << r.falsePositives << ',' << r.commit;
    return out.str();
}

FreeSeeds nextFreeSeeds(const std::vector<LedgerRow>& rows, std::uint64_t first) {
    std::vector<LedgerRow> sorted = rows;
    std::sort(sorted.begin(), sorted.end(),
              [](const LedgerRow& a, const LedgerRow& b) { return a.seed < b.seed; });
    FreeSeeds free;
    free.seed = first;
    for (const LedgerRow& row : sorted) {
        if (row.seed + row.count <= free.seed) {
            continue;
        }
        if (row.seed > free.seed) {
            free.room = row.seed - free.seed;
            return free;
        }
        free.seed = row.seed + row.count;
    }
    return free;
}

LedgerRow totals(const std::vector<LedgerRow>& rows) {
    LedgerRow sum;
    for (const LedgerRow& row : rows) {
        sum.count += row.count;
        sum.symbolImages += row.symbolImages;
        sum.noSymbolImages += row.noSymbolImages;
        sum.decoded += row.decoded;
        sum.misreads += row.misreads;
        sum.falsePositives += row.falsePositives;
    }
    return sum;
}

LedgerFile::LedgerFile(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        throw std::runtime_error("ledger " + path + " cannot be opened: " + std::strerror(errno));
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        throw std::runtime_error("ledger " + path + " is in use by another run");
    }
    std::string text;
    char buffer[1 << 14];
    for (ssize_t got; (got = ::pread(fd_, buffer, sizeof buffer, text.size())) != 0;) {
        if (got < 0) {
            ::close(fd_);
            throw std::runtime_error("ledger " + path + " cannot be read: " + std::strerror(errno));
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    try {
        rows_ = parseLedger(text);
    } catch (const std::runtime_error& error) {
        ::close(fd_);
        throw std::runtime_error(path + ": " + error.what());
    }
}

LedgerFile::~LedgerFile() {
    ::close(fd_);  // also releases the lock
}

void LedgerFile::append(const LedgerRow& row) {
    if (const LedgerRow* other = overlapping(rows_, row)) {
        throw std::runtime_error("seeds " + rangeText(row) + " are already in the ledger (seeds " +
                                 rangeText(*other) + ")");
    }
    struct stat status {};
    std::string text;
    char last = '\n';
    if (::fstat(fd_, &status) == 0 && status.st_size == 0) {
        text = std::string(kLedgerHeader) + "\n";
    } else if (::pread(fd_, &last, 1, status.st_size - 1) == 1 && last != '\n') {
        text = "\n";  // a last line someone left without its end
    }
    text += formatRow(row) + "\n";
    const ssize_t written = ::write(fd_, text.data(), text.size());
    if (written != static_cast<ssize_t>(text.size()) || ::fsync(fd_) != 0) {
        throw std::runtime_error("ledger " + path_ + " cannot be written: " + std::strerror(errno));
    }
    rows_.push_back(row);
}

}  // namespace qcl::misread
