// Every platform call a small compilation makes, failed in turn: each failure must end the run
// with the fatal line of its place and status 1, and never touch the catalog.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "catalog_checker.h"
#include "test_util.h"

namespace ucac2_test {
namespace {

namespace fs = std::filesystem;

// The fatal lines a failed call of `kind` may end the run with, each naming its file.
std::set<std::string> FatalLines(const std::string& kind, const std::string& catalog) {
  std::vector<std::string> data, bands, outputs = {"info.txt"};  // data: catalog and hour files
  char name[16];
  for (int f = 1; f <= 324; ++f) {
    std::snprintf(name, sizeof name, f > 288 ? "s%02d" : "z%03d", f > 288 ? f - 288 : f);
    data.push_back(ProgramPath(catalog, name));
  }
  for (int h = 0; h < kHourZones; ++h) {
    std::snprintf(name, sizeof name, "TMPA%03d", h);
    data.push_back(ProgramPath(".", name));
    outputs.push_back(ZoneName(h));
    for (int b = 0; b < kBands; ++b) {
      std::snprintf(name, sizeof name, "TMPB%03d%02d", h, b);
      bands.push_back(ProgramPath(".", name));
    }
  }
  std::set<std::string> lines;
  const auto add = [&](const std::string& text, const std::vector<std::string>& files) {
    for (const std::string& file : files) lines.insert("FTL *** " + text + " '" + file + "'");
  };
  if (kind == "open") {
    add("Unable to open data file", data);
    add("Unable to open output file", outputs);
    lines.insert("FTL *** Internal error #4 - unable to open a temporary file");
  } else if (kind == "create") {
    add("Unable to create output file", outputs);
    lines.insert("FTL *** Unable to open a temporary file");
  } else if (kind == "read") {
    add("Unable to read data file", data);
    add("Unable to read temporary file", bands);
  } else if (kind == "size") {
    add("Unable to locate data file", data);
    add("Unable to access temporary file", bands);
  } else if (kind == "seek") {
    lines.insert("FTL *** Error at binary read init");
  } else if (kind == "write") {
    lines.insert("FTL *** Unable to write on disk");
  }
  return lines;
}

// A fatal line without the file it names: the place, not the instance.
std::string Place(const std::string& line) { return line.substr(0, line.find(" '")); }

std::map<std::string, std::size_t> Checksums(const fs::path& dir) {
  std::map<std::string, std::size_t> sums;
  for (const auto& entry : fs::directory_iterator(dir)) {
    sums[entry.path().filename().string()] = std::hash<std::string>{}(ReadFileBytes(entry.path()));
  }
  return sums;
}

class FaultSweep : public testing::TestWithParam<const char*> {};

TEST_P(FaultSweep, EveryCallFailsCleanly) {
  const std::string kind = GetParam();
  // The runs spend their time in file system calls: tmpfs, where there is one.
  const bool shm = std::getenv("TMPDIR") == nullptr && fs::is_directory("/dev/shm");
  if (shm) setenv("TMPDIR", "/dev/shm", 1);
  ScopedTempDir temp;
  if (shm) unsetenv("TMPDIR");
  const fs::path catalog = temp.path() / "catalog";
  ASSERT_EQ(
      RunProgram(SAMPLE_CATALOG_EXE, {catalog.string(), "--stars", "60", "--bss", "6"}, temp.path())
          .status,
      0);
  const CatalogChecker checker(catalog);
  const auto intact = Checksums(catalog);
  fs::create_directory("clean");
  const RunResult clean = RunProgram(UCAC2_FAULTY_EXE, {catalog.string()}, "clean",
                                     {"UCAC2_FAULT_COUNTS=" + (temp.path() / "counts").string()});
  ASSERT_EQ(clean.status, 0) << clean.err;
  ASSERT_EQ(checker.Check("clean"), std::vector<std::string>{});
  std::map<std::string, long long> calls;
  std::ifstream counts(temp.path() / "counts");
  std::string name;
  for (long long count; counts >> name >> count;) calls[name] = count;
  ASSERT_EQ(calls.size(), 8u) << "a kind of call the sweep does not know";

  std::vector<std::string> effects = {"error"};  // and short reads and writes, full disks
  if (kind == "read") effects = {"error", "short"};
  if (kind == "write") effects = {"error", "short", "nospace"};
  std::vector<std::string> plans;
  for (const std::string& effect : effects) {
    for (long long n = 1; n <= calls[kind]; ++n) {
      plans.push_back(kind + ":" + std::to_string(n) + ":" + effect);
    }
  }
  const std::set<std::string> legitimate = FatalLines(kind, catalog.string());
  std::mutex mutex;
  std::map<std::string, int> figures;  // "effect: outcome" -> runs
  std::set<std::string> seen;
  std::vector<std::string> problems;
  std::atomic<std::size_t> next{0};
  const bool afresh = kind == "delete" || kind == "escape";
  const auto work = [&](const fs::path& dir) {
    fs::create_directory(dir);
    for (std::size_t i; (i = next++) < plans.size();) {
      // A run that ends by a fatal error starts among what the previous one left, as a rerun
      // does; the others must leave one or no work file, so start afresh.
      if (afresh) fs::remove_all(dir);
      fs::create_directory(dir);
      const RunResult run =
          RunProgram(UCAC2_FAULTY_EXE, {catalog.string()}, dir, {"UCAC2_FAULT=" + plans[i]});
      const std::vector<std::string> lines = SplitLines(run.err);
      const std::string last = lines.empty() ? "" : lines.back();
      std::string outcome = Place(last), wrong;
      if (run.signal != 0) wrong += " killed by signal " + std::to_string(run.signal) + ";";
      if (run.err.find("Sanitizer") != std::string::npos ||
          run.err.find("runtime error") != std::string::npos) {
        wrong += " sanitizer report;";
      }
      // A failed delete is ignored: the run completes, right, leaving that one file behind.
      // A cancel leaves none.
      const std::vector<std::string> found =
          afresh ? checker.Check(dir) : std::vector<std::string>{};
      const auto left = std::count_if(found.begin(), found.end(), [](const std::string& finding) {
        return finding.find("left behind") != std::string::npos;
      });
      if (kind == "delete") {
        outcome = "completed, one work file left";
        if (run.status != 0 || found.size() != 1 || left != 1) wrong += " not a complete run;";
      } else if (kind == "escape") {
        if (run.status != 1 || last != "Process canceled by user" || left != 0) {
          wrong += " not a clean cancel;";
        }
      } else if (run.status != 1 || legitimate.count(last) == 0) {
        wrong += " status " + std::to_string(run.status) + " and not a fatal line of this place;";
      }
      const std::lock_guard<std::mutex> lock(mutex);
      seen.insert(last);
      ++figures[plans[i].substr(plans[i].rfind(':') + 1) + ": " + outcome];
      if (!wrong.empty())
        problems.push_back(plans[i] + ":" + wrong + " last line \"" + last + "\"");
    }
  };
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (unsigned w = 0; w < std::max(2u, std::thread::hardware_concurrency()); ++w) {
    workers.emplace_back(work, temp.path() / ("worker" + std::to_string(w)));
  }
  for (std::thread& worker : workers) worker.join();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

  EXPECT_EQ(Checksums(catalog), intact) << "a run wrote to the catalog";
  // Every place that uses the kind was struck and, where each call names its own file, every
  // file (not for reads: an empty file is never read).
  std::set<std::string> places, places_seen;
  for (const std::string& line : legitimate) places.insert(Place(line));
  for (const std::string& line : seen) places_seen.insert(Place(line));
  if (calls[kind] > 0 && !legitimate.empty()) {
    EXPECT_EQ(kind == "read" ? places_seen : seen, kind == "read" ? places : legitimate);
  }
  std::printf("%s: %lld calls, %zu faults injected, %.1f s\n", kind.c_str(), calls[kind],
              plans.size(), took.count());
  for (const auto& [outcome, runs] : figures) std::printf("  %5d x %s\n", runs, outcome.c_str());
  for (std::size_t i = 0; i < problems.size() && i < 20; ++i) ADD_FAILURE() << problems[i];
  EXPECT_EQ(problems.size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FaultSweep,
                         testing::Values("open", "create", "read", "size", "seek", "write",
                                         "delete", "escape"),
                         [](const testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param);
                         });

}  // namespace
}  // namespace ucac2_test
