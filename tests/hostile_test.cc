// Hostile surroundings: a file-size limit, symbolic links at work-file names, a second
// compilation in the same directory, random catalog bytes, and sizes past 32 bits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <random>

#include "catalog_checker.h"
#include "compile/compile_job.h"
#include "compile/distribute.h"
#include "compile/work_files.h"
#include "front/report.h"
#include "test_util.h"

namespace ucac2_test {
namespace {

namespace fs = std::filesystem;

std::string LastLine(const RunResult& run) {
  const std::vector<std::string> lines = SplitLines(run.err);
  return lines.empty() ? "" : lines.back();
}

// A failure to write it shows as a failure of the run on it.
fs::path SampleCatalog(const fs::path& dir) {
  RunProgram(SAMPLE_CATALOG_EXE, {(dir / "catalog").string(), "--stars", "300", "--bss", "10"},
             dir);
  return dir / "catalog";
}

rlim_t g_size_limit = 0;

TEST(Hostile, FileSizeLimitEndsWithTheWriteFailure) {
  ScopedTempDir temp;
  const fs::path catalog = SampleCatalog(temp.path());
  // Limits this catalog meets in an hour file, in a zone file and in info.txt.
  for (const rlim_t limit : {200, 1024, 2048}) {
    g_size_limit = limit;
    const RunResult run = RunProgram(UCAC2_EXE, {catalog.string()}, ".", {}, "/dev/null", [] {
      const rlimit size_limit = {g_size_limit, g_size_limit};
      setrlimit(RLIMIT_FSIZE, &size_limit);
    });
    EXPECT_EQ(run.signal, 0) << limit;
    EXPECT_EQ(run.status, 1) << limit;
    EXPECT_EQ(LastLine(run), "FTL *** Unable to write on disk") << limit;
  }
}

TEST(Hostile, WorkFilesNeverFollowSymbolicLinks) {
  ScopedTempDir temp;
  const fs::path catalog = SampleCatalog(temp.path());
  fs::create_directory("outside");
  WriteFileBytes("outside/precious", "not to be truncated");
  for (const std::string name : {"TMPA005", "TMPB00203"}) {
    for (const std::string target : {"precious", "absent"}) {
      SCOPED_TRACE(name + " -> " + target);
      const fs::path dir = temp.path() / (name + target);
      fs::create_directory(dir);
      fs::create_symlink(temp.path() / "outside" / target, dir / name);
      const RunResult run = RunProgram(UCAC2_EXE, {catalog.string()}, dir);
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(LastLine(run), "FTL *** Unable to open a temporary file");
      EXPECT_EQ(ReadFileBytes("outside/precious"), "not to be truncated");
      EXPECT_FALSE(fs::exists("outside/absent"));
    }
  }
}

TEST(Hostile, SecondCompilationInTheSameDirectoryStopsAtOnce) {
  ScopedTempDir temp;
  const fs::path catalog = SampleCatalog(temp.path());
  fs::create_directory("out");
  // This process stands in for a first compilation holding the directory.
  const int held = open("out", O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  const RunResult second = RunProgram(UCAC2_EXE, {catalog.string()}, "out");
  close(held);
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(LastLine(second), "FTL *** Another compilation is running in the current directory");
  EXPECT_EQ(second.err.find("Parsing file"), std::string::npos);
  EXPECT_TRUE(fs::is_empty("out")) << "it touched the files of the first";

  const RunResult first = RunProgram(UCAC2_EXE, {catalog.string()}, "out");
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(CatalogChecker(catalog).Check("out"), std::vector<std::string>{});
  EXPECT_EQ(std::distance(fs::directory_iterator("out"), fs::directory_iterator{}), 25)
      << "something beside the 24 zone files and info.txt, a lock file perhaps";
}

// Writes a catalog of random records: positions across and beyond their valid ranges, either
// cflg, random sizes, trailing bytes, empty files. Returns the line the run must end with, or
// "" when it must compile.
std::string WriteRandomCatalog(const fs::path& dir, std::mt19937& rng) {
  fs::create_directories(dir);
  const auto chance = [&](unsigned percent) { return rng() % 100 < percent; };
  const auto pick = [&](std::int64_t low, std::int64_t high) {
    return static_cast<std::int32_t>(std::uniform_int_distribution<std::int64_t>(low, high)(rng));
  };
  const unsigned flaw = rng() % 4;  // a few stars with a wrong RA (1), dec (2) or cflg (3); 0: none
  std::string first_pass, second_pass;  // declinations are computed in the second pass only
  std::int32_t id = 0;
  for (int f = 1; f <= 324; ++f) {
    const bool supplement = f > 288;
    if (f == 289) id = 50000000;
    std::string bytes;
    for (int s = chance(60) ? 0 : pick(1, 4); s > 0; --s) {
      std::string record(44, '\0');
      for (char& c : record) c = static_cast<char>(rng());
      std::int32_t ra = pick(0, 1295999999), dec = pick(-324000000, 324000000);
      if (chance(20)) ra = std::clamp(54000000 * pick(0, 24) + pick(-40, 40), 0, 1295999999);
      if (chance(20))
        dec = std::clamp(36000000 * pick(-9, 9) + pick(-40, 40), -324000000, 324000000);
      if (flaw == 1 && chance(1)) ra = chance(50) ? pick(INT_MIN, -1) : pick(1296000000, INT_MAX);
      if (flaw == 2 && chance(1))
        dec = chance(50) ? pick(INT_MIN, -324000001) : pick(324000001, INT_MAX);
      const bool wrong_flag = flaw == 3 && chance(1);
      record[15] = static_cast<char>((record[15] & 0x7f) | (supplement != wrong_flag ? 0x80 : 0));
      for (int i = 0; i < 4; ++i) {
        record[static_cast<std::size_t>(i)] = static_cast<char>(ra >> (8 * i));
        record[static_cast<std::size_t>(4 + i)] = static_cast<char>(dec >> (8 * i));
      }
      bytes += record;
      ++id;
      if (first_pass.empty() && ExpectedHour(ra) < 0) {
        first_pass = "FTL *** Internal error #2 - RA zone calculation";
      } else if (first_pass.empty() && wrong_flag) {
        first_pass = std::string("FTL *** Non valid cflg field for ") +
                     (supplement ? "BSS" : "UCAC2") + " star (ID=" + std::to_string(id) + ")";
      }
      if (ExpectedBand(dec) < 0) second_pass = "FTL *** Internal error #3 - DE zone calculation";
    }
    if (chance(15)) bytes.append(static_cast<std::size_t>(pick(1, 43)), '\x5a');
    char name[8];
    std::snprintf(name, sizeof name, supplement ? "s%02d" : "z%03d", supplement ? f - 288 : f);
    WriteFileBytes(dir / name, bytes);
  }
  return first_pass.empty() ? second_pass : first_pass;
}

TEST(Hostile, RandomCatalogsCompileOrStopWithTheirFatalLine) {
  ScopedTempDir temp;
  const char* runs_text = std::getenv("UCAC2_RANDOM_RUNS");
  const int runs = runs_text != nullptr ? std::atoi(runs_text) : 30;
  std::mt19937 rng(20240611);
  std::map<std::string, int> outcomes;
  for (int r = 0; r < runs; ++r) {
    SCOPED_TRACE("catalog " + std::to_string(r));
    const fs::path dir = temp.path() / std::to_string(r);
    const std::string expected = WriteRandomCatalog(dir / "catalog", rng);
    fs::create_directory(dir / "out");
    const RunResult run = RunProgram(UCAC2_EXE, {(dir / "catalog").string()}, dir / "out");
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
    EXPECT_EQ(run.status, expected.empty() ? 0 : 1);
    if (expected.empty()) {
      EXPECT_EQ(CatalogChecker(dir / "catalog").Check(dir / "out"), std::vector<std::string>{});
    } else {
      EXPECT_EQ(LastLine(run), expected);
    }
    ++outcomes[expected.empty() ? "compiled" : expected.substr(0, expected.find(" star"))];
    if (!HasFailure()) fs::remove_all(dir);
  }
  for (const auto& [outcome, count] : outcomes) std::printf("%4d x %s\n", count, outcome.c_str());
}

TEST(Hostile, CatalogFileOf2GiBStopsNamingIt) {
  ScopedTempDir temp;
  const fs::path catalog = SampleCatalog(temp.path());
  fs::resize_file(catalog / "z150", std::uintmax_t{1} << 31);  // sparse: takes no disk
  fs::create_directory("out");
  const RunResult run = RunProgram(UCAC2_EXE, {catalog.string()}, "out");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(LastLine(run).rfind("FTL *** ", 0), 0u);
  EXPECT_NE(LastLine(run).find("'" + ProgramPath(catalog.string(), "z150") + "'"),
            std::string::npos)
      << LastLine(run);
}

// The most stars of one hour whose zone file's last offset, 152 + 48 n, is a signed 32-bit number.
constexpr std::int32_t kMostStarsPerHour = (INT_MAX - 152) / 48;
ucac2::CompileJob* g_job = nullptr;
std::int32_t g_preset = 0;

TEST(HostileDeathTest, FullHourZoneStopsBeforeItsOffsetsWrap) {
  ScopedTempDir temp;
  const std::vector<std::string> one_star = {
      "catalog", "--stars", "0",     "--bss",     "0",
      "--count", "z001:1",  "--set", "z001:0:0:0"};  // in hour 0
  ASSERT_EQ(RunProgram(SAMPLE_CATALOG_EXE, one_star, temp.path()).status, 0);
  g_job = ucac2::CreateCompileJob("catalog");
  // The pass sets the counts to 0 as it begins; the first line it prints lets the test fill
  // hour 0 instead of feeding it 44 million stars.
  ucac2::SetExitDuties({[] {
                          static bool filled = false;
                          if (!filled) g_job->hour_counts[0] = g_preset;
                          filled = true;
                        },
                        nullptr});
  g_preset = kMostStarsPerHour - 1;
  EXPECT_EXIT((ucac2::Distribute(*g_job), std::exit(0)), testing::ExitedWithCode(0), "");
  g_preset = kMostStarsPerHour;
  EXPECT_EXIT(ucac2::Distribute(*g_job), testing::ExitedWithCode(1),
              "FTL \\*\\*\\* Too many objects in RA zone 0");
}

}  // namespace
}  // namespace ucac2_test
