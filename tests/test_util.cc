// Shared test helpers (POSIX).
#include "test_util.h"

#include <fcntl.h>
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

// Everything the pipe `fd` yields until its end; closes it.
static std::string Drain(int fd) {
  std::string bytes;
  char buffer[4096];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
    bytes.append(buffer, static_cast<std::size_t>(got));
  ::close(fd);
  return bytes;
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
  // Standard error first: what the programs print on standard output, a banner, the help,
  // waits meanwhile in its pipe's buffer.
  result.err = Drain(pipes[1][0]);
  result.out = Drain(pipes[0][0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  return result;
}

std::string LastLine(const RunResult& run) {
  return run.err.empty() ? "" : SplitLines(run.err).back();
}

void MakeCatalog(const fs::path& dir, const std::string& options) {
  std::vector<std::string> args = {dir.string(), "--quiet"};
  std::istringstream words(options);
  for (std::string word; words >> word;) args.push_back(word);
  const RunResult made = RunProgram(SAMPLE_CATALOG_EXE, args, ".");
  if (made.status != 0) throw std::runtime_error("make_sample_catalog failed: " + made.err);
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

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace ucac2_test
