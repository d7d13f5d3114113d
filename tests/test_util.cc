// Shared test helpers (POSIX).
#include "test_util.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ucac2_test {

ScopedTempDir::ScopedTempDir() : previous_(fs::current_path()) {
  // The runs spend their time in file system calls: tmpfs, where there is one.
  const bool shm = std::getenv("TMPDIR") == nullptr && fs::is_directory("/dev/shm");
  std::string pattern =
      ((shm ? "/dev/shm" : fs::temp_directory_path()) / "ucac2-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  fs::current_path(path_);
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
  fs::remove_all(path_, ignored);
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const fs::path& directory, const std::vector<std::string>& environment,
                     void (*in_child)()) {
  // Pipes, not files, which a file-size limit set in the child would cut short. Close-on-exec,
  // so that a program started meanwhile by another thread cannot delay their end of file.
  int pipes[2][2];
  if (::pipe2(pipes[0], O_CLOEXEC) != 0 || ::pipe2(pipes[1], O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(::open("/dev/null", O_RDONLY), 0);
    ::dup2(pipes[0][1], 1);
    ::dup2(pipes[1][1], 2);
    if (::chdir(directory.c_str()) != 0) ::_exit(127);
    for (const std::string& entry : environment) ::putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    if (in_child != nullptr) in_child();
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  for (int i = 0; i < 2; ++i) ::close(pipes[i][1]);
  RunResult result;
  // Both pipes as they fill, so that a child writing much to one never waits on the other.
  std::string* sinks[2] = {&result.out, &result.err};
  pollfd fds[2] = {{pipes[0][0], POLLIN, 0}, {pipes[1][0], POLLIN, 0}};
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (::poll(fds, 2, -1) < 0) continue;  // interrupted
    for (int i = 0; i < 2; ++i) {
      char buffer[65536];
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;  // which poll then skips
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  return result;
}

RunResult RunCompiler(const std::vector<std::string>& args, const fs::path& dir,
                      const std::string& fault) {
  return RunProgram(fault.empty() ? UCAC2_EXE : UCAC2_FAULTY_EXE, args, dir,
                    {"UCAC2_FAULT=" + fault});
}

RunResult RunDb(const std::string& args, const fs::path& dir) {
  return RunProgram(UCAC2DB_EXE, SplitLines(args, ' '), dir,
                    {"ASAN_OPTIONS=exitcode=86", "UBSAN_OPTIONS=exitcode=86:print_stacktrace=1"});
}

std::vector<std::string> Verify(const fs::path& out, const fs::path& catalog) {
  const RunResult run = RunDb("verify --catalog " + fs::absolute(catalog).string(), out);
  std::vector<std::string> findings = SplitLines(run.err);
  const std::string summary = findings.empty() ? "" : findings.back();
  if (!findings.empty()) findings.pop_back();
  const std::string stars = std::to_string(CatalogStars(catalog));
  const std::string expected =
      "24 zone files and info.txt checked against 324 catalog files: " + stars + " entries, " +
      stars + " stars, " + std::to_string(findings.size()) +
      (findings.size() == 1 ? " finding" : " findings");
  if (run.status != (findings.empty() ? 0 : 1) || !run.out.empty() || summary != expected) {
    findings.push_back("verify: status " + std::to_string(run.status) + ", output '" + run.out +
                       "', summary '" + summary + "', not '" + expected + "'");
  }
  return findings;
}

std::string LastLine(const RunResult& run) {
  return run.err.empty() ? "" : SplitLines(run.err).back();
}

void MakeCatalog(const fs::path& dir, const std::string& options) {
  std::vector<std::string> args = SplitLines(options, ' ');
  args.insert(args.begin(), {dir.string(), "--quiet"});
  const RunResult made = RunProgram(SAMPLE_CATALOG_EXE, args, ".");
  if (made.status != 0) throw std::runtime_error("make_sample_catalog failed: " + made.err);
}

std::string CatalogFileName(int f) {
  char name[16];
  std::snprintf(name, sizeof name, f < 288 ? "z%03d" : "s%02d", f < 288 ? f + 1 : f - 287);
  return name;
}

std::int64_t CatalogStars(const fs::path& dir) {
  std::int64_t stars = 0;
  for (int f = 0; f < kCatalogFiles; ++f)  // a missing file, or a directory in its place: ""
    stars += static_cast<std::int64_t>(ReadFileBytes(dir / CatalogFileName(f)).size() / 44);
  return stars;
}

std::string ZoneName(int hour) {
  return (hour < 10 ? "UCAC2_0" : "UCAC2_") + std::to_string(hour) + ".dat";
}

std::string ReadFileBytes(const fs::path& path) {
  std::ostringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

void WriteFileBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(dir))
    names.insert(e.path().filename().string());
  return names;
}

std::vector<std::string> SplitLines(const std::string& text, char separator) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line, separator);) lines.push_back(line);
  return lines;
}

}  // namespace ucac2_test
