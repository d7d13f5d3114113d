// ucac2db's checks run as a user runs them. verify, on a small database compiled once by the
// real ucac2: each fault it must find planted on purpose, and a few hundred random damages it
// must survive. check-catalog: a clean catalog, then catalogs holding every kind of fault at
// once, and the lines that must report each, naming the file and the record.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <iterator>
#include <random>
#include <regex>
#include <set>

#include "base/printf_format.h"
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

// An entry removed with every trace of it in its file's head: only the identifiers tell.
Plant Removed(int band, std::size_t at) {
  return Edited([=](std::string& z) {
    const auto head = ucac2::DecodeZoneHead(reinterpret_cast<const std::uint8_t*>(z.data()));
    z.erase(at, 48);
    z.replace(4, 4, Le32(head.hour_count - 1));
    z.replace(CountField(band), 4, Le32(head.counts[band] - 1));
    for (int b = band + 1; b < ucac2::kBands; ++b)
      z.replace(OffsetField(b), 4, Le32(head.offsets[b] - 48));
  });
}

std::string Text(const char* format, ...) UCAC2_PRINTF(1, 2);
std::string Text(const char* format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

// Where an identifier stands in the suite's database, found through the heads.
struct Spot {
  int hour = -1, band = 0, index = 0;  // index: from 0 in its band
  std::size_t offset = 0;              // in its zone file
  int count = 0;                       // of its band
  std::string entry, next;             // its 48 bytes and those of the entry after it
  std::string Zone() const { return "db/" + ZoneName(hour); }
};
Spot Find(std::int32_t identifier) {
  for (int h = 0; h < ucac2::kHourZones; ++h) {
    const std::string z = ReadFileBytes(Db() / ZoneName(h));
    const auto head = ucac2::DecodeZoneHead(reinterpret_cast<const std::uint8_t*>(z.data()));
    for (int b = 0; b < ucac2::kBands; ++b) {
      for (int k = 0; k < head.counts[b]; ++k) {
        const auto at =
            static_cast<std::size_t>(head.offsets[b]) + 48 * static_cast<std::size_t>(k);
        if (z.compare(at, 4, Le32(identifier)) == 0)
          return {h, b, k, at, head.counts[b], z.substr(at, 48), z.substr(at + 48, 48)};
      }
    }
  }
  return {};
}

// "cat/zNNN record M (identifier I)": the catalog's star of an entry, found by its 44 bytes.
std::string StarOf(const std::string& entry) {
  const std::int32_t identifier =
      ucac2::LoadLE32(reinterpret_cast<const std::uint8_t*>(entry.data()));
  for (int f = 0; f < kCatalogFiles; ++f) {
    const std::string file = ReadFileBytes(Cat() / CatalogFileName(f));
    for (std::size_t at = 0; at + 44 <= file.size(); at += 44) {
      if (file.compare(at, 44, entry, 4, 44) == 0) {
        return Text("cat/%s record %zu (identifier %d)", CatalogFileName(f).c_str(), at / 44 + 1,
                    identifier);
      }
    }
  }
  return "no star";
}

std::size_t FirstDifference(const std::string& a, const std::string& b) {
  return static_cast<std::size_t>(std::ranges::mismatch(a, b).in1 - a.begin());
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
          g_block = {h, b, static_cast<std::size_t>(head.offsets[b])};
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
  std::vector<std::string> lines{};  // whole lines verify --catalog must print
};

// Each fault reported naming its file, by verify alone unless only the catalog can tell.
TEST_F(Verify, PlantedFaultsAreReportedNamingTheirFile) {
  const std::string zone = "db/" + ZoneName(g_block.hour);
  const std::size_t line_10 = ReadFileBytes(Db() / "info.txt").find("objects RA zone 07") - 2;
  std::string cat;  // the first main file with stars
  std::int32_t last_main = 0;
  for (int f = 0; f < 288; ++f) {
    last_main += static_cast<std::int32_t>(fs::file_size(Cat() / CatalogFileName(f)) / 44);
    if (last_main > 0 && cat.empty()) cat = "cat/" + CatalogFileName(f);
  }
  // Located lines: identifier 1 removed (its neighbour is the one after it), the highest main
  // identifier raised by 2 (a run below it, its neighbour the one before), and two bytes of a
  // carried field changed in the second entry of the block.
  const Spot first = Find(1), second = Find(2), top = Find(last_main), below = Find(last_main - 1);
  const int second_shift = second.hour == first.hour && second.band == first.band ? 1 : 0;
  const std::string carried = ReadFileBytes(Db() / ZoneName(g_block.hour)).substr(Entry(1), 48);
  const std::vector<std::string> carried_lines = {
      Text("%s: band %d: not what the catalog compiles to; entry 2 differs from %s from byte 24",
           zone.c_str(), g_block.band, StarOf(carried).c_str())};
  const std::vector<std::string> first_lines = {
      Text("%s: identifier 1 missing; the nearest identifier present, 2, is at band %d, entry %d",
           second.Zone().c_str(), second.band, second.index + 1 - second_shift),
      Text("%s: band %d: %d entries, the catalog compiles to %d; entry %d differs from %s from "
           "byte %zu",
           first.Zone().c_str(), first.band, first.count - 1, first.count, first.index + 1,
           StarOf(first.entry).c_str(), FirstDifference(first.entry, first.next))};
  const std::vector<std::string> top_lines = {
      Text("%s: identifiers %d..%d missing; the nearest identifier present, %d, is at band %d, "
           "entry %d",
           below.Zone().c_str(), last_main, last_main + 1, last_main - 1, below.band,
           below.index + 1),
      Text("%s: band %d: not what the catalog compiles to; entry %d differs from %s from byte %zu",
           top.Zone().c_str(), top.band, top.index + 1, StarOf(top.entry).c_str(),
           FirstDifference(Le32(last_main), Le32(last_main + 2)))};
  // A missing identifier whose neighbour stands in a file cut short, beyond that file's first
  // band: its head no longer fits, so the neighbour is placed among the file's entries.
  std::int32_t gap = 3;
  Spot near;
  std::size_t near_in_file = 0;
  for (; gap <= last_main; ++gap) {
    near = Find(gap - 1);
    near_in_file = (near.offset - ucac2::kFirstBlockOffset) / 48;
    const std::string z = ReadFileBytes(Db() / ZoneName(near.hour));
    const std::int32_t last_id =
        ucac2::LoadLE32(reinterpret_cast<const std::uint8_t*>(z.data() + z.size() - 48));
    if (near_in_file != static_cast<std::size_t>(near.index) && near.offset + 96 <= z.size() &&
        last_id != gap && last_id != gap + 1)
      break;
  }
  ASSERT_LE(gap, last_main) << "the sample has no such neighbour";
  const Spot gone = Find(gap);
  const Plant renumbered_and_cut = [&](const fs::path& file) {
    Put(gone.offset, gap - 2)(file);
    EditFile(near.Zone(), [](std::string& z) { z.resize(z.size() - 30); });
  };
  const Plant removed = [](const fs::path& file) { fs::remove(file); };
  const Plant created = [](const fs::path& file) { WriteFileBytes(file, "x"); };
  const Fault faults[] = {
      {"none: the clean database passes", "", nullptr, ""},
      {"carried field", zone,
       Edited([](std::string& z) { z[Entry(1) + 24] ^= 0x5a, z[Entry(1) + 27] ^= 0x5a; }),
       "not what the catalog compiles to", true, "", carried_lines},
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
      {"missing entry", first.Zone(), Removed(first.band, first.offset), "hour counts add up",
       false, "db/UCAC2_*.dat", first_lines},
      {"identifiers missing below the highest", top.Zone(), Put(top.offset, last_main + 2),
       "missing", false, below.Zone(), top_lines},
      {"truncated", zone, Edited([](std::string& z) { z.resize(z.size() - 30); }),
       "its hour count implies"},
      {"neighbour in a file cut short", gone.Zone(), renumbered_and_cut,
       Text("identifier %d missing; the nearest identifier present, %d, is at entry %zu of the "
            "file",
            gap, gap - 1, near_in_file + 1),
       false, near.Zone()},
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
      for (const std::string& line : with_catalog ? fault.lines : std::vector<std::string>{})
        EXPECT_EQ(std::ranges::count(SplitLines(r.err), line), 1) << line << "\n" << r.err;
    }
  }
}

// Random damage: bytes overwritten (most in the heads, some with extreme values), files cut
// short or extended. verify --catalog must find every change, naming each file changed, and
// pass only when no byte changed; without the catalog it must still end with a status.
TEST_F(Verify, FindsRandomDamageNamingEachFileChanged) {
  std::mt19937 random(20240611);
  const auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  const std::int32_t kExtremes[] = {0, -1, INT_MAX, INT_MIN, 152, 48, 0x10000000};
  for (int run = 0; run < 300; ++run) {
    Copy({"db"});
    std::set<std::string> damaged;
    for (int damage = 1 + static_cast<int>(pick(3)); damage > 0; --damage) {
      const std::string name = pick(25) == 24 ? "info.txt" : ZoneName(static_cast<int>(pick(24)));
      damaged.insert(name);
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
    std::erase_if(damaged, [&](const std::string& name) {
      return ReadFileBytes(tmp_.path() / "db" / name) == ReadFileBytes(Db() / name);
    });
    const RunResult r = RunDb("verify db --catalog " + Cat().string(), tmp_.path());
    ASSERT_EQ(r.status, damaged.empty() ? 0 : 1) << "run " << run << "\n" << r.err;
    for (const std::string& name : damaged) {
      EXPECT_TRUE(std::ranges::any_of(
          SplitLines(r.err),
          [&](const std::string& line) { return line.starts_with("db/" + name + ": "); }))
          << "run " << run << ": " << name << " not named\n"
          << r.err;
    }
    if (run % 4 == 0) {
      const int status = RunDb("verify db", tmp_.path()).status;
      ASSERT_TRUE(status == 0 || status == 1) << "run " << run << ", status " << status;
    }
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
// line is given, the standard error stream holds it (a usage error: as its first line).
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
  // info.txt with LF line ends; a link loop at a zone file's and at a catalog file's name; a
  // work file while a compilation holds its folder; two records that would stop a compilation.
  fs::copy("db", "lf", fs::copy_options::recursive);
  std::string report = ReadFileBytes("db/info.txt");
  std::erase(report, '\r');
  WriteFileBytes("lf/info.txt", report);
  fs::copy("db", "loop", fs::copy_options::recursive);
  fs::remove("loop/UCAC2_05.dat");
  fs::create_symlink("UCAC2_05.dat", "loop/UCAC2_05.dat");
  fs::copy("cat", "loopcat", fs::copy_options::recursive);
  fs::remove("loopcat/z100");
  fs::create_symlink("z100", "loopcat/z100");
  fs::copy("db", "busy", fs::copy_options::recursive);
  WriteFileBytes("busy/TMPA000", "");
  const int held = ::open("busy", O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  MakeCatalog("bad", "--stars 3000 --bss 40 --count s20:3 --bad-cflg s20:0 --bad-cflg s20:2");
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
      {"verify lf", 1,
       "lf/info.txt: line 1 ends in LF alone; its CR LF line end is missing the CR"},
      {"verify loop", 1, "loop/UCAC2_05.dat: cannot be read"},
      {"verify db --catalog loopcat", 1, "loopcat/z100: cannot be read"},
      {"check-catalog loopcat --scaled", 1, "loopcat/z100: cannot be read"},
      {"verify busy", 1, "busy/TMPA000: a work file: a compilation is running in this folder"},
      {"verify db --catalog bad", 1,
       "bad/s20: record 1: cflg bit 7 clear in a supplement file; the compilation stops here"},
      {"verify db --catalog bad", 1, "bad/s20: record 3: cflg bit 7 clear in a supplement file"},
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
       "Unknown command 'verfy': the commands are check-catalog, verify, find, map, match"},
      {"", 2, "A subcommand is required"},
  };
  for (const StatusRow& row : rows) {
    SCOPED_TRACE(row.args);
    const RunResult run = RunDb(row.args, temp.path());
    EXPECT_EQ(run.status, row.status) << run.err;
    const std::vector<std::string> lines = SplitLines(run.err);
    if (!row.line.empty() && row.status == 2) {
      EXPECT_EQ(lines.empty() ? "" : lines[0], row.line);
    } else if (!row.line.empty()) {
      EXPECT_TRUE(std::ranges::find(lines, row.line) != lines.end()) << row.line << "\n" << run.err;
    }
    if (row.status == 2) {
      EXPECT_EQ(lines.back(), usage);
    }
  }
  ::close(held);
}

}  // namespace
}  // namespace ucac2_test
