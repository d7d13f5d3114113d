// ucac2db verify run as a user runs it, on a small database compiled once by the real ucac2:
// each fault it must find planted on purpose, and a few hundred random damages it must survive.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <iterator>
#include <random>

#include "base/catalog_files.h"
#include "base/star_record.h"
#include "base/zone_file.h"
#include "test_util.h"

namespace ucac2_test {
namespace {

using Edit = std::function<void(std::string&)>;
using Plant = std::function<void(const fs::path&)>;

std::string HourFile(int hour) {
  char name[ucac2::kZoneFileNameSize];
  ucac2::ZoneFileName(hour, name);
  return name;
}

std::string Le32(std::int64_t v) {
  std::string bytes(4, '\0');
  ucac2::StoreLE32(reinterpret_cast<std::uint8_t*>(bytes.data()), static_cast<std::int32_t>(v));
  return bytes;
}

void Flip(std::string& bytes, std::size_t at, int mask) {
  bytes[at] = static_cast<char>(bytes[at] ^ mask);
}

void EditFile(const fs::path& path, const Edit& edit) {
  std::string bytes = ReadFileBytes(path);
  edit(bytes);
  WriteFileBytes(path, bytes);
}

RunResult RunVerify(const std::vector<std::string>& args, const fs::path& dir) {
  std::vector<std::string> all = {"verify"};
  all.insert(all.end(), args.begin(), args.end());
  // A sanitizer's report must not pass for a finding's status 1.
  return RunProgram(UCAC2DB_EXE, all, dir,
                    {"ASAN_OPTIONS=exitcode=86", "UBSAN_OPTIONS=exitcode=86:print_stacktrace=1"});
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
  return Edited([=](std::string& bytes) { Flip(bytes, at, mask); });
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
      const std::string zone = ReadFileBytes(Db() / HourFile(h));
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
  const std::string zone = "db/" + HourFile(g_block.hour);
  const std::size_t line_10 = ReadFileBytes(Db() / "info.txt").find("objects RA zone 07") - 2;
  std::string cat;  // the first main file with stars
  for (int n = 1; cat.empty(); ++n) {
    const std::string name = ucac2::CatalogFileAt(n).name;
    if (fs::file_size(Cat() / name) > 0) cat = "cat/" + name;
  }
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
      std::vector<std::string> args = {"db"};
      if (with_catalog) args.insert(args.end(), {"--catalog", "cat"});
      const RunResult r = RunVerify(args, tmp_.path());
      if (fault.text.empty() || (fault.catalog_only && !with_catalog)) {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(SplitLines(r.err).size(), 1u) << r.err;  // the summary only
        continue;
      }
      EXPECT_EQ(r.status, 1) << r.err;
      bool found = false;
      for (const std::string& line : SplitLines(r.err)) {
        found = found || (line.rfind(named, 0) == 0 && line.find(fault.text) != line.npos);
      }
      EXPECT_TRUE(found) << named << "..." << fault.text << "\n" << r.err;
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
      const std::string name = pick(25) == 24 ? "info.txt" : HourFile(static_cast<int>(pick(24)));
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
    std::vector<std::string> args = {"db"};
    if (run % 4 == 0) args.insert(args.end(), {"--catalog", Cat().string()});
    const RunResult r = RunVerify(args, tmp_.path());
    ASSERT_TRUE(r.status == 0 || r.status == 1) << "run " << run << ", status " << r.status << "\n"
                                                << r.err;
  }
}

}  // namespace
}  // namespace ucac2_test
