// ucac2db check-catalog from outside: a clean catalog, then catalogs holding every kind of
// fault at once, and the lines that must report each, naming the file and the record.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>

#include "test_util.h"

namespace ucac2_test {
namespace {

struct CheckRow {
  std::string name;
  std::string options;                         // the generator's, besides the sample's size
  std::function<void(const fs::path&)> plant;  // faults the generator cannot make
  std::vector<std::string> args;
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
       {"check-catalog", "cat", "--scaled"},
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
       {"check-catalog", "cat", "--scaled"},
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
       {"check-catalog", "cat"},
       1,
       {"cat/z001: star count 874, published count 875",
        "cat/z100: star count 14, published count 211714",
        "cat/z100: record 1: declination -\\d+" + strip + R"(\[-145800000, -144000000\))",
        "cat/z100: findings not shown: 5", "cat/z101: star count 13, published count 219687",
        "cat/z101: record 9: declination -\\d+" + strip + R"(\[-144000000, -142200000\))",
        R"(files checked: 324, stars: \d+, findings: 351)"}},
      {"no such directory", "", nullptr, {"check-catalog", "none"}, 2, {".*none.*"}},
  };
  for (const CheckRow& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all("cat");
    MakeCatalog("cat", "--stars 3000 --bss 100 " + row.options);
    if (row.plant) row.plant("cat");
    const RunResult run = RunProgram(UCAC2DB_EXE, row.args, temp.path());
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> lines = SplitLines(run.err);
    for (const std::string& pattern : row.lines) {
      const std::regex expected(pattern);
      EXPECT_TRUE(
          std::any_of(lines.begin(), lines.end(),
                      [&](const std::string& line) { return std::regex_match(line, expected); }))
          << pattern << "\n"
          << run.err;
    }
  }
}

}  // namespace
}  // namespace ucac2_test
