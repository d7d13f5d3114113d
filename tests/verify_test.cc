// ucac2db's checks run as a user runs them. verify, on a small database compiled once by the
// real ucac2: each fault it must find planted on purpose, and a few hundred random damages it
// must survive. check-catalog: a clean catalog, then catalogs holding every kind of fault at
// once, and the lines that must report each, naming the file and the record.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <iterator>
#include <random>
#include <regex>

#include "base/star_record.h"
#include "base/zone_file.h"
#include "test_util.h"

namespace ucac2_test {
namespace {

using Edit = std::function<void(std::string&)>;
using Plant = std::function<void(const fs::path&)>;

std::string Le32(std::int64_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

void EditFile(const fs::path& path, const Edit& edit) {
  std::string bytes = ReadFileBytes(path);
  edit(bytes);
  WriteFileBytes(path, bytes);
}

// The suite's catalog in cat/ and its database in db/, made once, and a block of at least two
// entries, not in the last band, where faults are planted.
ScopedTempDir* g_suite_dir = nullptr;
struct {
  int hour = 0, band = 0;
  std::size_t offset = 0;  // of its first entry
  ucac2::ZoneHead head;
} g_block;
fs::path Cat() { return g_suite_dir->path() / "cat"; }
fs::path Db() { return g_suite_dir->path() / "db"; }

// Positions in the planted block and in its zone file's head.
std::size_t Entry(int k) { return g_block.offset + static_cast<std::size_t>(k) * 48; }
std::size_t OffsetField(int band) { return 8 + 8 * static_cast<std::size_t>(band); }
std::size_t CountField(int band) { return OffsetField(band) + 4; }

// Ways to plant a fault in a file.
Plant Edited(const Edit& edit) {
  return [edit](const fs::path& file) { EditFile(file, edit); };
}
Plant Flipped(std::size_t at, int mask) {
  return Edited([=](std::string& bytes) { bytes[at] = static_cast<char>(bytes[at] ^ mask); });
}
Plant Put(std::size_t at, std::int64_t value) {
  return Edited([=](std::string& bytes) { bytes.replace(at, 4, Le32(value)); });
}

class Verify : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_suite_dir = new ScopedTempDir();
    MakeCatalog(Cat(), "--stars 3000 --bss 40 --seed 7");
    fs::create_directory(Db());
    ASSERT_EQ(RunProgram(UCAC2_EXE, {Cat().string()}, Db()).status, 0);
    for (int h = 0; h < ucac2::kHourZones; ++h) {
      const std::string zone = ReadFileBytes(Db() / ZoneName(h));
      const auto head = ucac2::DecodeZoneHead(reinterpret_cast<const std::uint8_t*>(zone.data()));
      for (int b = 0; b < ucac2::kBands - 1; ++b) {
        if (head.counts[b] >= 2) {
          g_block = {h, b, static_cast<std::size_t>(head.offsets[b]), head};
          return;
        }
      }
    }
  }
  static void TearDownTestSuite() { delete g_suite_dir; }

  // Fresh copies of the suite's db/ or cat/ in this test's directory.
  void Copy(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      fs::remove_all(tmp_.path() / name);
      fs::copy(g_suite_dir->path() / name, tmp_.path() / name, fs::copy_options::recursive);
    }
  }
  ScopedTempDir tmp_;
};

struct Fault {
  const char* name;
  std::string file;  // where it is planted, and what the finding names unless `named` is given
  Plant plant;
  std::string text;           // a part of the finding's text; "": no finding
  bool catalog_only = false;  // only verify --catalog can see it
  std::string named{};
};

// Each fault reported naming its file, by verify alone unless only the catalog can tell.
TEST_F(Verify, PlantedFaultsAreReportedNamingTheirFile) {
  const std::string zone = "db/" + ZoneName(g_block.hour);
  const std::size_t line_10 = ReadFileBytes(Db() / "info.txt").find("objects RA zone 07") - 2;
  std::string cat;  // the first main file with stars
  for (int f = 0; cat.empty(); ++f)
    if (fs::file_size(Cat() / CatalogFileName(f)) > 0) cat = "cat/" + CatalogFileName(f);
  const Plant removed = [](const fs::path& file) { fs::remove(file); };
  const Plant created = [](const fs::path& file) { WriteFileBytes(file, "x"); };
  const Fault faults[] = {
      {"none: the clean database passes", "", nullptr, ""},
      {"carried field", zone, Flipped(Entry(0) + 24, 0x5a), "band", true},
      {"right ascension", zone, Flipped(Entry(0) + 7, 0x80), "right ascension"},
      {"declination", zone, Flipped(Entry(1) + 11, 0x40), "declination"},
      {"index offset", zone, Put(OffsetField(g_block.band), static_cast<std::int64_t>(Entry(1))),
       "band " + std::to_string(g_block.band) + ": offset " + std::to_string(Entry(1))},
      {"band count", zone, Flipped(CountField(g_block.band), 1), "band counts add up"},
      {"negative band count", zone, Put(CountField(g_block.band), -5), "is negative"},
      {"2^31 stars", zone, Put(4, INT_MAX), "hour count 2147483647"},
      {"header total", zone, Flipped(0, 1), "catalog total"},
      {"duplicated entry", zone,
       Edited([](std::string& z) { z.replace(Entry(1), 48, z, Entry(0), 48); }),
       "occurs a second time"},
      {"swapped entries", zone,
       Edited([](std::string& z) { std::swap_ranges(&z[Entry(0)], &z[Entry(1)], &z[Entry(1)]); }),
       "not increasing"},
      // The entry and every trace of it in the head removed: only the identifiers tell.
      {"missing entry", zone, Edited([head = g_block.head](std::string& z) {
         z.erase(Entry(0), 48);
         z.replace(4, 4, Le32(head.hour_count - 1));
         z.replace(CountField(g_block.band), 4, Le32(head.counts[g_block.band] - 1));
         for (int b = g_block.band + 1; b < ucac2::kBands; ++b)
           z.replace(OffsetField(b), 4, Le32(head.offsets[b] - 48));
       }),
       "hour counts add up", false, "db/UCAC2_*.dat"},
      {"truncated", zone, Edited([](std::string& z) { z.resize(z.size() - 30); }),
       "its hour count implies"},
      {"0 bytes", zone, Edited([](std::string& z) { z.clear(); }), "0 bytes, shorter than"},
      {"missing", zone, removed, "zone file missing"},
      {"directory", zone,
       [](const fs::path& file) {
         fs::remove(file);
         fs::create_directory(file);
       },
       "not a regular file"},
      {"info.txt line", "db/info.txt", Flipped(line_10, 1), "line 10 reads"},
      {"hour work file", "db/TMPA03", created, "work file"},
      {"band work file", "db/TMPB17", created, "work file"},
      // A catalog that does not compile to the database: each difference names its file.
      {"catalog file missing", cat, removed, "catalog file missing", true},
      {"catalog cflg", cat, Flipped(ucac2::kFlagOffset, 0x80), "cflg bit 7 set in a main file",
       true},
      {"catalog star in no zone", cat, Put(0, -1), "no zone", true},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    Copy({"db", "cat"});
    if (fault.plant) fault.plant(fault.file);
    const std::string named = (fault.named.empty() ? fault.file : fault.named) + ": ";
    for (const bool with_catalog : {false, true}) {
      const RunResult r =
          RunDb(with_catalog ? "verify db --catalog cat" : "verify db", tmp_.path());
      if (fault.text.empty() || (fault.catalog_only && !with_catalog)) {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(SplitLines(r.err).size(), 1u) << r.err;  // the summary only
        continue;
      }
      EXPECT_EQ(r.status, 1) << r.err;
      EXPECT_TRUE(std::ranges::any_of(SplitLines(r.err),
                                      [&](const std::string& line) {
                                        return line.starts_with(named) &&
                                               line.find(fault.text) != line.npos;
                                      }))
          << named << "..." << fault.text << "\n"
          << r.err;
    }
  }
}

// Random damage: bytes overwritten (most in the heads, some with extreme values), files cut
// short or extended. verify must end with a status, 0 or 1, never on a signal or a sanitizer.
TEST_F(Verify, SurvivesRandomDamage) {
  std::mt19937 random(20240611);
  const auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  const std::int32_t kExtremes[] = {0, -1, INT_MAX, INT_MIN, 152, 48, 0x10000000};
  for (int run = 0; run < 300; ++run) {
    Copy({"db"});
    for (int damage = 1 + static_cast<int>(pick(3)); damage > 0; --damage) {
      const std::string name = pick(25) == 24 ? "info.txt" : ZoneName(static_cast<int>(pick(24)));
      EditFile(tmp_.path() / "db" / name, [&](std::string& bytes) {
        const std::size_t kind = pick(10);
        if (bytes.empty() || kind >= 8) {
          bytes.append(1 + pick(200), static_cast<char>(pick(256)));
        } else if (kind >= 6) {
          bytes.resize(pick(bytes.size()));
        } else if (kind >= 4 && bytes.size() >= 152) {
          bytes.replace(4 * pick(38), 4, Le32(kExtremes[pick(std::size(kExtremes))]));
        } else {
          const std::size_t span = kind >= 2 && bytes.size() > 152 ? 152 : bytes.size();
          for (std::size_t n = 1 + pick(8); n > 0; --n)
            bytes[pick(span)] = static_cast<char>(pick(256));
        }
      });
    }
    const RunResult r =
        RunDb("verify db" + (run % 4 == 0 ? " --catalog " + Cat().string() : ""), tmp_.path());
    ASSERT_TRUE(r.status == 0 || r.status == 1) << "run " << run << ", status " << r.status << "\n"
                                                << r.err;
  }
}

struct CheckRow {
  std::string name;
  std::string options;                         // the generator's, besides the sample's size
  std::function<void(const fs::path&)> plant;  // faults the generator cannot make
  std::string args;
  int status;
  std::vector<std::string> lines;  // patterns, each matching a whole line of standard error
};

TEST(CheckCatalogExe, EachFindingNamesItsFileAndRecord) {
  ScopedTempDir temp;
  const std::string strip = R"( mas outside the file's strip )";
  const std::vector<CheckRow> rows = {
      // z150 spans two read blocks, a record straddling them.
      {"clean, through a symbolic link, a star at the north pole",
       "--set s36:0:0:324000000 --count z150:6000",
       [](const fs::path& cat) {
         fs::rename(cat / "z010", "z010");
         fs::create_symlink(fs::absolute("z010"), cat / "z010");
       },
       "check-catalog cat --scaled",
       0,
       {"files checked: 324, stars: 9086, findings: 0"}},
      // Just past the north edge of z100; on the south edge of z101 (inside), but out of the
      // sky; in z102 the fourth star comes after one at the last mas before 360 degrees.
      {"missing, not a file, truncated, out of its strip, out of order, wrong cflg bits",
       "--missing z050 --set z100:0:0:-144000000 --set z101:0:1296000000:-144000000 "
       "--set z102:2:1295999999:-141000000 --bad-cflg z020:1 --bad-cflg s31:0",
       [](const fs::path& cat) {
         fs::remove(cat / "s30");
         fs::create_directory(cat / "s30");
         fs::resize_file(cat / "z200", fs::file_size(cat / "z200") - 10);
       },
       "check-catalog cat --scaled",
       1,
       {"cat/z050: missing", "cat/s30: not a regular file",
        "cat/z200: size not a multiple of 44 bytes: 34 bytes after the last record",
        "cat/z100: record 1: declination -144000000" + strip + R"(\[-145800000, -144000000\))",
        R"(cat/z101: record 1: right ascension 1296000000 mas outside \[0, 1296000000\))",
        R"(cat/z102: record 4: right ascension \d+ mas below the previous star's 1295999999)",
        "cat/z020: record 2: cflg bit 7 set, marking a supplement star in a main file",
        "cat/s31: record 1: cflg bit 7 clear, marking a main star in a supplement file",
        R"(files checked: 322, stars: \d+, findings: 8)"}},
      // Without --scaled every file of a sample differs from its published count.
      {"one star too few, two files swapped",
       "--count z001:874 --count z100:13 --count z101:14",
       [](const fs::path& cat) {
         fs::rename(cat / "z100", "z100");
         fs::rename(cat / "z101", cat / "z100");
         fs::rename("z100", cat / "z101");
       },
       "check-catalog cat",
       1,
       {"cat/z001: star count 874, published count 875",
        "cat/z100: star count 14, published count 211714",
        "cat/z100: record 1: declination -\\d+" + strip + R"(\[-145800000, -144000000\))",
        "cat/z100: findings not shown: 5", "cat/z101: star count 13, published count 219687",
        "cat/z101: record 9: declination -\\d+" + strip + R"(\[-144000000, -142200000\))",
        R"(files checked: 324, stars: \d+, findings: 351)"}},
      {"no such directory", "", nullptr, "check-catalog none", 2, {".*none.*"}},
  };
  for (const CheckRow& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all("cat");
    MakeCatalog("cat", "--stars 3000 --bss 100 " + row.options);
    if (row.plant) row.plant("cat");
    const RunResult run = RunDb(row.args, temp.path());
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_EQ(run.out, "");
    for (const std::string& pattern : row.lines) {
      EXPECT_TRUE(std::ranges::any_of(
          SplitLines(run.err),
          [&](const std::string& line) { return std::regex_match(line, std::regex(pattern)); }))
          << pattern << "\n"
          << run.err;
    }
  }
}

// One table of statuses for every command: 0 all held; 1 something found, a missing input
// included; 2 a command line not understood or a named folder that does not exist. Where the
// line is given, it is the first of the standard error stream.
struct StatusRow {
  std::string args;
  int status;
  std::string line;
};

TEST(CommandLineDb, StatusTable) {
  ScopedTempDir temp;
  MakeCatalog("cat", "--stars 3000 --bss 40");
  fs::create_directory("db");
  ASSERT_EQ(RunProgram(UCAC2_EXE, {"../cat"}, "db").status, 0);
  fs::copy("cat", "gap", fs::copy_options::recursive);  // z100 (hour 5) missing
  fs::remove("gap/z100");
  fs::copy("db", "gapdb", fs::copy_options::recursive);
  fs::remove("gapdb/UCAC2_05.dat");
  fs::create_symlink("elsewhere.png", "link.png");
  const std::string cone = " --ra 80 --dec -40 --radius 5", too_long(5000, 'd');
  const std::string usage = "Run with --help for more information.";
  const std::vector<StatusRow> rows = {
      {"check-catalog cat --scaled", 0, "files checked: 324, stars: 3040, findings: 0"},
      {"check-catalog gap --scaled", 1, "gap/z100: missing"},
      {"check-catalog none", 2, "DIR: Directory does not exist: none"},
      {"verify db --catalog cat", 0, ""},
      {"verify gapdb", 1, "gapdb/UCAC2_05.dat: zone file missing"},
      {"verify db --catalog gap", 1, "gap/z100: catalog file missing"},
      {"verify none", 2, "DBDIR: Directory does not exist: none"},
      {"verify db --catalog none", 2, "--catalog: Directory does not exist: none"},
      {"verify db --catalog db/info.txt", 2, "--catalog: Not a directory: db/info.txt"},
      {"verify " + too_long, 2,
       "DBDIR: Directory cannot be looked at (a name too long, a link loop, or a folder on the "
       "way that may not be searched): " +
           too_long},
      {"find --db db" + cone, 0, ""},
      {"find --db gapdb" + cone, 1, "gapdb/UCAC2_05.dat: missing or unreadable zone file"},
      {"find --db none" + cone, 2, "--db: Directory does not exist: none"},
      {"find --db db --limit -1" + cone, 2,
       "--limit: '-1' is not a count of stars: 0 or more, in decimal digits (at most 18)"},
      {"find --db db --limit 1000000000000000000" + cone, 2,
       "--limit: '1000000000000000000' is not a count of stars: 0 or more, in decimal digits "
       "(at most 18)"},
      {"find --db db --ra 80 --dec -40 --radius 1e-9", 2,
       "--radius: '1e-9' is not a radius: decimal degrees above 0 and at most 180 (no exponent)"},
      {"map m.png --db db", 0, ""},
      {"map m.png --db gapdb", 1, "gapdb/UCAC2_05.dat: missing or unreadable zone file"},
      {"map m.png --db none", 2, "--db: Directory does not exist: none"},
      {"map m.png --catalog cat", 0, ""},
      {"map link.png --db db", 1, "link.png: a symbolic link: map does not write through links"},
      {"map m.png --catalog gap", 1, "gap/z100: missing or unreadable, shown as an empty strip"},
      {"map m.png --catalog none", 2, "--catalog: Directory does not exist: none"},
      {"map m.png --db db --width 1e3", 2,
       "--width: '1e3' is not a width: a whole number of pixels from 16 to 4096, in decimal "
       "digits"},
      {"map m.png --db db --width 4097", 2,
       "--width: '4097' is not a width: a whole number of pixels from 16 to 4096, in decimal "
       "digits"},
      {"verfy db", 2,
       "Unknown command 'verfy': the commands are check-catalog, verify, find and map"},
      {"", 2, "A subcommand is required"},
  };
  for (const StatusRow& row : rows) {
    SCOPED_TRACE(row.args);
    const RunResult run = RunDb(row.args, temp.path());
    EXPECT_EQ(run.status, row.status) << run.err;
    const std::vector<std::string> lines = SplitLines(run.err);
    if (!row.line.empty()) {
      EXPECT_EQ(lines.empty() ? "" : lines[0], row.line);
    }
    if (row.status == 2) {
      EXPECT_EQ(lines.back(), usage);
    }
  }
}

}  // namespace
}  // namespace ucac2_test
