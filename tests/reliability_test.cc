// Reliability: every platform call of a compilation failed in turn, then hostile surroundings:
// special files at the names of inputs and outputs, a file-size limit, a second compilation in
// the same directory, closed standard streams,
// and an hour too full for the zone file's offsets. Last, the console: the ESC key on a
// pseudo-terminal, a lone ESC seen, other keys swallowed, the settings given back on every way
// out; each case in a child process, since a process takes the console once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "compile/cancel.h"
#include "compile/compile_job.h"
#include "compile/console.h"
#include "compile/distribute.h"
#include "compile/messages.h"
#include "test_util.h"

namespace ucac2_test {
namespace {

// The fault sweep: each failed call must end the run with the fatal line of its place and
// status 1, and never touch the catalog. (ESC, the escape fault, is swept at the first and last
// record of each pass by the end-to-end tests.)

// The fatal lines a failed call of `kind` may end the run with, each naming its file.
std::set<std::string> FatalLines(const std::string& kind, const std::string& catalog) {
  // Each group's files as the lines name them. Data files are the catalog's and the hour files.
  std::map<std::string, std::vector<std::string>> files = {{"output", {" 'info.txt'"}}, {"", {""}}};
  for (int f = 0; f < kCatalogFiles; ++f)
    files["data"].push_back(" '" + catalog + "/" + CatalogFileName(f) + "'");
  for (int h = 0; h < kHourZones; ++h) {
    const std::string hour = (h < 10 ? "00" : "0") + std::to_string(h);
    files["data"].push_back(" './TMPA" + hour + "'");
    files["output"].push_back(" '" + ZoneName(h) + "'");
    for (int b = 0; b < kBands; ++b)
      files["band"].push_back(" './TMPB" + hour + (b < 10 ? "0" : "") + std::to_string(b) + "'");
  }
  const std::vector<std::vector<std::string>> places = {
      // kind, text, files named ("": none)
      {"open", "Unable to open data file", "data"},
      {"open", "Unable to open output file", "output"},
      {"open", "Internal error #4 - unable to open a temporary file", ""},
      {"create", "Unable to create output file", "output"},
      {"create", "Unable to open a temporary file", ""},
      {"read", "Unable to read data file", "data"},
      {"read", "Unable to read temporary file", "band"},
      {"size", "Unable to locate data file", "data"},
      {"size", "Unable to access temporary file", "band"},
      {"write", "Unable to write on disk", ""}};
  std::set<std::string> lines;
  for (const auto& place : places)
    for (const std::string& file : place[0] == kind ? files[place[2]] : files["none"])
      lines.insert("FTL *** " + place[1] + file);
  return lines;
}

// A fatal line without the file it names: the place, not the instance.
std::string Place(const std::string& line) { return line.substr(0, line.find(" '")); }

// The files of `dir`, each with its bytes.
std::map<std::string, std::string> Contents(const fs::path& dir) {
  std::map<std::string, std::string> contents;
  for (const std::string& name : Listing(dir)) contents[name] = ReadFileBytes(dir / name);
  return contents;
}

class FaultSweep : public testing::TestWithParam<const char*> {};

TEST_P(FaultSweep, EveryCallFailsCleanly) {
  const std::string kind = GetParam();
  ScopedTempDir temp;
  const fs::path catalog = temp.path() / "catalog";
  MakeCatalog(catalog, "--stars 60 --bss 6");
  const auto intact = Contents(catalog);
  fs::create_directory("clean");
  const RunResult clean = RunProgram(UCAC2_FAULTY_EXE, {catalog.string()}, "clean",
                                     {"UCAC2_FAULT_COUNTS=" + (temp.path() / "counts").string()});
  ASSERT_EQ(clean.status, 0) << clean.err;
  ASSERT_EQ(Verify("clean", catalog), kNoFindings);
  std::map<std::string, long long> calls;
  std::ifstream counts(temp.path() / "counts");
  for (std::string name; counts >> name;) counts >> calls[name];
  ASSERT_EQ(calls.size(), 8u) << "a kind of call the sweep does not know";

  // Failed calls of every kind; short reads; short writes and full disks.
  std::vector<std::string> effects = {"error", "short", "nospace"};
  effects.resize(kind == "write" ? 3 : kind == "read" ? 2 : 1);
  std::vector<std::string> plans;
  for (const std::string& effect : effects)
    for (long long n = 1; n <= calls[kind]; ++n)
      plans.push_back(kind + ":" + std::to_string(n) + ":" + effect);
  const std::set<std::string> legitimate = FatalLines(kind, catalog.string());
  std::mutex mutex;
  std::set<std::string> seen;
  std::vector<std::string> problems;
  std::atomic<std::size_t> next{0};
  const auto work = [&](const fs::path& dir) {
    fs::create_directory(dir);
    for (std::size_t i; (i = next++) < plans.size();) {
      // A run that ends by a fatal error starts among what the previous one left, as a rerun
      // does. A failed delete is ignored: that run completes, right, leaving that one file.
      if (kind == "delete") fs::remove_all(dir);
      fs::create_directory(dir);
      const RunResult run = RunCompiler({catalog.string()}, dir, plans[i]);
      const std::string last = LastLine(run);
      // A signal, or a sanitizer report (its own status and last line), fails these too.
      bool right = run.status == 1 && legitimate.count(last) > 0;
      if (kind == "delete") {
        const std::vector<std::string> found = Verify(dir, catalog);
        right = run.status == 0 && found.size() == 1 &&
                found[0].ends_with(": a work file: a compilation did not end cleanly");
      }
      const std::lock_guard<std::mutex> lock(mutex);
      seen.insert(kind == "read" ? Place(last) : last);
      if (!right)
        problems.push_back(plans[i] + ": status " + std::to_string(run.status) + ", " + last);
    }
    // A run among what a failed one left ends as a first run does.
    if (RunCompiler({catalog.string()}, dir).status != 0 || Verify(dir, catalog) != kNoFindings) {
      const std::lock_guard<std::mutex> lock(mutex);
      problems.push_back(dir.string() + ": a clean run after the faults differs");
    }
  };
  std::vector<std::thread> workers;
  for (unsigned w = 0; w < std::max(2u, std::thread::hardware_concurrency()); ++w)
    workers.emplace_back(work, temp.path() / ("worker" + std::to_string(w)));
  for (std::thread& worker : workers) worker.join();

  EXPECT_EQ(Contents(catalog), intact) << "a run wrote to the catalog";
  // Every place that uses the kind was struck and, where each call names its own file, every
  // file (not for reads: an empty file is never read).
  std::set<std::string> all;
  for (const std::string& line : legitimate) all.insert(kind == "read" ? Place(line) : line);
  if (kind == "delete")
    all = {"MSG --- " + std::to_string(CatalogStars(catalog)) + " objects found"};
  EXPECT_EQ(seen, all);
  EXPECT_EQ(problems, kNoFindings);  // printed up to the 32nd
}

INSTANTIATE_TEST_SUITE_P(Kinds, FaultSweep,
                         testing::Values("open", "create", "read", "size", "write", "delete"),
                         [](const auto& param) { return std::string(param.param); });

rlim_t g_size_limit = 0;

TEST(Hostile, FileSizeLimitEndsWithTheWriteFailure) {
  ScopedTempDir temp;
  MakeCatalog("catalog", "--stars 300 --bss 10");
  // Limits this catalog meets in an hour file, in a zone file and in info.txt.
  for (const rlim_t limit : {200, 1024, 2048}) {
    g_size_limit = limit;
    const RunResult run = RunProgram(UCAC2_EXE, {"catalog"}, ".", {}, [] {
      const rlimit size_limit = {g_size_limit, g_size_limit};
      setrlimit(RLIMIT_FSIZE, &size_limit);
    });
    EXPECT_EQ(run.status, 1) << limit;  // not -1: no signal
    EXPECT_EQ(LastLine(run), "FTL *** Unable to write on disk") << limit;
  }
}

TEST(Hostile, SecondCompilationInTheSameDirectoryStopsAtOnce) {
  ScopedTempDir temp;
  MakeCatalog("catalog", "--stars 300 --bss 10");
  fs::create_directory("out");
  // This process stands in for a first compilation holding the directory; even a shared lock
  // must keep a second one out.
  const int held = open("out", O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(held, LOCK_SH | LOCK_NB), 0);
  const RunResult second = RunProgram(UCAC2_EXE, {"../catalog"}, "out");
  close(held);
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(LastLine(second), "FTL *** Another compilation is running in the current directory");
  EXPECT_TRUE(fs::is_empty("out")) << "it touched the files of the first";  // made at once
}

TEST(Hostile, ClosedStandardStreamsAreReopenedOnDevNull) {
  ScopedTempDir temp;
  MakeCatalog("catalog", "--stars 1000000 --bss 0");  // a progress line in each pass
  fs::create_directory("out");
  // Else a zone file would take a standard stream's descriptor, and receive what it prints.
  const RunResult run = RunProgram(UCAC2_EXE, {"../catalog"}, "out", {}, [] {
    ::close(STDOUT_FILENO);
    ::close(STDERR_FILENO);
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(Verify("out", "catalog"), kNoFindings);
}

// A FIFO, or a link to a device, where either program expects a file: each run ends (an alarm
// kills one that waits, failing the row) with the message a file it cannot use gets, and
// leaves the input as it was.
struct SpecialRow {
  bool compiler;     // ucac2 in "out", else ucac2db with `args`
  std::string args;  // ucac2db's, split at spaces
  std::string name;  // where the FIFO or the link stands
  int status;
  std::string line;  // a line of the standard error stream
};

TEST(Hostile, SpecialFilesAtAnyNameEndTheRunWithItsMessage) {
  ScopedTempDir temp;
  MakeCatalog("cat", "--stars 300 --bss 10");
  fs::create_directory("db");
  ASSERT_EQ(RunProgram(UCAC2_EXE, {"../cat"}, "db").status, 0);
  const std::vector<SpecialRow> rows = {
      {true, "", "cat/z100", 1, "FTL *** Unable to open data file '../cat/z100'"},
      {true, "", "cat/s36", 1, "FTL *** Unable to open data file '../cat/s36'"},
      {true, "", "out/UCAC2_00.dat", 1, "FTL *** Unable to create output file 'UCAC2_00.dat'"},
      {true, "", "out/info.txt", 1, "FTL *** Unable to create output file 'info.txt'"},
      {true, "", "out/TMPA000", 1, "FTL *** Unable to open a temporary file"},
      {true, "", "out/TMPB00000", 1, "FTL *** Unable to open a temporary file"},
      {false, "verify db", "db/UCAC2_05.dat", 1, "db/UCAC2_05.dat: not a regular file"},
      {false, "verify db", "db/info.txt", 1, "db/info.txt: not a regular file"},
      {false, "verify db --catalog cat", "cat/z100", 1, "cat/z100: not a regular file"},
      {false, "find --db db --ra 80 --dec 0 --radius 5", "db/UCAC2_05.dat", 1,
       "db/UCAC2_05.dat: not a regular file"},
      {false, "map m.png --db db", "db/UCAC2_05.dat", 1, "db/UCAC2_05.dat: not a regular file"},
      {false, "map m.png --catalog cat", "cat/z100", 1,
       "cat/z100: not a regular file, shown as an empty strip"},
      {false, "map m.png --db db", "m.png", 1, ""},
  };
  for (const bool fifo : {true, false}) {
    for (const SpecialRow& row : rows) {
      SCOPED_TRACE(row.name + (fifo ? " FIFO" : " link to /dev/null") + " " + row.args);
      fs::remove_all("out");
      fs::create_directory("out");
      const bool existed = fs::exists(row.name);
      const std::string kept = ReadFileBytes(row.name);
      fs::remove(row.name);
      if (fifo) {
        ASSERT_EQ(::mkfifo(row.name.c_str(), 0666), 0);
      } else {
        fs::create_symlink("/dev/null", row.name);
      }
      const auto alarm = [] { ::alarm(20); };
      const RunResult run =
          row.compiler ? RunProgram(UCAC2_EXE, {"../cat"}, "out", {}, alarm)
                       : RunProgram(UCAC2DB_EXE, SplitLines(row.args, ' '), ".", {}, alarm);
      EXPECT_EQ(run.status, row.status) << "-1: it waited until the alarm";
      // At map's output a link is refused before its target is looked at.
      const std::string line = !row.line.empty() ? row.line
                               : fifo            ? "m.png: not a regular file"
                                                 : "m.png: a symbolic link: map does not write "
                                                   "through links";
      const std::vector<std::string> lines = SplitLines(run.err);
      EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << run.err;
      EXPECT_EQ(fs::symlink_status(row.name).type(),
                fifo ? fs::file_type::fifo : fs::file_type::symlink);
      fs::remove(row.name);
      if (existed) WriteFileBytes(row.name, kept);
    }
  }
}

// The most stars of one hour whose zone file's last offset, 152 + 48 n, is a signed 32-bit number.
constexpr std::int32_t kMostStarsPerHour = (INT_MAX - 152) / 48;
ucac2::CompileJob* g_job = nullptr;
std::int32_t g_preset = 0;

TEST(HostileDeathTest, FullHourZoneStopsBeforeItsOffsetsWrap) {
  ScopedTempDir temp;
  MakeCatalog("catalog", "--stars 0 --bss 0 --count z001:1 --set z001:0:0:0");  // in hour 0
  g_job = ucac2::CreateCompileJob("catalog");
  // The pass sets the counts to 0 as it begins; the first line it prints lets the test fill
  // hour 0 instead of feeding it 44 million stars.
  const auto fill_once = [] {
    if (g_preset != 0) g_job->hour_counts[0] = std::exchange(g_preset, 0);
  };
  ucac2::SetExitDuties({fill_once, nullptr});
  g_preset = kMostStarsPerHour - 1;
  EXPECT_EXIT((ucac2::Distribute(*g_job), std::exit(0)), testing::ExitedWithCode(0), "");
  g_preset = kMostStarsPerHour;
  EXPECT_EXIT(ucac2::Distribute(*g_job), testing::ExitedWithCode(1),
              "FTL \\*\\*\\* Too many objects in RA zone 0");
}

// Starts `body` in a child that exits with its result; an alarm ends a child that blocks.
pid_t Spawn(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::alarm(10);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::signal(s, SIG_DFL);
  ::_exit(body());
}
// The child's exit code, or 1000 + the signal it died of.
int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}
bool InputWithin(int milliseconds) {
  struct pollfd input = {STDIN_FILENO, POLLIN, 0};
  return ::poll(&input, 1, milliseconds) > 0;
}

termios Settings(int fd) {
  termios settings{};
  ::tcgetattr(fd, &settings);
  return settings;
}
bool Same(const termios& a, const termios& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool Taken(const termios& t) { return (t.c_lflag & (ICANON | ECHO)) == 0; }

struct Pty {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  std::string name = (::grantpt(master), ::unlockpt(master), ::ptsname(master));
  int slave = ::open(name.c_str(), O_RDWR | O_NOCTTY);
  termios before = Settings(slave);
  ~Pty() {
    ::close(slave);
    ::close(master);
  }
  // In a child: a session of its own with the pty as controlling terminal and standard
  // input, so that the child is in the terminal's foreground.
  void BecomeForeground() const {
    ::setsid();
    const int fd = ::open(name.c_str(), O_RDWR);
    ::ioctl(fd, TIOCSCTTY, 0);
    ::dup2(fd, STDIN_FILENO);
  }
  bool Restored() const { return Same(Settings(slave), before); }
};

TEST(Console, OnATerminalALoneEscapeIsSeenAndEveryKeyIsSwallowed) {
  const std::pair<const char*, bool> kKeys[] = {
      {"\x1b", true}, {"\x1b[A", false}, {"x", false}, {"\x1bOP", false}, {"\x1b[15~", false}};
  for (const auto& [keys, escape] : kKeys) {
    Pty pty;
    // Bits: 1 input arrived, 2 terminal taken, 4 ESC seen, 8 bytes left.
    EXPECT_EQ(Wait(Spawn([&] {
                pty.BecomeForeground();
                ucac2::ConsoleStart();
                const bool taken = Taken(Settings(STDIN_FILENO));
                (void)!::write(pty.master, keys, std::strlen(keys));
                const bool ready = InputWithin(2000);
                const bool seen = ucac2::PollCancel();  // its first call asks
                const bool left = InputWithin(0);
                ucac2::ConsoleRestore();
                return ready + 2 * taken + 4 * seen + 8 * left;
              })),
              1 + 2 + 4 * escape)
        << "keys " << keys + 1;
    EXPECT_TRUE(pty.Restored()) << "keys " << keys + 1;
  }
}

TEST(Console, EndingSignalsAndFatalErrorsGiveTheTerminalBack) {
  for (int ending : {SIGTERM, SIGINT, SIGHUP, 0}) {  // 0: a fatal error
    Pty pty;
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready) | ::pipe(go), 0);
    const pid_t pid = Spawn([&] {
      pty.BecomeForeground();
      ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
      ucac2::SetExitDuties({nullptr, ucac2::ConsoleRestore});
      ucac2::ConsoleStart();
      char byte = 'r';
      if (::write(ready[1], &byte, 1) != 1 || ::read(go[0], &byte, 1) != 1) return 3;
      ucac2::Fatal("stop");
    });
    ::close(ready[1]);  // a child that dies early ends the wait
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_TRUE(Taken(Settings(pty.slave))) << ending;
    EXPECT_EQ(ending != 0 ? ::kill(pid, ending) : ::write(go[1], &byte, 1) - 1, 0);
    EXPECT_EQ(Wait(pid), ending != 0 ? 1000 + ending : 1);
    EXPECT_TRUE(pty.Restored()) << ending;
    for (int fd : {ready[0], go[0], go[1]}) ::close(fd);
  }
}

}  // namespace
}  // namespace ucac2_test
