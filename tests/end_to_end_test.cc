// The compiler run as a user runs it, on generated catalogs, judged by an independent checker.
#include <gtest/gtest.h>

#include <set>

#include "catalog_checker.h"
#include "test_util.h"

namespace ucac2_test {
namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

const std::vector<std::string> kNoMismatch;

Names Listing(const fs::path& dir) {
  Names names;
  for (const fs::directory_entry& e : fs::directory_iterator(dir))
    names.insert(e.path().filename().string());
  return names;
}

// Zone files of hours [0, hours), work files `prefix`00.. of `count` numbers, and `extra`.
Names Expected(int hours, Names extra = {}, const std::string& prefix = "", int count = 0) {
  for (int h = 0; h < hours; ++h) extra.insert(ZoneName(h));
  for (int i = 0; i < count; ++i) extra.insert(prefix + (i < 10 ? "0" : "") + std::to_string(i));
  return extra;
}

const Names kHourFiles = Expected(0, {}, "TMPA0", kHourZones);

// Failures name a case instead of dumping its bytes.
template <typename Case>
requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, ::std::ostream* os) { *os << c.name; }

template <class Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

// A catalog in tmp/cat, and an empty tmp/out in which the compiler runs on "../cat".
class EndToEnd : public ::testing::Test {
 protected:
  void Generate(std::vector<std::string> options) {
    options.insert(options.begin(), {"cat", "--quiet"});
    const RunResult r = RunProgram(SAMPLE_CATALOG_EXE, options, tmp_.path());
    ASSERT_EQ(r.status, 0) << r.err;
    fs::create_directory(out_);
  }

  ScopedTempDir tmp_;
  const fs::path out_ = tmp_.path() / "out";
  const std::string dir_ = "../cat";
};

struct GoodCase {
  const char* name;
  std::vector<std::string> options;
  std::vector<int> band_sizes = {};  // each must occur as some band's count (0: an empty hour)
};

class Compiles : public EndToEnd, public ::testing::WithParamInterface<GoodCase> {};

TEST_P(Compiles, ZoneFilesReportAndTranscriptMatchTheInput) {
  ASSERT_NO_FATAL_FAILURE(Generate(GetParam().options));
  const CatalogChecker checker(tmp_.path() / "cat");
  std::multiset<int> sizes;
  for (int h = 0; h < kHourZones; ++h) {
    if (checker.hour_count(h) == 0) sizes.insert(0);
    for (int b = 0; b < kBands; ++b)
      if (checker.band_count(h, b) > 0) sizes.insert(checker.band_count(h, b));
  }
  for (int size : GetParam().band_sizes) EXPECT_GT(sizes.count(size), 0u) << size;

  const RunResult r = RunCompiler({dir_}, out_);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "\n" + std::string(16, ' ') + "UCAC2 - UCAC2 Database Compiler for Orvane\n" +
                       std::string(22, ' ') + "Version 1.3.0 - May 23, 2012\n\n");
  EXPECT_EQ(SplitLines(r.err), checker.Transcript(dir_));
  EXPECT_EQ(Listing(out_), Expected(kHourZones, {"info.txt"}));
  EXPECT_EQ(checker.Check(out_), kNoMismatch);
}

std::vector<std::string> Sets(const std::string& file, const std::vector<std::string>& spots) {
  std::vector<std::string> options = {"--count", file + ":" + std::to_string(spots.size())};
  for (std::size_t i = 0; i < spots.size(); ++i)
    options.insert(options.end(), {"--set", file + ":" + std::to_string(i) + ":" + spots[i]});
  return options;
}

INSTANTIATE_TEST_SUITE_P(
    Catalogs, Compiles,
    ::testing::Values(
        GoodCase{"Sample", {"--stars", "3000", "--bss", "40", "--seed", "7"}},
        GoodCase{"Shuffled", {"--stars", "3000", "--bss", "40", "--shuffle"}},
        GoodCase{"EmptyAndPartialFiles",
                 {"--stars", "3000", "--empty", "z100", "--count", "z101:1", "--trailing", "z101:1",
                  "--trailing", "s05:43", "--empty", "s01"}},
        GoodCase{"HoursWithoutStars", {"--stars", "0", "--bss", "0", "--count", "z150:10"}, {0}},
        GoodCase{"NoStarsAtAll", {"--stars", "0", "--bss", "0"}, {0}},
        // 24 x 512 and 24 x 171 stars spread evenly over the hours, each file inside one band.
        GoodCase{"BandCopyBlocks",
                 {"--stars", "0", "--bss", "0", "--count", "z190:12288", "--count", "z210:4104"},
                 {512, 171}},
        // Boundary positions, among them the last mas of the circle and the poles themselves.
        GoodCase{"EdgePositions",
                 Sets("z100", {"1295999999:0", "1295999966:324000000", "0:-324000000",
                               "53999998:323999991", "53999999:-323999991", "1295999965:35999999",
                               "647999983:-35999999", "647999982:-36000000", "1241999967:287999992",
                               "1241999966:-287999992", "107999998:-1", "107999997:287999991"})},
        // Two progress lines in each pass, the second after the very last star.
        GoodCase{"TwoMillion", {"--stars", "1990000", "--bss", "10000"}}),
    CaseName<GoodCase>);

// Fatal errors of the distribution pass: the hour files stay as far as they were written.
struct FirstPassFailure {
  const char* name;
  std::vector<std::string> options;
  std::string file;        // the catalog file being read when the run stops
  bool directory = false;  // a directory stands at that file's path
  std::string fatal;       // '@' stands for the file's path
  int items_left = 0;      // hour-file items on disk afterwards
};

class FailsInFirstPass : public EndToEnd, public ::testing::WithParamInterface<FirstPassFailure> {};

TEST_P(FailsInFirstPass, LastLineStatusAndHourFiles) {
  const FirstPassFailure& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(Generate(c.options));
  if (c.directory) fs::create_directory(tmp_.path() / "cat" / c.file);
  const RunResult r = RunCompiler({dir_}, out_);
  const std::string path = ProgramPath(dir_, c.file);
  std::string fatal = c.fatal;
  if (const auto at = fatal.find('@'); at != std::string::npos) fatal.replace(at, 1, path);
  const std::vector<std::string> lines = SplitLines(r.err);
  EXPECT_EQ(r.status, 1);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back(), "FTL *** " + fatal);
  EXPECT_EQ(lines[lines.size() - 2],
            "MSG --- Parsing file " + std::to_string(std::stoi(c.file.substr(1))) + ": " + path);
  EXPECT_EQ(Listing(out_), kHourFiles);
  std::uintmax_t bytes = 0;
  for (const std::string& name : kHourFiles) bytes += fs::file_size(out_ / name);
  EXPECT_EQ(bytes, 48u * static_cast<unsigned>(c.items_left));
}

INSTANTIATE_TEST_SUITE_P(
    Catalogs, FailsInFirstPass,
    ::testing::Values(
        FirstPassFailure{"MissingFile",
                         {"--stars", "0", "--count", "z100:20", "--missing", "z137"},
                         "z137",
                         false,
                         "Unable to locate data file '@'",
                         20},
        FirstPassFailure{"DirectoryAtPath",
                         {"--stars", "0", "--count", "z100:20", "--missing", "z150"},
                         "z150",
                         true,
                         "Unable to open data file '@'",
                         20},
        FirstPassFailure{"MainStarFlaggedSupplement",
                         {"--count", "z001:5", "--count", "z002:7", "--bad-cflg", "z002:3"},
                         "z002",
                         false,
                         "Non valid cflg field for UCAC2 star (ID=9)",
                         9},
        FirstPassFailure{"SupplementStarNotFlagged",
                         {"--stars", "0", "--count", "z003:10", "--count", "s01:4", "--count",
                          "s02:3", "--bad-cflg", "s02:1"},
                         "s02",
                         false,
                         "Non valid cflg field for BSS star (ID=50000006)",
                         16},
        FirstPassFailure{"NegativeRightAscension",
                         {"--stars", "0", "--count", "z010:5", "--set", "z010:2:-1:0"},
                         "z010",
                         false,
                         "Internal error #2 - RA zone calculation",
                         2},
        FirstPassFailure{"FullCircleRightAscension",
                         {"--stars", "0", "--count", "z010:5", "--set", "z010:3:1296000000:0"},
                         "z010",
                         false,
                         "Internal error #2 - RA zone calculation",
                         3}),
    CaseName<FirstPassFailure>);

// Runs stopped in the middle: zone files before `hour` are complete, zone file `hour` holds its
// 8 header bytes, nothing later exists. Hour -1 is the distribution pass.
enum class Esc { kNone, kFirst, kLast };  // ESC before the first or last record of that pass
struct Interrupted {
  const char* name;
  std::string position;  // RA:DEC of one extra star in z200
  Esc esc;
  int hour;
  std::string last_line;
};

class StopsMidway : public EndToEnd, public ::testing::WithParamInterface<Interrupted> {};

TEST_P(StopsMidway, KeepsFinishedZoneFiles) {
  const Interrupted& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(Generate(
      {"--stars", "3000", "--bss", "40", "--count", "z200:10", "--set", "z200:5:" + c.position}));
  const CatalogChecker checker(tmp_.path() / "cat");
  ASSERT_GT(checker.hour_count(5), 1);
  std::int64_t check = c.esc == Esc::kLast ? checker.total() : 1;
  if (c.hour >= 0) {
    check = checker.total() + (c.esc == Esc::kLast ? checker.hour_count(c.hour) : 1);
    for (int h = 0; h < c.hour; ++h) check += checker.hour_count(h);
  }
  const RunResult r =
      RunCompiler({dir_}, out_, c.esc == Esc::kNone ? "" : "escape:" + std::to_string(check));
  EXPECT_EQ(r.status, 1);
  ASSERT_FALSE(r.err.empty());
  EXPECT_EQ(SplitLines(r.err).back(), c.last_line);
  // A fatal error leaves every work file; a cancel removes them all.
  const std::string bands = "TMPB0" + std::string(c.hour < 10 ? "0" : "") + std::to_string(c.hour);
  EXPECT_EQ(Listing(out_), c.esc == Esc::kNone ? Expected(c.hour + 1, kHourFiles, bands, kBands)
                                               : Expected(c.hour + 1));
  for (int h = 0; h < c.hour; ++h) EXPECT_EQ(checker.CheckZoneFile(out_, h), kNoMismatch);
  if (c.hour >= 0) {
    EXPECT_EQ(ReadFileBytes(out_ / ZoneName(c.hour)), checker.ZoneFile(c.hour).substr(0, 8));
  }
}

const std::string kPoleError = "FTL *** Internal error #3 - DE zone calculation";
const std::string kCancelled = "Process canceled by user";

INSTANTIATE_TEST_SUITE_P(
    Runs, StopsMidway,
    ::testing::Values(
        // The band is first computed in the second pass, so a star beyond a pole stops it there.
        Interrupted{"BeyondNorthPole", "700000000:324000001", Esc::kNone, 12, kPoleError},
        Interrupted{"BeyondSouthPole", "700000000:-324000001", Esc::kNone, 12, kPoleError},
        Interrupted{"EscAtFirstRecord", "0:0", Esc::kFirst, -1, kCancelled},
        Interrupted{"EscAtLastRecord", "0:0", Esc::kLast, -1, kCancelled},
        Interrupted{"EscAtFirstItemOfHour5", "0:0", Esc::kFirst, 5, kCancelled},
        Interrupted{"EscAtLastItemOfHour5", "0:0", Esc::kLast, 5, kCancelled}),
    CaseName<Interrupted>);

// Catalog paths live in a 1,024-character buffer: "<dir>/z288" and its terminator must fit.
TEST_F(EndToEnd, DirectoryNameFillsOrOverflowsThePathBuffer) {
  ASSERT_NO_FATAL_FAILURE(Generate({"--stars", "50", "--bss", "2"}));
  const auto dir_of_length = [](std::size_t n) { return ".." + std::string(n - 5, '/') + "cat"; };
  const RunResult fits = RunCompiler({dir_of_length(1018)}, out_);
  EXPECT_EQ(fits.status, 0) << fits.err;
  EXPECT_EQ(CatalogChecker(tmp_.path() / "cat").Check(out_), kNoMismatch);

  const fs::path out2 = tmp_.path() / "out2";
  fs::create_directory(out2);
  const RunResult too_long = RunCompiler({dir_of_length(1019)}, out2);
  EXPECT_EQ(too_long.status, 1);
  ASSERT_FALSE(too_long.err.empty());
  EXPECT_EQ(SplitLines(too_long.err).back().substr(0, 8), "FTL *** ");
  EXPECT_EQ(too_long.err.find("Parsing file"), std::string::npos);
  EXPECT_EQ(Listing(out2), Names{});
}

}  // namespace
}  // namespace ucac2_test
