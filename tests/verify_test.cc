// ucac2db verify run as a user runs it, on a small database compiled once by the real ucac2:
// each fault it must find planted on purpose, and a few hundred random damages it must survive.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <random>

#include "base/star_record.h"
#include "base/zone_file.h"
#include "test_util.h"

namespace ucac2_test {
namespace {

// A block of at least two entries, not the last band, where faults are planted.
struct Block {
  int hour = 0;
  int band = 0;
  std::size_t offset = 0;  // of its first entry
};

std::string Hex(std::int32_t v) {
  std::string s;
  PutLe32(s, v);
  return s;
}

// The suite's catalog and database, and the block where faults are planted.
ScopedTempDir* g_suite_dir = nullptr;
Block g_block;
fs::path Cat() { return g_suite_dir->path() / "cat"; }
fs::path Db() { return g_suite_dir->path() / "db"; }

void Flip(std::string& bytes, std::size_t at, int mask) {
  bytes[at] = static_cast<char>(bytes[at] ^ mask);
}
void EditFile(const fs::path& path, const std::function<void(std::string&)>& edit) {
  std::string bytes = ReadFileBytes(path);
  edit(bytes);
  WriteFileBytes(path, bytes);
}
void EditZone(const fs::path& db, const std::function<void(std::string&)>& edit) {
  EditFile(db / ZoneName(g_block.hour), edit);
}

RunResult RunVerify(const std::vector<std::string>& args, const fs::path& dir) {
  std::vector<std::string> all = {"verify"};
  all.insert(all.end(), args.begin(), args.end());
  // A sanitizer's report must not pass for a finding's status 1.
  return RunProgram(UCAC2DB_EXE, all, dir,
                    {"ASAN_OPTIONS=exitcode=86", "UBSAN_OPTIONS=exitcode=86:print_stacktrace=1"});
}

// One catalog in cat/ and its database in db/, made once for the suite; each test works on
// copies in its own directory.
class Verify : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_suite_dir = new ScopedTempDir();
    MakeCatalog(Cat(), "--stars 3000 --bss 40 --seed 7");
    fs::create_directory(Db());
    ASSERT_EQ(RunCompiler({Cat().string()}, Db()).status, 0);
    for (int h = 0; h < kHourZones; ++h) {
      const std::string zone = ReadFileBytes(Db() / ZoneName(h));
      const ucac2::ZoneHead head =
          ucac2::DecodeZoneHead(reinterpret_cast<const std::uint8_t*>(zone.data()));
      for (int b = 0; b < kBands - 1; ++b) {
        if (head.counts[b] >= 2) {
          g_block = {h, b, static_cast<std::size_t>(head.offsets[b])};
          return;
        }
      }
    }
  }
  static void TearDownTestSuite() { delete g_suite_dir; }

  // A fresh copy of the database in db/ of this test's directory.
  fs::path CopyDb() {
    fs::copy(Db(), tmp_.path() / "db", fs::copy_options::recursive);
    return tmp_.path() / "db";
  }
  ScopedTempDir tmp_;
};

// Positions in the planted block and in its zone file's head.
std::size_t Entry(int k) { return g_block.offset + static_cast<std::size_t>(k) * 48; }
std::size_t CountField(int band) { return 8 + 8 * static_cast<std::size_t>(band) + 4; }
std::size_t OffsetField(int band) { return 8 + 8 * static_cast<std::size_t>(band); }

struct Fault {
  const char* name;
  std::function<void(const fs::path& db)> plant;
  std::string file;           // named by the finding, in db/; "" for the planted block's zone file
  std::string text;           // a part of the finding's text
  bool catalog_only = false;  // only verify --catalog can see it
};
void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

class PlantedFault : public Verify, public ::testing::WithParamInterface<Fault> {};

TEST_P(PlantedFault, IsReportedNamingItsFile) {
  const Fault& fault = GetParam();
  const fs::path db = CopyDb();
  fault.plant(db);
  const std::string file = "db/" + (fault.file.empty() ? ZoneName(g_block.hour) : fault.file);
  for (const bool with_catalog : {false, true}) {
    std::vector<std::string> args = {"db"};
    if (with_catalog) args.insert(args.end(), {"--catalog", Cat().string()});
    const RunResult r = RunVerify(args, tmp_.path());
    SCOPED_TRACE(r.err);
    if (fault.catalog_only && !with_catalog) {
      EXPECT_EQ(r.status, 0);
      continue;
    }
    EXPECT_EQ(r.status, 1);
    bool named = false;
    for (const std::string& line : SplitLines(r.err)) {
      named = named || (line.rfind(file + ": ", 0) == 0 && line.find(fault.text) != line.npos);
    }
    EXPECT_TRUE(named) << file << ": ..." << fault.text;
  }
}

const Fault kFaults[] = {
    {"CarriedField",
     [](const fs::path& db) { EditZone(db, [](std::string& z) { Flip(z, Entry(0) + 24, 0x5a); }); },
     "", "band", true},
    {"RightAscension",
     [](const fs::path& db) { EditZone(db, [](std::string& z) { Flip(z, Entry(0) + 7, 0x80); }); },
     "", "right ascension"},
    {"Declination",
     [](const fs::path& db) { EditZone(db, [](std::string& z) { Flip(z, Entry(1) + 11, 0x40); }); },
     "", "declination"},
    {"IndexOffset",
     [](const fs::path& db) {
       EditZone(db, [](std::string& z) {
         z.replace(OffsetField(g_block.band), 4, Hex(static_cast<std::int32_t>(Entry(1))));
       });
     },
     "", "offset"},
    {"BandCount",
     [](const fs::path& db) {
       EditZone(db, [](std::string& z) {
         z[CountField(g_block.band)] = static_cast<char>(z[CountField(g_block.band)] + 1);
       });
     },
     "", "band counts add up"},
    {"NegativeBandCount",
     [](const fs::path& db) {
       EditZone(db, [](std::string& z) { z.replace(CountField(g_block.band), 4, Hex(-5)); });
     },
     "", "is negative"},
    {"HugeHourCount",
     [](const fs::path& db) {
       EditZone(db, [](std::string& z) { z.replace(4, 4, Hex(0x7fffffff)); });
     },
     "", "hour count 2147483647"},
    {"HeaderTotal",
     [](const fs::path& db) {
       EditZone(db, [](std::string& z) { z[0] = static_cast<char>(z[0] + 1); });
     },
     "", "catalog total"},
    {"DuplicatedEntry",
     [](const fs::path& db) {
       EditZone(db, [](std::string& z) { z.replace(Entry(1), 48, z, Entry(0), 48); });
     },
     "", "occurs a second time"},
    {"MissingEntry",
     [](const fs::path& db) { EditZone(db, [](std::string& z) { z.erase(Entry(0), 48); }); }, "",
     "its hour count implies"},
    // The entry and every trace of it in the head removed: only the identifiers tell.
    {"MissingEntryHeadMended",
     [](const fs::path& db) {
       EditZone(db, [](std::string& z) {
         const ucac2::ZoneHead head =
             ucac2::DecodeZoneHead(reinterpret_cast<const std::uint8_t*>(z.data()));
         z.erase(Entry(0), 48);
         z.replace(4, 4, Hex(head.hour_count - 1));
         z.replace(CountField(g_block.band), 4, Hex(head.counts[g_block.band] - 1));
         for (int b = g_block.band + 1; b < kBands; ++b)
           z.replace(OffsetField(b), 4, Hex(head.offsets[b] - 48));
       });
     },
     "UCAC2_*.dat", "hour counts add up"},
    {"SwappedEntries",
     [](const fs::path& db) {
       EditZone(db, [](std::string& z) {
         const std::string first = z.substr(Entry(0), 48);
         z.replace(Entry(0), 48, z, Entry(1), 48);
         z.replace(Entry(1), 48, first);
       });
     },
     "", "not increasing"},
    {"TruncatedZoneFile",
     [](const fs::path& db) { EditZone(db, [](std::string& z) { z.resize(z.size() - 30); }); }, "",
     "its hour count implies"},
    {"EmptyZoneFile", [](const fs::path& db) { EditZone(db, [](std::string& z) { z.clear(); }); },
     "", "0 bytes, shorter than"},
    {"MissingZoneFile", [](const fs::path& db) { fs::remove(db / ZoneName(g_block.hour)); }, "",
     "zone file missing"},
    {"DirectoryAtZoneFile",
     [](const fs::path& db) {
       fs::remove(db / ZoneName(g_block.hour));
       fs::create_directory(db / ZoneName(g_block.hour));
     },
     "", "not a regular file"},
    {"AlteredReportLine",
     [](const fs::path& db) {
       EditFile(db / "info.txt",
                [](std::string& t) { Flip(t, t.find("objects RA zone 07") - 2, 1); });
     },
     "info.txt", "line 10 reads"},
    {"WorkFileLeft", [](const fs::path& db) { WriteFileBytes(db / "TMPA03", "x"); }, "TMPA03",
     "work file"},
};
const auto kFaultName = [](const auto& test) { return std::string(test.param.name); };
INSTANTIATE_TEST_SUITE_P(Database, PlantedFault, ::testing::ValuesIn(kFaults), kFaultName);

TEST_F(Verify, CleanDatabasePassesBothWays) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"db"}, {"db", "--catalog", Cat().string()}}) {
    const RunResult r = RunVerify(args, g_suite_dir->path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(SplitLines(r.err).size(), 1u) << r.err;  // the summary only
  }
}

// A catalog that does not compile to the database: each difference names the catalog file.
TEST_F(Verify, CatalogFaultsNameTheCatalogFile) {
  std::string first;  // the first main file with stars
  for (int f = 0; f < kCatalogFiles && first.empty(); ++f) {
    if (fs::file_size(Cat() / CatalogFileName(f)) > 0) first = CatalogFileName(f);
  }
  const struct {
    std::function<void(const fs::path& cat)> plant;
    const char* text;
  } kCases[] = {
      {[&](const fs::path& cat) { fs::remove(cat / first); }, "catalog file missing"},
      {[&](const fs::path& cat) {
         EditFile(cat / first, [](std::string& r) { Flip(r, ucac2::kFlagOffset, 0x80); });
       },
       "cflg bit 7 set in a main file"},
      {[&](const fs::path& cat) {
         EditFile(cat / first, [](std::string& r) { r.replace(0, 4, Hex(-1)); });
       },
       "no zone"},
  };
  for (const auto& c : kCases) {
    fs::remove_all(tmp_.path() / "cat");
    fs::copy(Cat(), tmp_.path() / "cat");
    c.plant(tmp_.path() / "cat");
    const RunResult r = RunVerify({Db().string(), "--catalog", "cat"}, tmp_.path());
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("cat/" + first + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
  }
}

// Random damage: bytes overwritten (most in the heads, some with extreme values), files cut
// short or extended. verify must end with a status, 0 or 1, never on a signal or a sanitizer.
TEST_F(Verify, SurvivesRandomDamage) {
  std::mt19937 random(20240611);
  const auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  const std::int32_t kExtremes[] = {0, -1, 0x7fffffff, INT32_MIN, 152, 48, 0x10000000};
  for (int run = 0; run < 300; ++run) {
    fs::remove_all(tmp_.path() / "db");
    const fs::path db = CopyDb();
    for (int damage = 1 + static_cast<int>(pick(3)); damage > 0; --damage) {
      const std::string name = pick(25) == 24 ? "info.txt" : ZoneName(static_cast<int>(pick(24)));
      EditFile(db / name, [&](std::string& bytes) {
        const std::size_t kind = pick(10);
        if (bytes.empty() || kind >= 8) {
          bytes.append(1 + pick(200), static_cast<char>(pick(256)));
        } else if (kind >= 6) {
          bytes.resize(pick(bytes.size()));
        } else if (kind >= 4 && bytes.size() >= 152) {
          bytes.replace(4 * pick(38), 4, Hex(kExtremes[pick(std::size(kExtremes))]));
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
