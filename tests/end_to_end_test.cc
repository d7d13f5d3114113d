// The compiler run as a user runs it: on generated catalogs, its results proven by
// ucac2db verify --catalog; stopped runs compared with a proven clean compilation; its command
// line, banner, help text and exit statuses, through a table of runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/catalog_files.h"
#include "base/star_record.h"
#include "base/zones.h"
#include "test_util.h"

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

// The stars of each hour, from the report of a proven compilation in `out`.
std::vector<std::int64_t> HourCounts(const fs::path& out) {
  const std::vector<std::string> lines = SplitLines(ReadFileBytes(out / "info.txt"));
  std::vector<std::int64_t> counts(kHourZones);
  for (int h = 0; h < kHourZones; ++h) counts[h] = std::stoll(lines.at(2 + h));
  return counts;
}

// Standard error of a run on catalog `cat`, named `dir` on its command line, whose proven
// result is in `out`: a progress line at each millionth star of each pass.
std::vector<std::string> Transcript(const fs::path& cat, const std::string& dir,
                                    const fs::path& out) {
  std::vector<std::string> t = {"MSG --- Input directory: " + dir,
                                "MSG --- Data file checking (" + dir + ")..."};
  std::int64_t read = 0;
  const auto advance = [&](std::int64_t count) {
    for (std::int64_t m = read / 1000000 + 1; m * 1000000 <= read + count; ++m)
      t.push_back("MSG --- " + std::to_string(m * 1000000) + " objects");
    read += count;
  };
  for (int f = 0; f < kCatalogFiles; ++f) {
    t.push_back("MSG --- Parsing file " + std::to_string(f < 288 ? f + 1 : f - 287) + ": " + dir +
                "/" + CatalogFileName(f));
    advance(static_cast<std::int64_t>(fs::file_size(cat / CatalogFileName(f)) / 44));
  }
  t.push_back("MSG --- Writing 24 files with binary data...");
  const std::int64_t total = std::exchange(read, 0);
  const std::vector<std::int64_t> hours = HourCounts(out);
  for (int h = 0; h < kHourZones; ++h) {
    t.push_back("MSG --- Zone " + std::to_string(h) + " < RA < " + std::to_string(h + 1));
    advance(hours[h]);
  }
  t.push_back("MSG --- " + std::to_string(total) + " objects found");
  return t;
}

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
// Failures, and the suite's test names, name a case instead of dumping its bytes.
void PrintTo(const GoodCase& c, std::ostream* os) { *os << c.name; }
using Compiles = EndToEnd<GoodCase>;

TEST_P(Compiles, ZoneFilesReportAndTranscriptMatchTheInput) {
  const RunResult r = RunCompiler({dir_}, out_);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Listing(out_), Expected(kHourZones, {"info.txt"}));
  ASSERT_EQ(Verify(out_, cat_), kNoFindings);
  EXPECT_EQ(SplitLines(r.err), Transcript(cat_, dir_, out_));
  const std::vector<std::int64_t> hours = HourCounts(out_);
  for (int h = 0; h < kHourZones; ++h)  // the sizes verify shares with the compiler, pinned
    EXPECT_EQ(fs::file_size(out_ / ZoneName(h)), 152u + 48u * hours[h]) << h;
  const std::string report = ReadFileBytes(out_ / "info.txt");
  for (int size : GetParam().band_sizes)
    EXPECT_NE(report.find("(" + std::to_string(size) + " objects)"), std::string::npos) << size;
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
        GoodCase{"BandCopyBlocks",
                 "--stars 0 --bss 0 --even --count z190:12288 --count z210:4104",
                 {512, 171}},
        // The last mas of the circle and the poles themselves, all valid. (The unit tables and
        // the random catalogs try the other boundaries.)
        GoodCase{"EdgePositions",
                 "--count z100:3 --set z100:0:1295999999:0 --set z100:1:1295999966:324000000 "
                 "--set z100:2:0:-324000000"},
        // Two progress lines in each pass, the second after the very last star.
        GoodCase{"TwoMillion", "--stars 1990000 --bss 10000"}),
    kCaseName);

// Runs that stop: zone files before `hour` are those of a clean compilation, zone file `hour`
// holds its 8 header bytes, nothing later exists; hour -1 is the distribution pass. A fatal
// error leaves every work file, a cancel none.
enum class Esc { kNone, kFirst, kLast };  // ESC before the first or last record of that pass
struct Stop {
  const char* name;
  std::string options;
  std::string last_line;
  int hour = -1;
  Esc esc = Esc::kNone;
  int items = 0;               // hour-file items left by a fatal error of the distribution pass
  std::string directory = "";  // a catalog file's name, where a directory is made
  std::string clean = "";      // a catalog that compiles to what the run leaves, if not this one
};
void PrintTo(const Stop& c, std::ostream* os) { *os << c.name; }
using Stops = EndToEnd<Stop>;

TEST_P(Stops, LastLineAndWhatIsLeft) {
  const Stop& c = GetParam();
  if (!c.directory.empty()) fs::create_directory(cat_ / c.directory);
  const fs::path ref = tmp_.path() / "ref", ref_cat = c.clean.empty() ? cat_ : tmp_.path() / "c";
  std::vector<std::int64_t> hours(kHourZones);
  if (c.hour >= 0) {
    if (!c.clean.empty()) MakeCatalog(ref_cat, c.clean);
    fs::create_directory(ref);
    ASSERT_EQ(RunCompiler({ref_cat.string()}, ref).status, 0);
    ASSERT_EQ(Verify(ref, ref_cat), kNoFindings);
    hours = HourCounts(ref);
    ASSERT_GT(hours[c.hour], 1);
  }
  // The record ESC comes before, counted over both passes.
  const std::int64_t total = CatalogStars(cat_);
  std::int64_t check = c.esc == Esc::kLast ? total : 1;
  if (c.hour >= 0) {
    check = total + (c.esc == Esc::kLast ? hours[c.hour] : 1);
    for (int h = 0; h < c.hour; ++h) check += hours[h];
  }
  const RunResult r =
      RunCompiler({dir_}, out_, c.esc == Esc::kNone ? "" : "escape:" + std::to_string(check));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(LastLine(r), c.last_line);
  const std::string bands = "TMPB0" + std::string(c.hour < 10 ? "0" : "") + std::to_string(c.hour);
  EXPECT_EQ(Listing(out_), c.esc != Esc::kNone
                               ? Expected(c.hour + 1)
                               : Expected(c.hour + 1, kHourFiles, bands, c.hour < 0 ? 0 : kBands));
  for (int h = 0; h < c.hour; ++h)
    EXPECT_EQ(ReadFileBytes(out_ / ZoneName(h)), ReadFileBytes(ref / ZoneName(h))) << h;
  if (c.hour >= 0) {
    EXPECT_EQ(ReadFileBytes(out_ / ZoneName(c.hour)),
              ReadFileBytes(ref / ZoneName(c.hour)).substr(0, 8));
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
        // The band is first computed in the second pass, so a star beyond a pole stops it there,
        // after the hours a catalog with that star at the pole compiles to.
        Stop{"BeyondSouthPole", With("700000000:-324000001"),
             "FTL *** Internal error #3 - DE zone calculation", 12, Esc::kNone, 0, "",
             With("700000000:-324000000")},
        Stop{"EscAtFirstRecord", With("0:0"), kCancelled, -1, Esc::kFirst},
        Stop{"EscAtLastRecord", With("0:0"), kCancelled, -1, Esc::kLast},
        Stop{"EscAtFirstItemOfHour5", With("0:0"), kCancelled, 5, Esc::kFirst},
        Stop{"EscAtLastItemOfHour5", With("0:0"), kCancelled, 5, Esc::kLast}),
    kCaseName);

const std::string kBanner =
    "\n"
    "                UCAC2 - UCAC2 Database Compiler for Orvane\n"
    "                      Version 1.3.0 - May 23, 2012\n"
    "\n";
const std::string kHelp =
    kBanner +
    "Synopsis : UCAC2 [/?] [/line] [/quiet] <UCAC2 data directory>\n"
    "\n"
    "           /?     : display this help screen\n"
    "           /line  : display data line when a warning is reported\n"
    "           /quiet : do not report warnings\n"
    "\n"
    "           [] means 'optionnal argument'\n"
    "           The 24 output files UCAC2_xx.dat are created in the current dir.\n";

const std::string kTooLong = "Input directory name too long for a catalog path";
std::string Unknown(const std::string& arg) { return "Error : Unknown option '" + arg + "'\n"; }
std::string Wrong(const std::string& arg) { return "Error : Wrong syntax '" + arg + "'\n"; }
// A console message as printed: the text cut to the message buffer's 1,023 characters.
std::string Line(const char* prefix, const std::string& text) {
  return prefix + text.substr(0, 1023) + "\n";
}
std::string Start(const std::string& dir) {
  return Line("MSG --- ", "Input directory: " + dir) +
         Line("MSG --- ", "Data file checking (" + dir + ")...");
}
// A run that starts compiling `dir`, and one that finds no z001 there.
std::string Compiling(const std::string& dir) {
  return Start(dir) + Line("MSG --- ", "Parsing file 1: " + dir + "/z001");
}
std::string NoCatalog(const std::string& dir) {
  return Compiling(dir) + Line("FTL *** ", "Unable to locate data file '" + dir + "/z001'");
}

// The sample sky: every file with its published count times the scale, sorted by right
// ascension, and the galactic plane making some hour-and-band blocks far denser than most;
// one seed, one catalog.
TEST(SampleCatalog, KeepsCountsAndOrderAndFollowsThePlane) {
  ScopedTempDir temp;
  const double scale = 0.002;
  const std::string options = "--scale 0.002 --seed 3";
  MakeCatalog(temp.path() / "a", options);
  MakeCatalog(temp.path() / "b", options);
  std::vector<std::int64_t> blocks(std::size_t{ucac2::kHourZones} * ucac2::kBands);
  for (int n = 1; n <= ucac2::kCatalogFiles; ++n) {
    const ucac2::CatalogFile file = ucac2::CatalogFileAt(n);
    const std::string bytes = ReadFileBytes(temp.path() / "a" / file.name);
    SCOPED_TRACE(file.name);
    EXPECT_EQ(bytes, ReadFileBytes(temp.path() / "b" / file.name));
    EXPECT_EQ(static_cast<std::int64_t>(bytes.size()),
              std::llround(scale * static_cast<double>(ucac2::PublishedCount(file))) * 44);
    std::int32_t previous = 0;
    for (std::size_t at = 0; at + 44 <= bytes.size(); at += 44) {
      ucac2::StarRecord r;
      std::copy_n(bytes.data() + at, 44, reinterpret_cast<char*>(r.bytes));
      EXPECT_LE(previous, ucac2::RightAscension(r));
      previous = ucac2::RightAscension(r);
      ++blocks.at(static_cast<std::size_t>(ucac2::HourZone(previous) * ucac2::kBands +
                                           ucac2::DeclinationBand(ucac2::Declination(r))));
    }
  }
  std::nth_element(blocks.begin(), blocks.begin() + blocks.size() / 2, blocks.end());
  const std::int64_t median = blocks[blocks.size() / 2];
  EXPECT_GE(*std::max_element(blocks.begin(), blocks.end()), 3 * median) << median;
}

struct CliRow {
  std::vector<std::string> args;
  int status;
  std::string out;  // exact standard output
  std::string err;  // exact standard error; the first bytes of a compilation's
};

TEST(CommandLineExe, Table) {
  ScopedTempDir temp;
  // Absolute paths: an empty directory, and a catalog.
  const std::string empty = temp.path().string() + "/empty", cat = temp.path().string() + "/cat";
  fs::create_directory(empty);
  MakeCatalog(cat, "");
  const std::string long_dir(100000, 'd'), long_opt = "/" + std::string(99999, 'o');
  const std::string odd = "\xff\xfe\xc3\xa9 d\x01r";  // not UTF-8, a space, a control byte
  // Catalog paths live in a 1,024-character buffer: "<dir>/z288" and its end must fit.
  const std::string fits = ".." + std::string(1013, '/') + "cat";
  const std::string too_long = ".." + std::string(1014, '/') + "cat";
  const std::vector<CliRow> rows = {
      {{}, 1, kHelp, ""},
      {{"/line", "/quiet"}, 1, kHelp, ""},
      {{"/?"}, 0, kHelp, ""},
      {{"/h"}, 0, kHelp, ""},
      {{"--help"}, 0, kHelp, ""},
      {{"-h"}, 0, kHelp, ""},
      {{"dir", "-h", "/x"}, 0, kHelp, ""},
      {{"--version"}, 0, kBanner, ""},
      {{"dir", "--version", "/?"}, 0, kBanner, ""},
      {{"/quiet", "--help", "--version"}, 0, kHelp, ""},
      {{"/?", "/x", "\xe9", "b"}, 0, kHelp, ""},
      {{"dir", "/quiet", "/?"}, 0, kHelp, ""},
      {{"/x"}, 1, kHelp, Unknown("/x")},  // an absolute path where no directory is
      {{"dir", "/x", "/?"}, 1, kHelp, Unknown("/x")},
      {{"/x", "--version"}, 1, kHelp, Unknown("/x")},
      {{"/LINE", "dir"}, 1, kHelp, Unknown("/LINE")},
      {{long_opt}, 1, kHelp, Unknown(long_opt)},
      {{"dir1", "/line", "dir2", "/?"}, 1, kHelp, Wrong("dir2")},
      {{"dir1", "dir2", "--help"}, 1, kHelp, Wrong("dir2")},
      {{"", "x"}, 1, kHelp, Wrong("x")},
      {{"dir", empty}, 1, kHelp, Wrong(empty)},
      // Runs that start compiling.
      {{"--Help"}, 1, kBanner, NoCatalog("--Help")},
      {{"-version"}, 1, kBanner, NoCatalog("-version")},
      {{"h"}, 1, kBanner, NoCatalog("h")},
      {{""}, 1, kBanner, NoCatalog("")},
      {{"/quiet", "dir"}, 1, kBanner, NoCatalog("dir")},
      {{"dir", "/line"}, 1, kBanner, NoCatalog("dir")},
      {{empty}, 1, kBanner, NoCatalog(empty)},
      {{odd}, 1, kBanner, NoCatalog(odd)},
      {{long_dir}, 1, kBanner, Start(long_dir) + Line("FTL *** ", kTooLong)},
      {{too_long}, 1, kBanner, Start(too_long) + Line("FTL *** ", kTooLong)},
      {{fits}, 0, kBanner, Compiling(fits)},
      {{"/line", cat}, 0, kBanner, Compiling(cat)},
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const CliRow& row = rows[i];
    SCOPED_TRACE("row " + std::to_string(i));
    const fs::path run = temp.path() / ("run" + std::to_string(i));
    fs::create_directory(run);
    const RunResult r = RunProgram(UCAC2_EXE, row.args, run);
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(r.out, row.out);
    const bool compiling = row.err.starts_with("MSG --- ");
    const bool compiled = compiling && row.status == 0;
    EXPECT_EQ(compiled ? r.err.substr(0, row.err.size()) : r.err, row.err);
    EXPECT_TRUE(compiling || fs::is_empty(run)) << "nothing compiled, nothing left";
    EXPECT_TRUE(!compiled || fs::exists(run / "UCAC2_23.dat"));
  }
}

TEST(CommandLineExe, BannerComesBeforeTheMessagesOnOneStream) {
  ScopedTempDir temp;
  const RunResult r = RunProgram(UCAC2_EXE, {"dir"}, temp.path(), {}, [] { ::dup2(1, 2); });
  EXPECT_EQ(r.out, kBanner + NoCatalog("dir"));
}

}  // namespace
}  // namespace ucac2_test
