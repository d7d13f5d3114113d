// The compiler run as a user runs it, on generated catalogs, judged by an independent checker.
#include <gtest/gtest.h>

#include "catalog_checker.h"

namespace ucac2_test {
namespace {

using Names = std::set<std::string>;

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
const auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

// A catalog in tmp/cat, and an empty tmp/out in which the compiler runs on "../cat".
template <typename Case>
class EndToEnd : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    MakeCatalog(cat_, this->GetParam().options);
    fs::create_directory(out_);
  }
  ScopedTempDir tmp_;
  const fs::path cat_ = tmp_.path() / "cat", out_ = tmp_.path() / "out";
  const std::string dir_ = "../cat";
};

struct GoodCase {
  const char* name;
  std::string options;
  std::vector<int> band_sizes = {};  // each must occur as some band's count
};
using Compiles = EndToEnd<GoodCase>;

TEST_P(Compiles, ZoneFilesReportAndTranscriptMatchTheInput) {
  const CatalogChecker checker(cat_);
  std::set<int> sizes;  // of this catalog's bands
  for (int k = 0; k < kHourZones * kBands; ++k)
    sizes.insert(checker.band_count(k / kBands, k % kBands));
  for (int size : GetParam().band_sizes) EXPECT_EQ(sizes.count(size), 1u) << size;

  const RunResult r = RunCompiler({dir_}, out_);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(SplitLines(r.err), checker.Transcript(dir_));
  EXPECT_EQ(Listing(out_), Expected(kHourZones, {"info.txt"}));
  EXPECT_EQ(checker.Check(out_), kNoMismatch);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogs, Compiles,
    ::testing::Values(
        GoodCase{"Sample", "--stars 3000 --bss 40 --seed 7"},
        GoodCase{"Shuffled", "--stars 3000 --bss 40 --shuffle"},
        // A 0-byte file, a 45-byte file, a file of trailing bytes only.
        GoodCase{"EmptyAndPartialFiles",
                 "--stars 3000 --empty z100 --count z101:1 --trailing z101:1 --trailing s05:43 "
                 "--empty s01"},
        // Hours without stars, with their 152-byte zone files.
        GoodCase{"HoursWithoutStars", "--stars 0 --bss 0 --count z150:10"},
        GoodCase{"NoStarsAtAll", "--stars 0 --bss 0"},
        // 24 x 512 and 24 x 171 stars spread evenly over the hours, each file inside one band.
        GoodCase{
            "BandCopyBlocks", "--stars 0 --bss 0 --count z190:12288 --count z210:4104", {512, 171}},
        // The last mas of the circle and the poles themselves, all valid. (The unit tables and
        // the random catalogs try the other boundaries.)
        GoodCase{"EdgePositions",
                 "--count z100:3 --set z100:0:1295999999:0 --set z100:1:1295999966:324000000 "
                 "--set z100:2:0:-324000000"},
        // Two progress lines in each pass, the second after the very last star.
        GoodCase{"TwoMillion", "--stars 1990000 --bss 10000"}),
    kCaseName);

// Runs that stop: zone files before `hour` are complete, zone file `hour` holds its 8 header
// bytes, nothing later exists; hour -1 is the distribution pass. A fatal error leaves every
// work file, a cancel none.
enum class Esc { kNone, kFirst, kLast };  // ESC before the first or last record of that pass
struct Stop {
  const char* name;
  std::string options;
  std::string last_line;
  int hour = -1;
  Esc esc = Esc::kNone;
  int items = 0;               // hour-file items left by a fatal error of the distribution pass
  std::string directory = "";  // a catalog file's name, where a directory is made
};
using Stops = EndToEnd<Stop>;

TEST_P(Stops, LastLineAndWhatIsLeft) {
  const Stop& c = GetParam();
  if (!c.directory.empty()) fs::create_directory(cat_ / c.directory);
  const CatalogChecker checker(cat_);
  std::int64_t check = c.esc == Esc::kLast ? checker.total() : 1;  // the record ESC comes before
  if (c.hour >= 0) {
    ASSERT_GT(checker.hour_count(c.hour), 1);
    check = checker.total() + (c.esc == Esc::kLast ? checker.hour_count(c.hour) : 1);
    for (int h = 0; h < c.hour; ++h) check += checker.hour_count(h);
  }
  const RunResult r =
      RunCompiler({dir_}, out_, c.esc == Esc::kNone ? "" : "escape:" + std::to_string(check));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(LastLine(r), c.last_line);
  const std::string bands = "TMPB0" + std::string(c.hour < 10 ? "0" : "") + std::to_string(c.hour);
  EXPECT_EQ(Listing(out_), c.esc != Esc::kNone
                               ? Expected(c.hour + 1)
                               : Expected(c.hour + 1, kHourFiles, bands, c.hour < 0 ? 0 : kBands));
  for (int h = 0; h < c.hour; ++h) EXPECT_EQ(checker.CheckZoneFile(out_, h), "");
  if (c.hour >= 0) {
    EXPECT_EQ(ReadFileBytes(out_ / ZoneName(c.hour)), checker.ZoneFile(c.hour).substr(0, 8));
  } else if (c.esc == Esc::kNone) {
    std::uintmax_t bytes = 0;
    for (const std::string& name : kHourFiles) bytes += fs::file_size(out_ / name);
    EXPECT_EQ(bytes, 48u * static_cast<unsigned>(c.items));
  }
}

const std::string kCancelled = "Process canceled by user";
// A sample with one extra star, of this position, in z200 (hour 12).
std::string With(const std::string& position) {
  return "--stars 3000 --bss 40 --count z200:10 --set z200:5:" + position;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, Stops,
    ::testing::Values(
        Stop{"MissingFile", "--stars 0 --count z100:20 --missing z137",
             "FTL *** Unable to locate data file '../cat/z137'", -1, Esc::kNone, 20},
        Stop{"DirectoryAtPath", "--stars 0 --count z100:20 --missing z150",
             "FTL *** Unable to open data file '../cat/z150'", -1, Esc::kNone, 20, "z150"},
        Stop{"MainStarFlaggedSupplement", "--count z001:5 --count z002:7 --bad-cflg z002:3",
             "FTL *** Non valid cflg field for UCAC2 star (ID=9)", -1, Esc::kNone, 9},
        Stop{"SupplementStarNotFlagged",
             "--stars 0 --count z003:10 --count s01:4 --count s02:3 --bad-cflg s02:1",
             "FTL *** Non valid cflg field for BSS star (ID=50000006)", -1, Esc::kNone, 16},
        Stop{"NegativeRightAscension", "--stars 0 --count z010:5 --set z010:2:-1:0",
             "FTL *** Internal error #2 - RA zone calculation", -1, Esc::kNone, 2},
        // The band is first computed in the second pass, so a star beyond a pole stops it there.
        Stop{"BeyondSouthPole", With("700000000:-324000001"),
             "FTL *** Internal error #3 - DE zone calculation", 12},
        Stop{"EscAtFirstRecord", With("0:0"), kCancelled, -1, Esc::kFirst},
        Stop{"EscAtLastRecord", With("0:0"), kCancelled, -1, Esc::kLast},
        Stop{"EscAtFirstItemOfHour5", With("0:0"), kCancelled, 5, Esc::kFirst},
        Stop{"EscAtLastItemOfHour5", With("0:0"), kCancelled, 5, Esc::kLast}),
    kCaseName);

}  // namespace
}  // namespace ucac2_test
