// The misread campaign's ledger: what it accepts, where a run continues, and a file shared by
// runs one after another but never by two at once.
#include "bench/misread/MisreadLedger.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <string>

namespace qcl::misread {
namespace {

const std::string kHeader = std::string(kLedgerHeader) + "\n";
constexpr std::uint64_t kEndless = std::numeric_limits<std::uint64_t>::max();

LedgerRow range(std::uint64_t seed, std::uint64_t count) {
    LedgerRow row;
    row.seed = seed;
    row.count = count;
    row.symbolImages = row.noSymbolImages = count;
    row.decoded = count / 2;
    row.commit = "c" + std::to_string(seed);
    return row;
}

std::string errorOf(const std::string& text) {
    try {
        parseLedger(text);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

TEST(MisreadLedger, ReadsEveryFieldAndSkipsBlankLines) {
    const std::vector<LedgerRow> rows = parseLedger(
        kHeader + "1,100,100,100,97,2,1,3a3f9e2\n\n101,50,50,50,49,0,0,abc+changes\r\n");
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(formatRow(rows[0]), "1,100,100,100,97,2,1,3a3f9e2");
    EXPECT_EQ(formatRow(rows[1]), "101,50,50,50,49,0,0,abc+changes");
    EXPECT_TRUE(parseLedger("").empty());
    EXPECT_TRUE(parseLedger(kHeader).empty());
}

TEST(MisreadLedger, NamesTheLineThatIsNoRow) {
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"seed,count\n1,2,2,2,0,0,0,c\n", "ledger line 1: expected the header "},
        {kHeader + "1,2,3\n", "ledger line 2: expected 8 fields, found 3"},
        {kHeader + "1,2,2,2,0,0,0,c,extra\n", "ledger line 2: expected 8 fields, found 9"},
        {kHeader + "1,x,1,1,0,0,0,c\n", "ledger line 2: 'x' is not a count"},
        {kHeader + "1,-5,1,1,0,0,0,c\n", "ledger line 2: '-5' is not a count"},
        {kHeader + "1,,1,1,0,0,0,c\n", "ledger line 2: '' is not a count"},
        {kHeader + "99999999999999999999999,1,1,1,0,0,0,c\n", "is not a count"},
        {kHeader + "1,0,0,0,0,0,0,c\n", "ledger line 2: a range of no seeds"},
        {kHeader + "1,10,10,10,8,3,0,c\n", "ledger line 2: more outcomes than pictures"},
        {kHeader + "1,10,10,10,0,0,11,c\n", "ledger line 2: more outcomes than pictures"},
        {kHeader + "1,10,10,10,0,0,0,a\n\n5,10,10,10,0,0,0,b\n",
         "ledger line 4: seeds 5-14 overlap seeds 1-10"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(errorOf(c.text).find(c.error), std::string::npos)
            << c.text << " gave: " << errorOf(c.text);
    }
}

TEST(MisreadLedger, ARunContinuesAtTheFirstSeedNoRowCovers) {
    const struct {
        std::vector<LedgerRow> rows;
        std::uint64_t first;
        std::uint64_t seed;
        std::uint64_t room;
    } cases[] = {
        {{}, 1, 1, kEndless},
        {{range(1, 100)}, 1, 101, kEndless},
        {{range(101, 100), range(1, 100)}, 1, 201, kEndless},  // in any order
        {{range(1, 100), range(201, 50)}, 1, 101, 100},        // a gap is filled first
        {{range(201, 50)}, 1, 1, 200},
        {{range(1, 100), range(101, 1)}, 50, 102, kEndless},  // from inside a range
        {{range(1, 10)}, 500, 500, kEndless},
    };
    for (const auto& c : cases) {
        const FreeSeeds free = nextFreeSeeds(c.rows, c.first);
        EXPECT_EQ(free.seed, c.seed) << c.rows.size() << " rows from " << c.first;
        EXPECT_EQ(free.room, c.room) << c.rows.size() << " rows from " << c.first;
    }
}

TEST(MisreadLedger, TotalsAddEveryCount) {
    LedgerRow a = range(1, 10);
    a.misreads = 1;
    a.falsePositives = 2;
    const LedgerRow sum = totals({a, range(11, 5)});
    EXPECT_EQ(formatRow(sum), "0,15,15,15,7,1,2,");
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(MisreadLedger, FileKeepsRowsAcrossRunsAndServesOneRunAtATime) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("ledger-test-" + std::to_string(::getpid()) + ".csv"))
                                 .string();
    std::filesystem::remove(path);
    {
        LedgerFile run(path);
        EXPECT_TRUE(run.rows().empty());
        run.append(range(1, 100));
        EXPECT_THROW(LedgerFile{path}, std::runtime_error);  // held by this run
        EXPECT_THROW(run.append(range(50, 10)), std::runtime_error);
        EXPECT_EQ(run.rows().size(), 1U);
    }
    {
        LedgerFile later(path);
        ASSERT_EQ(later.rows().size(), 1U);
        EXPECT_EQ(formatRow(later.rows()[0]), formatRow(range(1, 100)));
        later.append(range(101, 20));
    }
    EXPECT_EQ(fileText(path),
              kHeader + formatRow(range(1, 100)) + "\n" + formatRow(range(101, 20)) + "\n");
    // A last line left without its end by a hand edit keeps its own line.
    std::ofstream(path, std::ios::binary) << kHeader << formatRow(range(1, 5));
    {
        LedgerFile edited(path);
        edited.append(range(6, 5));
    }
    EXPECT_EQ(parseLedger(fileText(path)).size(), 2U);
    // A file that is no ledger is refused with its name and line, and left as it was.
    std::ofstream(path, std::ios::binary) << "not a ledger\n";
    try {
        LedgerFile refused(path);
        ADD_FAILURE() << "a file without the header was taken";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(path + ": ledger line 1"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(fileText(path), "not a ledger\n");
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace qcl::misread
